#include "detect/detect_port_thread.h"

#include "store/driver_interface.h"

#include <cstdio>

std::unique_ptr<TDetectPortThrd> TDetectPortThrd::Create(DetectPortWindowOps& window, PortTable& ports,
                                                         platform::SerialPorts& serial,
                                                         std::chrono::milliseconds presentWait) {
  std::unique_ptr<TDetectPortThrd> worker(new TDetectPortThrd(window, ports, serial, presentWait));
  if (!worker->life_.Start([w = worker.get()] { w->Execute(); })) return nullptr;
  worker->life_.Resume();
  return worker;
}

TDetectPortThrd::TDetectPortThrd(DetectPortWindowOps& window, PortTable& ports, platform::SerialPorts& serial,
                                 std::chrono::milliseconds presentWait)
    : window_(window), ports_(ports), serial_(serial), presentWait_(presentWait) {}

void TDetectPortThrd::Execute() {
  for (int i = 1; i <= 255; ++i) {
    window_.StepProgress();
    if (ports_[i] != nullptr) continue;
    // Room for any int: instrumented builds cannot prove i stays within 1..255.
    char path[20];
    std::snprintf(path, sizeof path, kComNumberPathFormat, i);
    std::uint32_t lastError = 0;
    std::unique_ptr<platform::SerialPort> port = serial_.Open(path, &lastError);
    if (port) {
      ports_[i] = PORT_PRESENT;
      life_.Sleep(static_cast<std::uint32_t>(presentWait_.count()));
    } else if (lastError != platform::kSerialErrorFileNotFound) {
      // Open elsewhere, or refused for another reason: the port exists.
      ports_[i] = PORT_PRESENT;
    }
  }
  window_.SetDetectFinished();
  finished_ = true;
}
