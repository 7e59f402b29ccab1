// What a CI stage tells a test about the machine it prepared (the Wine stage, chiefly).
#pragma once

#include <cstdlib>
#include <string>

// The variable's text, or empty when it is not set: the test that needs it then skips.
inline std::string StageSetting(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}
