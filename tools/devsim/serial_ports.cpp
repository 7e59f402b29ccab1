#include "devsim/serial_ports.h"

#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <thread>

#include "devsim/listen_socket.h"
#include "devsim/port_link.h"

namespace devsim {
namespace {

struct Connection {
  int fd = -1;
  int port = 0;
  std::unique_ptr<PortLink> link;
  std::vector<std::uint8_t> unsent;
  std::uint64_t rawReceived = 0;
  bool closing = false;
};

}  // namespace

struct SerialPorts::Loop {
  SerialSettings settings;
  int base = 0;
  bool ok = false;
  std::mutex mutex;
  std::vector<SerialPortState> states;  // by port number, entry 0 unused
  std::vector<int> listeners;           // by port number - 1; -1 while refusing
  std::vector<std::unique_ptr<Connection>> connections;
  DeviceMemory memory;
  LinkFaults faults;
  int wake[2] = {-1, -1};
  bool stopping = false;
  std::thread thread;

  bool BindAll(int at) {
    CloseListeners();
    for (int k = 1; k <= settings.ports; ++k) {
      const int fd = ListenOnLoopback(static_cast<std::uint16_t>(at + k), 16, true);
      listeners.push_back(fd);
      if (fd < 0) {
        CloseListeners();
        return false;
      }
    }
    base = at;
    return true;
  }
  void CloseListeners() {
    for (int fd : listeners)
      if (fd >= 0) close(fd);
    listeners.clear();
  }
  // Listening follows the refuse fault: a refused port is a closed one.
  void MatchListeners() {
    const bool refuse = faults.fault == SerialFault::kRefuse;
    for (int k = 1; k <= settings.ports; ++k) {
      int& fd = listeners[static_cast<std::size_t>(k - 1)];
      if (refuse && fd >= 0) {
        close(fd);
        fd = -1;
      } else if (!refuse && fd < 0) {
        fd = ListenOnLoopback(static_cast<std::uint16_t>(base + k), 16, true);
      }
    }
  }

  void Accept(int port) {
    const int fd = accept4(listeners[static_cast<std::size_t>(port - 1)], nullptr, nullptr,
                           SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    const int yes = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    // One client a port: a newcomer takes the port over, as after a client that vanished.
    for (auto& other : connections)
      if (other->port == port) other->closing = true;
    Reap();
    SerialPortState& state = states[static_cast<std::size_t>(port)];
    SerialPortState fresh;  // every link starts from the port's power-on settings
    fresh.connections = state.connections + 1;
    fresh.bytesIn = state.bytesIn;
    fresh.bytesOut = state.bytesOut;
    fresh.purges = state.purges;
    fresh.connected = true;
    state = fresh;
    auto connection = std::make_unique<Connection>();
    connection->fd = fd;
    connection->port = port;
    connection->link = std::make_unique<PortLink>(state, memory, faults);
    if (faults.fault == SerialFault::kMalformed) connection->link->SendMalformed();
    connections.push_back(std::move(connection));
  }

  void Read(Connection& connection) {
    std::uint8_t buffer[16384];
    std::size_t room = sizeof buffer;
    const bool dropping = faults.fault == SerialFault::kDropAfter;
    if (dropping) room = std::min<std::uint64_t>(room, faults.value - std::min<std::uint64_t>(faults.value, connection.rawReceived));
    const ssize_t n = room == 0 ? 0 : recv(connection.fd, buffer, room, 0);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    if (n <= 0) {
      connection.closing = true;
      return;
    }
    connection.rawReceived += static_cast<std::uint64_t>(n);
    connection.link->Receive(buffer, static_cast<std::size_t>(n));
    if (connection.link->broken()) connection.closing = true;
    if (dropping && connection.rawReceived >= faults.value) {
      connection.closing = true;
      faults.fault = SerialFault::kNone;  // dropped once; the next link stays
    }
  }

  void Write(Connection& connection) {
    if (connection.unsent.empty()) connection.unsent = connection.link->TakeDue(PortLink::Clock::now());
    if (connection.unsent.empty()) return;
    const ssize_t n = send(connection.fd, connection.unsent.data(), connection.unsent.size(),
                           MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) {
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) connection.closing = true;
      return;
    }
    connection.unsent.erase(connection.unsent.begin(), connection.unsent.begin() + n);
  }

  void Reap() {
    for (auto& connection : connections) {
      if (!connection->closing) continue;
      close(connection->fd);
      SerialPortState& state = states[static_cast<std::size_t>(connection->port)];
      // The port's client is gone: the device drops its lines.
      state.connected = false;
      state.dtr = state.rts = state.breakOn = false;
    }
    connections.erase(std::remove_if(connections.begin(), connections.end(),
                                     [](const std::unique_ptr<Connection>& c) { return c->closing; }),
                      connections.end());
  }

