#include "detect/detect_port_window.h"

#include <string>
#include <vector>

#include "store/port_mapper_window.h"

namespace {

constexpr int kTimerIntervalMs = 200;
constexpr int kProgressMax = 256;

// A title and a minimize box only: no close box.
ui::WindowSpec Frame() {
  return {"frmDetectPort", kMainWindowCaption, 461, 58, ui::BorderStyle::kSingle, ui::kMinimize,
          ui::Position::kDesktopCenter};
}

// A strip of 33 px with the two texts side by side, the bar below it. No control has a
// handler: the worker and the timer drive the window.
std::vector<ui::ControlSpec> Table() {
  using ui::ControlKind;
  using ui::Dock;
  return {
      {"stxtDetectingPort", ControlKind::kStaticText, nullptr, Dock::kNone, {0, 0, 238, 33},
       "               Detecting Port  ", ui::kAlignRight, 0, {nullptr, 20, true}},
      {"stxtDetectPortDot", ControlKind::kStaticText, nullptr, Dock::kNone, {238, 0, 223, 33}, "", 0, 0,
       {nullptr, 30, true}},
      {"pbrDetectingPort", ControlKind::kProgressBar, nullptr, Dock::kNone, {0, 33, 461, 25}, nullptr, ui::kSmooth},
  };
}

}  // namespace

TfrmDetectPort::TfrmDetectPort(TTorl7370PortManager& store, platform::SerialPorts& serial,
                               std::chrono::milliseconds presentWait)
    : ui::Window(Frame(), Table(), {}, nullptr), tmDetectPort(kTimerIntervalMs, false), store_(store) {
  stxtDetectingPort = Get<ui::StaticText>("stxtDetectingPort");
  stxtDetectPortDot = Get<ui::StaticText>("stxtDetectPortDot");
  pbrDetectingPort = Get<ui::ProgressBar>("pbrDetectingPort");
  pbrDetectingPort->SetRange(0, kProgressMax);
  tmDetectPort.OnTimer = [this] { tmDetectPortTimer(); };
  // The sweep cannot be cancelled: no request to close the window ends it.
  OnCloseQuery = [] { return false; };
  OnFormCreate(serial, presentWait);
}

TfrmDetectPort::~TfrmDetectPort() { OnFormDestroy(); }

void TfrmDetectPort::OnFormCreate(platform::SerialPorts& serial, std::chrono::milliseconds presentWait) {
  worker_ = TDetectPortThrd::Create(*this, store_.ports, serial, presentWait);
  if (!worker_) {
    // Comes and goes at once when shown modally.
    Close();
    return;
  }
  tmDetectPort.SetEnabled(true);
}

void TfrmDetectPort::OnFormDestroy() {
  // No tick may close a window that is going away.
  tmDetectPort.SetEnabled(false);
  if (!worker_) return;
  // A worker still sweeping may be waiting for this thread to run one of its calls.
  WaitUntil([this] { return worker_->Finished(); });
  worker_.reset();
}

void TfrmDetectPort::StepProgress() {
  Synchronize([this] { pbrDetectingPort->SetPosition(pbrDetectingPort->Position() + 1); });
}

void TfrmDetectPort::SetDetectFinished() {
  Synchronize([this] { DetectFinished = 1; });
}

void TfrmDetectPort::tmDetectPortTimer() {
  if (DetectFinished == 1) {
    tmDetectPort.SetEnabled(false);
    Close();
  }
  DotCount = (DotCount + 1) % 16;
  stxtDetectPortDot->SetText(std::string(DotCount, '.'));
}

void RunPortDetection(TTorl7370PortManager& store, platform::SerialPorts& serial) {
  TfrmDetectPort window(store, serial);
  window.ShowModal();
}
