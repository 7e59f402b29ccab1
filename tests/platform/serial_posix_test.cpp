// The serial layer on real pseudo-terminals linked into a temporary COM folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

#include "platform/serial.h"
#include "support/pty_pair.h"
#include "support/simulated_driver.h"
#include "support/temp_dir.h"

using namespace platform;

namespace {

class SerialLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("VEQ_COM_DIR", dir.path().c_str(), 1);
    pty.LinkAs(dir.path(), "COM5");
    ports = CreateSystemSerialPorts(&driver);
  }
  void TearDown() override { unsetenv("VEQ_COM_DIR"); }

  std::unique_ptr<SerialPort> Open(const char* path, std::uint32_t* error) { return ports->Open(path, error); }

  testsupport::TempDir dir;
  testsupport::PtyPair pty;
  testsupport::SimulatedDriver driver;
  std::unique_ptr<platform::SerialPorts> ports;
};

long long MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

// The error another process gets opening the port, run as the given user (-1: as we are);
// 0 when it opened.
std::uint32_t ErrorOfOpenInChild(const char* path, int uid) {
  const pid_t child = fork();
  if (child == 0) {
    if (uid >= 0 && setuid(static_cast<uid_t>(uid)) != 0) _exit(255);
    std::uint32_t error = 0;
    auto port = CreateSystemSerialPorts()->Open(path, &error);
    _exit(port != nullptr ? 0 : static_cast<int>(error));
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? static_cast<std::uint32_t>(WEXITSTATUS(status)) : 255u;
}

}  // namespace

TEST_F(SerialLayer, MissingPortsAreErrorTwoAndOtherFailuresAreNot) {
  std::uint32_t error = 0;
  EXPECT_EQ(Open("\\\\.\\COM6", &error), nullptr);
  EXPECT_EQ(error, kSerialErrorFileNotFound);
  EXPECT_EQ(Open("COM5", &error), nullptr);  // not a device path
  EXPECT_EQ(error, kSerialErrorFileNotFound);
  EXPECT_EQ(Open("\\\\.\\..", &error), nullptr);
  EXPECT_EQ(error, kSerialErrorFileNotFound);
  std::ofstream(dir.File("COM8")) << "a plain file";
  EXPECT_EQ(Open("\\\\.\\COM8", &error), nullptr);
  EXPECT_EQ(error, kSerialErrorGenFailure);
  EXPECT_NE(Open("\\\\.\\com5", &error), nullptr);  // device names ignore case
  pty.LinkAs(dir.path(), "ttyPORT");
  EXPECT_NE(Open("\\\\.\\ttyPORT", &error), nullptr);
}

TEST_F(SerialLayer, ASecondOpenOfAHeldPortFailsWithAnotherCode) {
  std::uint32_t error = 0;
  auto held = Open("\\\\.\\COM5", &error);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(Open("\\\\.\\COM5", &error), nullptr);
  EXPECT_EQ(error, kSerialErrorSharingViolation);
  // Another process is kept out too, whoever runs it.
  EXPECT_EQ(ErrorOfOpenInChild("\\\\.\\COM5", -1), kSerialErrorSharingViolation);
  if (getuid() == 0) {
    const int nobody = 65534;
    chmod(dir.path().c_str(), 0755);
    chmod(pty.slavePath().c_str(), 0666);
    EXPECT_EQ(ErrorOfOpenInChild("\\\\.\\COM5", nobody), kSerialErrorSharingViolation);
    held.reset();
    // The exclusive mode goes with the port, though the tty stays open elsewhere.
    EXPECT_EQ(ErrorOfOpenInChild("\\\\.\\COM5", nobody), 0u);
  }
  held.reset();
  EXPECT_NE(Open("\\\\.\\COM5", &error), nullptr);  // free again once closed
}

