#include "firmware/download_window_v2.h"

#include <cstring>

#include "platform/directories.h"

namespace {

// This window's copy clip turns back at its 34th frame.
constexpr int kClipStopFrame = 34;

}  // namespace

std::vector<ui::ControlRow<TfrmDownloadV2>> TfrmDownloadV2::Rows() {
  using ui::ControlKind;
  using ui::Dock;
  std::vector<ui::ControlRow<TfrmDownloadV2>> rows = FirmwareRows<TfrmDownloadV2>(
      {
          {{"stxtDownloadFileName", ControlKind::kStaticText, "gbxDownloadFile", Dock::kNone, {16, 16, 0, 13}, "",
            ui::kAutoSize}},
          {{"stxtDwonloadFileName", ControlKind::kStaticText, "gbxDownloadFile", Dock::kNone, {8, 16, 0, 13}, "",
            ui::kAutoSize}},
      },
      23, {});
  for (ui::ControlRow<TfrmDownloadV2>& row : rows)
    if (std::strcmp(row.description.name, "anmtDownloadFile") == 0) row.description.stopFrame = kClipStopFrame;
  return rows;
}

TfrmDownloadV2::TfrmDownloadV2(ui::Window* owner, std::uint32_t address, const std::string& portName,
                               std::uint32_t modelCode, platform::Network& network, platform::Desktop& desktop,
                               NetworkTimings timings)
    : TfrmFirmwareWindow({"frmDownloadV2", "Download Firmware", 463, 195, ui::BorderStyle::kDialog, ui::kSystemMenu,
                          ui::Position::kDesktopCenter, ui::kWindowFont, nullptr, "pbtnDLClose"},
                         Specs(Rows()), owner),
      stxtDwonloadFileName(Get<ui::StaticText>("stxtDwonloadFileName")),
      DeviceAddress(address),
      PortName(portName),
      ModelCode(modelCode),
      network_(network),
      desktop_(desktop),
      timings_(timings) {
  Bind(*this, Rows());
  OnCloseQuery = [this] { return FormCloseQuery(); };
  SetCaption(PortName + " Download Firmware");
  SetEnabled(false);
  FormCreate();
}

TfrmDownloadV2::~TfrmDownloadV2() { FormDestroy(); }

void TfrmDownloadV2::FormCreate() {
  Ready = 1;
  StopAnimation();
  SetButtons(0);
}

void TfrmDownloadV2::FormDestroy() {
  Hide();
  closing_ = true;
  EndWorker();
}

bool TfrmDownloadV2::FormCloseQuery() {
  closing_ = true;
  if (worker_) worker_->RequestStop();
  return true;
}

void TfrmDownloadV2::EndWorker() {
  if (!worker_) return;
  worker_->RequestStop();
  WaitUntil([this] { return worker_->Finished(); });
  worker_.reset();
}

int TfrmDownloadV2::ReadyToShow() {
  if (Ready == 1) SetEnabled(true);
  return Ready;
}

void TfrmDownloadV2::SetButtons(int state) {
  switch (state) {
    case 0:
      pbtnDLOpen->SetEnabled(true);
      pbtnDLStart->SetEnabled(false);
      pbtnDLClose->SetEnabled(true);
      break;
    case 1:
      pbtnDLStart->SetEnabled(true);
      break;
    case 2:
    case 5:
      pbtnDLOpen->SetEnabled(false);
      pbtnDLStart->SetEnabled(false);
      pbtnDLClose->SetEnabled(false);
      break;
    case 3:
      pbtnDLClose->SetEnabled(true);
      break;
    case 4:
      pbtnDLOpen->SetEnabled(true);
      pbtnDLStart->SetEnabled(true);
      pbtnDLClose->SetEnabled(true);
      break;
    default:
      break;
  }
}

void TfrmDownloadV2::ShowBox(const std::string& text, std::uint32_t flags) {
  desktop_.ShowMessageBox(text, Caption(), flags);
}

void TfrmDownloadV2::pbtnDLOpenClick() {
  const std::string helperFolder = platform::FindOnPath("Quintel.exe");
  if (!helperFolder.empty()) platform::ChangeDirectory(helperFolder);
  std::string path;
  if (!desktop_.OpenFileDialog(FirmwareFileDialog("VEQ binary file (*.exf)|*.EXF", "exg"), &path)) return;
  const ExfResult result = ReadExfFile(path, ModelCode, &File);
  if (result != ExfResult::kAccepted) {
    ShowBox(ExfMessage(result, ModelCode), platform::kMbIconError | platform::kMbOk);
    return;
  }
  HasFile = true;
  ShowFileName(path);
  SetButtons(1);
}

void TfrmDownloadV2::pbtnDLStartClick() {
  if (!HasFile) return;
  EndWorker();  // the earlier run has reported; its thread is joined here
  worker_ = TDownloadThrdV2::Create(*this, network_, DeviceAddress, File, timings_);
  pbrDownloadStatus->SetPosition(0);
  SetButtons(2);
  if (!worker_->Start()) {
    worker_.reset();
    SetButtons(4);
    ShowBox("There is no resource for download thread", platform::kMbIconError | platform::kMbOk);
  }
}

void TfrmDownloadV2::pbtnDLCloseClick() {
  SetButtons(5);
  Close();
}

void TfrmDownloadV2::StartAnimation() {
  Synchronize([this] {
    if (!closing_) TfrmFirmwareWindow::StartAnimation();
  });
}

void TfrmDownloadV2::Progress(std::uint32_t percent) {
  Synchronize([this, percent] { pbrDownloadStatus->SetPosition(static_cast<int>(percent)); });
}

void TfrmDownloadV2::Success() {
  Synchronize([this] {
    StopAnimation();
    if (!closing_) SetButtons(3);
  });
}

void TfrmDownloadV2::Failure(const std::string& message) {
  Synchronize([this, &message] {
    StopAnimation();
    if (closing_) return;
    ShowBox(message, platform::kMbIconError | platform::kMbOk);
    SetButtons(4);
  });
}

void TfrmDownloadV2::Inform(const std::string& text) {
  Synchronize([this, &text] {
    if (!closing_) ShowBox(text, platform::kMbIconInformation | platform::kMbOk);
  });
}

bool TfrmDownloadV2::Ask(const std::string& text) {
  bool yes = false;
  Synchronize([this, &text, &yes] {
    yes = !closing_ &&
          desktop_.ShowMessageBox(text, Caption(), platform::kMbIconQuestion | platform::kMbYesNo) == platform::kIdYes;
  });
  return yes;
}

void RunNetworkFirmwareUpdate(ui::Window* owner, std::uint32_t address, const std::string& portName,
                              std::uint32_t modelCode, platform::Network& network, platform::Desktop& desktop) {
  TfrmDownloadV2 window(owner, address, portName, modelCode, network, desktop);
  if (window.ReadyToShow() == 1) window.ShowModal();
}
