// A desktop that answers message boxes and file dialogs from queues and records all it is
// asked, so window tests run without anyone at the screen.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/desktop.h"

namespace testsupport {

struct ShownBox {
  std::string text;
  std::string caption;
  std::uint32_t flags;
};

class ScriptedDesktop : public platform::Desktop {
 public:
  // Answers for the coming Yes/No boxes, in order; an OK box takes none. With the queue
  // empty a Yes/No box is answered No.
  std::deque<int> answers;
  // Paths the coming file dialogs return; an empty string cancels.
  std::deque<std::string> dialogPaths;

  std::vector<ShownBox> boxes;
  std::vector<platform::FileDialogSpec> dialogs;
  std::vector<std::string> helpFiles;

  int ShowMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) override {
    boxes.push_back({text, caption, flags});
    return Answer(flags);
  }
  bool OpenFileDialog(const platform::FileDialogSpec& request, std::string* path) override {
    return Dialog(request, path);
  }
  bool SaveFileDialog(const platform::FileDialogSpec& request, std::string* path) override {
    return Dialog(request, path);
  }
  bool ShowHelp(const std::string& file, std::uint32_t, std::uintptr_t) override {
    helpFiles.push_back(file);
    return true;
  }

 protected:
  // The script's answer to a box with these flags.
  int Answer(std::uint32_t flags) {
    if ((flags & 0x0F) != platform::kMbYesNo) return platform::kIdOk;
    if (answers.empty()) return platform::kIdNo;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  // The path the script gives the next dialog; empty cancels.
  std::string NextPath() {
    if (dialogPaths.empty()) return std::string();
    std::string path = dialogPaths.front();
    dialogPaths.pop_front();
    return path;
  }

 private:
  bool Dialog(const platform::FileDialogSpec& request, std::string* path) {
    dialogs.push_back(request);
    const std::string next = NextPath();
    if (next.empty()) return false;
    *path = next;
    return true;
  }
};

}  // namespace testsupport
