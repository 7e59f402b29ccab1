#include "firmware/firmware_window.h"

#include "platform/directories.h"

namespace {

// A longer path shows only its end, behind "...".
constexpr std::size_t kShownPathTail = 48;

}  // namespace

TfrmFirmwareWindow::TfrmFirmwareWindow(const ui::WindowSpec& description, std::vector<ui::ControlSpec> table,
                                       ui::Window* owner)
    : ui::Window(description, std::move(table), {}, owner),
      pnlDownload(Get<ui::Panel>("pnlDownload")),
      gbxDownloadFile(Get<ui::GroupBox>("gbxDownloadFile")),
      stxtDownloadFileName(Get<ui::StaticText>("stxtDownloadFileName")),
      pbtnDLOpen(Get<ui::Button>("pbtnDLOpen")),
      gbxDownloadStatus(Get<ui::GroupBox>("gbxDownloadStatus")),
      pnlDownloadStatusAnimate(Get<ui::Panel>("pnlDownloadStatusAnimate")),
      anmtDownloadFile(Get<ui::Animation>("anmtDownloadFile")),
      pnlDownloadStatusProgressBar(Get<ui::Panel>("pnlDownloadStatusProgressBar")),
      pbrDownloadStatus(Get<ui::ProgressBar>("pbrDownloadStatus")),
      pnlDownloadBtn(Get<ui::Panel>("pnlDownloadBtn")),
      pbtnDLStart(Get<ui::Button>("pbtnDLStart")),
      pbtnDLClose(Get<ui::Button>("pbtnDLClose")) {}

void TfrmFirmwareWindow::StartAnimation() {
  anmtDownloadFile->SetActive(true);
  anmtDownloadFile->Show();
}

void TfrmFirmwareWindow::StopAnimation() {
  anmtDownloadFile->SetActive(false);
  anmtDownloadFile->Hide();
}

void TfrmFirmwareWindow::ShowFileName(const std::string& path) {
  stxtDownloadFileName->SetText(path.size() < kShownPathTail ? path
                                                             : "..." + path.substr(path.size() - kShownPathTail));
}

platform::FileDialogSpec FirmwareFileDialog(const char* filter, const char* defaultExt) {
  platform::FileDialogSpec dialog;
  dialog.title = "Open Firmware Binary File";
  dialog.filter = filter;
  dialog.defaultExt = defaultExt;
  dialog.mustExist = true;
  dialog.directory = platform::CurrentDirectory();
  return dialog;
}
