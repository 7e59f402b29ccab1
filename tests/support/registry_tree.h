// A stand-in registry file read by path, for comparing what changed where: key ids differ
// between files and runs, paths do not.
#pragma once

#include <map>
#include <string>

namespace testsupport {

// Every key as "Path\To\Key" mapped to "", and every value as "Path\To\Key :: Name" mapped
// to "type:HEX", the root key being "". Empty when the file cannot be read.
std::map<std::string, std::string> RegistryTree(const std::string& path);

// What PRAGMA integrity_check says of the file ("ok" when it is whole), or the reason it
// could not be asked.
std::string RegistryIntegrity(const std::string& path);

}  // namespace testsupport
