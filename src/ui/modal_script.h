// What the test toolkits do with a window shown modally: the user's script for it, the
// list of windows shown, and a time limit for a window that nobody closes.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace ui {

class Backend;
class Window;

class ModalScripts {
 public:
  // What the user does when the window named name is next shown modally. A window
  // without a script, or whose script has ended, stays up until it closes itself; one
  // that is still up after the modal time limit is reported and closed.
  void WhenModal(const std::string& name, std::function<void(Window&)> script);
  // The names of the windows shown modally so far, in order.
  const std::vector<std::string>& ModalWindows() const { return modalWindows_; }
  void SetModalTimeLimit(std::chrono::milliseconds limit) { modalTimeLimit_ = limit; }
  // Windows the time limit had to close; a test expects none.
  const std::vector<std::string>& StuckWindows() const { return stuckWindows_; }

 protected:
  ~ModalScripts() = default;
  // The modal loop of a test toolkit: notes the window, runs its script, then handles
  // events until ended is set or the time limit closes the window.
  void RunScript(Window& window, const bool& ended, Backend& backend, const char* toolkit);

 private:
  std::multimap<std::string, std::function<void(Window&)>> scripts_;
  std::vector<std::string> modalWindows_;
  std::vector<std::string> stuckWindows_;
  std::chrono::milliseconds modalTimeLimit_{60000};
};

}  // namespace ui
