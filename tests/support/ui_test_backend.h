// The toolkit the window tests run on: headless here, and on Windows the real Win32
// controls, driven by the messages a user's mouse and keyboard produce and read back
// after every act, so the same scenarios check both.
#pragma once

#ifdef _WIN32

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "ui/win32/win32_test_backend.h"

namespace testsupport {

class UiBackend : public ui::Win32TestBackend {
 public:
  ~UiBackend() override {
    for (const std::string& fault : ScreenFaults()) ADD_FAILURE() << "the screen showed otherwise: " << fault;
  }
};

// The window as the screen shows it, as name.bmp in $VEQ_SCREENSHOT_DIR (or here).
inline void Photograph(const ui::Window& window, const std::string& name) {
  const char* folder = std::getenv("VEQ_SCREENSHOT_DIR");
  const std::string path = std::string(folder != nullptr ? folder : ".") + "\\" + name + ".bmp";
  EXPECT_TRUE(static_cast<UiBackend&>(ui::CurrentBackend()).SaveScreenshot(window, path)) << path;
}

}  // namespace testsupport

#else

#include <string>
#include <thread>

#include "ui/headless/headless_backend.h"

namespace testsupport {

class UiBackend : public ui::HeadlessBackend {
 public:
  bool OnWindowThread() const { return std::this_thread::get_id() == windowThread_; }

 private:
  const std::thread::id windowThread_ = std::this_thread::get_id();
};

// Nothing to photograph: the Qt tests take the windows' pictures here.
inline void Photograph(const ui::Window&, const std::string&) {}

}  // namespace testsupport

#endif
