#include "store/store_process.h"

#include <sys/wait.h>
#include <unistd.h>

StoreOnFile::StoreOnFile(const std::string& path) {
  registry = platform::SqliteRegistry::Open(path, &failure);
  if (!registry) return;
  window.store = std::make_unique<TTorl7370PortManager>(&window, *registry);
  loaded = window.store->OpenRegistry() && window.store->LoadPorts();
}

pid_t Spawn(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  // _exit: the child must not run the test framework's or the parent's exit handlers.
  _exit(body());
}

std::string EndOf(int status) {
  if (WIFEXITED(status)) return "exit " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
  return "status " + std::to_string(status);
}
