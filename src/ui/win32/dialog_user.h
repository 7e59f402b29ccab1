// A user at the system's own dialogs, the message box and the open and save dialogs, for
// tests: on a thread of its own, it finds the next such dialog on the screen by its
// caption (FindWindowA of the dialog class "#32770"), reads it as the screen shows it and
// answers with the click or the typed name a user gives. Made before the call that shows
// the dialog; Answered() after it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/thread.h"

namespace ui {

// A message box as the screen showed it.
struct BoxOnScreen {
  std::string text;
  std::string caption;
  // The MessageBoxA flags its buttons and its icon stand for.
  std::uint32_t flags = 0;
};

// An open or save dialog as the screen showed it.
struct FileDialogOnScreen {
  std::string title;
  // The file types of its list, as shown.
  std::vector<std::string> types;
};

class DialogUser {
 public:
  DialogUser() = default;
  ~DialogUser();
  DialogUser(const DialogUser&) = delete;
  DialogUser& operator=(const DialogUser&) = delete;

  // The next message box captioned caption: answer gets it as read and names the button
  // to click (kIdOk, kIdYes, kIdNo).
  void AnswerBox(const std::string& caption, std::function<int(const BoxOnScreen&)> answer);
  // The next open or save dialog titled title: path is typed into its file name and Open
  // or Save pressed; an empty path presses Cancel.
  void AnswerFileDialog(const std::string& title, const std::string& path, FileDialogOnScreen* seen);
  // Waits until the answer was given; false, with the reason on standard error, when no
  // such dialog came, or it did not go, within the time limit.
  bool Answered();

 private:
  // Set when the call that shows the dialog has returned: nothing more is to come.
  std::atomic<bool> returned_{false};
  std::atomic<bool> answered_{false};
  platform::Thread thread_;
};

}  // namespace ui
