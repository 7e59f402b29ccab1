// The error codes through which every part of the system reports a failure, and their
// messages. The high half of a code names its group: 0x8000 platform, 0x8001 registry,
// 0x8002 ports and resources, 0x0003 mapping file.
#pragma once

#include <cstdint>
#include <string>

constexpr std::uint32_t PMERR_NONE = 0x00000000;
constexpr std::uint32_t PMERR_UNSUPPORTED_OS = 0x80000001;
constexpr std::uint32_t PMERR_OS_VERSION_CHECK = 0x80000002;
constexpr std::uint32_t PMERR_REG_SERIALCOMM = 0x80010001;
constexpr std::uint32_t PMERR_REG_DRIVER = 0x80010002;
constexpr std::uint32_t PMERR_REG_PORTNAME_BAD = 0x80010003;
constexpr std::uint32_t PMERR_REG_PORTNAME_DUP = 0x80010004;
constexpr std::uint32_t PMERR_REG_CREATE = 0x80010005;
constexpr std::uint32_t PMERR_REG_DELETE = 0x80010006;
constexpr std::uint32_t PMERR_REG_READ = 0x80010007;
constexpr std::uint32_t PMERR_REG_UPDATE = 0x80010008;
constexpr std::uint32_t PMERR_PORT_TYPE = 0x80020001;
constexpr std::uint32_t PMERR_PORT_HEADER = 0x80020002;
constexpr std::uint32_t PMERR_NO_MEMORY = 0x80020003;
constexpr std::uint32_t PMERR_BAD_IP = 0x80020004;
constexpr std::uint32_t PMERR_PORT_CHECK = 0x80020005;
constexpr std::uint32_t PMERR_IMPORT_OPEN = 0x00030001;
constexpr std::uint32_t PMERR_EXPORT_OPEN = 0x00030002;
constexpr std::uint32_t PMERR_CPM_FORMAT = 0x00030003;
constexpr std::uint32_t PMERR_CPM_SETTING = 0x00030004;
constexpr std::uint32_t PMERR_CPM_DUP_COM = 0x00030005;
constexpr std::uint32_t PMERR_CPM_USED_PORT = 0x00030006;
constexpr std::uint32_t PMERR_CPM_VERSION = 0x00030007;

// The text shown for a code: the message alone, or for the mapping file's line errors
// "[LINE %d - FATAL]\n" with importLine followed by the message. False, with the text
// untouched, for PMERR_NONE and every value the table does not know.
bool ErrorMessageText(std::uint32_t code, std::int32_t importLine, std::string* text);
