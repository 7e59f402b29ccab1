// The user-facing services of the platform: message boxes, the file dialogs and help.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// MessageBoxA flags and results.
constexpr std::uint32_t kMbOk = 0x0;
constexpr std::uint32_t kMbYesNo = 0x4;
constexpr std::uint32_t kMbIconError = 0x10;
constexpr std::uint32_t kMbIconQuestion = 0x20;
constexpr std::uint32_t kMbIconWarning = 0x30;
constexpr std::uint32_t kMbIconInformation = 0x40;
constexpr int kIdOk = 1;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// WinHelpA command.
constexpr std::uint32_t kHelpForceFile = 9;

// An open or save dialog as the window describes it.
struct FileDialogSpec {
  std::string title;
  std::string defaultExt;  // "cpm"
  std::string filter;      // "Description (*.ext)|*.ext"
  bool mustExist = false;         // open: the file must exist
  bool promptOverwrite = false;   // save: ask before overwriting
  std::string directory;          // where the dialog starts; empty: wherever it likes
};

class Desktop {
 public:
  virtual ~Desktop() = default;
  // MessageBoxA without an owner window; returns kIdOk, kIdYes or kIdNo.
  virtual int ShowMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) = 0;
  // The open and save dialogs; false when the user cancels.
  virtual bool OpenFileDialog(const FileDialogSpec& request, std::string* path) = 0;
  virtual bool SaveFileDialog(const FileDialogSpec& request, std::string* path) = 0;
  // WinHelpA without an owner; the result is not examined by callers.
  virtual bool ShowHelp(const std::string& file, std::uint32_t command, std::uintptr_t data) = 0;
};

// Windows: MessageBoxA, the common file dialogs and WinHelpA. Elsewhere: Qt's message
// boxes and file dialogs, and the help page in a viewer window.
std::unique_ptr<Desktop> CreateSystemDesktop();

}  // namespace platform
