#include "bridge/bridge_port.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "bridge/device_option.h"
#include "platform/port_control.h"
#include "platform/serial.h"

namespace bridge {

namespace io = platform::bridgeio;
namespace opt = veq::deviceoption;

namespace {

constexpr int kFirstRetryMs = 250;
constexpr int kLastRetryMs = 4000;
// A closed pty reports a hang-up without end; whether a program has opened it is looked
// at this often instead.
constexpr int kSlaveCheckMs = 100;
constexpr std::uint32_t kDriverReboot = 3000, kDriverFirmwareBlock = 3001;

std::string AddressText(std::uint32_t address) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", address & 0xFF, (address >> 8) & 0xFF, (address >> 16) & 0xFF,
                address >> 24);
  return text;
}

std::string Error(std::uint32_t code) { return "ERR " + std::to_string(code); }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool FromHex(const std::string& text, std::string* bytes) {
  if (text.size() % 2 != 0) return false;
  bytes->clear();
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    *bytes += static_cast<char>(high << 4 | low);
  }
  return true;
}

}  // namespace

const char* LinkStateName(LinkState state) {
  switch (state) {
    case LinkState::kIdle: return "idle";
    case LinkState::kConnecting: return "connecting";
    case LinkState::kUp: return "up";
    case LinkState::kWaiting: return "retrying";
    case LinkState::kFailed: return "down";
  }
  return "?";
}

BridgePort::BridgePort(const PortConfig& config, const std::string& comDir, Log& log)
    : config_(config), comDir_(comDir), log_(log) {
  linkPath_ = comDir_ + "/" + name();
  controlPath_ = linkPath_ + platform::kPortControlSuffix;
}

BridgePort::~BridgePort() {
  CloseLink();
  for (Client& client : clients_) io::Close(client.fd);
  io::Close(listener_);
  if (!pty_.slavePath.empty()) {
    io::RemovePath(linkPath_);
    io::RemovePath(controlPath_);
  }
  io::Close(pty_.master);
}

bool BridgePort::Open() {
  std::string error;
  if (!io::OpenPty(&pty_, &error)) {
    log_.Line(name() + ": " + error);
    return false;
  }
  if (!io::ReplaceLink(pty_.slavePath, linkPath_)) {
    log_.Line(name() + ": cannot make the link " + linkPath_);
    return false;
  }
  listener_ = io::ListenLocal(controlPath_, &error);
  if (listener_ < 0) {
    log_.Line(name() + ": " + error);
    return false;
  }
  io::ReadPtySettings(pty_.master, &ptySettings_);
  log_.Line(name() + ": serving " + linkPath_ + " (" + pty_.slavePath + ") for " + AddressText(config_.address) +
            ":" + std::to_string(config_.tcpPort));
  if (config_.autoReconn) Connect(io::NowMs());
  return true;
}

void BridgePort::Reconfigure(const PortConfig& config) {
  config_ = config;
  CloseLink();
  state_ = LinkState::kIdle;
  log_.Line(name() + ": mapping changed, now " + AddressText(config_.address) + ":" + std::to_string(config_.tcpPort));
  if (config_.autoReconn || slaveOpen_) Connect(io::NowMs());
}

std::string BridgePort::StatusLine() const {
  return name() + " " + AddressText(config_.address) + ":" + std::to_string(config_.tcpPort) + " " +
         LinkStateName(state_) + " to-device " + std::to_string(bytesOut_) + " from-device " +
         std::to_string(bytesIn_);
}

// The link.

void BridgePort::Connect(long long now) {
  CloseLink();
  tcp_ = io::StartTcpConnect(config_.address, config_.tcpPort);
  if (tcp_ < 0) return LinkDown("cannot start a connection", now);
  state_ = LinkState::kConnecting;
  link_.reset(new DeviceLink(*this));
}

void BridgePort::LinkUp() {
  state_ = LinkState::kUp;
  retryPauseMs_ = 0;
  loggedRefusal_ = false;
  log_.Line(name() + ": link up to " + AddressText(config_.address) + ":" + std::to_string(config_.tcpPort));
  if (waiting_ == Waiting::kLink) FinishWait("OK");
  link_->Start();
  SendSettings(true);
  if (slaveOpen_) SendLines();
  if (!held_.empty()) {
    link_->SendData(reinterpret_cast<const std::uint8_t*>(held_.data()), held_.size());
    bytesOut_ += held_.size();
    held_.clear();
  }
}

