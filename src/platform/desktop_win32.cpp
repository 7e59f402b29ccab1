#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/directories.h"

namespace platform {
namespace {

// "Description (*.ext)|*.ext" as the dialogs take it: pairs ending in NUL, the list in two.
std::vector<char> DialogFilter(const std::string& filter) {
  std::vector<char> list(filter.begin(), filter.end());
  for (char& c : list)
    if (c == '|') c = '\0';
  list.push_back('\0');
  list.push_back('\0');
  return list;
}

bool RunFileDialog(const FileDialogSpec& request, bool save, std::string* path) {
  std::vector<char> filter = DialogFilter(request.filter);
  char file[MAX_PATH] = "";
  OPENFILENAMEA dialog{};
  // The Windows 95 size: the family the program runs on refuses the larger structure.
  dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  dialog.lpstrFilter = filter.data();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = sizeof(file);
  dialog.lpstrTitle = request.title.c_str();
  dialog.lpstrDefExt = request.defaultExt.empty() ? nullptr : request.defaultExt.c_str();
  dialog.lpstrInitialDir = request.directory.empty() ? nullptr : request.directory.c_str();
  dialog.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
  if (request.mustExist) dialog.Flags |= OFN_FILEMUSTEXIST;
  if (request.promptOverwrite) dialog.Flags |= OFN_OVERWRITEPROMPT;
  const BOOL chosen = save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog);
  if (!chosen) return false;
  *path = file;
  return true;
}

// The folder the program was started from, with its closing backslash.
std::string ProgramFolder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return std::string();
  const std::string program(path, length);
  return program.substr(0, program.find_last_of('\\') + 1);
}

class Win32Desktop : public Desktop {
 public:
  int ShowMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) override {
    return MessageBoxA(nullptr, text.c_str(), caption.c_str(), flags);
  }
  bool OpenFileDialog(const FileDialogSpec& request, std::string* path) override {
    return RunFileDialog(request, false, path);
  }
  bool SaveFileDialog(const FileDialogSpec& request, std::string* path) override {
    return RunFileDialog(request, true, path);
  }
  // The help ships as an HTML page of the same name beside the program, since no WinHelp
  // compiler is at hand: it opens in the browser unless a WinHelp file lies there too.
  bool ShowHelp(const std::string& file, std::uint32_t command, std::uintptr_t data) override {
    const std::string folder = ProgramFolder();
    const std::string page = folder + file.substr(0, file.find_last_of('.')) + ".html";
    if (!folder.empty() && !FileExists(folder + file) && FileExists(page)) {
      const HINSTANCE opened = ShellExecuteA(nullptr, "open", page.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL);
      // Values up to 32 are the documented failures, such as no browser for .html pages:
      // then WinHelp at least says what it cannot find.
      if (reinterpret_cast<std::uintptr_t>(opened) > 32) return true;
    }
    return WinHelpA(nullptr, file.c_str(), command, data) != 0;
  }
};

}  // namespace

std::unique_ptr<Desktop> CreateSystemDesktop() { return std::make_unique<Win32Desktop>(); }

}  // namespace platform
