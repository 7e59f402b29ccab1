#include "support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace testsupport {

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                           const std::string& output) {
  // Everything the child needs is made before the fork: after it only async-signal-safe calls.
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> merged;
  for (char** entry = environ; *entry; ++entry) {
    const std::string existing = *entry;
    const std::string name = existing.substr(0, existing.find('=') + 1);
    bool replaced = false;
    for (const std::string& given : environment) replaced = replaced || given.compare(0, name.size(), name) == 0;
    if (!replaced) merged.push_back(existing);
  }
  merged.insert(merged.end(), environment.begin(), environment.end());
  std::vector<char*> envp;
  for (std::string& entry : merged) envp.push_back(&entry[0]);
  envp.push_back(nullptr);
  const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  const int out = output.empty() ? -1 : open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  pid_ = fork();
  if (pid_ == 0) {
    dup2(in, 0);
    if (out >= 0) {
      dup2(out, 1);
      dup2(out, 2);
    }
    execvpe(args[0], args.data(), envp.data());
    _exit(127);
  }
  if (in >= 0) close(in);
  if (out >= 0) close(out);
}

ChildProcess::~ChildProcess() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  if (Wait() == -1) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

void ChildProcess::Signal(int signal) {
  if (pid_ > 0) kill(pid_, signal);
}

int ChildProcess::Wait(int timeoutMs) {
  if (pid_ <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return status;
    }
    if (std::chrono::steady_clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace testsupport