void BridgePort::LinkDown(const std::string& why, long long now) {
  const bool wasUp = state_ == LinkState::kUp;
  CloseLink();
  if (wasUp || !loggedRefusal_)
    log_.Line(name() + ": link " + (wasUp ? "down" : "refused") + " (" + why + ")" +
              (config_.autoReconn ? ", retrying" : ""));
  if (!wasUp) loggedRefusal_ = true;
  FinishWait(Error(platform::kSerialErrorGenFailure));
  if (config_.autoReconn) {
    retryPauseMs_ = retryPauseMs_ == 0 ? kFirstRetryMs : std::min(retryPauseMs_ * 2, kLastRetryMs);
    retryAt_ = now + retryPauseMs_;
    state_ = LinkState::kWaiting;
  } else {
    state_ = LinkState::kFailed;
    held_.clear();
  }
}

void BridgePort::CloseLink() {
  io::Close(tcp_);
  tcp_ = -1;
  link_.reset();
  toDevice_.clear();
  sent_ = Wanted();
  sent_.baud = 0;  // nothing has been sent on a new link
}

void BridgePort::SendSettings(bool all) {
  if (state_ != LinkState::kUp) return;
  if (all || wanted_.baud != sent_.baud) link_->SetBaudRate(wanted_.baud);
  if (all || wanted_.dataSize != sent_.dataSize) link_->SetDataSize(wanted_.dataSize);
  if (all || wanted_.parity != sent_.parity) link_->SetParity(wanted_.parity);
  if (all || wanted_.stopSize != sent_.stopSize) link_->SetStopSize(wanted_.stopSize);
  if (all || wanted_.flow != sent_.flow) link_->SetControl(wanted_.flow);
  // SET-CONTROL answers of a flow change are not waited for.
  sent_ = wanted_;
}

void BridgePort::SendLines() {
  link_->SetControl(dtr_ ? opt::kControlDtrOn : opt::kControlDtrOff);
  link_->SetControl(rts_ ? opt::kControlRtsOn : opt::kControlRtsOff);
}

// DeviceLink::Events

void BridgePort::SendToDevice(const std::uint8_t* data, std::size_t size) {
  toDevice_.append(reinterpret_cast<const char*>(data), size);
}

void BridgePort::DeviceData(const std::uint8_t* data, std::size_t size) {
  bytesIn_ += size;
  // Nobody has the port open: what arrives is lost, as on a serial line nobody reads.
  if (slaveOpen_) toPty_.append(reinterpret_cast<const char*>(data), size);
}

void BridgePort::ControlAnswered() {
  if (waiting_ != Waiting::kLines || answersDue_ == 0) return;
  if (--answersDue_ == 0) FinishWait("OK");
}

void BridgePort::PrivateAnswered(std::uint8_t, std::uint8_t status) {
  if (waiting_ == Waiting::kPrivate) FinishWait(status == opt::kControlDone ? "OK" : Error(platform::kSerialErrorGenFailure));
}

void BridgePort::PrivateRefused() {
  if (waiting_ == Waiting::kPrivate) FinishWait(Error(platform::kSerialErrorInvalidFunction));
}

void BridgePort::Fault(const std::string& what) { log_.Line(name() + ": device broke the protocol: " + what); }

// The loop.

