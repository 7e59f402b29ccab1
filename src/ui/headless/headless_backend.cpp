#include "ui/headless/headless_backend.h"

#include <algorithm>

#include "ui/controls.h"
#include "ui/window.h"

namespace ui {

namespace {

using Clock = std::chrono::steady_clock;

// The state a test reads is the neutral control's: the peer shows nothing.
class HeadlessControl : public ControlPeer {
 public:
  void SetBounds(const Rect&) override {}
  void SetVisible(bool) override {}
  void SetEnabled(bool) override {}
  void SetFocus() override {}
  void SetText(const std::string&) override {}
};

}  // namespace

class HeadlessBackend::HeadlessWindow : public WindowPeer {
 public:
  HeadlessWindow(HeadlessBackend& backend, Window& window) : backend_(backend), window_(window) {}
  void SetCaption(const std::string&) override {}
  void SetEnabled(bool) override {}
  void Place() override {}
  void Show() override {}
  void Hide() override {}
  void RunModal() override {
    ended_ = false;
    backend_.RunScript(window_, ended_, backend_, "headless");
  }
  void EndModal() override { ended_ = true; }
  void Repaint() override {}

  HeadlessBackend& backend_;
  Window& window_;
  bool ended_ = false;
};

class HeadlessBackend::HeadlessTimer : public TimerPeer {
 public:
  HeadlessTimer(HeadlessBackend& backend, Timer& timer) : backend_(backend), timer_(timer) {
    backend_.timers_.push_back(this);
  }
  ~HeadlessTimer() override {
    auto& timers = backend_.timers_;
    timers.erase(std::remove(timers.begin(), timers.end(), this), timers.end());
  }
  void SetRunning(bool running, int intervalMs) override {
    running_ = running;
    interval_ = std::chrono::milliseconds(intervalMs);
    due_ = Clock::now() + interval_;
  }

  HeadlessBackend& backend_;
  Timer& timer_;
  bool running_ = false;
  std::chrono::milliseconds interval_{0};
  Clock::time_point due_;
  // A held timer's tick the test has delivered and the next round fires.
  bool tickDelivered_ = false;
};

HeadlessBackend::HeadlessBackend() : windowThread_(platform::CurrentThreadId()) { SetCurrentBackend(this); }

HeadlessBackend::~HeadlessBackend() { SetCurrentBackend(nullptr); }

std::unique_ptr<WindowPeer> HeadlessBackend::CreateWindowPeer(Window& window, Window*) {
  return std::make_unique<HeadlessWindow>(*this, window);
}

std::unique_ptr<ControlPeer> HeadlessBackend::CreateControlPeer(Control&, ControlPeer*, WindowPeer&) {
  return std::make_unique<HeadlessControl>();
}

std::unique_ptr<TimerPeer> HeadlessBackend::CreateTimerPeer(Timer& timer) {
  return std::make_unique<HeadlessTimer>(*this, timer);
}

void HeadlessBackend::CreateMenu(WindowPeer&, const std::vector<MenuItem*>&) {}

void HeadlessBackend::RunOnWindowThread(const std::function<void()>& call) {
  if (platform::CurrentThreadId() == windowThread_) {
    call();
    return;
  }
  PendingCall pending{&call, {}};
  {
    platform::Locked locked(lock_);
    calls_.push_back(&pending);
  }
  wake_.Set();
  pending.done.Wait();
}

Clock::time_point HeadlessBackend::FireTimers() {
  const Clock::time_point now = Clock::now();
  Clock::time_point next = Clock::time_point::max();
  // A tick may start or stop timers, or destroy its window: work on a copy, and ask
  // again for each whether it still exists.
  const std::vector<HeadlessTimer*> timers = timers_;
  for (HeadlessTimer* timer : timers) {
    if (std::find(timers_.begin(), timers_.end(), timer) == timers_.end() || !timer->running_) continue;
    if (holdTimers_ ? timer->tickDelivered_ : timer->due_ <= now) {
      timer->tickDelivered_ = false;
      timer->due_ = now + timer->interval_;
      timer->timer_.Tick();
    }
  }
  for (HeadlessTimer* timer : timers_)
    if (timer->running_ && !holdTimers_) next = std::min(next, timer->due_);
  return next;
}

void HeadlessBackend::Tick(Timer& timer) {
  for (HeadlessTimer* peer : timers_)
    if (&peer->timer_ == &timer && peer->running_) peer->tickDelivered_ = true;
  ProcessEvents(0);
}

void HeadlessBackend::ProcessEvents(int waitMs) {
  const Clock::time_point nextTimer = FireTimers();
  const Clock::time_point until = std::min(nextTimer, Clock::now() + std::chrono::milliseconds(waitMs));
  const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
  wake_.Wait(static_cast<std::uint32_t>(std::max<long long>(0, wait)));
  // Reset before the queue is read: a call queued after it sets the event again.
  wake_.Reset();
  // Only the calls queued by now: a worker that queues its next call as soon as one has
  // run would otherwise keep this loop going, and the caller's check between rounds would
  // see only its end.
  std::deque<PendingCall*> pendingCalls;
  {
    platform::Locked locked(lock_);
    pendingCalls.swap(calls_);
  }
  for (PendingCall* pending : pendingCalls) {
    (*pending->call)();
    pending->done.Set();
  }
}

void HeadlessBackend::Run() {
  while (!quit_) ProcessEvents(10);
}

void HeadlessBackend::Quit() { quit_ = true; }

}  // namespace ui