  void Run() {
    std::vector<pollfd> entries;
    std::vector<int> portOf;  // per entry: the port of a listener, 0 for a connection
    std::unique_lock<std::mutex> lock(mutex);
    while (!stopping) {
      entries.assign(1, pollfd{wake[0], POLLIN, 0});
      portOf.assign(1, 0);
      for (int k = 1; k <= settings.ports; ++k) {
        const int fd = listeners[static_cast<std::size_t>(k - 1)];
        if (fd < 0) continue;
        entries.push_back(pollfd{fd, POLLIN, 0});
        portOf.push_back(k);
      }
      PortLink::Clock::time_point next = PortLink::Clock::time_point::max();
      for (auto& connection : connections) {
        short events = connection->link->WantsInput() ? POLLIN : 0;
        if (!connection->unsent.empty()) events |= POLLOUT;
        else next = std::min(next, connection->link->NextDue());
        entries.push_back(pollfd{connection->fd, events, 0});
        portOf.push_back(0);
      }
      int timeout = -1;
      if (next != PortLink::Clock::time_point::max()) {
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - PortLink::Clock::now());
        timeout = static_cast<int>(std::max<std::int64_t>(0, wait.count()));
      }
      const std::size_t listenerEntries = 1 + (portOf.size() - 1 - connections.size());
      lock.unlock();
      poll(entries.data(), entries.size(), timeout);
      lock.lock();
      if (entries[0].revents) {
        char drained[64];
        while (read(wake[0], drained, sizeof drained) > 0) {
        }
      }
      // Connections first, by their place in this round; accepted ones join the next.
      const std::size_t known = connections.size();
      for (std::size_t i = 0; i < known; ++i) {
        Connection& connection = *connections[i];
        const short revents = entries[listenerEntries + i].revents;
        if (revents & (POLLIN | POLLHUP | POLLERR)) Read(connection);
        if (!connection.closing) Write(connection);
      }
      Reap();
      for (std::size_t i = 1; i < listenerEntries; ++i)
        if (entries[i].revents & POLLIN) Accept(portOf[i]);
      for (auto& connection : connections)
        if (connection->unsent.empty()) Write(*connection);
      MatchListeners();
    }
  }

  void Wake() {
    const char byte = 1;
    (void)!write(wake[1], &byte, 1);
  }
};

SerialPorts::SerialPorts(const SerialSettings& settings) : loop_(std::make_unique<Loop>()) {
  Loop& loop = *loop_;
  loop.settings = settings;
  loop.states.resize(static_cast<std::size_t>(settings.ports) + 1);
  loop.faults.fault = settings.fault;
  loop.faults.value = settings.faultValue;
  if (settings.ports < 1 || settings.ports > 65535 - settings.tcpBase) return;
  if (settings.tcpBase != 0) {
    loop.ok = loop.BindAll(settings.tcpBase);
  } else {
    // A range somewhere above the well-known and below the ephemeral ports.
    int at = 20000 + static_cast<int>(getpid() % 997) * 20;
    for (int attempt = 0; attempt < 64 && !loop.ok; ++attempt, at += settings.ports + 7) {
      if (at + settings.ports > 32000) at = 20000 + at % 97;
      loop.ok = loop.BindAll(at);
    }
  }
  if (!loop.ok || pipe2(loop.wake, O_CLOEXEC | O_NONBLOCK) != 0) {
    loop.ok = false;
    loop.CloseListeners();
    return;
  }
  loop.MatchListeners();
  loop.thread = std::thread(&Loop::Run, &loop);
}

SerialPorts::~SerialPorts() {
  Loop& loop = *loop_;
  if (loop.thread.joinable()) {
    {
      std::lock_guard<std::mutex> lock(loop.mutex);
      loop.stopping = true;
    }
    loop.Wake();
    loop.thread.join();
  }
  for (auto& connection : loop.connections) close(connection->fd);
  loop.CloseListeners();
  for (int fd : loop.wake)
    if (fd >= 0) close(fd);
}

bool SerialPorts::ok() const { return loop_->ok; }
int SerialPorts::tcpBase() const { return loop_->base; }
int SerialPorts::ports() const { return loop_->settings.ports; }

SerialPortState SerialPorts::State(int port) {
  std::lock_guard<std::mutex> lock(loop_->mutex);
  if (port < 1 || port > loop_->settings.ports) return SerialPortState();
  return loop_->states[static_cast<std::size_t>(port)];
}

std::vector<std::uint8_t> SerialPorts::FirmwareImage() {
  std::lock_guard<std::mutex> lock(loop_->mutex);
  return loop_->memory.image;
}

std::vector<std::uint32_t> SerialPorts::BlockIndexes() {
  std::lock_guard<std::mutex> lock(loop_->mutex);
  return loop_->memory.blockIndexes;
}

int SerialPorts::Reboots() {
  std::lock_guard<std::mutex> lock(loop_->mutex);
  return loop_->memory.reboots;
}

std::string SerialPorts::Problem() {
  std::lock_guard<std::mutex> lock(loop_->mutex);
  return loop_->memory.problem;
}

void SerialPorts::SetFault(SerialFault fault, std::uint32_t value) {
  std::lock_guard<std::mutex> lock(loop_->mutex);
  loop_->faults.fault = fault;
  loop_->faults.value = value;
  for (auto& connection : loop_->connections) {
    connection->rawReceived = 0;  // a drop counts from when it was asked for
    if (fault == SerialFault::kMalformed) connection->link->SendMalformed();
  }
  if (loop_->thread.joinable()) loop_->Wake();
}

}  // namespace devsim