void BridgePort::AddPolls(std::vector<io::PollEntry>* entries, long long now, long long* deadline) {
  io::PollEntry master;
  master.fd = slaveOpen_ ? pty_.master : -1;
  master.wantRead = state_ == LinkState::kUp ? toDevice_.size() < kToDeviceMax : held_.size() < kHeldMax;
  master.wantWrite = !toPty_.empty();
  entries->push_back(master);
  io::PollEntry tcp;
  tcp.fd = tcp_;
  tcp.wantRead = state_ == LinkState::kUp && toPty_.size() < kToPtyMax;
  tcp.wantWrite = state_ == LinkState::kConnecting || !toDevice_.empty();
  entries->push_back(tcp);
  io::PollEntry listener;
  listener.fd = listener_;
  listener.wantRead = true;
  entries->push_back(listener);
  for (const Client& client : clients_) {
    io::PollEntry entry;
    entry.fd = client.fd;
    entry.wantRead = !client.waiting;
    entry.wantWrite = !client.out.empty();
    entries->push_back(entry);
  }
  if (!slaveOpen_) *deadline = std::min(*deadline, std::max(now, nextSlaveCheck_));
  if (state_ == LinkState::kWaiting) *deadline = std::min(*deadline, retryAt_);
  if (waiting_ != Waiting::kNone) *deadline = std::min(*deadline, waitDeadline_);
}

void BridgePort::Serve(const io::PollEntry* entries, std::size_t count, long long now) {
  const io::PollEntry& master = entries[0];
  const io::PollEntry& tcp = entries[1];
  const io::PollEntry& listener = entries[2];

  if (!slaveOpen_ && now >= nextSlaveCheck_) {
    nextSlaveCheck_ = now + kSlaveCheckMs;
    if (io::PtySlaveOpen(pty_.master)) SlaveOpened(now);
  } else if (slaveOpen_) {
    if (master.readable) ServePtyRead();
    if (master.writable && !toPty_.empty()) {
      const long put = io::WriteSome(pty_.master, toPty_.data(), toPty_.size());
      if (put > 0) toPty_.erase(0, static_cast<std::size_t>(put));
    }
    if (master.hangup && !master.readable && !io::PtySlaveOpen(pty_.master)) SlaveClosed();
  }

  if (tcp_ >= 0 && tcp.fd == tcp_) {
    if (state_ == LinkState::kConnecting && (tcp.writable || tcp.hangup)) {
      const int error = io::TcpConnectError(tcp_);
      if (error != 0)
        LinkDown(std::string("connection failed, error ") + std::to_string(error), now);
      else
        LinkUp();
    } else if (state_ == LinkState::kUp) {
      if (tcp.readable || tcp.hangup) ServeTcpRead(now);
      if (state_ == LinkState::kUp && tcp.writable && !toDevice_.empty()) {
        const long put = io::WriteSome(tcp_, toDevice_.data(), toDevice_.size());
        if (put > 0)
          toDevice_.erase(0, static_cast<std::size_t>(put));
        else if (put == io::kFailed)
          LinkDown("send failed", now);
      }
    }
  }
  if (state_ == LinkState::kWaiting && now >= retryAt_) Connect(now);

  if (listener.readable) {
    const int fd = io::AcceptLocal(listener_);
    if (fd >= 0) {
      Client client;
      client.fd = fd;
      clients_.push_back(client);
      // The program opened the port just before: its first request must find the link
      // being made, not wait for the next look at the pty.
      if (!slaveOpen_ && io::PtySlaveOpen(pty_.master)) SlaveOpened(now);
    }
  }
  // The clients polled are the first ones of the list; one accepted just now is not.
  const std::size_t polled = count - 3;
  for (std::size_t i = 0; i < clients_.size() && i < polled; ++i) {
    const io::PollEntry& entry = entries[3 + i];
    if (entry.fd != clients_[i].fd) continue;
    if (entry.readable || entry.hangup) ServeClient(clients_[i], now);
    if (entry.writable && !clients_[i].out.empty()) {
      const long put = io::WriteSome(clients_[i].fd, clients_[i].out.data(), clients_[i].out.size());
      if (put > 0) clients_[i].out.erase(0, static_cast<std::size_t>(put));
    }
  }
  clients_.erase(std::remove_if(clients_.begin(), clients_.end(), [](const Client& c) { return c.fd < 0; }),
                 clients_.end());
  if (waiting_ != Waiting::kNone && now >= waitDeadline_) FinishWait(Error(platform::kSerialErrorGenFailure));
}

