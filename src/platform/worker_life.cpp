#include "platform/worker_life.h"

#include <utility>

namespace platform {

WorkerLife::~WorkerLife() {
  if (!resumed_) Terminate();
  thread_.Join();
}

bool WorkerLife::Start(std::function<void()> body) {
  return thread_.Start([this, body = std::move(body)] {
    wake_.Wait();
    if (resumed_) body();
  });
}

void WorkerLife::Resume() {
  resumed_ = true;
  wake_.Set();
}

void WorkerLife::Terminate() {
  terminated_ = true;
  terminate_.Set();
  wake_.Set();
}

bool WorkerLife::Sleep(std::uint32_t ms) { return !terminate_.Wait(ms); }

}  // namespace platform
