#include "store/error_codes.h"

#include <cstdio>

namespace {

struct ErrorEntry {
  std::uint32_t code;
  const char* message;
};

const ErrorEntry kErrorTable[] = {
    {PMERR_UNSUPPORTED_OS, "This program only supports the Windows 95/98/Me"},
    {PMERR_OS_VERSION_CHECK, "Checking the version of Windows fails"},
    {PMERR_REG_SERIALCOMM, "The registry for SERIALCOMM has corrupted"},
    {PMERR_REG_DRIVER, "The registry for VEQ COMPort has corrupted"},
    {PMERR_REG_PORTNAME_BAD, "The port name in the registry has corrupted"},
    {PMERR_REG_PORTNAME_DUP, "The port name in the registry has duplicated"},
    {PMERR_REG_CREATE, "Creating the value of registry fails"},
    {PMERR_REG_DELETE, "Deleting the value of registry fails"},
    {PMERR_REG_READ, "Reading the value of registry fails"},
    {PMERR_REG_UPDATE, "Updating the value of registry fails"},
    {PMERR_PORT_TYPE, "Detect the unsupporting port type"},
    {PMERR_PORT_HEADER, "Detect the unsupporting port Header"},
    {PMERR_NO_MEMORY, "There is no enough memory to run this promgram"},
    {PMERR_BAD_IP, "The IP address of the device is wrong"},
    {PMERR_PORT_CHECK, "Checking the port on this system fails"},
    {PMERR_IMPORT_OPEN, "Open Import File Fail"},
    {PMERR_EXPORT_OPEN, "Open Export File Fail"},
    {PMERR_CPM_FORMAT, "The format of the CPM file is wrong"},
    {PMERR_CPM_SETTING, "The setting of the CPM file is wrong"},
    {PMERR_CPM_DUP_COM, "The setting of COM in the CPM file is duplicate"},
    {PMERR_CPM_USED_PORT, "The imported port is an used port"},
    {PMERR_CPM_VERSION, "The version of the CPM file is wrong"},
};

bool IsLineError(std::uint32_t code) { return code >= PMERR_CPM_FORMAT && code <= PMERR_CPM_VERSION; }

}  // namespace

bool ErrorMessageText(std::uint32_t code, std::int32_t importLine, std::string* text) {
  for (const ErrorEntry& entry : kErrorTable) {
    if (entry.code != code) continue;
    std::string result;
    if (IsLineError(code)) {
      char prefix[40];
      std::snprintf(prefix, sizeof prefix, "[LINE %d - FATAL]\n", importLine);
      result = prefix;
    }
    *text = result + entry.message;
    return true;
  }
  return false;
}
