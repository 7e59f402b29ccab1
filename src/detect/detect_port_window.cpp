#include "detect/detect_port_window.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QMetaObject>

#include "platform/window_style.h"
#include "store/port_mapper_window.h"

namespace {

constexpr int kTimerIntervalMs = 200;

QFont BoldFont(int pixelSize) {
  QFont font = WindowFont();
  font.setBold(true);
  font.setPixelSize(pixelSize);
  return font;
}

}  // namespace

TfrmDetectPort::TfrmDetectPort(TTorl7370PortManager& store, platform::SerialPorts& serial,
                               std::chrono::milliseconds presentWait)
    : QDialog(nullptr), store_(store) {
  // A title and a minimize box only: no close box (Qt keeps a system menu for the
  // minimize box, as Windows does).
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);
  setObjectName("frmDetectPort");
  setWindowTitle(kMainWindowCaption);
  setFont(WindowFont());
  setFixedSize(461, 58);
  auto* layout = NewVBox(this);
  auto* strip = new QHBoxLayout;
  strip->setContentsMargins(0, 0, 0, 0);
  strip->setSpacing(0);
  layout->addLayout(strip);
  stxtDetectingPort = new QLabel("               Detecting Port  ", this);
  stxtDetectingPort->setObjectName("stxtDetectingPort");
  stxtDetectingPort->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  stxtDetectingPort->setFont(BoldFont(20));
  stxtDetectingPort->setFixedSize(238, 33);
  strip->addWidget(stxtDetectingPort);
  stxtDetectPortDot = new QLabel(this);
  stxtDetectPortDot->setObjectName("stxtDetectPortDot");
  stxtDetectPortDot->setFont(BoldFont(30));
  stxtDetectPortDot->setFixedHeight(33);
  strip->addWidget(stxtDetectPortDot, 1);
  pbrDetectingPort = new QProgressBar(this);
  pbrDetectingPort->setObjectName("pbrDetectingPort");
  pbrDetectingPort->setRange(0, 256);
  pbrDetectingPort->setValue(0);
  pbrDetectingPort->setTextVisible(false);
  pbrDetectingPort->setFixedHeight(25);
  layout->addWidget(pbrDetectingPort);
  tmDetectPort = new QTimer(this);
  tmDetectPort->setObjectName("tmDetectPort");
  tmDetectPort->setInterval(kTimerIntervalMs);
  connect(tmDetectPort, &QTimer::timeout, this, &TfrmDetectPort::tmDetectPortTimer);
  CenterOn(this, nullptr);
  OnFormCreate(serial, presentWait);
}

TfrmDetectPort::~TfrmDetectPort() { OnFormDestroy(); }

void TfrmDetectPort::OnFormCreate(platform::SerialPorts& serial, std::chrono::milliseconds presentWait) {
  worker_ = TDetectPortThrd::Create(*this, store_.ports, serial, presentWait);
  if (!worker_) {
    // Closes as soon as the window is shown modally.
    QMetaObject::invokeMethod(this, &QDialog::accept, Qt::QueuedConnection);
    return;
  }
  tmDetectPort->start();
}

void TfrmDetectPort::OnFormDestroy() {
  // No tick may close a window that is going away.
  tmDetectPort->stop();
  if (!worker_) return;
  // A worker still sweeping may be waiting for this thread to run one of its calls: keep
  // answering them until it is done, then let it go.
  while (!worker_->Finished()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  worker_.reset();
}

void TfrmDetectPort::StepProgress() {
  QMetaObject::invokeMethod(
      this, [this] { pbrDetectingPort->setValue(pbrDetectingPort->value() + 1); }, Qt::BlockingQueuedConnection);
}

void TfrmDetectPort::SetDetectFinished() {
  QMetaObject::invokeMethod(this, [this] { DetectFinished = 1; }, Qt::BlockingQueuedConnection);
}

void TfrmDetectPort::tmDetectPortTimer() {
  if (DetectFinished == 1) {
    tmDetectPort->stop();
    accept();
  }
  DotCount = (DotCount + 1) % 16;
  stxtDetectPortDot->setText(QString(DotCount, '.'));
}

void RunPortDetection(TTorl7370PortManager& store, platform::SerialPorts& serial) {
  TfrmDetectPort window(store, serial);
  window.exec();
}
