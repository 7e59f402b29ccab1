// Waiting at a window as its user does: meanwhile the window keeps running its worker's
// synchronous calls.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/thread.h"
#include "ui/window.h"

namespace testsupport {

// Long enough for a busy machine: a whole loopback test shows 720 memo lines, and under
// Wine each takes some ten milliseconds, most of them spent redrawing the memo's scroll bar.
constexpr int kWindowWaitMs = 60000;

// True once condition holds; false when timeoutMs passed first.
inline bool WaitFor(ui::Window& window, const std::function<bool()>& condition, int timeoutMs = kWindowWaitMs) {
  const std::uint32_t start = platform::MonotonicMs();
  const auto limit = static_cast<std::uint32_t>(timeoutMs);
  window.WaitUntil([&] { return condition() || platform::MonotonicMs() - start > limit; });
  return condition();
}

}  // namespace testsupport
