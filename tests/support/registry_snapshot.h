// Everything a stand-in registry file holds, as text, to compare before and after.
#pragma once

#include <string>

namespace testsupport {

// Every key with its parent and name, and every value with its type and bytes, in a
// stable order.
std::string RegistrySnapshot(const std::string& path);

}  // namespace testsupport
