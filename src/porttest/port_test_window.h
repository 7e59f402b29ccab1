// The window of the loopback test: it opens the port, owns the test worker, shows the
// worker's lines and offers Start, Stop and Close.
#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <atomic>
#include <memory>
#include <string>

#include "platform/desktop.h"
#include "platform/serial.h"
#include "porttest/port_test_thread.h"

class TfrmPortTest : public QDialog, public PortTestWindowOps {
  Q_OBJECT

 public:
  TfrmPortTest(QWidget* owner, const std::string& portName, platform::SerialPorts& serial,
               platform::Desktop& desktop, std::uint32_t timeoutMs = TPortTestThrd::kTimeoutMs);
  ~TfrmPortTest() override;

  int ReadyToShow();

  // PortTestWindowOps, called from the worker.
  void ReportLine(const std::string& line) override;
  void EnterRunning() override;
  void EnterStopped() override;
  void EnterFinished() override;

  QGroupBox* gbxPTPromptMsg;
  QPlainTextEdit* memoPTPrompt;
  QWidget* pnlPTBtnArea;
  QPushButton* pbtnPTStart;
  QPushButton* pbtnPTStop;
  QPushButton* pbtnPTClose;

  const std::string PortName;
  std::unique_ptr<platform::SerialPort> PortHandle;
  int InitOk = 0;
  std::atomic<int> ThreadDone{0};
  std::atomic<std::uint32_t> TestState{ptsIdle};

 public slots:
  void pbtnPTStartClick();
  void pbtnPTStopClick();
  void pbtnPTCloseClick();
  // Only Close ends the window: Escape does not.
  void reject() override {}

 private:
  void OnCreate(platform::Desktop& desktop);
  void OnDestroy();
  void SetButtons(bool start, bool stop, bool close);
  // Runs a worker call on the window thread and waits for it.
  template <typename Call>
  void OnWindowThread(Call call);

  std::unique_ptr<TPortTestThrd> worker_;
};

// The Test command: creates the window for the port, shows it modally when it is ready,
// destroys it.
void RunPortTest(QWidget* owner, const std::string& portName, platform::SerialPorts& serial,
                 platform::Desktop& desktop);
