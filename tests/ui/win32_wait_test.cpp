// A window that waits for its worker, on the systems before Windows XP: their wait for
// input refuses flags they do not know, and a refused wait returns at once.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/thread.h"
#include "support/ui_test_backend.h"
#include "ui/window.h"

namespace ui {
namespace {

// While its worker sleeps for a second and then reports, the waiting window thread uses
// a small part of that second: a loop that asks again at once would use all of it.
TEST(Win32Wait, AWaitingWindowLeavesTheProcessorToItsWorkerWhereTheSystemRefusesTheWait) {
  for (const bool refuseEvery : {false, true}) {
    SCOPED_TRACE(refuseEvery ? "every wait refused" : "waits as Windows 98 answers them");
    testsupport::UiBackend backend;
    backend.WaitAsWindows9x(refuseEvery);
    Window window({"frmWaiting", "Waiting", 200, 80, BorderStyle::kDialog, kSystemMenu, Position::kDesktopCenter}, {},
                  {}, nullptr);
    window.Show();
    bool reported = false;
    platform::Thread worker;
    const long long processorBefore = testsupport::UiBackend::ThreadProcessorMs();
    if (processorBefore < 0) GTEST_SKIP() << "this system keeps no processor time per thread";
    const std::uint32_t start = platform::MonotonicMs();
    ASSERT_TRUE(worker.Start([&] {
      platform::SleepMs(1000);
      window.Synchronize([&] { reported = true; });
    }));
    window.WaitUntil([&] { return reported; });
    const long long processor = testsupport::UiBackend::ThreadProcessorMs() - processorBefore;
    const long long wall = platform::MonotonicMs() - start;
    worker.Join();
    std::printf("waiting window thread, %s: %lld ms of processor time in %lld ms\n",
                refuseEvery ? "every wait refused" : "Windows 98's wait", processor, wall);
    EXPECT_LT(processor * 100, wall * 30);
  }
}

}  // namespace
}  // namespace ui