void BridgePort::ServePtyRead() {
  char buffer[kChunk + 1];
  const long got = io::ReadSome(pty_.master, buffer, sizeof buffer);
  if (got <= 0) return;
  const auto status = static_cast<std::uint8_t>(buffer[0]);
  if (status == 0) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(buffer + 1);
    const std::size_t size = static_cast<std::size_t>(got - 1);
    if (state_ == LinkState::kUp) {
      link_->SendData(data, size);
      bytesOut_ += size;
    } else if (config_.autoReconn || state_ == LinkState::kConnecting) {
      held_.append(buffer + 1, size);
    }
    return;
  }
  if ((status & io::kPacketFlushRead) != 0) {
    toPty_.clear();
    if (state_ == LinkState::kUp) link_->Purge(opt::kPurgeReceive);
  }
  if ((status & io::kPacketFlushWrite) != 0) {
    held_.clear();
    if (state_ == LinkState::kUp) link_->Purge(opt::kPurgeTransmit);
  }
  if ((status & io::kPacketIoctl) != 0) {
    io::PtySettings now;
    if (!io::ReadPtySettings(pty_.master, &now) || now == ptySettings_) return;
    ptySettings_ = now;
    // A program on the control socket states the whole format there.
    if (!clients_.empty()) return;
    if (now.baud != 0) wanted_.baud = now.baud;
    wanted_.stopSize = now.stopBits == 2 ? 2 : 1;
    wanted_.flow = now.flow == 2 ? opt::kControlFlowHardware
                   : now.flow == 1 ? opt::kControlFlowXonXoff
                                   : opt::kControlFlowNone;
    SendSettings(false);
  }
}

void BridgePort::ServeTcpRead(long long now) {
  std::uint8_t buffer[kChunk];
  const long got = io::ReadSome(tcp_, buffer, sizeof buffer);
  if (got == io::kWouldBlock) return;
  if (got <= 0) return LinkDown(got == 0 ? "closed by the device" : "receive failed", now);
  link_->Receive(buffer, static_cast<std::size_t>(got));
  if (link_->faulted()) LinkDown("protocol error", now);
}

void BridgePort::SlaveOpened(long long now) {
  slaveOpen_ = true;
  log_.Line(name() + ": opened by a program");
  dtr_ = rts_ = true;
  if (state_ == LinkState::kUp)
    SendLines();
  else if (!config_.autoReconn)
    Connect(now);
}

void BridgePort::SlaveClosed() {
  slaveOpen_ = false;
  toPty_.clear();
  log_.Line(name() + ": closed by its last program");
  dtr_ = rts_ = false;
  if (state_ == LinkState::kUp) SendLines();
  if (!config_.autoReconn) {
    CloseLink();
    state_ = LinkState::kIdle;
  }
}

// The control socket.

BridgePort::Client* BridgePort::FindClient(int fd) {
  for (Client& client : clients_)
    if (client.fd == fd) return &client;
  return nullptr;
}

void BridgePort::ServeClient(Client& client, long long now) {
  char buffer[4096];
  const long got = io::ReadSome(client.fd, buffer, sizeof buffer);
  if (got == io::kWouldBlock) return;
  if (got <= 0 || client.in.size() + static_cast<std::size_t>(got) > platform::kPortControlLineMax * 2) {
    if (waiterFd_ == client.fd) waiterFd_ = -1;
    io::Close(client.fd);
    client.fd = -1;
    return;
  }
  client.in.append(buffer, static_cast<std::size_t>(got));
  std::size_t end;
  while (!client.waiting && client.fd >= 0 && (end = client.in.find('\n')) != std::string::npos) {
    const std::string line = client.in.substr(0, end);
    client.in.erase(0, end + 1);
    Request(client, line, now);
  }
}

void BridgePort::Answer(Client& client, const std::string& text) { client.out += text + "\n"; }

void BridgePort::FinishWait(const std::string& answer) {
  if (waiting_ == Waiting::kNone) return;
  waiting_ = Waiting::kNone;
  answersDue_ = 0;
  Client* client = FindClient(waiterFd_);
  waiterFd_ = -1;
  if (client == nullptr) return;
  client->waiting = false;
  Answer(*client, answer);
}

