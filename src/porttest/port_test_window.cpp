#include "porttest/port_test_window.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QVBoxLayout>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/window_style.h"
#include "store/driver_interface.h"
#include "store/port_mapper_window.h"

namespace {

constexpr int kButtonAreaHeight = 56;

QPushButton* NewTestButton(QWidget* parent, const char* name, const char* caption, int left) {
  QPushButton* button = NewButton(parent, name, caption, left, 20);
  button->resize(75, 25);
  return button;
}

}  // namespace

TfrmPortTest::TfrmPortTest(QWidget* owner, const std::string& portName, platform::SerialPorts& serial,
                           platform::Desktop& desktop, std::uint32_t timeoutMs)
    : QDialog(owner), PortName(portName) {
  // Minimize only, no system menu: the window has no close box.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
  setObjectName("frmPortTest");
  setFont(WindowFont());
  setFixedSize(592, 388);
  setWindowTitle(QString::fromStdString(PortName + " Port Test"));
  auto* layout = NewVBox(this);
  gbxPTPromptMsg = NewGroupBox(this, "gbxPTPromptMsg", "Result Message");
  layout->addWidget(gbxPTPromptMsg, 1);
  memoPTPrompt = new QPlainTextEdit(gbxPTPromptMsg);
  memoPTPrompt->setObjectName("memoPTPrompt");
  memoPTPrompt->setReadOnly(true);
  memoPTPrompt->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont fixed("Fixedsys");
  fixed.setStyleHint(QFont::TypeWriter);
  fixed.setPixelSize(13);
  memoPTPrompt->setFont(fixed);
  FillGroupBox(gbxPTPromptMsg, memoPTPrompt);
  pnlPTBtnArea = NewPanel(this, "pnlPTBtnArea");
  pnlPTBtnArea->setFixedHeight(kButtonAreaHeight);
  layout->addWidget(pnlPTBtnArea);
  pbtnPTStart = NewTestButton(pnlPTBtnArea, "pbtnPTStart", "Start", 316);
  pbtnPTStop = NewTestButton(pnlPTBtnArea, "pbtnPTStop", "Stop", 408);
  pbtnPTClose = NewTestButton(pnlPTBtnArea, "pbtnPTClose", "Close", 500);
  setTabOrder(pbtnPTClose, pbtnPTStop);
  setTabOrder(pbtnPTStop, pbtnPTStart);
  connect(pbtnPTStart, &QPushButton::clicked, this, &TfrmPortTest::pbtnPTStartClick);
  connect(pbtnPTStop, &QPushButton::clicked, this, &TfrmPortTest::pbtnPTStopClick);
  connect(pbtnPTClose, &QPushButton::clicked, this, &TfrmPortTest::pbtnPTCloseClick);
  CenterOn(this, owner);

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
  char text[96];
  if (!PortHandle) {
    std::snprintf(text, sizeof text, "Open %s Fail", PortName.c_str());
    desktop.ShowMessageBox(text, kMainWindowCaption, platform::kMbIconError | platform::kMbOk);
    InitOk = 0;
    return;
  }
  if (!worker_) {
    std::snprintf(text, sizeof text, "%s cannot execute test command", PortName.c_str());
    desktop.ShowMessageBox(text, kMainWindowCaption, platform::kMbIconError | platform::kMbOk);
    InitOk = 0;
    return;
  }
  ThreadDone = 0;
  worker_->Resume();
  memoPTPrompt->clear();
  memoPTPrompt->appendPlainText(
      "Please make sure that the type of serial port is RS-232 and that the loopback connector has already been "
      "connected with the VEQ COMPort. Then click the Start button to test.");
  InitOk = 1;
}

int TfrmPortTest::ReadyToShow() {
  setEnabled(InitOk == 1);
  return InitOk;
}

void TfrmPortTest::OnDestroy() {
  hide();
  if (!worker_ || !worker_->Resumed()) return;
  worker_->Terminate();
  // Close is enabled between Start and the worker's EnterRunning, when the worker may be
  // on its way into a window call ("Start testing", EnterRunning). A plain wait here and
  // that blocking call would wait on each other, so the wait keeps running the worker's
  // calls until it has ended; it has been told to terminate, so it makes at most the
  // calls of the turn under way.
  while (ThreadDone == 0) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void TfrmPortTest::SetButtons(bool start, bool stop, bool close) {
  pbtnPTStart->setEnabled(start);
  pbtnPTStop->setEnabled(stop);
  pbtnPTClose->setEnabled(close);
}

template <typename Call>
void TfrmPortTest::OnWindowThread(Call call) {
  QMetaObject::invokeMethod(this, call, Qt::BlockingQueuedConnection);
}

void TfrmPortTest::ReportLine(const std::string& line) {
  OnWindowThread([this, line] { memoPTPrompt->appendPlainText(QString::fromStdString(line)); });
}

void TfrmPortTest::EnterRunning() {
  OnWindowThread([this] {
    SetButtons(false, true, false);
    TestState = ptsRunning;
  });
}

void TfrmPortTest::EnterStopped() {
  OnWindowThread([this] {
    SetButtons(true, false, true);
    TestState = ptsStopped;
  });
}

void TfrmPortTest::EnterFinished() {
  OnWindowThread([this] {
    SetButtons(true, false, true);
    TestState = ptsFinished;
  });
}

void TfrmPortTest::pbtnPTStartClick() {
  if (TestState == ptsIdle || TestState == ptsFinished) {
    pbtnPTStart->setEnabled(false);
    memoPTPrompt->clear();
    TestState = ptsStartRequested;
  } else {
    SetButtons(false, true, false);
    TestState = ptsRunning;
  }
}

void TfrmPortTest::pbtnPTStopClick() {
  pbtnPTStop->setEnabled(false);
  if (TestState != ptsFinished) TestState = ptsStopRequested;
}

void TfrmPortTest::pbtnPTCloseClick() {
  SetButtons(false, false, false);
  if (worker_) worker_->Terminate();
  accept();
}

void RunPortTest(QWidget* owner, const std::string& portName, platform::SerialPorts& serial,
                 platform::Desktop& desktop) {
  TfrmPortTest window(owner, portName, serial, desktop);
  if (window.ReadyToShow() == 1) window.exec();
}
