// The desktop the window tests answer. Here the script's. On Windows the system's own
// message boxes and file dialogs: each is found on the screen and answered as the script
// says, by a click on the button or the file name typed, and recorded as the screen
// showed it, so that the same tests check the boxes' texts, captions and flags on the
// real ones.
#pragma once

#include "support/scripted_desktop.h"

#ifdef _WIN32

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/directories.h"
#include "ui/win32/dialog_user.h"

namespace testsupport {

class UiDesktop : public ScriptedDesktop {
 public:
  int ShowMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) override {
    ShownBox shown{"", "", 0};
    ui::DialogUser user;
    user.AnswerBox(caption, [this, &shown](const ui::BoxOnScreen& box) {
      shown = {box.text, box.caption, box.flags};
      return Answer(box.flags);
    });
    const int result = system_->ShowMessageBox(text, caption, flags);
    if (!user.Answered()) ADD_FAILURE() << "nobody could answer the box \"" << text << "\" on the screen";
    boxes.push_back(shown);
    return result;
  }
  bool OpenFileDialog(const platform::FileDialogSpec& request, std::string* path) override {
    return Dialog(request, false, path);
  }
  bool SaveFileDialog(const platform::FileDialogSpec& request, std::string* path) override {
    return Dialog(request, true, path);
  }

 private:
  bool Dialog(const platform::FileDialogSpec& request, bool save, std::string* path) {
    dialogs.push_back(request);
    const std::string typed = NextPath();
    // The dialog lets nobody choose a missing file where it wants one that exists, nor a
    // file in a folder that does not exist: such a path stands for one that went between
    // the choice and its opening, and is given as the script's.
    const bool refused = !platform::FileExists(FolderOf(typed)) || (request.mustExist && !platform::FileExists(typed));
    if (!typed.empty() && refused) {
      *path = typed;
      return true;
    }
    ui::FileDialogOnScreen seen;
    ui::DialogUser user;
    user.AnswerFileDialog(request.title, typed, &seen);
    const bool chosen = save ? system_->SaveFileDialog(request, path) : system_->OpenFileDialog(request, path);
    if (!user.Answered()) ADD_FAILURE() << "nobody could answer the dialog \"" << request.title << "\" on the screen";
    EXPECT_EQ(seen.title, request.title);
    EXPECT_EQ(seen.types, TypesOf(request.filter));
    return chosen;
  }

  static std::string FolderOf(const std::string& path) {
    const std::size_t end = path.find_last_of("\\/");
    return end == std::string::npos ? "." : path.substr(0, end);
  }

  // The descriptions of "Description|*.ext|...", as the dialog's list shows them.
  static std::vector<std::string> TypesOf(const std::string& filter) {
    std::vector<std::string> types;
    for (std::size_t at = 0; at < filter.size();) {
      const std::size_t bar = filter.find('|', at);
      types.push_back(filter.substr(at, bar - at));
      if (bar == std::string::npos) break;
      const std::size_t next = filter.find('|', bar + 1);
      at = next == std::string::npos ? filter.size() : next + 1;
    }
    return types;
  }

  std::unique_ptr<platform::Desktop> system_ = platform::CreateSystemDesktop();
};

}  // namespace testsupport

#else

namespace testsupport {

using UiDesktop = ScriptedDesktop;

}  // namespace testsupport

#endif
