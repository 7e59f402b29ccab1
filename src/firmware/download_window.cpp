#include "firmware/download_window.h"

#include <cstdio>

#include "store/driver_interface.h"
#include "store/port_mapper_window.h"

std::vector<ui::ControlRow<TfrmDownload>> TfrmDownload::Rows() {
  using ui::ControlKind;
  using ui::Dock;
  return FirmwareRows<TfrmDownload>(
      {
          {{"pnlDownloadFileName", ControlKind::kPanel, "gbxDownloadFile", Dock::kLeft, {0, 0, 360, 0}, ""}},
          {{"stxtDownloadFileName", ControlKind::kStaticText, "pnlDownloadFileName", Dock::kNone, {8, 0, 350, 25},
            "", ui::kSunkenBorder}},
      },
      25,
      {
          {{"pbtnDLReboot", ControlKind::kButton, "pnlDownloadBtn", Dock::kNone, {170, 8, 75, 25}, "Reboot"},
           &TfrmDownload::pbtnDLRebootClick},
      });
}

TfrmDownload::TfrmDownload(ui::Window* owner, const std::string& portName, std::uint32_t modelCode,
                           platform::SerialPorts& serial, platform::Desktop& desktop, DownloadTiming timing)
    : TfrmFirmwareWindow({"frmDownload", "Download Firmware", 463, 195, ui::BorderStyle::kDialog, 0,
                          ui::Position::kOwnerCenter, ui::kWindowFont, nullptr, "pbtnDLClose"},
                         Specs(Rows()), owner),
      pbtnDLReboot(Get<ui::Button>("pbtnDLReboot")),
      PortName(portName),
      ModelCode(modelCode),
      desktop_(desktop) {
  Bind(*this, Rows());
  // Without border icons only Close closes this window.
  OnCloseQuery = [] { return false; };
  SetCaption(PortName + " Download Firmware");
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
    SetEnabled(false);
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
  Hide();
  if (!worker_) return;
  worker_->Terminate();
  // The worker may be waiting for this thread to run one of its calls: keep answering
  // them until it is done.
  if (worker_->Resumed()) WaitUntil([this] { return worker_->ThreadDone(); });
  worker_.reset();
}

int TfrmDownload::ReadyToShow() {
  SetEnabled(InitOk == 1);
  return InitOk;
}

void TfrmDownload::SetButtons(bool open, bool start, bool close, bool reboot) {
  pbtnDLOpen->SetEnabled(open);
  pbtnDLStart->SetEnabled(start);
  pbtnDLClose->SetEnabled(close);
  pbtnDLReboot->SetEnabled(reboot);
}

void TfrmDownload::pbtnDLOpenClick() { CheckFirmwareFile(); }

void TfrmDownload::CloseFirmwareFile() {
  if (!FileHandle) return;
  FileHandle.reset();
  stxtDownloadFileName->SetText("");
}

void TfrmDownload::CheckFirmwareFile() {
  pbtnDLStart->SetEnabled(false);
  CloseFirmwareFile();
  FileName.clear();
  std::string chosen = lastChosenFile_;
  if (desktop_.OpenFileDialog(FirmwareFileDialog("Firmware binary file (*.bin)|*.bin", "bin"), &chosen))
    lastChosenFile_ = chosen;
  FileName = lastChosenFile_;
  if (FileName.empty()) {
    stxtDownloadFileName->SetText("");
    return;
  }
  ShowFileName(FileName);
  CheckedImage image = OpenFirmwareImage(FileName, ModelCode);
  if (!image.file) {
    desktop_.ShowMessageBox(image.refusal, Caption(), platform::kMbIconError | platform::kMbOk);
    stxtDownloadFileName->SetText("");
    return;
  }
  FileHandle = std::move(image.file);
  FileSize = image.size;
  pbtnDLStart->SetEnabled(true);
}

void TfrmDownload::pbtnDLStartClick() {
  SetButtons(false, false, false, false);
  pbrDownloadStatus->SetPosition(0);
  DownloadState = dlsStartRequested;
}

void TfrmDownload::pbtnDLCloseClick() {
  SetButtons(false, false, false, false);
  if (worker_) worker_->Terminate();
  Close();
}

void TfrmDownload::pbtnDLRebootClick() {
  pbtnDLReboot->SetEnabled(false);
  if (!PortHandle->DeviceIoControl(IOCTL_DEVICE_REBOOT, nullptr, 0))
    desktop_.ShowMessageBox("Reboot " + PortName + " Fail", Caption(), platform::kMbIconError | platform::kMbOk);
}

DownloadJob TfrmDownload::EnterDownloading() {
  DownloadJob job;
  Synchronize([this, &job] {
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
  Synchronize([this, bytesSent] {
    // In 64 bits: a long W image would overflow bytes x 100 in 32.
    pbrDownloadStatus->SetPosition(static_cast<int>(std::uint64_t{bytesSent} * 100 / FileSize));
  });
}

void TfrmDownload::EnterComplete() {
  Synchronize([this] {
    pbtnDLReboot->SetEnabled(true);
    StopAnimation();
    DownloadState = dlsComplete;
  });
}

void TfrmDownload::EnterFailed() {
  Synchronize([this] {
    pbtnDLReboot->SetEnabled(false);
    StopAnimation();
    DownloadState = dlsFailed;
  });
}

void TfrmDownload::ShowResult(const std::string& text, std::uint32_t flags) {
  Synchronize([this, &text, flags] { desktop_.ShowMessageBox(text, Caption(), flags); });
}

void TfrmDownload::ResetAfterDownload() {
  Synchronize([this] {
    DownloadState = dlsIdle;
    CloseFirmwareFile();
    pbrDownloadStatus->SetPosition(0);
    pbtnDLOpen->SetEnabled(true);
    pbtnDLStart->SetEnabled(false);
    pbtnDLClose->SetEnabled(true);
  });
}

void RunComFirmwareUpdate(ui::Window* owner, const std::string& portName, std::uint32_t modelCode,
                          platform::SerialPorts& serial, platform::Desktop& desktop) {
  TfrmDownload window(owner, portName, modelCode, serial, desktop);
  if (window.ReadyToShow() == 1) window.ShowModal();
}
