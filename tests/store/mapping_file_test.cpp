#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/address.h"
#include "platform/directories.h"
#include "store/device_models.h"
#include "store/error_codes.h"
#include "store/mapping_file.h"
#include "store/registry_values.h"
#include "store/store_fixture.h"

namespace {

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Text as it lies on disk: every '\n' as CR LF.
std::string Crlf(const std::string& text) {
  std::string bytes;
  for (char c : text) bytes += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return bytes;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

const char kHead[] = "[VEQ COMPORT MAPPING]\nVersion = 1.20\n\n";

std::string Section(int com, const std::string& model, const std::string& ip, int port, const std::string& rest) {
  std::ostringstream text;
  text << "[COM" << com << "]\nModel = " << model << "\nIP Address = " << ip << "\nPort = " << port << "\n" << rest;
  return text.str();
}

// Lines 1 to 10; the read after them is line 11.
const std::string kValid =
    std::string(kHead) + Section(5, "7370", "10.0.0.5", 2, "AutoReconn = 1\nMemo001 = first\n\n");

// Memo lines whose values count up to total in the section's memo sum (total must not
// leave a last line of one character).
std::string MemoLines(std::size_t total) {
  std::string lines;
  for (int k = 1; total > 0; ++k) {
    const std::size_t count = std::min<std::size_t>(total, 52);  // the blank, the text and the newline
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "Memo%03d = ", k);
    lines += prefix + std::string(count - 2, static_cast<char>('a' + k % 26)) + "\n";
    total -= count;
  }
  return lines;
}

std::uint32_t Ip(const char* text) { return platform::InetAddr(text); }

// The devices that stand for a full disk and an endless file are not on every system.
bool Missing(const char* device) { return !platform::FileExists(device); }

class MappingFileTest : public StoreFixture {
 protected:
  // COM1 is in use by the system, COM2 is mapped to Port 1 of a TORL7370 at 10.0.0.2, the
  // rest is free.
  void SetUp() override {
    MappingValues com2;
    com2.ip = "10.0.0.2";
    com2.description = "two";
    WriteMapping("OLMX2", com2);
    window.detect = [](PortTable& ports) { ports[1] = PORT_PRESENT; };
    ASSERT_TRUE(OpenAndLoad());
    window.ErrorCode = PMERR_NONE;
  }

  // A new store over the registry as it now stands, with a tree of its own.
  void Reload() {
    window.selected = nullptr;
    window.root.children.clear();
    ASSERT_TRUE(OpenAndLoad());
  }

  std::uint32_t ImportBytes(const std::string& bytes) {
    const std::string path = dir.File("import.cpm");
    WriteBytes(path, bytes);
    return ImportPath(path);
  }
  std::uint32_t Import(const std::string& text) { return ImportBytes(Crlf(text)); }
  std::uint32_t ImportPath(const std::string& path) {
    MappingFile file;
    EXPECT_TRUE(file.OpenForImport(path));
    const std::uint32_t code = store().ImportMappings(file);
    EXPECT_TRUE(file.Close());
    return code;
  }
  std::string Export() {
    const std::string path = dir.File("export.cpm");
    MappingFile file;
    EXPECT_TRUE(file.OpenForExport(path));
    EXPECT_EQ(store().ExportMappings(file), PMERR_NONE);
    EXPECT_TRUE(file.Close());
    return ReadBytes(path);
  }

  // Values of a port key "OLMX<n>"; false when the key or the value is missing.
  bool PortDword(int com, const char* name, std::uint32_t* value) {
    platform::RegKey key = platform::kInvalidKey;
    if (registry->OpenKey(store().hMappingList, ("OLMX" + std::to_string(com)).c_str(), platform::kKeyRead, &key) !=
        platform::kErrorSuccess)
      return false;
    const bool read = ReadDword(*registry, key, name, value);
    registry->CloseKey(key);
    return read;
  }
  std::uint32_t Dword(int com, const char* name) {
    std::uint32_t value = 0xDEADBEEF;
    EXPECT_TRUE(PortDword(com, name, &value)) << "COM" << com << " " << name;
    return value;
  }
  std::string Description(int com) {
    platform::RegKey key = platform::kInvalidKey;
    char text[256] = "<missing>";
    if (registry->OpenKey(store().hMappingList, ("OLMX" + std::to_string(com)).c_str(), platform::kKeyRead, &key) ==
        platform::kErrorSuccess) {
      ReadString(*registry, key, "Description", text, sizeof text);
      registry->CloseKey(key);
    }
    return text;
  }

