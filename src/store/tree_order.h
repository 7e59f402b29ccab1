// The order of the port tree: shorter texts first, then byte by byte, so COM2 comes
// before COM10 and the categories stand in a fixed order.
#pragma once

#include <string>

// Negative, zero or positive as a sorts before, with or after b.
int CompareNodeTexts(const std::string& a, const std::string& b);