TEST_F(SerialLayer, SettingsRoundTripOrAreRefusedWhenTheTtyCannotTakeThem) {
  std::uint32_t error = 0;
  auto port = Open("\\\\.\\COM5", &error);
  ASSERT_NE(port, nullptr);
  struct Setting {
    std::uint32_t baud;
    std::uint8_t bits, parity, stop;
  };
  auto dcbOf = [](const Setting& s) {
    Dcb dcb;
    dcb.BaudRate = s.baud;
    dcb.ByteSize = s.bits;
    dcb.Parity = s.parity;
    dcb.StopBits = s.stop;
    return dcb;
  };
  auto expectState = [&](const Setting& s) {
    Dcb read;
    ASSERT_TRUE(port->GetCommState(&read));
    EXPECT_EQ(read.BaudRate, s.baud);
    EXPECT_EQ(read.ByteSize, s.bits);
    EXPECT_EQ(read.Parity, s.parity);
    EXPECT_EQ(read.StopBits, s.stop);
  };
  // Every tty takes these.
  for (const Setting s : {Setting{9600, 8, kNoParity, kOneStopBit}, Setting{115200, 8, kNoParity, kTwoStopBits},
                          Setting{300, 8, kNoParity, kOneStopBit}, Setting{921600, 8, kNoParity, kTwoStopBits}}) {
    ASSERT_TRUE(port->SetCommState(dcbOf(s))) << s.baud << " " << port->LastError();
    expectState(s);
  }
  // A pseudo-terminal may keep only 8 data bits without parity: whatever it cannot keep
  // is refused, and the port keeps its last good setting.
  Setting last{921600, 8, kNoParity, kTwoStopBits};
  for (const Setting s : {Setting{115200, 7, kEvenParity, kTwoStopBits}, Setting{300, 5, kMarkParity, kOne5StopBits},
                          Setting{57600, 6, kSpaceParity, kOneStopBit}, Setting{1200, 8, kOddParity, kOneStopBit}}) {
    if (port->SetCommState(dcbOf(s))) {
      expectState(s);
      last = s;
    } else {
      EXPECT_EQ(port->LastError(), kSerialErrorInvalidParameter);
      expectState(last);
    }
  }
  // Flow control takes and is cleared again.
  Dcb flow = dcbOf(last);
  flow.fOutxCtsFlow = flow.fOutX = flow.fInX = true;
  ASSERT_TRUE(port->SetCommState(flow));
  Dcb read;
  ASSERT_TRUE(port->GetCommState(&read));
  EXPECT_TRUE(read.fOutxCtsFlow && read.fOutX && read.fInX);
  ASSERT_TRUE(port->SetCommState(dcbOf(last)));
  ASSERT_TRUE(port->GetCommState(&read));
  EXPECT_FALSE(read.fOutxCtsFlow || read.fOutX || read.fInX);

  Dcb bad;
  bad.BaudRate = 14400;  // a platform rate that a tty does not have
  EXPECT_FALSE(port->SetCommState(bad));
  EXPECT_EQ(port->LastError(), kSerialErrorInvalidParameter);
  bad = Dcb();
  bad.ByteSize = 9;
  EXPECT_FALSE(port->SetCommState(bad));
  bad = Dcb();
  bad.StopBits = kOne5StopBits;  // only with 5 data bits, as on a 16550
  EXPECT_FALSE(port->SetCommState(bad));
  bad = Dcb();
  bad.ByteSize = 5;
  bad.StopBits = kTwoStopBits;
  EXPECT_FALSE(port->SetCommState(bad));
  bad = Dcb();
  bad.fOutxDsrFlow = true;
  EXPECT_FALSE(port->SetCommState(bad));
  EXPECT_EQ(port->LastError(), kSerialErrorInvalidParameter);
  expectState(last);
}

TEST_F(SerialLayer, DataCrossesInBothDirectionsWithinTheTimeOut) {
  std::uint32_t error = 0;
  auto port = Open("\\\\.\\COM5", &error);
  ASSERT_NE(port, nullptr);
  ASSERT_TRUE(port->SetCommState(Dcb()));
  ASSERT_TRUE(port->SetCommTimeouts(CommTimeouts{0, 0, 2000, 0, 2000}));
  const std::string pattern = "0123456789ABCDEF";
  std::uint32_t written = 0;
  ASSERT_TRUE(port->WriteFile(pattern.data(), 16, &written));
  EXPECT_EQ(written, 16u);
  EXPECT_EQ(pty.Read(16, 2000), pattern);
  pty.Write("\x00\xFF\x11\x13\r\n", 6);
  char buffer[6];
  std::uint32_t read = 0;
  ASSERT_TRUE(port->ReadFile(buffer, 6, &read));
  EXPECT_EQ(std::string(buffer, read), std::string("\x00\xFF\x11\x13\r\n", 6));
  // Purging the receive side drops what has come in.
  ASSERT_TRUE(pty.Write("stale"));
  usleep(50 * 1000);
  ASSERT_TRUE(port->PurgeComm(kPurgeRxAbort | kPurgeRxClear));
  ASSERT_TRUE(port->PurgeComm(kPurgeTxAbort | kPurgeTxClear));
  ASSERT_TRUE(port->SetCommTimeouts(CommTimeouts{0, 0, 100, 0, 0}));
  ASSERT_TRUE(port->ReadFile(buffer, 5, &read));
  EXPECT_EQ(read, 0u);
}

TEST_F(SerialLayer, ModemLinesOfATtyWithoutThemFailAsAnInvalidFunction) {
  std::uint32_t error = 0;
  auto port = Open("\\\\.\\COM5", &error);
  ASSERT_NE(port, nullptr);
  // A pseudo-terminal has no modem lines.
  EXPECT_FALSE(port->EscapeCommFunction(kSetDtr));
  EXPECT_EQ(port->LastError(), kSerialErrorInvalidFunction);
  std::uint32_t status = 0;
  EXPECT_FALSE(port->GetCommModemStatus(&status));
  EXPECT_EQ(port->LastError(), kSerialErrorInvalidFunction);
  EXPECT_FALSE(port->EscapeCommFunction(9));  // SETBREAK and the like are not offered
  EXPECT_EQ(port->LastError(), kSerialErrorInvalidParameter);
}

