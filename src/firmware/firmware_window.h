// What the two firmware windows share: the file band with its Open button, the status
// band with the copy animation and the progress bar, and the button row.
#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <functional>
#include <string>

#include "firmware/file_copy_animation.h"
#include "platform/desktop.h"

class TfrmFirmwareWindow : public QDialog {
  Q_OBJECT

 public:
  QWidget* pnlDownload;
  QGroupBox* gbxDownloadFile;
  QWidget* pnlDownloadFileName;
  QLabel* stxtDownloadFileName;
  QPushButton* pbtnDLOpen;
  QGroupBox* gbxDownloadStatus;
  QWidget* pnlDownloadStatusAnimate;
  FileCopyAnimation* anmtDownloadFile;
  QWidget* pnlDownloadStatusProgressBar;
  QProgressBar* pbrDownloadStatus;
  QWidget* pnlDownloadBtn;
  QPushButton* pbtnDLReboot = nullptr;  // only the COM port's window has one
  QPushButton* pbtnDLStart;
  QPushButton* pbtnDLClose;

 protected:
  // Builds the layout; withReboot adds the Reboot button left of Start.
  TfrmFirmwareWindow(QWidget* owner, const char* name, bool withReboot);

  void StartAnimation();
  void StopAnimation();
  // Runs op on the window's thread and returns when it has run.
  void RunOnWindowThread(const std::function<void()>& op);
};

// A path as the file label shows it: whole when shorter than 48 characters, otherwise
// "..." and its last 48.
QString ShownPath(const std::string& path);

// The open dialog of a firmware window: its title, the filter and default extension of
// its file kind, starting in the current directory.
platform::FileDialogSpec FirmwareFileDialog(const char* filter, const char* defaultExt);