  // The ports of several models with memos of one line, several lines and none.
  void MapSeveralModels() {
    MappingValues com3;
    com3.enumId = com3.portId = 3;
    com3.model = 0xB370;
    com3.ip = "192.168.1.10";
    com3.port = 2;
    com3.description = "Front desk";
    WriteMapping("OLMX3", com3);
    MappingValues com7;
    com7.enumId = com7.portId = 7;
    com7.model = 0x7316;
    com7.ip = "10.1.2.3";
    com7.port = 16;
    com7.autoReconn = 0;
    com7.description = "Line one\r\nLine two\r\nLine three";
    WriteMapping("OLMX7", com7);
    MappingValues com12;
    com12.enumId = com12.portId = 12;
    com12.model = 0x7371;
    com12.ip = "172.16.5.9";
    com12.description = "";
    WriteMapping("OLMX12", com12);
  }
};

}  // namespace

// --- The stream: CR LF on disk, '\n' in memory -------------------------------------------

TEST_F(MappingFileTest, StreamReadsCrLfAsNewlineAndKeepsEveryOtherByte) {
  const std::string path = dir.File("lines.cpm");
  WriteBytes(path, "one\r\ntwo\rthree\n\r\n" + std::string("nul\0byte", 8) + "\r\nlast");
  MappingFile file;
  ASSERT_TRUE(file.OpenForImport(path));
  std::string line;
  std::vector<std::string> lines;
  while (file.ReadLine(&line)) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"one\n", "two\rthree\n", "\n", std::string("nul\0byte\n", 9), "last"}));
  EXPECT_TRUE(file.AtEnd());
  ASSERT_TRUE(file.Rewind());
  EXPECT_FALSE(file.AtEnd());
  ASSERT_TRUE(file.ReadLine(&line));
  EXPECT_EQ(line, "one\n");
}

TEST_F(MappingFileTest, StreamSplitsLinesLongerThanOneRead) {
  const std::string path = dir.File("long.cpm");
  WriteBytes(path, std::string(300, 'x') + "\r\n" + std::string(254, 'y') + "\r\n");
  MappingFile file;
  ASSERT_TRUE(file.OpenForImport(path));
  std::string line;
  ASSERT_TRUE(file.ReadLine(&line));
  EXPECT_EQ(line, std::string(255, 'x'));
  ASSERT_TRUE(file.ReadLine(&line));
  EXPECT_EQ(line, std::string(45, 'x') + "\n");
  ASSERT_TRUE(file.ReadLine(&line));  // 254 characters and the newline: one read
  EXPECT_EQ(line, std::string(254, 'y') + "\n");
  EXPECT_FALSE(file.AtEnd());
  EXPECT_FALSE(file.ReadLine(&line));
  EXPECT_TRUE(file.AtEnd());
}

TEST_F(MappingFileTest, StreamWritesEveryNewlineAsCrLf) {
  const std::string path = dir.File("out.cpm");
  MappingFile file;
  ASSERT_TRUE(file.OpenForExport(path));
  file.Write("a\nb\r");
  file.Write("\n\n");
  EXPECT_TRUE(file.Flush());
  EXPECT_TRUE(file.Close());
  EXPECT_EQ(ReadBytes(path), "a\r\nb\r\r\n\r\n");
}

TEST_F(MappingFileTest, StreamReportsWritesThatDoNotReachTheDisk) {
  if (Missing("/dev/full")) GTEST_SKIP() << "no /dev/full";
  MappingFile file;
  ASSERT_TRUE(file.OpenForExport("/dev/full"));
  file.Write("[VEQ COMPORT MAPPING]\n");
  EXPECT_FALSE(file.Flush());
  EXPECT_FALSE(file.Close());

  MappingFile unflushed;
  ASSERT_TRUE(unflushed.OpenForExport("/dev/full"));
  unflushed.Write("a few bytes that stay in the buffer until the close\n");
  EXPECT_FALSE(unflushed.Close());
}

TEST_F(MappingFileTest, StreamOpensForImportOnlyWhatMayBeUpdated) {
  MappingFile file;
  EXPECT_FALSE(file.OpenForImport(dir.File("missing.cpm")));
  EXPECT_FALSE(file.OpenForImport(dir.path()));
  const std::string path = dir.File("readonly.cpm");
  WriteBytes(path, Crlf(kValid));
  testsupport::MakeReadOnly(path);
  if (std::ofstream(path, std::ios::app)) GTEST_SKIP() << "this user may update a read-only file";
  EXPECT_FALSE(file.OpenForImport(path));
}

// --- Export ------------------------------------------------------------------------------

TEST_F(MappingFileTest, ExportWritesTheGoldenFile) {
  MapSeveralModels();
  // COM2 of the fixture is not in the golden file.
  DeleteKeyPath("Enum\\OLMXV1X", "OLMX2");
  Reload();
  const std::string golden = ReadBytes(VEQ_STORE_TEST_DATA "/export_golden.cpm");
  ASSERT_FALSE(golden.empty());
  // The golden file must hold CR LF line ends itself, whatever the checkout did.
  std::size_t bareNewlines = 0;
  for (std::size_t i = 0; i < golden.size(); ++i)
    bareNewlines += golden[i] == '\n' && (i == 0 || golden[i - 1] != '\r');
  ASSERT_EQ(bareNewlines, 0u);
  EXPECT_EQ(Export(), golden);
}

