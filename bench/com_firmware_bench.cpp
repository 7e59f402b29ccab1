// Times a COM firmware download of a 262144-byte image through the firmware window, the
// machine's serial layer on a pseudo-terminal and the simulated driver: from Start to the
// "Download Complete" box, without the pause after the last block, and the share of that
// time the worker spends in its synchronous progress calls. Usage: com_firmware_bench.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "firmware/download_window.h"
#include "support/pty_pair.h"
#include "support/scripted_desktop.h"
#include "support/simulated_driver.h"
#include "support/temp_dir.h"
#include "ui/headless/headless_backend.h"
#include "ui/headless/user.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 21;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The window with its progress calls and its completion timed on the worker's side.
class TimedWindow : public TfrmDownload {
 public:
  using TfrmDownload::TfrmDownload;
  void ShowProgress(std::uint32_t bytesSent) override {
    const Clock::time_point begin = Clock::now();
    TfrmDownload::ShowProgress(bytesSent);
    progressTime += Clock::now() - begin;
  }
  void ShowResult(const std::string& text, std::uint32_t flags) override {
    if (text == "Download Complete") completedAt = Clock::now();
    TfrmDownload::ShowResult(text, flags);
  }
  Clock::duration progressTime{};
  Clock::time_point completedAt{};
};

}  // namespace

int main() {
  ui::HeadlessBackend backend;
  testsupport::TempDir dir;
  testsupport::PtyPair pty;
  pty.LinkAs(dir.path(), "COM5");
  setenv("VEQ_COM_DIR", dir.path().c_str(), 1);
  const std::string image = dir.File("firmware.bin");
  if (!WriteFirmwareImage(image, 0x7370, kFirmwareImageSize)) return 1;

  testsupport::SimulatedDriver driver;
  std::unique_ptr<platform::SerialPorts> serial = platform::CreateSystemSerialPorts(&driver);
  testsupport::ScriptedDesktop desktop;
  // Idle looks every millisecond, so Start is seen at once; no pause after the last block.
  const DownloadTiming timing{std::chrono::milliseconds(1), std::chrono::milliseconds(0)};
  std::vector<double> totals, shares;
  for (int run = 0; run < kRuns; ++run) {
    TimedWindow window(nullptr, "COM5", 0x7370, *serial, desktop, timing);
    if (window.ReadyToShow() != 1) return 1;
    window.Show();
    desktop.dialogPaths.push_back(image);
    if (!ui::user::Click(*window.pbtnDLOpen) || !window.pbtnDLStart->Usable()) return 1;
    const Clock::time_point start = Clock::now();
    ui::user::Click(*window.pbtnDLStart);
    window.WaitUntil([&window] { return window.pbtnDLClose->Enabled(); });
    if (desktop.boxes.empty() || desktop.boxes.back().text != "Download Complete") return 1;
    const double total = Ms(window.completedAt - start);
    totals.push_back(total);
    shares.push_back(Ms(window.progressTime) / total);
    // The worker must be gone before the timed overrides are.
    ui::user::Click(*window.pbtnDLClose);
    window.WaitUntil([&window] { return window.ThreadDone(); });
  }
  std::sort(totals.begin(), totals.end());
  std::sort(shares.begin(), shares.end());
  std::printf("262144-byte download, 256 blocks, %d runs (driver saw %zu blocks)\n", kRuns, driver.Blocks().size());
  std::printf("Start to \"Download Complete\": median %.2f ms, min %.2f ms, max %.2f ms\n", totals[kRuns / 2],
              totals.front(), totals.back());
  std::printf("share in synchronous progress calls: median %.1f %%, min %.1f %%, max %.1f %%\n",
              100 * shares[kRuns / 2], 100 * shares.front(), 100 * shares.back());
  return 0;
}
