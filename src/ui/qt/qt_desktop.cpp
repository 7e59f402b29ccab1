#include "ui/qt/qt_desktop.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace platform {
namespace {

QMessageBox::Icon IconOf(std::uint32_t flags) {
  switch (flags & 0xF0) {
    case kMbIconError: return QMessageBox::Critical;
    case kMbIconQuestion: return QMessageBox::Question;
    case kMbIconWarning: return QMessageBox::Warning;
    case kMbIconInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

// "Description (*.ext)|*.ext|..." as a Qt name filter list.
QString QtFilter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList names;
  for (int i = 0; i < parts.size(); i += 2) names << parts[i];
  return names.join(";;");
}

bool RunFileDialog(const FileDialogSpec& request, QFileDialog::AcceptMode mode, std::string* path) {
  QFileDialog dialog(nullptr, QString::fromStdString(request.title));
  dialog.setAcceptMode(mode);
  dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setNameFilter(QtFilter(request.filter));
  dialog.setDefaultSuffix(QString::fromStdString(request.defaultExt));
  if (!request.directory.empty()) dialog.setDirectory(QString::fromStdString(request.directory));
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.promptOverwrite);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  *path = QDir::toNativeSeparators(dialog.selectedFiles().first()).toStdString();
  return true;
}

// The help page installed with the program: beside it, or in the share folder of its prefix.
QString FindHelpPage(const std::string& helpFile) {
  const QString page = QFileInfo(QString::fromStdString(helpFile)).completeBaseName() + ".html";
  const QString dir = QCoreApplication::applicationDirPath();
  for (const QString& candidate : {dir + "/" + page, dir + "/../share/veq-comport/" + page})
    if (QFileInfo::exists(candidate)) return QFileInfo(candidate).canonicalFilePath();
  return QString();
}

}  // namespace

QtDesktop::~QtDesktop() { delete helpViewer_; }

int QtDesktop::ShowMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) {
  const bool yesNo = (flags & 0x0F) == kMbYesNo;
  QMessageBox box(IconOf(flags), QString::fromStdString(caption), QString::fromStdString(text),
                  yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok);
  const int answer = box.exec();
  if (!yesNo) return kIdOk;
  return answer == QMessageBox::Yes ? kIdYes : kIdNo;
}

bool QtDesktop::OpenFileDialog(const FileDialogSpec& request, std::string* path) {
  return RunFileDialog(request, QFileDialog::AcceptOpen, path);
}

bool QtDesktop::SaveFileDialog(const FileDialogSpec& request, std::string* path) {
  return RunFileDialog(request, QFileDialog::AcceptSave, path);
}

bool QtDesktop::ShowHelp(const std::string& file, std::uint32_t /*command*/, std::uintptr_t /*data*/) {
  const QString page = FindHelpPage(file);
  if (page.isEmpty()) {
    ShowMessageBox("Cannot find the help file " + file + ".", "Help", kMbIconError | kMbOk);
    return false;
  }
  if (!helpViewer_) {
    helpViewer_ = new QTextBrowser;
    helpViewer_->setObjectName("helpViewer");
    helpViewer_->setAttribute(Qt::WA_DeleteOnClose);
    helpViewer_->resize(560, 420);
  }
  helpViewer_->setWindowTitle("COMPort Mapping Utility Help");
  helpViewer_->setSource(QUrl::fromLocalFile(page));
  helpViewer_->show();
  helpViewer_->raise();
  return true;
}

std::unique_ptr<Desktop> CreateSystemDesktop() { return std::make_unique<QtDesktop>(); }

}  // namespace platform