TEST_F(MappingFileTest, ExportWithoutMappedPortsWritesTheHeadOnly) {
  DeleteKeyPath("Enum\\OLMXV1X", "OLMX2");
  Reload();
  EXPECT_EQ(Export(), Crlf(kHead));
}

TEST_F(MappingFileTest, ExportThatCannotBeWrittenReportsFailure) {
  if (Missing("/dev/full")) GTEST_SKIP() << "no /dev/full";
  MappingFile file;
  ASSERT_TRUE(file.OpenForExport("/dev/full"));
  EXPECT_EQ(store().ExportMappings(file), PMERR_EXPORT_OPEN);
  EXPECT_FALSE(file.Close());
  window.ErrorCode = PMERR_EXPORT_OPEN;
  window.ShowErrorMessage();
  ASSERT_EQ(window.desktop.boxes.size(), 1u);
  EXPECT_EQ(window.desktop.boxes[0].text, "Open Export File Fail");
}

TEST_F(MappingFileTest, ExportWritesTheReconnectFlagAsZeroOrOne) {
  MappingValues com2;
  com2.autoReconn = 5;  // any other value than 0 means on
  WriteMapping("OLMX2", com2);
  Reload();
  const std::string exported = Export();
  EXPECT_NE(exported.find("AutoReconn = 1\r\n"), std::string::npos) << exported;
  EXPECT_EQ(ImportBytes(exported), PMERR_NONE);
}

// --- Export and import together ----------------------------------------------------------

TEST_F(MappingFileTest, ExportThenImportOnTheSameMachineChangesNothing) {
  MapSeveralModels();
  Reload();
  const std::string exported = Export();
  const std::string before = Snapshot();
  EXPECT_EQ(ImportBytes(exported), PMERR_NONE);
  EXPECT_EQ(window.RebootRequired, 0);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_STREQ(Port(7)->description, "Line one\r\nLine two\r\nLine three");
}

TEST_F(MappingFileTest, ImportOnAnotherMachineMapsTheSamePorts) {
  MapSeveralModels();
  Reload();
  const std::string exported = Export();

  // Where there is only one registry, the other machine's replaces this one's.
  testsupport::TempDir otherDir;
  testsupport::TestRegistry otherMachine;
  FakeWindow other;
  other.store = std::make_unique<TTorl7370PortManager>(&other, otherMachine.registry());
  ASSERT_TRUE(other.store->OpenRegistry());
  ASSERT_TRUE(other.store->LoadPorts());
  const std::string path = otherDir.File("in.cpm");
  WriteBytes(path, exported);
  MappingFile in;
  ASSERT_TRUE(in.OpenForImport(path));
  EXPECT_EQ(other.store->ImportMappings(in), PMERR_NONE);
  in.Close();
  EXPECT_EQ(other.RebootRequired, 1);
  for (int com : {2, 3, 7, 12}) {
    const TTorl7370PortEntry& mine = *Port(com);
    const TTorl7370PortEntry& theirs = *other.store->ports[com];
    EXPECT_EQ(theirs.kind, mine.kind) << com;
    EXPECT_EQ(theirs.ipAddress, mine.ipAddress) << com;
    EXPECT_EQ(theirs.devicePort, mine.devicePort) << com;
    EXPECT_EQ(theirs.autoReconn, mine.autoReconn) << com;
    EXPECT_STREQ(theirs.description, mine.description) << com;
  }
  EXPECT_EQ(other.ChildTexts("VEQ7316(R)+ Ports"), (std::vector<std::string>{"COM7"}));

  const std::string again = otherDir.File("out.cpm");
  MappingFile out;
  ASSERT_TRUE(out.OpenForExport(again));
  EXPECT_EQ(other.store->ExportMappings(out), PMERR_NONE);
  ASSERT_TRUE(out.Close());
  EXPECT_EQ(ReadBytes(again), exported);
}

// --- Refused files: the code, the line at fault, and nothing changed ---------------------

struct Refusal {
  const char* name;
  std::string bytes;  // as on disk
  std::uint32_t code;
  std::int32_t line;
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.name; }

class MappingFileRefusal : public MappingFileTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(MappingFileRefusal, IsReportedAtItsLineAndChangesNothing) {
  const Refusal& refusal = GetParam();
  const std::string before = Snapshot();
  EXPECT_EQ(ImportBytes(refusal.bytes), refusal.code);
  EXPECT_EQ(store().importLine, refusal.line);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(window.RebootRequired, 0);
  EXPECT_EQ(Port(5)->kind, KIND_UNUSED);