void BridgePort::Request(Client& client, const std::string& line, long long now) {
  std::istringstream words(line);
  std::string verb;
  words >> verb;
  const bool up = state_ == LinkState::kUp;
  auto wait = [&](Waiting what) {
    waiting_ = what;
    waiterFd_ = client.fd;
    client.waiting = true;
    waitDeadline_ = now + opt::kControlAnswerMs;
  };
  if (verb == "STATE") {
    long baud = 0, bits = 0, parity = 0, stop = 0, flow = 0;
    if (!(words >> baud >> bits >> parity >> stop >> flow) || baud <= 0 || bits < 5 || bits > 8 || parity < 0 ||
        parity > 4 || stop < 0 || stop > 2 || flow < 0 || flow > 2)
      return Answer(client, Error(platform::kSerialErrorInvalidParameter));
    static const std::uint8_t kStops[] = {1, 3, 2};
    static const std::uint8_t kFlows[] = {opt::kControlFlowNone, opt::kControlFlowXonXoff, opt::kControlFlowHardware};
    wanted_.baud = static_cast<std::uint32_t>(baud);
    wanted_.dataSize = static_cast<std::uint8_t>(bits);
    wanted_.parity = static_cast<std::uint8_t>(parity + 1);
    wanted_.stopSize = kStops[stop];
    wanted_.flow = kFlows[flow];
    SendSettings(false);
    return Answer(client, "OK");
  }
  if (verb == "LINES") {
    int dtr = 0, rts = 0;
    if (!(words >> dtr >> rts)) return Answer(client, Error(platform::kSerialErrorInvalidParameter));
    dtr_ = dtr != 0;
    rts_ = rts != 0;
    if (!up || waiting_ != Waiting::kNone) return Answer(client, "OK");
    SendLines();
    answersDue_ = 2;
    return wait(Waiting::kLines);
  }
  if (verb == "BREAK") {
    int on = 0;
    if (!(words >> on)) return Answer(client, Error(platform::kSerialErrorInvalidParameter));
    if (up) link_->SetControl(on != 0 ? opt::kControlBreakOn : opt::kControlBreakOff);
    return Answer(client, "OK");
  }
  if (verb == "PURGE") {
    int rx = 0, tx = 0;
    if (!(words >> rx >> tx)) return Answer(client, Error(platform::kSerialErrorInvalidParameter));
    if (rx != 0) toPty_.clear();
    if (tx != 0) held_.clear();
    if (up && (rx != 0 || tx != 0))
      link_->Purge(rx != 0 && tx != 0 ? opt::kPurgeBoth : rx != 0 ? opt::kPurgeReceive : opt::kPurgeTransmit);
    return Answer(client, "OK");
  }
  if (verb == "MODEM") return Answer(client, "OK " + std::to_string(up ? link_->modemState() : 0));
  if (verb == "LINK") {
    if (state_ == LinkState::kConnecting && !config_.autoReconn && waiting_ == Waiting::kNone)
      return wait(Waiting::kLink);
    return Answer(client, up || config_.autoReconn ? "OK" : Error(platform::kSerialErrorGenFailure));
  }
  if (verb == "IOCTL") {
    std::uint32_t code = 0;
    std::string hex, block;
    words >> code;
    words >> hex;
    if (!FromHex(hex, &block)) return Answer(client, Error(platform::kSerialErrorInvalidParameter));
    if (code != kDriverReboot && code != kDriverFirmwareBlock)
      return Answer(client, Error(platform::kSerialErrorInvalidFunction));
    if (code == kDriverFirmwareBlock && block.size() != opt::kFirmwareBlockBytes)
      return Answer(client, Error(platform::kSerialErrorInvalidParameter));
    if (!up || waiting_ != Waiting::kNone) return Answer(client, Error(platform::kSerialErrorGenFailure));
    if (link_->privateOption() == OptionState::kRefused)
      return Answer(client, Error(platform::kSerialErrorInvalidFunction));
    link_->SendPrivate(code == kDriverReboot ? opt::kControlReboot : opt::kControlFirmwareBlock,
                       reinterpret_cast<const std::uint8_t*>(block.data()), block.size());
    return wait(Waiting::kPrivate);
  }
  Answer(client, Error(platform::kSerialErrorInvalidFunction));
}

}  // namespace bridge
