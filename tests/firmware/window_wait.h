// Waiting at a firmware window as its user does: meanwhile the window keeps running its
// worker's synchronous calls.
#pragma once

#include <chrono>
#include <functional>

#include "ui/window.h"

namespace testsupport {

// True once condition holds; false when timeoutMs passed first.
inline bool WaitFor(ui::Window& window, const std::function<bool()>& condition, int timeoutMs = 20000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  window.WaitUntil([&] { return condition() || std::chrono::steady_clock::now() > deadline; });
  return condition();
}

}  // namespace testsupport
