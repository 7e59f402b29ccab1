#include "bridge/bridge.h"

#include <cstdio>
#include <algorithm>

#include "platform/directories.h"
#include "platform/port_control.h"
#include "platform/registry.h"
#include "platform/registry_sqlite.h"
#include "store/mapping_values.h"

namespace bridge {

namespace io = platform::bridgeio;

namespace {

constexpr int kIdleWaitMs = 60 * 1000;
constexpr int kStatusWaitMs = 3000;

}  // namespace

std::string CommandSocketPath(const std::string& comDir) { return comDir + "/" + platform::kBridgeCommandSocket; }
std::string LockPath(const std::string& comDir) { return comDir + "/veq-comportd.lock"; }

Bridge::Bridge(const Options& options, Log& log) : options_(options), log_(log) {}

Bridge::~Bridge() {
  ports_.clear();
  for (Command& command : commands_) io::Close(command.fd);
  if (listener_ >= 0) io::RemovePath(CommandSocketPath(options_.comDir));
  io::Close(listener_);
  io::Close(signals_);
  io::Close(lock_);
}

bool Bridge::Start() {
  bool busy = false;
  lock_ = io::LockFile(LockPath(options_.comDir), &busy);
  if (lock_ < 0) {
    log_.Line(busy ? "another veq-comportd already serves " + options_.comDir + "; this one does not start"
                   : "cannot make the lock file " + LockPath(options_.comDir));
    return false;
  }
  io::IgnoreBrokenPipes();
  signals_ = io::OpenSignals();
  std::string error;
  listener_ = io::ListenLocal(CommandSocketPath(options_.comDir), &error);
  if (listener_ < 0) {
    log_.Line(error);
    return false;
  }
  RemoveStaleLinks();
  Reload();
  return true;
}

void Bridge::RemoveStaleLinks() {
  // A bridge killed without its clean-up leaves links to ptys that are gone.
  for (const std::string& name : io::ListDirectory(options_.comDir)) {
    if (name.compare(0, 3, "COM") != 0) continue;
    const std::string path = options_.comDir + "/" + name;
    if (io::IsDanglingLink(path)) {
      io::RemovePath(path);
      io::RemovePath(path + platform::kPortControlSuffix);
    }
  }
}

bool Bridge::ReadMappings(std::map<int, PortConfig>* configs) {
  // The bridge only reads: opening a registry file the utility has not made yet would make
  // it, so a missing one simply maps nothing until a reload finds it.
  const std::string path = platform::SqliteRegistry::DefaultPath();
  if (!path.empty() && !platform::FileExists(path)) {
    log_.Line("no registry at " + path + " yet: no port is mapped");
    return true;
  }
  std::string failure;
  std::unique_ptr<platform::Registry> registry = platform::OpenSystemRegistry(&failure);
  std::vector<MappedPort> mapped;
  if (registry == nullptr || !ListMappedPorts(*registry, &mapped)) {
    log_.Line(registry == nullptr ? "cannot read the registry: " + failure : "no mappings in the registry");
    return registry != nullptr;
  }
  for (const MappedPort& port : mapped) {
    if (port.values.port < 1 || port.values.port + options_.tcpBase > 65535) continue;
    PortConfig config;
    config.comNumber = port.comNumber;
    config.address = port.values.ipAddress;
    config.tcpPort = static_cast<std::uint16_t>(options_.tcpBase + static_cast<int>(port.values.port));
    config.autoReconn = port.values.autoReconn != 0;
    (*configs)[port.comNumber] = config;
  }
  return true;
}

void Bridge::Reload() {
  std::map<int, PortConfig> configs;
  if (!ReadMappings(&configs)) return;  // an unreadable registry leaves the ports as they are
  for (auto it = ports_.begin(); it != ports_.end();) {
    if (configs.count(it->first) == 0) {
      log_.Line(it->second->name() + ": mapping removed");
      it = ports_.erase(it);
    } else {
      ++it;
    }
  }
  for (const auto& [number, config] : configs) {
    auto found = ports_.find(number);
    if (found != ports_.end()) {
      if (!(found->second->config() == config)) found->second->Reconfigure(config);
      continue;
    }
    std::unique_ptr<BridgePort> port(new BridgePort(config, options_.comDir, log_));
    if (port->Open()) ports_[number] = std::move(port);
  }
  log_.Line("serving " + std::to_string(ports_.size()) + " port(s)");
}

int Bridge::Run() {
  std::vector<io::PollEntry> entries;
  std::vector<std::pair<BridgePort*, std::size_t>> firsts;
  while (!stop_) {
    entries.clear();
    firsts.clear();
    const long long now = io::NowMs();
    long long deadline = now + kIdleWaitMs;
    io::PollEntry entry;
    entry.fd = signals_;
    entry.wantRead = true;
    entries.push_back(entry);
    entry.fd = listener_;
    entries.push_back(entry);
    for (const Command& command : commands_) {
      io::PollEntry commandEntry;
      commandEntry.fd = command.fd;
      commandEntry.wantRead = !command.done;
      commandEntry.wantWrite = !command.out.empty();
      entries.push_back(commandEntry);
    }
    for (auto& [number, port] : ports_) {
      firsts.emplace_back(port.get(), entries.size());
      port->AddPolls(&entries, now, &deadline);
    }
    const long long wait = std::max(0LL, deadline - now);
    if (!io::Poll(&entries, static_cast<int>(wait))) {
      log_.Line("poll failed; stopping");
      return 1;
    }
    const long long after = io::NowMs();
    for (std::size_t i = 0; i < firsts.size(); ++i) {
      const std::size_t end = i + 1 < firsts.size() ? firsts[i + 1].second : entries.size();
      firsts[i].first->Serve(&entries[firsts[i].second], end - firsts[i].second, after);
    }
    const std::size_t commandCount = commands_.size();
    for (std::size_t i = 0; i < commandCount; ++i) {
      const io::PollEntry& commandEntry = entries[2 + i];
      Command& command = commands_[i];
      if (commandEntry.readable || commandEntry.hangup) ServeCommand(command);
      if (commandEntry.writable && !command.out.empty()) {
        const long put = io::WriteSome(command.fd, command.out.data(), command.out.size());
        if (put > 0) command.out.erase(0, static_cast<std::size_t>(put));
        if (put == io::kFailed) command.out.clear();
      }
      if (command.done && command.out.empty()) {
        io::Close(command.fd);
        command.fd = -1;
      }
    }
    commands_.erase(std::remove_if(commands_.begin(), commands_.end(), [](const Command& c) { return c.fd < 0; }),
                    commands_.end());
    if (entries[1].readable) {
      const int fd = io::AcceptLocal(listener_);
      if (fd >= 0) {
        Command command;
        command.fd = fd;
        commands_.push_back(command);
      }
    }
    if (entries[0].readable) {
      const int signal = io::ReadSignal(signals_);
      if (signal == 1) {  // SIGHUP
        log_.Line("reload requested by a signal");
        Reload();
      } else if (signal != 0) {
        log_.Line("stopping");
        stop_ = true;
      }
    }
  }
  return 0;
}

void Bridge::ServeCommand(Command& command) {
  char buffer[512];
  const long got = io::ReadSome(command.fd, buffer, sizeof buffer);
  if (got == io::kWouldBlock) return;
  if (got <= 0 || command.in.size() > 4096) {
    command.done = true;
    command.out.clear();
    return;
  }
  command.in.append(buffer, static_cast<std::size_t>(got));
  const std::size_t end = command.in.find('\n');
  if (end == std::string::npos) return;
  const std::string verb = command.in.substr(0, end);
  command.done = true;
  if (verb == "STATUS") {
    for (const auto& [number, port] : ports_) command.out += port->StatusLine() + "\n";
    command.out += "END\n";
  } else if (verb == "RELOAD") {
    log_.Line("reload requested");
    Reload();
    command.out = "OK " + std::to_string(ports_.size()) + "\n";
  } else {
    command.out = "ERR unknown command\n";
  }
}

int PrintStatus(const std::string& comDir) {
  const int fd = io::ConnectLocal(CommandSocketPath(comDir));
  if (fd < 0) {
    std::fprintf(stderr, "veq-comportd: no bridge serves %s\n", comDir.c_str());
    return 1;
  }
  std::string line;
  bool ended = false;
  std::printf("%-7s %-21s %-10s %14s %14s\n", "Port", "Device", "Link", "To device", "From device");
  for (bool read = io::AskLocal(fd, "STATUS", &line, kStatusWaitMs); read;
       read = io::ReadLine(fd, &line, kStatusWaitMs)) {
    if (line == "END") {
      ended = true;
      break;
    }
    char name[16], device[32], state[16];
    unsigned long long out = 0, in = 0;
    if (std::sscanf(line.c_str(), "%15s %31s %15s to-device %llu from-device %llu", name, device, state, &out,
                    &in) == 5)
      std::printf("%-7s %-21s %-10s %14llu %14llu\n", name, device, state, out, in);
  }
  io::Close(fd);
  if (!ended) std::fprintf(stderr, "veq-comportd: the bridge at %s did not answer\n", comDir.c_str());
  return ended ? 0 : 1;
}

}  // namespace bridge
