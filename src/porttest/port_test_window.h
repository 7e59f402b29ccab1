// The window of the loopback test: it opens the port, owns the test worker, shows the
// worker's lines and offers Start, Stop and Close.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/serial.h"
#include "porttest/port_test_thread.h"
#include "ui/window.h"

class TfrmPortTest : public ui::Window, public PortTestWindowOps {
 public:
  TfrmPortTest(ui::Window* owner, const std::string& portName, platform::SerialPorts& serial,
               platform::Desktop& desktop, std::uint32_t timeoutMs = TPortTestThrd::kTimeoutMs);
  ~TfrmPortTest() override;

  int ReadyToShow();

  // PortTestWindowOps, called from the worker.
  void ReportLine(const std::string& line) override;
  void EnterRunning() override;
  void EnterStopped() override;
  void EnterFinished() override;

  ui::GroupBox* gbxPTPromptMsg;
  ui::Memo* memoPTPrompt;
  ui::Panel* pnlPTBtnArea;
  ui::Button* pbtnPTStart;
  ui::Button* pbtnPTStop;
  ui::Button* pbtnPTClose;

  const std::string PortName;
  std::unique_ptr<platform::SerialPort> PortHandle;
  int InitOk = 0;
  std::atomic<int> ThreadDone{0};
  std::atomic<std::uint32_t> TestState{ptsIdle};

  void pbtnPTStartClick();
  void pbtnPTStopClick();
  void pbtnPTCloseClick();

 private:
  static std::vector<ui::ControlRow<TfrmPortTest>> Rows();
  void OnCreate(platform::Desktop& desktop);
  void OnDestroy();
  void SetButtons(bool start, bool stop, bool close);

  std::unique_ptr<TPortTestThrd> worker_;
};

// The Test command: creates the window for the port, shows it modally when it is ready,
// destroys it.
void RunPortTest(ui::Window* owner, const std::string& portName, platform::SerialPorts& serial,
                 platform::Desktop& desktop);