  window.ErrorCode = refusal.code;
  window.ShowErrorMessage();
  const char* message = refusal.code == PMERR_CPM_FORMAT    ? "The format of the CPM file is wrong"
                        : refusal.code == PMERR_CPM_SETTING ? "The setting of the CPM file is wrong"
                        : refusal.code == PMERR_CPM_DUP_COM ? "The setting of COM in the CPM file is duplicate"
                                                            : "The imported port is an used port";
  ASSERT_EQ(window.desktop.boxes.size(), 1u);
  EXPECT_EQ(window.desktop.boxes[0].text, "[LINE " + std::to_string(refusal.line) + " - FATAL]\n" + message);
}

Refusal Text(const char* name, const std::string& text, std::uint32_t code, std::int32_t line) {
  return {name, Crlf(text), code, line};
}
Refusal Edit(const char* name, const std::string& from, const std::string& to, std::uint32_t code, std::int32_t line) {
  return Text(name, Replace(kValid, from, to), code, line);
}

INSTANTIATE_TEST_SUITE_P(
    HeadAndSections, MappingFileRefusal,
    ::testing::Values(
        Edit("HeaderWithTrailingBlanks", "MAPPING]", "MAPPING]  ", PMERR_CPM_FORMAT, 1),
        Edit("HeaderInOtherCase", "[VEQ COMPORT MAPPING]", "[VEQ Comport Mapping]", PMERR_CPM_FORMAT, 1),
        Text("EmptyLinesCountBeforeAWrongHeader", "\n\nHello\n" + kValid, PMERR_CPM_FORMAT, 3),
        Text("EmptyFile", "", PMERR_CPM_FORMAT, 1),
        Edit("NoVersionLine", "Version = 1.20\n", "", PMERR_CPM_FORMAT, 10),
        Edit("SectionLineWithoutBracket", "[COM5]", "COM5]", PMERR_CPM_FORMAT, 4),
        Edit("ComZero", "[COM5]", "[COM0]", PMERR_CPM_SETTING, 4),
        Edit("Com256", "[COM5]", "[COM256]", PMERR_CPM_SETTING, 4),
        Edit("ComWithoutClosingBracket", "[COM5]", "[COM5", PMERR_CPM_SETTING, 4),
        Edit("ComWithABlank", "[COM5]", "[COM 5]", PMERR_CPM_SETTING, 4),
        Edit("ComNumberBeyondAnyInteger", "[COM5]", "[COM4294967301]", PMERR_CPM_SETTING, 4),
        Edit("UsedPort", "[COM5]", "[COM1]", PMERR_CPM_USED_PORT, 4),
        Text("SecondSectionOfCom5", kValid + Section(6, "7370", "10.0.0.6", 1, "AutoReconn = 1\nMemo001 = \n\n") +
                                        Section(5, "7370", "10.0.0.7", 1, "AutoReconn = 1\nMemo001 = \n\n"),
             PMERR_CPM_DUP_COM, 18)),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Keys, MappingFileRefusal,
    ::testing::Values(
        Edit("ModelKeyMisspelt", "Model =", "Modle =", PMERR_CPM_FORMAT, 5),
        Edit("ModelWithoutEquals", "Model = 7370", "Model 7370", PMERR_CPM_SETTING, 5),
        Edit("ModelUpperCaseB370", "Model = 7370", "Model = B370", PMERR_CPM_SETTING, 5),
        Edit("ModelSecureA370", "Model = 7370", "Model = a370", PMERR_CPM_SETTING, 5),
        Edit("ModelSecureA371", "Model = 7370", "Model = a371", PMERR_CPM_SETTING, 5),
        Edit("ModelWithoutHexDigit", "Model = 7370", "Model = xyz", PMERR_CPM_SETTING, 5),
        Edit("ModelBeyondAnyInteger", "Model = 7370", "Model = 1000000007370", PMERR_CPM_SETTING, 5),
        Edit("AddressKeyMisspelt", "IP Address", "IP Adress", PMERR_CPM_FORMAT, 6),
        Edit("AddressWithoutEquals", "IP Address = ", "IP Address ", PMERR_CPM_SETTING, 6),
        Edit("AddressNetworkItself", "10.0.0.5", "10.0.0.0", PMERR_CPM_SETTING, 6),
        Edit("AddressBroadcast", "10.0.0.5", "10.255.255.255", PMERR_CPM_SETTING, 6),
        Edit("AddressFirstNumberZero", "10.0.0.5", "0.1.2.3", PMERR_CPM_SETTING, 6),
        Edit("AddressFirstNumber234", "10.0.0.5", "234.1.1.1", PMERR_CPM_SETTING, 6),
        Edit("AddressThreeNumbers", "10.0.0.5", "1.2.3", PMERR_CPM_SETTING, 6),
        Edit("AddressFiveNumbers", "10.0.0.5", "1.2.3.4.5", PMERR_CPM_SETTING, 6),
        Edit("AddressTrailingBlank", "10.0.0.5", "10.0.0.5 ", PMERR_CPM_SETTING, 6),
        Edit("AddressNumberAbove255", "10.0.0.5", "10.256.0.5", PMERR_CPM_SETTING, 6),
        Edit("AddressFourthAbove255", "10.0.0.5", "10.0.0.261", PMERR_CPM_SETTING, 6),
        Edit("AddressLeadingZeroReadAsOctal", "10.0.0.5", "10.0.0.010", PMERR_CPM_SETTING, 6),
        Edit("AddressEmptyNumber", "10.0.0.5", "10..0.5", PMERR_CPM_SETTING, 6),
        Edit("AddressBeyondAnyInteger", "10.0.0.5", "4294967306.0.0.5", PMERR_CPM_SETTING, 6),
        Edit("PortKeyMisspelt", "Port = 2", "Prt = 2", PMERR_CPM_FORMAT, 7),
        Edit("PortBeyondTheModel", "Port = 2", "Port = 3", PMERR_CPM_SETTING, 7),
        Edit("PortZero", "Port = 2", "Port = 0", PMERR_CPM_SETTING, 7),
        Edit("PortWithoutDigit", "Port = 2", "Port = two", PMERR_CPM_SETTING, 7),
        Edit("PortWrappingTo2", "Port = 2", "Port = 4294967298", PMERR_CPM_SETTING, 7),
        Edit("ReconnectTwo", "AutoReconn = 1", "AutoReconn = 2", PMERR_CPM_SETTING, 8),
        Edit("ReconnectWithoutDigit", "AutoReconn = 1", "AutoReconn = on", PMERR_CPM_SETTING, 8),
        Edit("ReconnectWithoutEquals", "AutoReconn = 1", "AutoReconn 1", PMERR_CPM_SETTING, 8),
        Edit("UnknownLineAfterTheKeys", "Memo001 = first", "Comment = first", PMERR_CPM_FORMAT, 9),
        Text("EndAfterModelLine", std::string(kHead) + "[COM5]\nModel = 7370\n", PMERR_CPM_FORMAT, 6),
        Text("EndInsideModelLine", std::string(kHead) + "[COM5]\nModel = 7370", PMERR_CPM_FORMAT, 5),
        Text("EndAfterPortLine", std::string(kHead) + Section(5, "7370", "10.0.0.5", 2, ""), PMERR_CPM_FORMAT, 8)),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Memos, MappingFileRefusal,
    ::testing::Values(
        Text("MemoSumAbove255BeforeTheNextSection",
             std::string(kHead) + Section(5, "7370", "10.0.0.5", 1, "AutoReconn = 1\n" + MemoLines(256) + "\n") +
                 Section(6, "7370", "10.0.0.5", 2, "AutoReconn = 1\nMemo001 = \n"),
             PMERR_CPM_SETTING, 15),
        Text("MemoSumAbove255InTheLastSection",
             std::string(kHead) + Section(5, "7370", "10.0.0.5", 1, "AutoReconn = 1\n" + MemoLines(300)),
             PMERR_CPM_SETTING, 15),
        Text("MemoSumAbove255WithoutReconnectLines",
             std::string(kHead) + Section(5, "7370", "10.0.0.5", 1, MemoLines(256) + "\n") +
                 Section(6, "7370", "10.0.0.5", 2, "Memo001 = \n"),
             PMERR_CPM_SETTING, 14),
        Edit("MemoLineLongerThanOneRead", "Memo001 = first", "Memo001 = " + std::string(300, 'x'), PMERR_CPM_FORMAT,
             10)),
    [](const auto& info) { return std::string(info.param.name); });