TEST_F(SerialLayer, AReadWithNothingToReadReturnsAfterTheTotalTimeOut) {
  std::uint32_t error = 0;
  auto port = Open("\\\\.\\COM5", &error);
  ASSERT_NE(port, nullptr);
  ASSERT_TRUE(port->SetCommTimeouts(CommTimeouts{0, 10, 150, 0, 0}));
  char buffer[16];
  std::uint32_t read = 99;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(port->ReadFile(buffer, 16, &read));
  EXPECT_EQ(read, 0u);
  EXPECT_GE(MsSince(start), 150 + 16 * 10 - 20);  // waited for the time-out, give or take a tick
  pty.Write("abc");
  const auto second = std::chrono::steady_clock::now();
  ASSERT_TRUE(port->ReadFile(buffer, 16, &read));
  EXPECT_EQ(std::string(buffer, read), "abc");  // fewer bytes than asked, after the time-out
  EXPECT_GE(MsSince(second), 150);
  // MAXDWORD interval and no totals: at once with what is there.
  ASSERT_TRUE(port->SetCommTimeouts(CommTimeouts{0xFFFFFFFFu, 0, 0, 0, 0}));
  ASSERT_TRUE(port->ReadFile(buffer, 16, &read));
  EXPECT_EQ(read, 0u);
  CommTimeouts back;
  ASSERT_TRUE(port->GetCommTimeouts(&back));
  EXPECT_EQ(back.ReadIntervalTimeout, 0xFFFFFFFFu);
}

TEST_F(SerialLayer, DriverControlCodesReachTheDriverStandingInItsPlace) {
  std::uint32_t error = 0;
  auto port = Open("\\\\.\\COM5", &error);
  ASSERT_NE(port, nullptr);
  std::uint8_t block[1028] = {0x07, 0x00, 0x00, 0x00, 0xAB};
  EXPECT_TRUE(port->DeviceIoControl(IOCTL_FIRMWARE_BLOCK, block, sizeof block));
  EXPECT_TRUE(port->DeviceIoControl(IOCTL_DEVICE_REBOOT, nullptr, 0));
  driver.RefuseBlock(8, 31);
  block[0] = 8;
  EXPECT_FALSE(port->DeviceIoControl(IOCTL_FIRMWARE_BLOCK, block, sizeof block));
  EXPECT_EQ(port->LastError(), 31u);
  driver.RefuseReboot(5);
  EXPECT_FALSE(port->DeviceIoControl(IOCTL_DEVICE_REBOOT, nullptr, 0));
  EXPECT_EQ(port->LastError(), 5u);
  EXPECT_FALSE(port->DeviceIoControl(1234, nullptr, 0));
  EXPECT_EQ(port->LastError(), kSerialErrorInvalidFunction);
  EXPECT_FALSE(port->DeviceIoControl(IOCTL_FIRMWARE_BLOCK, block, 1024));  // not a whole record
  EXPECT_EQ(port->LastError(), kSerialErrorInvalidParameter);
  const auto requests = driver.Requests();
  ASSERT_EQ(requests.size(), 6u);
  EXPECT_EQ(requests[0].code, IOCTL_FIRMWARE_BLOCK);
  ASSERT_EQ(requests[0].input.size(), sizeof block);
  EXPECT_EQ(requests[0].input[0], 0x07);
  EXPECT_EQ(requests[0].input[4], 0xAB);
  EXPECT_EQ(requests[1].code, IOCTL_DEVICE_REBOOT);
  EXPECT_TRUE(requests[1].input.empty());
  EXPECT_EQ(requests[4].code, 1234u);
  const auto blocks = driver.Blocks();
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0].devicePath, "\\\\.\\COM5");
  EXPECT_EQ(blocks[0].index, 7u);
  EXPECT_EQ(blocks[0].data.size(), 1024u);
  EXPECT_EQ(blocks[0].data[0], 0xAB);
  EXPECT_EQ(driver.Reboots().size(), 2u);

  // Without a driver behind them the codes fail.
  auto plain = CreateSystemSerialPorts();
  port.reset();
  auto bare = plain->Open("\\\\.\\COM5", &error);
  ASSERT_NE(bare, nullptr);
  EXPECT_FALSE(bare->DeviceIoControl(IOCTL_DEVICE_REBOOT, nullptr, 0));
  EXPECT_EQ(bare->LastError(), kSerialErrorInvalidFunction);
}
