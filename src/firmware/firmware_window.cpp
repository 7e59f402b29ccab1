#include "firmware/firmware_window.h"

#include <QMetaObject>
#include <QThread>

#include "platform/directories.h"
#include "platform/window_style.h"

namespace {

constexpr int kClientWidth = 463;
constexpr int kClientHeight = 195;
// Where a group box's client area begins below its caption.
constexpr int kGroupClientTop = 15;
constexpr int kGroupBorder = 2;
// A longer path shows only its end, behind "...".
constexpr std::size_t kShownPathTail = 48;

QPushButton* NewDownloadButton(QWidget* parent, const char* name, const char* caption, int left, int top) {
  QPushButton* button = NewButton(parent, name, caption, left, top);
  button->resize(75, 25);
  return button;
}



}  // namespace

QString ShownPath(const std::string& path) {
  if (path.size() < kShownPathTail) return QString::fromStdString(path);
  return QString::fromStdString("..." + path.substr(path.size() - kShownPathTail));
}

TfrmFirmwareWindow::TfrmFirmwareWindow(QWidget* owner, const char* name, bool withReboot) : QDialog(owner) {
  // A dialog border without border icons.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setObjectName(name);
  setWindowTitle("Download Firmware");
  setFont(WindowFont());
  setFixedSize(kClientWidth, kClientHeight);

  pnlDownload = NewPanel(this, "pnlDownload");
  NewVBox(this)->addWidget(pnlDownload);
  QVBoxLayout* stack = NewVBox(pnlDownload);

  gbxDownloadFile = NewGroupBox(pnlDownload, "gbxDownloadFile", "Firmware File");
  gbxDownloadFile->setFixedHeight(49);
  stack->addWidget(gbxDownloadFile);
  pnlDownloadFileName = NewPanel(gbxDownloadFile, "pnlDownloadFileName");
  pnlDownloadFileName->setGeometry(kGroupBorder, kGroupClientTop, 360, 49 - kGroupClientTop - kGroupBorder);
  stxtDownloadFileName = new QLabel(pnlDownloadFileName);
  stxtDownloadFileName->setObjectName("stxtDownloadFileName");
  stxtDownloadFileName->setGeometry(8, 0, 350, 25);
  stxtDownloadFileName->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  stxtDownloadFileName->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  pbtnDLOpen = NewDownloadButton(gbxDownloadFile, "pbtnDLOpen", "Open", 370, 16);

  gbxDownloadStatus = NewGroupBox(pnlDownload, "gbxDownloadStatus", "Download Status");
  gbxDownloadStatus->setFixedHeight(104);
  stack->addWidget(gbxDownloadStatus);
  const int statusWidth = kClientWidth - 2 * kGroupBorder;
  pnlDownloadStatusAnimate = NewPanel(gbxDownloadStatus, "pnlDownloadStatusAnimate");
  pnlDownloadStatusAnimate->setGeometry(kGroupBorder, kGroupClientTop, statusWidth, 47);
  anmtDownloadFile = new FileCopyAnimation(pnlDownloadStatusAnimate);
  anmtDownloadFile->setObjectName("anmtDownloadFile");
  NewVBox(pnlDownloadStatusAnimate)->addWidget(anmtDownloadFile);
  pnlDownloadStatusProgressBar = NewPanel(gbxDownloadStatus, "pnlDownloadStatusProgressBar");
  pnlDownloadStatusProgressBar->setGeometry(kGroupBorder, kGroupClientTop + 47, statusWidth,
                                            104 - kGroupClientTop - 47 - kGroupBorder);
  pbrDownloadStatus = new QProgressBar(pnlDownloadStatusProgressBar);
  pbrDownloadStatus->setObjectName("pbrDownloadStatus");
  pbrDownloadStatus->setGeometry(16, 8, 425, 25);
  pbrDownloadStatus->setRange(0, 100);
  pbrDownloadStatus->setValue(0);
  pbrDownloadStatus->setTextVisible(false);

  pnlDownloadBtn = NewPanel(pnlDownload, "pnlDownloadBtn");
  stack->addWidget(pnlDownloadBtn, 1);
  if (withReboot) pbtnDLReboot = NewDownloadButton(pnlDownloadBtn, "pbtnDLReboot", "Reboot", 170, 8);
  pbtnDLStart = NewDownloadButton(pnlDownloadBtn, "pbtnDLStart", "Start", 270, 8);
  pbtnDLClose = NewDownloadButton(pnlDownloadBtn, "pbtnDLClose", "Close", 370, 8);
  setTabOrder(pbtnDLClose, pbtnDLStart);
  if (withReboot) setTabOrder(pbtnDLStart, pbtnDLReboot);
  for (QPushButton* button : {pbtnDLOpen, pbtnDLReboot, pbtnDLStart, pbtnDLClose})
    if (button != nullptr) button->setAutoDefault(false);

}

void TfrmFirmwareWindow::StartAnimation() {
  anmtDownloadFile->SetActive(true);
  anmtDownloadFile->setVisible(true);
}

void TfrmFirmwareWindow::StopAnimation() {
  anmtDownloadFile->SetActive(false);
  anmtDownloadFile->setVisible(false);
}

void TfrmFirmwareWindow::RunOnWindowThread(const std::function<void()>& op) {
  if (QThread::currentThread() == thread())
    op();
  else
    QMetaObject::invokeMethod(this, op, Qt::BlockingQueuedConnection);
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
