#include "firmware/download_window_v2.h"

#include <QCloseEvent>
#include <QCoreApplication>

#include "platform/directories.h"
#include "platform/window_style.h"

TfrmDownloadV2::TfrmDownloadV2(QWidget* owner, std::uint32_t address, const std::string& portName,
                               std::uint32_t modelCode, platform::Network& network, platform::Desktop& desktop,
                               NetworkTimings timings)
    : TfrmFirmwareWindow(owner, "frmDownloadV2", false),
      DeviceAddress(address),
      PortName(portName),
      ModelCode(modelCode),
      network_(network),
      desktop_(desktop),
      timings_(timings) {
  stxtDwonloadFileName = new QLabel(gbxDownloadFile);
  stxtDwonloadFileName->setObjectName("stxtDwonloadFileName");
  stxtDwonloadFileName->move(8, 16);
  setWindowTitle(QString::fromStdString(PortName + " Download Firmware"));
  connect(pbtnDLOpen, &QPushButton::clicked, this, &TfrmDownloadV2::pbtnDLOpenClick);
  connect(pbtnDLStart, &QPushButton::clicked, this, &TfrmDownloadV2::pbtnDLStartClick);
  connect(pbtnDLClose, &QPushButton::clicked, this, &TfrmDownloadV2::pbtnDLCloseClick);
  CenterOn(this, nullptr);
  setEnabled(false);
  FormCreate();
}

TfrmDownloadV2::~TfrmDownloadV2() { FormDestroy(); }

void TfrmDownloadV2::FormCreate() {
  Ready = 1;
  StopAnimation();
  SetButtons(0);
}

void TfrmDownloadV2::FormDestroy() {
  hide();
  closing_ = true;
  if (!worker_) return;
  // A closing window ends the run at once instead of waiting for the device; meanwhile
  // it keeps running the worker's calls so the two never wait for each other.
  worker_->RequestStop();
  while (!worker_->Finished()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  worker_.reset();
}

int TfrmDownloadV2::ReadyToShow() {
  if (Ready == 1) setEnabled(true);
  return Ready;
}

void TfrmDownloadV2::SetButtons(int state) {
  switch (state) {
    case 0:
      pbtnDLOpen->setEnabled(true);
      pbtnDLStart->setEnabled(false);
      pbtnDLClose->setEnabled(true);
      break;
    case 1:
      pbtnDLStart->setEnabled(true);
      break;
    case 2:
    case 5:
      pbtnDLOpen->setEnabled(false);
      pbtnDLStart->setEnabled(false);
      pbtnDLClose->setEnabled(false);
      break;
    case 3:
      pbtnDLClose->setEnabled(true);
      break;
    case 4:
      pbtnDLOpen->setEnabled(true);
      pbtnDLStart->setEnabled(true);
      pbtnDLClose->setEnabled(true);
      break;
    default:
      break;
  }
}

void TfrmDownloadV2::ShowBox(const std::string& text, std::uint32_t flags) {
  desktop_.ShowMessageBox(text, windowTitle().toStdString(), flags);
}

void TfrmDownloadV2::pbtnDLOpenClick() {
  const std::string helperFolder = platform::FindOnPath("Quintel.exe");
  if (!helperFolder.empty()) platform::SetCurrentDirectory(helperFolder);
  std::string path;
  if (!desktop_.OpenFileDialog(FirmwareFileDialog("VEQ binary file (*.exf)|*.EXF", "exg"), &path)) return;
  const ExfResult result = ReadExfFile(path, ModelCode, &File);
  if (result != ExfResult::kAccepted) {
    ShowBox(ExfMessage(result, ModelCode), platform::kMbIconError | platform::kMbOk);
    return;
  }
  HasFile = true;
  stxtDownloadFileName->setText(ShownPath(path));
  stxtDownloadFileName->adjustSize();
  SetButtons(1);
}

void TfrmDownloadV2::pbtnDLStartClick() {
  if (!HasFile) return;
  worker_.reset();  // the earlier run's worker has ended; its thread is joined here
  worker_ = TDownloadThrdV2::Create(*this, network_, DeviceAddress, File, timings_);
  pbrDownloadStatus->setValue(0);
  SetButtons(2);
  if (!worker_->Start()) {
    worker_.reset();
    SetButtons(4);
    ShowBox("There is no resource for download thread", platform::kMbIconError | platform::kMbOk);
  }
}

void TfrmDownloadV2::pbtnDLCloseClick() {
  SetButtons(5);
  close();
}

void TfrmDownloadV2::closeEvent(QCloseEvent* event) {
  // Closing during a download ends the run: the worker stops at its next exchange.
  closing_ = true;
  if (worker_) worker_->RequestStop();
  QDialog::closeEvent(event);
}

void TfrmDownloadV2::StartAnimation() {
  RunOnWindowThread([this] {
    if (!closing_) TfrmFirmwareWindow::StartAnimation();
  });
}

void TfrmDownloadV2::Progress(std::uint32_t percent) {
  RunOnWindowThread([this, percent] { pbrDownloadStatus->setValue(static_cast<int>(percent)); });
}

void TfrmDownloadV2::Success() {
  RunOnWindowThread([this] {
    StopAnimation();
    if (!closing_) SetButtons(3);
  });
}

void TfrmDownloadV2::Failure(const std::string& message) {
  RunOnWindowThread([this, message] {
    StopAnimation();
    if (closing_) return;
    ShowBox(message, platform::kMbIconError | platform::kMbOk);
    SetButtons(4);
  });
}

void TfrmDownloadV2::Inform(const std::string& text) {
  RunOnWindowThread([this, text] {
    if (!closing_) ShowBox(text, platform::kMbIconInformation | platform::kMbOk);
  });
}

bool TfrmDownloadV2::Ask(const std::string& text) {
  bool yes = false;
  RunOnWindowThread([this, text, &yes] {
    yes = !closing_ && desktop_.ShowMessageBox(text, windowTitle().toStdString(),
                                               platform::kMbIconQuestion | platform::kMbYesNo) == platform::kIdYes;
  });
  return yes;
}

void RunNetworkFirmwareUpdate(QWidget* owner, std::uint32_t address, const std::string& portName,
                              std::uint32_t modelCode, platform::Network& network, platform::Desktop& desktop) {
  TfrmDownloadV2 window(owner, address, portName, modelCode, network, desktop);
  if (window.ReadyToShow() == 1) window.exec();
}
