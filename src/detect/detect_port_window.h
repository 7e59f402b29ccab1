// The small window shown while the ports are detected at start-up.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <chrono>
#include <memory>

#include "detect/detect_port_thread.h"

class TfrmDetectPort : public QDialog, public DetectPortWindowOps {
  Q_OBJECT

 public:
  TfrmDetectPort(TTorl7370PortManager& store, platform::SerialPorts& serial,
                 std::chrono::milliseconds presentWait = TDetectPortThrd::kPresentPortWait);
  ~TfrmDetectPort() override;

  // DetectPortWindowOps, called from the worker.
  void StepProgress() override;
  void SetDetectFinished() override;

  QLabel* stxtDetectingPort;
  QLabel* stxtDetectPortDot;
  QProgressBar* pbrDetectingPort;
  QTimer* tmDetectPort;
  int DotCount = 0;
  int DetectFinished = 0;

 public slots:
  void tmDetectPortTimer();
  // The sweep cannot be cancelled: Escape does not close this window.
  void reject() override {}

 private:
  void OnFormCreate(platform::SerialPorts& serial, std::chrono::milliseconds presentWait);
  void OnFormDestroy();

  TTorl7370PortManager& store_;
  std::unique_ptr<TDetectPortThrd> worker_;
};

// Shows the detection window over the store modally and destroys it when it has closed.
void RunPortDetection(TTorl7370PortManager& store, platform::SerialPorts& serial);
