// The mapping file (.cpm): export of every mapped port, and import in a checking pass
// that changes nothing and an applying pass that maps the listed ports.
#include "store/mapping_file.h"
#include "store/address_rules.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>

#include "platform/address.h"
#include "store/device_models.h"
#include "store/error_codes.h"
#include "store/port_manager.h"

namespace {

const char kHeader[] = "[VEQ COMPORT MAPPING]";
const char kSectionKey[] = "[COM";
// A section's memo becomes a port's description.
constexpr std::size_t kMemoLimit = sizeof(TTorl7370Port::description) - 1;
// Numbers read from the file stop growing here: every limit they are held to is lower,
// and none of them can overflow.
constexpr std::uint32_t kNumberCap = 0x100000;

bool Contains(const std::string& line, const char* key) { return line.find(key) != std::string::npos; }
bool IsSectionLine(const std::string& line) { return Contains(line, kSectionKey); }
// The section line test comes first, as in the check, so a memo never runs into the next section.
bool IsMemoLine(const std::string& line) { return Contains(line, "Memo") && !IsSectionLine(line); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigitValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::uint32_t Grow(std::uint32_t number, std::uint32_t base, int digit) {
  return std::min(number * base + static_cast<std::uint32_t>(digit), kNumberCap);
}

// The text after the first '=' of a line; false when the line has none.
bool ValueOf(const std::string& line, std::string_view* value) {
  const std::size_t equals = line.find('=');
  if (equals == std::string::npos) return false;
  *value = std::string_view(line).substr(equals + 1);
  return true;
}

std::size_t FirstDigit(std::string_view text) {
  return static_cast<std::size_t>(std::find_if(text.begin(), text.end(), IsDigit) - text.begin());
}

// The decimal number that starts at the first digit of the value; false without '=' or
// without a digit.
bool DecimalValue(const std::string& line, std::uint32_t* number) {
  std::string_view value;
  if (!ValueOf(line, &value)) return false;
  std::size_t i = FirstDigit(value);
  if (i == value.size()) return false;
  std::uint32_t n = 0;
  for (; i < value.size() && IsDigit(value[i]); ++i) n = Grow(n, 10, value[i] - '0');
  *number = n;
  return true;
}

// The hexadecimal number that starts at the value's first digit or letter 'a' to 'f'
// (an upper-case letter is not a start: B370 reads as 370); 0 when there is none.
std::uint32_t ModelCodeOf(const std::string& line) {
  std::string_view value;
  if (!ValueOf(line, &value)) return 0;
  std::size_t i = 0;
  while (i < value.size() && !IsDigit(value[i]) && !(value[i] >= 'a' && value[i] <= 'f')) ++i;
  std::uint32_t code = 0;
  for (; i < value.size() && HexDigitValue(value[i]) >= 0; ++i) code = Grow(code, 16, HexDigitValue(value[i]));
  return code;
}

// The COM number of a section line: the characters after its first 'M' up to the first
// ']' must all be digits (the line end is not one); 0 otherwise.
std::uint32_t SectionComNumber(const std::string& line) {
  std::size_t i = line.find('M');
  if (i == std::string::npos) return 0;
  std::uint32_t n = 0;
  for (++i; i < line.size() && line[i] != ']'; ++i) {
    if (!IsDigit(line[i])) return 0;
    n = Grow(n, 10, line[i] - '0');
  }
  return n;
}

// The device address of an "IP Address" line in network byte order: the text from the
// value's first digit up to, not including, the line's last character (its newline)
// holds four numbers as the window's address check forms them, the fourth without its
// range. False when the address is refused.
bool FileAddressOf(const std::string& line, std::uint32_t* address) {
  std::string_view value;
  if (!ValueOf(line, &value)) return false;
  const std::size_t start = line.size() - value.size() + FirstDigit(value);
  if (start + 1 >= line.size()) return false;
  const std::string text = line.substr(start, line.size() - 1 - start);
  std::uint32_t numbers[4] = {0, 0, 0, 0};
  int dots = 0;
  for (char c : text) {
    if (IsDigit(c)) {
      numbers[dots] = Grow(numbers[dots], 10, c - '0');
    } else if (c == '.' && numbers[dots] <= 255 && dots < 3) {
      ++dots;
    } else {
      return false;
    }
  }
  if (dots != 3 || numbers[0] < 1 || numbers[0] > 233) return false;
  const std::uint32_t a = numbers[0] << 24 | numbers[1] << 16 | numbers[2] << 8 | numbers[3];
  if (!HostPartIsUsable(a)) return false;
  // The mapping stores what the platform's conversion makes of the text. It reads a
  // leading 0 as octal and refuses an empty number or a fourth number above 255: any of
  // these would store another address than the one checked here.
  const unsigned char bytes[4] = {static_cast<unsigned char>(numbers[0]), static_cast<unsigned char>(numbers[1]),
                                  static_cast<unsigned char>(numbers[2]), static_cast<unsigned char>(numbers[3])};
  std::uint32_t checked = 0;
  std::memcpy(&checked, bytes, sizeof checked);
  if (numbers[3] > 255 || platform::InetAddr(text.c_str()) != checked) return false;
  *address = checked;
  return true;
}

// Whether the first digit of an "AutoReconn" line's value is 0 or 1.
bool IsReconnectLine(const std::string& line) {
  std::string_view value;
  if (!ValueOf(line, &value)) return false;
  const std::size_t i = FirstDigit(value);
  return i < value.size() && (value[i] == '0' || value[i] == '1');
}

// The auto-reconnect flag of an "AutoReconn" line: on unless its number reads 0.
std::uint32_t ReconnectOf(const std::string& line) {
  std::uint32_t n = 0;
  return DecimalValue(line, &n) && n == 0 ? 0 : 1;
}

// What a memo line adds to its section's memo sum: its value's length, newline
// included, when that is at least 2.
std::size_t MemoLength(const std::string& line) {
  std::string_view value;
  if (!ValueOf(line, &value)) return 0;
  return value.size() >= 2 ? value.size() : 0;
}

// Adds a memo line's text to the memo: from the second character after its '=' (the
// blank after '=' is not part of it), with its newline as CR LF. The memo never grows
// beyond what a description holds.
void AppendMemoLine(const std::string& line, std::string* memo) {
  const std::size_t equals = line.find('=');
  if (equals == std::string::npos || equals + 2 > line.size()) return;
  std::string piece = line.substr(equals + 2);
  if (!piece.empty() && piece.back() == '\n') {
    piece.back() = '\r';
    piece += '\n';
  }
  memo->append(piece, 0, kMemoLimit - std::min(memo->size(), kMemoLimit));
}

// A port the mapping file may map: one that exists and is not used by something else.
bool IsMappable(const TTorl7370PortEntry* port) {
  return port != nullptr && port != PORT_PRESENT && port->kind != KIND_USED;
}

std::string MemoPrefix(int lineNumber) {
  char prefix[32];
  std::snprintf(prefix, sizeof prefix, "%s%03d = ", "Memo", lineNumber);
  return prefix;
}

std::string SectionText(const TTorl7370PortEntry& port) {
  char keys[160];
  std::snprintf(keys, sizeof keys, "[COM%d]\n%s = %x\n%s = %s\n%s = %lld\n%s = %u\n", port.comNumber, "Model",
                port.modelCode, "IP Address", platform::InetNtoa(port.ipAddress).c_str(), "Port",
                static_cast<long long>(port.devicePort) + 1, "AutoReconn", port.autoReconn != 0 ? 1u : 0u);
  std::string text = keys;
  // One memo line per line of the description; its CR LF breaks end the lines.
  int lineNumber = 1;
  text += MemoPrefix(lineNumber);
  for (std::size_t i = 0; i < sizeof port.description && port.description[i] != '\0'; ++i) {
    const char c = port.description[i];
    if (c == '\r') continue;
    text += c;
    if (c == '\n') text += MemoPrefix(++lineNumber);
  }
  text += "\n\n";
  return text;
}

// The checking pass: every section of the file, stopping at the first fault. The store's
// importLine is then the line at fault.
class MappingFileCheck {
 public:
  MappingFileCheck(TTorl7370PortManager& store, MappingFile& file) : store_(store), file_(file) {}

  std::uint32_t Run() {
    if (!Read() || !Sound() || line_.substr(0, line_.size() - 1) != kHeader) return PMERR_CPM_FORMAT;
    do {
      if (!Read() || !Sound()) return PMERR_CPM_FORMAT;
    } while (!Contains(line_, "Version"));
    if (!Read()) return PMERR_NONE;
    if (!Sound() || !IsSectionLine(line_)) return PMERR_CPM_FORMAT;
    for (;;) {
      std::uint32_t code = CheckSectionLine();
      if (code == PMERR_NONE) code = CheckKeys();
      if (code != PMERR_NONE) return code;
      if (!Read() || !Sound()) return PMERR_CPM_FORMAT;
      bool more = true;
      if (Contains(line_, "AutoReconn")) {
        if (!IsReconnectLine(line_)) return PMERR_CPM_SETTING;
        store_.importHasAutoReconn = 1;
        more = Read();
      } else {
        store_.importHasAutoReconn = 0;
      }
      std::size_t memoSum = 0;
      for (; more; more = Read()) {
        if (!Sound()) return PMERR_CPM_FORMAT;
        if (IsSectionLine(line_)) break;
        if (!Contains(line_, "Memo")) return PMERR_CPM_FORMAT;
        // Held just above the limit, so that no count of lines can overflow it.
        memoSum = std::min(memoSum + MemoLength(line_), kMemoLimit + 1);
      }
      if (memoSum > kMemoLimit) return PMERR_CPM_SETTING;
      if (!more) return PMERR_NONE;
    }
  }

 private:
  bool Read() { return store_.ReadMappingLine(file_, &line_); }
  // A line holding a NUL byte is refused where it stands: its keys and values could not be
  // judged by the text before the NUL alone.
  bool Sound() const { return line_.find('\0') == std::string::npos; }
  bool ReadKey(const char* key) { return Read() && Sound() && Contains(line_, key); }

  std::uint32_t CheckSectionLine() {
    const std::uint32_t n = SectionComNumber(line_);
    if (n == 0 || n >= store_.ports.size()) return PMERR_CPM_SETTING;
    if (met_[n]) return PMERR_CPM_DUP_COM;
    if (!IsMappable(store_.ports[n])) return PMERR_CPM_USED_PORT;
    met_[n] = true;
    return PMERR_NONE;
  }

  std::uint32_t CheckKeys() {
    if (!ReadKey("Model")) return PMERR_CPM_FORMAT;
    const std::int32_t model = AcceptedModelIndexOfCode(ModelCodeOf(line_));
    if (model == 0) return PMERR_CPM_SETTING;
    std::uint32_t address = 0;
    if (!ReadKey("IP Address")) return PMERR_CPM_FORMAT;
    if (!FileAddressOf(line_, &address)) return PMERR_CPM_SETTING;
    std::uint32_t portNumber = 0;
    if (!ReadKey("Port")) return PMERR_CPM_FORMAT;
    if (!DecimalValue(line_, &portNumber) || portNumber < 1 ||
        portNumber > static_cast<std::uint32_t>(DevicePortCount(model)))
      return PMERR_CPM_SETTING;
    return PMERR_NONE;
  }

  TTorl7370PortManager& store_;
  MappingFile& file_;
  std::string line_;
  std::array<bool, 256> met_{};
};

}  // namespace

std::uint32_t TTorl7370PortManager::ExportMappings(MappingFile& file) {
  file.Write(std::string(kHeader) + "\n");
  file.Write("Version = 1.20\n\n");
  for (std::int32_t n = 1; n <= 255; ++n) {
    const TTorl7370PortEntry* port = ports[n];
    if (port != nullptr && port != PORT_PRESENT && IsModelKind(port->kind)) file.Write(SectionText(*port));
  }
  // A file that lacks some of its mappings must not pass for a complete export.
  return file.Flush() ? PMERR_NONE : PMERR_EXPORT_OPEN;
}

std::uint32_t TTorl7370PortManager::ImportMappings(MappingFile& file) {
  importLine = 0;
  const std::uint32_t code = CheckMappingFile(file);
  if (code != PMERR_NONE) return code;
  // A file that cannot be read a second time (a pipe) cannot be applied; nothing changed.
  if (!file.Rewind()) return PMERR_IMPORT_OPEN;
  importLine = 0;
  return ApplyMappingFile(file);
}

bool TTorl7370PortManager::ReadMappingLine(MappingFile& file, std::string* line) {
  for (;;) {
    if (file.AtEnd()) return false;
    const bool read = file.ReadLine(line);
    if (importLine < std::numeric_limits<std::int32_t>::max()) ++importLine;
    if (!read) return false;
    if (*line != "\n") return true;
  }
}

std::uint32_t TTorl7370PortManager::CheckMappingFile(MappingFile& file) { return MappingFileCheck(*this, file).Run(); }

std::uint32_t TTorl7370PortManager::ApplyMappingFile(MappingFile& file) {
  std::string line;
  // The check let any line before the version line through unexamined; none of them
  // may be taken for a section.
  do {
    if (!ReadMappingLine(file, &line)) return PMERR_CPM_SETTING;
  } while (!Contains(line, "Version"));
  bool more = ReadMappingLine(file, &line);
  while (more) {
    if (!IsSectionLine(line)) {
      more = ReadMappingLine(file, &line);
      continue;
    }
    // The file may have changed since the check: a port is never looked up out of range
    // nor taken from another owner.
    const std::uint32_t n = SectionComNumber(line);
    if (n == 0 || n >= ports.size()) return PMERR_CPM_SETTING;
    TTorl7370PortEntry* port = ports[n];
    if (!IsMappable(port)) return PMERR_CPM_USED_PORT;
    std::string modelLine, addressLine, portLine;
    if (!ReadMappingLine(file, &modelLine) || !ReadMappingLine(file, &addressLine) ||
        !ReadMappingLine(file, &portLine))
      return PMERR_CPM_SETTING;
    std::uint32_t reconnect = 0;
    more = ReadMappingLine(file, &line);
    if (importHasAutoReconn == 1) {
      if (!more) return PMERR_CPM_SETTING;
      // A section line here ends a section that has neither the line nor a memo; taking it
      // for the flag would drop the next section unseen.
      if (Contains(line, "AutoReconn") || !IsSectionLine(line)) {
        reconnect = ReconnectOf(line);
        more = ReadMappingLine(file, &line);
      }
    }
    std::string memo;
    for (; more && IsMemoLine(line); more = ReadMappingLine(file, &line)) AppendMemoLine(line, &memo);
    if (memo.size() >= 2 && memo.compare(memo.size() - 2, 2, "\r\n") == 0) memo.resize(memo.size() - 2);

    const std::int32_t kind = AcceptedModelIndexOfCode(ModelCodeOf(modelLine));
    std::uint32_t address = 0, portNumber = 0;
    if (kind == 0 || !FileAddressOf(addressLine, &address) || !DecimalValue(portLine, &portNumber) ||
        portNumber < 1 || portNumber > static_cast<std::uint32_t>(DevicePortCount(kind)))
      return PMERR_CPM_SETTING;
    port->SetMapping(kind, address, memo.c_str(), reconnect, static_cast<std::int32_t>(portNumber));
  }
  return PMERR_NONE;
}
