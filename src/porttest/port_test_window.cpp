#include "porttest/port_test_window.h"

#include <cstdio>

#include "store/driver_interface.h"
#include "store/port_mapper_window.h"

namespace {

// Minimize only, no system menu: the window has no close box, and Escape presses Close.
// No default button: Enter presses only the focused one. The construction puts the port's
// name before the caption.
const ui::WindowSpec kFrame{"frmPortTest", "Port Test", 592, 388, ui::BorderStyle::kDialog, ui::kMinimize,
                            ui::Position::kOwnerCenter, ui::kWindowFont, nullptr, "pbtnPTClose"};

constexpr ui::FontSpec kFixedsys{"Fixedsys", 13, false};

}  // namespace

std::vector<ui::ControlRow<TfrmPortTest>> TfrmPortTest::Rows() {
  using ui::ControlKind;
  using ui::Dock;
  // The buttons in their tab order: Close, Stop, Start.
  return {
      {{"gbxPTPromptMsg", ControlKind::kGroupBox, nullptr, Dock::kFill, {}, "Result Message"}},
      {{"memoPTPrompt", ControlKind::kMemo, "gbxPTPromptMsg", Dock::kFill, {}, "",
        ui::kReadOnly | ui::kVerticalScrollBar, 0, kFixedsys}},
      {{"pnlPTBtnArea", ControlKind::kPanel, nullptr, Dock::kBottom, {0, 0, 0, 56}, ""}},
      {{"pbtnPTClose", ControlKind::kButton, "pnlPTBtnArea", Dock::kNone, {500, 20, 75, 25}, "Close"},
       &TfrmPortTest::pbtnPTCloseClick},
      {{"pbtnPTStop", ControlKind::kButton, "pnlPTBtnArea", Dock::kNone, {408, 20, 75, 25}, "Stop"},
       &TfrmPortTest::pbtnPTStopClick},
      {{"pbtnPTStart", ControlKind::kButton, "pnlPTBtnArea", Dock::kNone, {316, 20, 75, 25}, "Start"},
       &TfrmPortTest::pbtnPTStartClick},
  };
}

TfrmPortTest::TfrmPortTest(ui::Window* owner, const std::string& portName, platform::SerialPorts& serial,
                           platform::Desktop& desktop, std::uint32_t timeoutMs)
    : ui::Window(kFrame, Specs(Rows()), {}, owner), PortName(portName) {
  Bind(*this, Rows());
  gbxPTPromptMsg = Get<ui::GroupBox>("gbxPTPromptMsg");
  memoPTPrompt = Get<ui::Memo>("memoPTPrompt");
  pnlPTBtnArea = Get<ui::Panel>("pnlPTBtnArea");
  pbtnPTStart = Get<ui::Button>("pbtnPTStart");
  pbtnPTStop = Get<ui::Button>("pbtnPTStop");
  pbtnPTClose = Get<ui::Button>("pbtnPTClose");
  // Only Close ends the window.
  OnCloseQuery = [] { return false; };
  SetCaption(PortName + " " + kFrame.caption);

  char path[64];
  std::snprintf(path, sizeof path, kPortNamePathFormat, PortName.c_str());
  std::uint32_t lastError = 0;
  PortHandle = serial.Open(path, &lastError);
  if (PortHandle) worker_ = TPortTestThrd::Create(*this, *PortHandle, PortName, TestState, ThreadDone, timeoutMs);
  SetButtons(worker_ != nullptr, false, true);
  TestState = ptsIdle;
  OnCreate(desktop);
}

TfrmPortTest::~TfrmPortTest() {
  OnDestroy();
  worker_.reset();
}

void TfrmPortTest::OnCreate(platform::Desktop& desktop) {
  if (!PortHandle) {
    desktop.ShowMessageBox("Open " + PortName + " Fail", kMainWindowCaption, platform::kMbIconError | platform::kMbOk);
    InitOk = 0;
    return;
  }
  if (!worker_) {
    desktop.ShowMessageBox(PortName + " cannot execute test command", kMainWindowCaption,
                           platform::kMbIconError | platform::kMbOk);
    InitOk = 0;
    return;
  }
  ThreadDone = 0;
  worker_->Resume();
  memoPTPrompt->Clear();
  memoPTPrompt->AddLine(
      "Please make sure that the type of serial port is RS-232 and that the loopback connector has already been "
      "connected with the VEQ COMPort. Then click the Start button to test.");
  InitOk = 1;
}

int TfrmPortTest::ReadyToShow() {
  SetEnabled(InitOk == 1);
  return InitOk;
}

void TfrmPortTest::OnDestroy() {
  Hide();
  if (!worker_ || !worker_->Resumed()) return;
  worker_->Terminate();
  // Close is enabled between Start and the worker's EnterRunning, when the worker may be
  // on its way into a window call ("Start testing", EnterRunning): the wait keeps running
  // them. Told to terminate, the worker makes at most the calls of the turn under way.
  WaitUntil([this] { return ThreadDone == 1; });
}

void TfrmPortTest::SetButtons(bool start, bool stop, bool close) {
  pbtnPTStart->SetEnabled(start);
  pbtnPTStop->SetEnabled(stop);
  pbtnPTClose->SetEnabled(close);
}

void TfrmPortTest::ReportLine(const std::string& line) {
  Synchronize([this, &line] { memoPTPrompt->AddLine(line); });
}

void TfrmPortTest::EnterRunning() {
  Synchronize([this] {
    SetButtons(false, true, false);
    TestState = ptsRunning;
  });
}

void TfrmPortTest::EnterStopped() {
  Synchronize([this] {
    SetButtons(true, false, true);
    TestState = ptsStopped;
  });
}

void TfrmPortTest::EnterFinished() {
  Synchronize([this] {
    SetButtons(true, false, true);
    TestState = ptsFinished;
  });
}

void TfrmPortTest::pbtnPTStartClick() {
  if (TestState == ptsIdle || TestState == ptsFinished) {
    pbtnPTStart->SetEnabled(false);
    memoPTPrompt->Clear();
    TestState = ptsStartRequested;
  } else {
    SetButtons(false, true, false);
    TestState = ptsRunning;
  }
}

void TfrmPortTest::pbtnPTStopClick() {
  pbtnPTStop->SetEnabled(false);
  if (TestState != ptsFinished) TestState = ptsStopRequested;
}

void TfrmPortTest::pbtnPTCloseClick() {
  SetButtons(false, false, false);
  if (worker_) worker_->Terminate();
  Close();
}

void RunPortTest(ui::Window* owner, const std::string& portName, platform::SerialPorts& serial,
                 platform::Desktop& desktop) {
  TfrmPortTest window(owner, portName, serial, desktop);
  if (window.ReadyToShow() == 1) window.ShowModal();
}