namespace {

// Bytes that follow no text rules, the same on every run.
std::string BinaryBytes(std::size_t size) {
  std::string bytes(size, '\0');
  std::uint32_t state = 12345;
  for (char& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 16);
  }
  bytes[0] = '\x8F';
  return bytes;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(
    BytesThatAreNoText, MappingFileRefusal,
    ::testing::Values(
        Refusal{"NulInAMemoLine", Crlf(Replace(kValid, "first", std::string("fi\0rst", 6))), PMERR_CPM_FORMAT, 9},
        Refusal{"NulAfterAGoodModelValue", Crlf(Replace(kValid, "7370", std::string("7370\0junk", 9))),
                PMERR_CPM_FORMAT, 5},
        Refusal{"NulInTheHeader", Crlf(Replace(kValid, "COMPORT ", std::string("COMPORT\0", 8))), PMERR_CPM_FORMAT, 1},
        Refusal{"NulBetweenHeaderAndVersion", Crlf(Replace(kValid, "Version", std::string("\0\nVersion", 9))),
                PMERR_CPM_FORMAT, 2},
        Refusal{"BinaryFile", BinaryBytes(1 << 20), PMERR_CPM_FORMAT, 1},
        Refusal{"HugeLineAfterTheHead", Crlf(kHead) + std::string(8 << 20, 'x'), PMERR_CPM_FORMAT, 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MappingFileTest, EndlessFileIsRefusedAtItsFirstLine) {
  if (Missing("/dev/zero")) GTEST_SKIP() << "no /dev/zero";
  EXPECT_EQ(ImportPath("/dev/zero"), PMERR_CPM_FORMAT);
  EXPECT_EQ(store().importLine, 1);
}

TEST_F(MappingFileTest, LineTwelveFormatFaultShowsItsLineAndText) {
  EXPECT_EQ(Import(kValid + "[COM6]\nModl = 7370\n"), PMERR_CPM_FORMAT);
  window.ErrorCode = PMERR_CPM_FORMAT;
  window.ShowErrorMessage();
  ASSERT_EQ(window.desktop.boxes.size(), 1u);
  EXPECT_EQ(window.desktop.boxes[0].text, "[LINE 12 - FATAL]\nThe format of the CPM file is wrong");
  EXPECT_EQ(window.desktop.boxes[0].caption, "VEQ COMPort Mapping Utility for Windows95/98/Me");
  EXPECT_EQ(window.ErrorCode, PMERR_NONE);
}

// --- Accepted files ----------------------------------------------------------------------

TEST_F(MappingFileTest, AnyVersionNumberIsAccepted) {
  EXPECT_EQ(Import(Replace(kValid, "1.20", "9.99")), PMERR_NONE);
  EXPECT_EQ(Port(5)->kind, 1);
}

TEST_F(MappingFileTest, LineEndsWithoutCrReadAlike) {
  EXPECT_EQ(ImportBytes(kValid), PMERR_NONE);
  EXPECT_EQ(Port(5)->kind, 1);
  EXPECT_STREQ(Port(5)->description, "first");
}

TEST_F(MappingFileTest, HeadWithoutSectionsImportsNothing) {
  const std::string before = Snapshot();
  EXPECT_EQ(Import("[VEQ COMPORT MAPPING]\nVersion = 1.20\n"), PMERR_NONE);
  EXPECT_EQ(Import("\n\n[VEQ COMPORT MAPPING]\ncomments [COM300] before the version\nVersion = 1.20"), PMERR_NONE);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(window.RebootRequired, 0);
  EXPECT_TRUE(window.desktop.boxes.empty());
}

TEST_F(MappingFileTest, LinesBeforeTheVersionLineAreNeverSections) {
  EXPECT_EQ(Import(Replace(kValid, "Version", "[COM300]\n[COM9]\nModel = 7316\nVersion")), PMERR_NONE);
  EXPECT_EQ(Port(5)->kind, 1);
  EXPECT_EQ(Port(9)->kind, KIND_UNUSED);
}

TEST_F(MappingFileTest, ModelCodesAreReadAsLowerCaseHex) {
  EXPECT_EQ(Import(std::string(kHead) + Section(5, "b370", "10.0.0.5", 2, "AutoReconn = 1\n") +
                   Section(6, "c371", "10.0.0.6", 1, "AutoReconn = 1\n") +
                   Section(7, "7316", "10.0.0.7", 16, "AutoReconn = 1\n")),
            PMERR_NONE);
  EXPECT_EQ(Port(5)->kind, 4);
  EXPECT_EQ(Dword(5, "Model"), 0xB370u);
  EXPECT_EQ(Port(6)->kind, 9);
  EXPECT_EQ(Port(7)->kind, 7);
  EXPECT_EQ(Port(7)->devicePort, 15);
  EXPECT_EQ(Dword(7, "Port"), 16u);
}

TEST_F(MappingFileTest, FourthAddressNumberHasNoRangeOfItsOwn) {
  EXPECT_EQ(Import(std::string(kHead) + Section(5, "7370", "10.0.1.0", 1, "AutoReconn = 1\n") +
                   Section(6, "7370", "172.16.0.255", 1, "AutoReconn = 1\n")),
            PMERR_NONE);
  EXPECT_EQ(Port(5)->ipAddress, Ip("10.0.1.0"));
  EXPECT_EQ(Port(6)->ipAddress, Ip("172.16.0.255"));
}

TEST_F(MappingFileTest, MemoSumOf255IsAccepted) {
  EXPECT_EQ(Import(std::string(kHead) + Section(5, "7370", "10.0.0.5", 1, "AutoReconn = 1\n" + MemoLines(255))),
            PMERR_NONE);
  // The final line break is not kept.
  EXPECT_EQ(std::string(Port(5)->description).size(), 253u);
  EXPECT_EQ(Description(5), Port(5)->description);
}

TEST_F(MappingFileTest, MemoLinesJoinWithCrLf) {
  const std::string memo = "Memo001 = abc\nMemo002 = def\nMemo003=x\nMemo004 =\n";
  EXPECT_EQ(Import(std::string(kHead) + Section(5, "7370", "10.0.0.5", 1, "AutoReconn = 0\n" + memo)), PMERR_NONE);
  // The character after '=' is taken for the blank, whatever it is; a value of one
  // character (the newline alone) adds nothing.
  EXPECT_STREQ(Port(5)->description, "abc\r\ndef\r\n");
}

TEST_F(MappingFileTest, WithoutReconnectLinesEveryPortImportsWithItOff) {
  EXPECT_EQ(Import(std::string(kHead) + Section(5, "7370", "10.0.0.5", 1, "Memo001 = five\n\n") +
                   Section(6, "7370", "10.0.0.6", 1, "Memo001 = six\n")),
            PMERR_NONE);
  EXPECT_EQ(store().importHasAutoReconn, 0);
  for (int com : {5, 6}) {
    EXPECT_EQ(Port(com)->autoReconn, 0u);
    EXPECT_EQ(Dword(com, "AutoReconn"), 0u);
  }
  EXPECT_STREQ(Port(5)->description, "five");
  EXPECT_STREQ(Port(6)->description, "six");
}

TEST_F(MappingFileTest, MixedReconnectLinesAreReadAsTheLastSectionHasThem) {
  // The last section has the line: the first memo line of COM5 is read in its place.
  EXPECT_EQ(Import(std::string(kHead) + Section(5, "7370", "10.0.0.5", 1, "Memo001 = 0\nMemo002 = second\n\n") +
                   Section(6, "7370", "10.0.0.6", 1, "AutoReconn = 1\nMemo001 = six\n")),
            PMERR_NONE);
  EXPECT_EQ(store().importHasAutoReconn, 1);
  EXPECT_EQ(Port(5)->autoReconn, 0u);
  EXPECT_STREQ(Port(5)->description, "second");
  EXPECT_EQ(Port(6)->autoReconn, 1u);
  EXPECT_STREQ(Port(6)->description, "six");
}

TEST_F(MappingFileTest, MixedReconnectLinesWithoutOneInTheLastSectionDropTheOthers) {
  EXPECT_EQ(Import(std::string(kHead) + Section(7, "7370", "10.0.0.7", 1, "AutoReconn = 1\nMemo001 = seven\n\n") +
                   Section(8, "7370", "10.0.0.8", 1, "Memo001 = eight\n")),
            PMERR_NONE);
  EXPECT_EQ(store().importHasAutoReconn, 0);
  EXPECT_EQ(Port(7)->kind, 1);
  EXPECT_EQ(Port(7)->autoReconn, 0u);
  EXPECT_STREQ(Port(7)->description, "");
  EXPECT_STREQ(Port(8)->description, "eight");
}

TEST_F(MappingFileTest, SectionWithNeitherReconnectLineNorMemoKeepsTheNextSection) {
  EXPECT_EQ(Import(std::string(kHead) + Section(5, "7370", "10.0.0.5", 1, "") +
                   Section(6, "7370", "10.0.0.6", 1, "AutoReconn = 1\nMemo001 = six\n")),
            PMERR_NONE);
  EXPECT_EQ(Port(5)->kind, 1);
  EXPECT_EQ(Port(5)->autoReconn, 0u);
  EXPECT_STREQ(Port(5)->description, "");
  EXPECT_EQ(Port(6)->kind, 1);
  EXPECT_EQ(Port(6)->ipAddress, Ip("10.0.0.6"));
  EXPECT_STREQ(Port(6)->description, "six");
}

TEST_F(MappingFileTest, MemoLineHoldingASectionKeyEndsTheMemo) {
  // The check takes the line for the next section, so the applying pass does too.
  EXPECT_EQ(Import(std::string(kHead) + Section(5, "7370", "10.0.0.5", 1, "Memo001 = five\n") +
                   "[COM6] Memo = x\nModel = 7370\nIP Address = 10.0.0.6\nPort = 2\nMemo001 = six\n"),
            PMERR_NONE);
  EXPECT_STREQ(Port(5)->description, "five");
  EXPECT_EQ(Port(6)->kind, 1);
  EXPECT_EQ(Port(6)->devicePort, 1);
}

// --- The applying pass -------------------------------------------------------------------

// The file may change between the two passes; the applying pass alone must still keep to
// the ports and the description's size.
TEST_F(MappingFileTest, ApplyingPassAloneKeepsToThePortsAndTheMemoSize) {
  const std::string path = dir.File("unchecked.cpm");
  const auto apply = [&](const std::string& text) {
    WriteBytes(path, Crlf(text));
    MappingFile file;
    EXPECT_TRUE(file.OpenForImport(path));
    store().importHasAutoReconn = 1;
    return store().ApplyMappingFile(file);
  };
  EXPECT_EQ(apply(std::string(kHead) + Section(300, "7370", "10.0.0.5", 1, "AutoReconn = 1\n")), PMERR_CPM_SETTING);
  EXPECT_EQ(apply(std::string(kHead) + Section(1, "7370", "10.0.0.5", 1, "AutoReconn = 1\n")), PMERR_CPM_USED_PORT);
  EXPECT_EQ(Port(1)->kind, KIND_USED);
  EXPECT_EQ(apply(std::string(kHead) + Section(5, "7370", "10.0.0.5", 3, "AutoReconn = 1\n")), PMERR_CPM_SETTING);
  EXPECT_EQ(window.RebootRequired, 0);

  EXPECT_EQ(apply(std::string(kHead) + Section(5, "7370", "10.0.0.5", 1, "AutoReconn = 1\n" + MemoLines(600))),
            PMERR_NONE);
  const std::string memo = Port(5)->description;
  EXPECT_EQ(memo.size(), 255u);
  EXPECT_EQ(memo.substr(0, 52), std::string(50, 'b') + "\r\n");
  EXPECT_EQ(Description(5), memo);
  // What was kept is the memo: the same file again changes nothing.
  window.RebootRequired = 0;
  EXPECT_EQ(apply(std::string(kHead) + Section(5, "7370", "10.0.0.5", 1, "AutoReconn = 1\n" + MemoLines(600))),
            PMERR_NONE);
  EXPECT_EQ(window.RebootRequired, 0);
}

TEST_F(MappingFileTest, ImportMapsAnUnusedPortWithAllItsRegistryEntries) {
  EXPECT_EQ(Import(Replace(kValid, "Memo001 = first\n", "Memo001 = first\nMemo002 = second\n")), PMERR_NONE);
  TTorl7370PortEntry& port = *Port(5);
  EXPECT_EQ(port.kind, 1);
  EXPECT_EQ(port.ipAddress, Ip("10.0.0.5"));
  EXPECT_STREQ(port.ipText, "10.0.0.5");
  EXPECT_EQ(port.devicePort, 1);
  EXPECT_EQ(port.devicePortEdit, 1);
  EXPECT_EQ(port.autoReconn, 1u);
  EXPECT_STREQ(port.description, "first\r\nsecond");
  EXPECT_EQ(window.ChildTexts("TORL7370 Ports"), (std::vector<std::string>{"COM2", "COM5"}));
  EXPECT_EQ(window.RebootRequired, 1);

  ASSERT_TRUE(KeyExists("Enum\\OLMXV1X\\OLMX5"));
  EXPECT_EQ(Dword(5, "IP Address"), Ip("10.0.0.5"));
  EXPECT_EQ(Dword(5, "Port"), 2u);
  EXPECT_EQ(Dword(5, "Model"), 0x7370u);
  EXPECT_EQ(Description(5), "first\r\nsecond");
  EXPECT_EQ(Dword(5, "AutoReconn"), 1u);
  EXPECT_EQ(static_cast<std::int32_t>(Dword(5, "EnumID")), port.enumId);
  EXPECT_EQ(static_cast<std::int32_t>(Dword(5, "PortID")), port.portId);
  EXPECT_NE(port.enumId, -1);
  EXPECT_TRUE(window.desktop.boxes.empty());
}

TEST_F(MappingFileTest, ImportRemapsAPortOfAnotherModel) {
  EXPECT_EQ(Import(std::string(kHead) + Section(2, "7316", "10.0.0.2", 9, "AutoReconn = 1\nMemo001 = two\n")),
            PMERR_NONE);
  EXPECT_EQ(Port(2)->kind, 7);
  EXPECT_EQ(Port(2)->modelCode, 0x7316u);
  EXPECT_EQ(window.ChildTexts("TORL7370 Ports"), std::vector<std::string>{});
  EXPECT_EQ(window.ChildTexts("VEQ7316(R)+ Ports"), (std::vector<std::string>{"COM2"}));
  EXPECT_EQ(Dword(2, "Model"), 0x7316u);
  EXPECT_EQ(Dword(2, "Port"), 9u);
  EXPECT_EQ(window.RebootRequired, 1);
}

TEST_F(MappingFileTest, ImportUpdatesAPortOfTheSameModelInPlace) {
  const std::int32_t enumId = Port(2)->enumId;
  EXPECT_EQ(Import(std::string(kHead) + Section(2, "7370", "10.0.0.99", 2, "AutoReconn = 0\nMemo001 = moved\n")),
            PMERR_NONE);
  EXPECT_EQ(Port(2)->kind, 1);
  EXPECT_EQ(Port(2)->enumId, enumId);
  EXPECT_EQ(Dword(2, "IP Address"), Ip("10.0.0.99"));
  EXPECT_EQ(Dword(2, "Port"), 2u);
  EXPECT_EQ(Dword(2, "AutoReconn"), 0u);
  EXPECT_EQ(Description(2), "moved");
  EXPECT_EQ(window.RebootRequired, 1);
}

TEST_F(MappingFileTest, ImportLeavesAnIdenticalPortUntouched) {
  const std::string before = Snapshot();
  EXPECT_EQ(Import(std::string(kHead) + Section(2, "7370", "10.0.0.2", 1, "AutoReconn = 1\nMemo001 = two\n")),
            PMERR_NONE);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(window.RebootRequired, 0);
}
