// The bridge: every mapped port in one event loop, the command socket for --status and
// reloads, the stop signals and the lock on the COM folder.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bridge/bridge_port.h"

namespace bridge {

struct Options {
  std::string comDir;
  int tcpBase = 4000;
};

// The command socket and lock beside the COM links.
std::string CommandSocketPath(const std::string& comDir);
std::string LockPath(const std::string& comDir);

class Bridge {
 public:
  Bridge(const Options& options, Log& log);
  ~Bridge();

  // Takes the lock and serves the mappings; false (logged) when another bridge holds the
  // folder or the command socket cannot be made.
  bool Start();
  // Serves until SIGTERM or SIGINT; SIGHUP and the command "RELOAD" reread the mappings.
  int Run();
  // Rereads the mappings: new ports appear, removed ones go, changed ones reconnect.
  void Reload();
  std::size_t portCount() const { return ports_.size(); }

 private:
  struct Command {
    int fd = -1;
    std::string in, out;
    bool done = false;
  };
  bool ReadMappings(std::map<int, PortConfig>* configs);
  void ServeCommand(Command& command);
  void RemoveStaleLinks();

  Options options_;
  Log& log_;
  int lock_ = -1, signals_ = -1, listener_ = -1;
  std::map<int, std::unique_ptr<BridgePort>> ports_;
  std::vector<Command> commands_;
  bool stop_ = false;
};

// What --status prints: one line per served port, or the reason it cannot be told.
int PrintStatus(const std::string& comDir);

}  // namespace bridge
