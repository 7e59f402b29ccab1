// The Win32 backends on the system they run on: Wine set to Windows 98 in CI. Where Wine
// is not Windows 9x, the test says which behaviour it expects and why.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "platform/serial.h"
#include "platform/system.h"
#include "platform/thread.h"
#include "store/driver_interface.h"
#include "store/error_codes.h"
#include "store/os_check.h"
#include "support/stage_setting.h"

namespace {

TEST(Win32Version, TheStartUpCheckFollowsTheReportedPlatform) {
  const std::string expected = StageSetting("VEQ_EXPECT_PLATFORM");
  if (expected.empty()) GTEST_SKIP() << "VEQ_EXPECT_PLATFORM names the platform the system is set to";
  auto system = platform::CreateSystemServices();
  platform::OsVersionInfo version;
  ASSERT_TRUE(system->QueryVersion(&version));
  ASSERT_EQ(version.platformId, std::strtoul(expected.c_str(), nullptr, 10));
  const std::uint32_t code = CheckOperatingSystem(*system);
  if (version.platformId == platform::kVerPlatformWin32Windows) {
    EXPECT_EQ(code, PMERR_NONE);
    EXPECT_EQ(version.majorVersion, 4u);
    EXPECT_EQ(version.minorVersion, 10u);  // Windows 98
  } else {
    EXPECT_EQ(code, PMERR_UNSUPPORTED_OS);
    std::string text;
    ASSERT_TRUE(ErrorMessageText(code, 0, &text));
    EXPECT_EQ(text, "This program only supports the Windows 95/98/Me");
  }
}

TEST(Win32Serial, APortThatDoesNotExistIsFileNotFound) {
  auto ports = platform::CreateSystemSerialPorts();
  std::uint32_t error = 0;
  EXPECT_EQ(ports->Open("\\\\.\\COM200", &error), nullptr);
  EXPECT_EQ(error, platform::kSerialErrorFileNotFound);
}

// COMn linked to a pty by the Wine stage.
class Win32PtyPort : public ::testing::Test {
 protected:
  void SetUp() override {
    name = StageSetting("VEQ_LOOPBACK_COM");
    if (name.empty()) GTEST_SKIP() << "VEQ_LOOPBACK_COM names a COM port linked to a pty";
    std::uint32_t error = 0;
    port = ports->Open("\\\\.\\" + name, &error);
    ASSERT_NE(port, nullptr) << error;
  }
  std::unique_ptr<platform::SerialPorts> ports = platform::CreateSystemSerialPorts();
  std::string name;
  std::unique_ptr<platform::SerialPort> port;
};

TEST_F(Win32PtyPort, SettingsAndTimeoutsReadBackAsSet) {
  platform::Dcb dcb;
  ASSERT_TRUE(port->GetCommState(&dcb));
  dcb.BaudRate = 19200;
  dcb.ByteSize = 8;
  dcb.Parity = platform::kNoParity;
  dcb.StopBits = platform::kOneStopBit;
  ASSERT_TRUE(port->SetCommState(dcb)) << port->LastError();
  platform::Dcb back;
  ASSERT_TRUE(port->GetCommState(&back));
  EXPECT_EQ(back.BaudRate, 19200u);
  EXPECT_EQ(back.ByteSize, 8);
  EXPECT_EQ(back.Parity, platform::kNoParity);
  platform::CommTimeouts timeouts;
  timeouts.ReadTotalTimeoutConstant = 700;
  timeouts.WriteTotalTimeoutConstant = 900;
  ASSERT_TRUE(port->SetCommTimeouts(timeouts));
  platform::CommTimeouts read;
  ASSERT_TRUE(port->GetCommTimeouts(&read));
  EXPECT_EQ(read.ReadTotalTimeoutConstant, 700u);
  EXPECT_EQ(read.WriteTotalTimeoutConstant, 900u);
}

TEST_F(Win32PtyPort, WhereWineIsNotWindows) {
  // Windows opens a COM port for one opener (share mode 0) and refuses a second with
  // ERROR_ACCESS_DENIED; Wine does not enforce it on a pty. The program only asks whether
  // the open failed with anything but "not found", so it works with either.
  std::uint32_t error = 0;
  EXPECT_NE(ports->Open("\\\\.\\" + name, &error), nullptr) << error;
  // A pty has no modem lines: Wine fails the modem status with ERROR_NOT_SUPPORTED (50),
  // where a real port behind a loopback plug reports them. The loopback test then shows
  // its failure line, which is what it must do on a port whose lines cannot be read.
  std::uint32_t status = 0;
  EXPECT_FALSE(port->GetCommModemStatus(&status));
  EXPECT_EQ(port->LastError(), 50u);
  // No virtual serial port driver answers the device's control codes on a pty.
  const FirmwareBlock block{};
  EXPECT_FALSE(port->DeviceIoControl(IOCTL_FIRMWARE_BLOCK, &block, sizeof block));
}

// How libgcc's gthreads and emutls have the runtime free a thread's data at its end.
extern "C" int __mingwthr_key_dtor(DWORD key, void (*dtor)(void*));
extern "C" int __mingwthr_remove_key_dtor(DWORD key);
extern "C" const IMAGE_TLS_DIRECTORY _tls_used;

LONG keyDestructorRuns = 0;
void CountKeyDestructorRun(void*) { InterlockedIncrement(&keyDestructorRuns); }

// Windows 9x calls no TLS callbacks for the program's image. With the image's list of
// them emptied, this system calls none either for the threads started meanwhile.
class NoTlsCallbacks {
 public:
  NoTlsCallbacks() : first_(reinterpret_cast<PIMAGE_TLS_CALLBACK*>(_tls_used.AddressOfCallBacks)) {
    saved_ = *first_;
    Put(nullptr);
  }
  ~NoTlsCallbacks() { Put(saved_); }

 private:
  void Put(PIMAGE_TLS_CALLBACK callback) {
    DWORD was = 0;
    VirtualProtect(first_, sizeof *first_, PAGE_READWRITE, &was);
    *first_ = callback;
    VirtualProtect(first_, sizeof *first_, was, &was);
  }
  PIMAGE_TLS_CALLBACK* first_;
  PIMAGE_TLS_CALLBACK saved_ = nullptr;
};

TEST(Win32Thread, AWorkersKeyDestructorsRunOnceWhetherOrNotTheSystemCallsBack) {
  const DWORD key = TlsAlloc();
  ASSERT_NE(key, TLS_OUT_OF_INDEXES);
  ASSERT_EQ(__mingwthr_key_dtor(key, CountKeyDestructorRun), 0);
  const auto runWorker = [key] {
    platform::Thread worker;
    ASSERT_TRUE(worker.Start([key] { TlsSetValue(key, &keyDestructorRuns); }));
    worker.Join();
  };
  runWorker();
  EXPECT_EQ(keyDestructorRuns, 1);
  {
    NoTlsCallbacks asOnWindows9x;
    runWorker();
  }
  EXPECT_EQ(keyDestructorRuns, 2);
  __mingwthr_remove_key_dtor(key);
  TlsFree(key);
}

}  // namespace
