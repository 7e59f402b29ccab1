// A program a test runs beside itself (the bridge, a peer server, socat): started with
// extra environment entries, its output into a file, and ended with the test.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

class ChildProcess {
 public:
  // argv[0] is a path, or a name looked up along PATH. output, when given, receives the
  // program's standard output and error; its standard input is /dev/null.
  ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {},
               const std::string& output = "");
  // Ends a program still running: SIGTERM, then SIGKILL when it has not gone in 5 s.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  void Signal(int signal);
  // Waits up to timeoutMs for the program to end; its wait status, or -1 when it runs on.
  int Wait(int timeoutMs = 5000);

 private:
  pid_t pid_ = -1;
};

}  // namespace testsupport
