// The small window shown while the ports are detected at start-up.
#pragma once

#include <chrono>
#include <memory>

#include "detect/detect_port_thread.h"
#include "ui/window.h"

class TfrmDetectPort : public ui::Window, public DetectPortWindowOps {
 public:
  TfrmDetectPort(TTorl7370PortManager& store, platform::SerialPorts& serial,
                 std::chrono::milliseconds presentWait = TDetectPortThrd::kPresentPortWait);
  ~TfrmDetectPort() override;

  // DetectPortWindowOps, called from the worker.
  void StepProgress() override;
  void SetDetectFinished() override;

  ui::StaticText* stxtDetectingPort;
  ui::StaticText* stxtDetectPortDot;
  ui::ProgressBar* pbrDetectingPort;
  ui::Timer tmDetectPort;
  int DotCount = 0;
  int DetectFinished = 0;

  void tmDetectPortTimer();

 private:
  void OnFormCreate(platform::SerialPorts& serial, std::chrono::milliseconds presentWait);
  void OnFormDestroy();

  TTorl7370PortManager& store_;
  std::unique_ptr<TDetectPortThrd> worker_;
};

// Shows the detection window over the store modally and destroys it when it has closed.
void RunPortDetection(TTorl7370PortManager& store, platform::SerialPorts& serial);
