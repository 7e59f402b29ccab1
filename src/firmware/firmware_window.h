// What the two firmware windows share: the file band with its Open button, the status
// band with the copy animation and the progress bar, and the button row with Start and
// Close.
#pragma once

#include <string>
#include <vector>

#include "platform/desktop.h"
#include "ui/window.h"

class TfrmFirmwareWindow : public ui::Window {
 public:
  ui::Panel* pnlDownload;
  ui::GroupBox* gbxDownloadFile;
  ui::StaticText* stxtDownloadFileName;
  ui::Button* pbtnDLOpen;
  ui::GroupBox* gbxDownloadStatus;
  ui::Panel* pnlDownloadStatusAnimate;
  ui::Animation* anmtDownloadFile;
  ui::Panel* pnlDownloadStatusProgressBar;
  ui::ProgressBar* pbrDownloadStatus;
  ui::Panel* pnlDownloadBtn;
  ui::Button* pbtnDLStart;
  ui::Button* pbtnDLClose;

 protected:
  TfrmFirmwareWindow(const ui::WindowSpec& description, std::vector<ui::ControlSpec> table, ui::Window* owner);

  // The rows of both windows in layout order: the file band with the window's own file
  // label rows, the status band with a progress bar progressHeight high, the button row
  // with Close and Start (tab order) and then the window's own buttons.
  template <class W>
  static std::vector<ui::ControlRow<W>> FirmwareRows(const std::vector<ui::ControlRow<W>>& fileLabel,
                                                     int progressHeight, const std::vector<ui::ControlRow<W>>& buttons);

  void StartAnimation();
  void StopAnimation();
  // Shows path in the file label: whole when shorter than 48 characters, otherwise "..."
  // and its last 48.
  void ShowFileName(const std::string& path);
};

// The open dialog of a firmware window: its title, the filter and default extension of
// its file kind, starting in the current directory.
platform::FileDialogSpec FirmwareFileDialog(const char* filter, const char* defaultExt);

template <class W>
std::vector<ui::ControlRow<W>> TfrmFirmwareWindow::FirmwareRows(const std::vector<ui::ControlRow<W>>& fileLabel,
                                                                int progressHeight,
                                                                const std::vector<ui::ControlRow<W>>& buttons) {
  using ui::ControlKind;
  using ui::Dock;
  std::vector<ui::ControlRow<W>> rows = {
      {{"pnlDownload", ControlKind::kPanel, nullptr, Dock::kFill, {}, ""}},
      {{"gbxDownloadFile", ControlKind::kGroupBox, "pnlDownload", Dock::kTop, {0, 0, 0, 49}, "Firmware File"}},
      {{"pbtnDLOpen", ControlKind::kButton, "gbxDownloadFile", Dock::kNone, {370, 16, 75, 25}, "Open"},
       &W::pbtnDLOpenClick},
  };
  rows.insert(rows.end(), fileLabel.begin(), fileLabel.end());
  const std::vector<ui::ControlRow<W>> rest = {
      {{"gbxDownloadStatus", ControlKind::kGroupBox, "pnlDownload", Dock::kTop, {0, 0, 0, 104}, "Download Status"}},
      {{"pnlDownloadStatusAnimate", ControlKind::kPanel, "gbxDownloadStatus", Dock::kTop, {0, 0, 0, 47}, ""}},
      {{"anmtDownloadFile", ControlKind::kAnimation, "pnlDownloadStatusAnimate", Dock::kFill, {}, ""}},
      {{"pnlDownloadStatusProgressBar", ControlKind::kPanel, "gbxDownloadStatus", Dock::kFill, {}, ""}},
      {{"pbrDownloadStatus", ControlKind::kProgressBar, "pnlDownloadStatusProgressBar", Dock::kNone,
        {16, 8, 425, progressHeight}, "", ui::kSmooth}},
      {{"pnlDownloadBtn", ControlKind::kPanel, "pnlDownload", Dock::kFill, {}, ""}},
      {{"pbtnDLClose", ControlKind::kButton, "pnlDownloadBtn", Dock::kNone, {370, 8, 75, 25}, "Close"},
       &W::pbtnDLCloseClick},
      {{"pbtnDLStart", ControlKind::kButton, "pnlDownloadBtn", Dock::kNone, {270, 8, 75, 25}, "Start"},
       &W::pbtnDLStartClick},
  };
  rows.insert(rows.end(), rest.begin(), rest.end());
  rows.insert(rows.end(), buttons.begin(), buttons.end());
  return rows;
}
