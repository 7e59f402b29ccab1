#include "firmware/download_window.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <cstdio>

#include "platform/window_style.h"
#include "store/driver_interface.h"
#include "store/port_mapper_window.h"

TfrmDownload::TfrmDownload(QWidget* owner, const std::string& portName, std::uint32_t modelCode,
                           platform::SerialPorts& serial, platform::Desktop& desktop, DownloadTiming timing)
    : TfrmFirmwareWindow(owner, "frmDownload", true), PortName(portName), ModelCode(modelCode), desktop_(desktop) {
  connect(pbtnDLOpen, &QPushButton::clicked, this, &TfrmDownload::pbtnDLOpenClick);
  connect(pbtnDLStart, &QPushButton::clicked, this, &TfrmDownload::pbtnDLStartClick);
  connect(pbtnDLClose, &QPushButton::clicked, this, &TfrmDownload::pbtnDLCloseClick);
  connect(pbtnDLReboot, &QPushButton::clicked, this, &TfrmDownload::pbtnDLRebootClick);

  setWindowTitle(QString::fromStdString(PortName + " Download Firmware"));
  CenterOn(this, owner);
  char path[300];
  std::snprintf(path, sizeof path, kPortNamePathFormat, PortName.c_str());
  std::uint32_t lastError = 0;
  PortHandle = serial.Open(path, &lastError);
  worker_ = TDownloadThrd::Create(*this, DownloadState, timing);
  SetButtons(worker_ != nullptr, false, true, false);
  OnFormCreate();
}

TfrmDownload::~TfrmDownload() { OnFormDestroy(); }

void TfrmDownload::OnFormCreate() {
  if (!worker_ || !PortHandle) {
    setEnabled(false);
    const std::string text = !worker_ ? PortName + " cannot execute download command" : "Open " + PortName + " Fail";
    desktop_.ShowMessageBox(text, kMainWindowCaption, platform::kMbIconError | platform::kMbOk);
    InitOk = 0;
    return;
  }
  StopAnimation();
  worker_->Resume();
  InitOk = 1;
}

void TfrmDownload::OnFormDestroy() {
  hide();
  if (!worker_) return;
  worker_->Terminate();
  // The worker may be waiting for this thread to run one of its calls: keep answering
  // them until it is done.
  if (worker_->Resumed())
    while (!worker_->ThreadDone()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  worker_.reset();
}

int TfrmDownload::ReadyToShow() {
  setEnabled(InitOk == 1);
  return InitOk;
}

void TfrmDownload::SetButtons(bool open, bool start, bool close, bool reboot) {
  pbtnDLOpen->setEnabled(open);
  pbtnDLStart->setEnabled(start);
  pbtnDLClose->setEnabled(close);
  pbtnDLReboot->setEnabled(reboot);
}

void TfrmDownload::pbtnDLOpenClick() { CheckFirmwareFile(); }

void TfrmDownload::CloseFirmwareFile() {
  if (!FileHandle) return;
  FileHandle.reset();
  stxtDownloadFileName->clear();
}

void TfrmDownload::CheckFirmwareFile() {
  pbtnDLStart->setEnabled(false);
  CloseFirmwareFile();
  FileName.clear();
  std::string chosen = lastChosenFile_;
  if (desktop_.OpenFileDialog(FirmwareFileDialog("Firmware binary file (*.bin)|*.bin", "bin"), &chosen))
    lastChosenFile_ = chosen;
  FileName = lastChosenFile_;
  if (FileName.empty()) {
    stxtDownloadFileName->clear();
    return;
  }
  stxtDownloadFileName->setText(ShownPath(FileName));
  CheckedImage image = OpenFirmwareImage(FileName, ModelCode);
  if (!image.file) {
    desktop_.ShowMessageBox(image.refusal, windowTitle().toStdString(), platform::kMbIconError | platform::kMbOk);
    stxtDownloadFileName->clear();
    return;
  }
  FileHandle = std::move(image.file);
  FileSize = image.size;
  pbtnDLStart->setEnabled(true);
}

void TfrmDownload::pbtnDLStartClick() {
  SetButtons(false, false, false, false);
  pbrDownloadStatus->setValue(0);
  DownloadState = dlsStartRequested;
}

void TfrmDownload::pbtnDLCloseClick() {
  SetButtons(false, false, false, false);
  if (worker_) worker_->Terminate();
  QDialog::accept();
}

void TfrmDownload::pbtnDLRebootClick() {
  pbtnDLReboot->setEnabled(false);
  if (!PortHandle->DeviceIoControl(IOCTL_DEVICE_REBOOT, nullptr, 0))
    desktop_.ShowMessageBox("Reboot " + PortName + " Fail", windowTitle().toStdString(),
                            platform::kMbIconError | platform::kMbOk);
}

DownloadJob TfrmDownload::EnterDownloading() {
  DownloadJob job;
  RunOnWindowThread([this, &job] {
    StartAnimation();
    DownloadState = dlsDownloading;
    job.port = PortHandle.get();
    job.file = FileHandle.get();
    job.fileSize = FileSize;
    job.modelCode = ModelCode;
  });
  return job;
}

void TfrmDownload::ShowProgress(std::uint32_t bytesSent) {
  RunOnWindowThread([this, bytesSent] {
    // In 64 bits: a long W image would overflow bytes x 100 in 32.
    pbrDownloadStatus->setValue(static_cast<int>(std::uint64_t{bytesSent} * 100 / FileSize));
  });
}

void TfrmDownload::EnterComplete() {
  RunOnWindowThread([this] {
    pbtnDLReboot->setEnabled(true);
    StopAnimation();
    DownloadState = dlsComplete;
  });
}

void TfrmDownload::EnterFailed() {
  RunOnWindowThread([this] {
    pbtnDLReboot->setEnabled(false);
    StopAnimation();
    DownloadState = dlsFailed;
  });
}

void TfrmDownload::ShowResult(const std::string& text, std::uint32_t flags) {
  RunOnWindowThread([this, &text, flags] { desktop_.ShowMessageBox(text, windowTitle().toStdString(), flags); });
}

void TfrmDownload::ResetAfterDownload() {
  RunOnWindowThread([this] {
    DownloadState = dlsIdle;
    CloseFirmwareFile();
    pbrDownloadStatus->setValue(0);
    pbtnDLOpen->setEnabled(true);
    pbtnDLStart->setEnabled(false);
    pbtnDLClose->setEnabled(true);
  });
}

void RunComFirmwareUpdate(QWidget* owner, const std::string& portName, std::uint32_t modelCode,
                          platform::SerialPorts& serial, platform::Desktop& desktop) {
  TfrmDownload window(owner, portName, modelCode, serial, desktop);
  if (window.ReadyToShow() == 1) window.exec();
}
