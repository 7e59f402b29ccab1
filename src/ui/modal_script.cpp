#include "ui/modal_script.h"

#include <cstdio>

#include "platform/thread.h"
#include "ui/window.h"

namespace ui {

void ModalScripts::WhenModal(const std::string& name, std::function<void(Window&)> script) {
  scripts_.emplace(name, std::move(script));
}

void ModalScripts::RunScript(Window& window, const bool& ended, Backend& backend, const char* toolkit) {
  const std::string name = window.Name();
  modalWindows_.push_back(name);
  const auto script = scripts_.find(name);
  if (script != scripts_.end()) {
    // Taken out first: the script may show this window again, with a script of its own.
    const std::function<void(Window&)> run = std::move(script->second);
    scripts_.erase(script);
    run(window);
  }
  const std::uint32_t start = platform::MonotonicMs();
  while (!ended) {
    if (platform::MonotonicMs() - start > static_cast<std::uint32_t>(modalTimeLimit_.count())) {
      std::fprintf(stderr, "%s: window %s was still up after the time limit\n", toolkit, name.c_str());
      stuckWindows_.push_back(name);
      window.Close();
      break;
    }
    backend.ProcessEvents(10);
  }
}

}  // namespace ui
