// Message boxes, file dialogs and help shown with Qt: the desktop where Windows is not.
#pragma once

#include <QPointer>
#include <QTextBrowser>

#include "platform/desktop.h"

namespace platform {

class QtDesktop : public Desktop {
 public:
  ~QtDesktop() override;
  int ShowMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) override;
  bool OpenFileDialog(const FileDialogSpec& request, std::string* path) override;
  bool SaveFileDialog(const FileDialogSpec& request, std::string* path) override;
  bool ShowHelp(const std::string& file, std::uint32_t command, std::uintptr_t data) override;

 private:
  QPointer<QTextBrowser> helpViewer_;
};

}  // namespace platform
