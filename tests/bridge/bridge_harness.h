// A bridge under test: a registry file with mappings, a COM folder, the simulated device
// server on 127.0.0.1 and veq-comportd serving them, as a user sets it up.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "devsim/serial_ports.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace bridgetest {

struct Mapping {
  int com = 5;
  int port = 1;
  bool autoReconn = true;
};

class Harness {
 public:
  explicit Harness(const std::vector<Mapping>& mappings, devsim::SerialSettings device = {});
  ~Harness();

  // Writes (or replaces) a mapping into the registry file.
  void Map(const Mapping& mapping);
  // Starts veq-comportd; its log goes to log().
  void StartBridge();
  void StopBridge();
  std::string Log() const;
  // The link of COMn, and whether a path exists.
  std::string Link(int com) const { return comDir + "/COM" + std::to_string(com); }
  static bool Exists(const std::string& path);
  // What veq-comportd --status prints.
  std::string Status() const;
  // True once condition holds within timeoutMs.
  static bool Eventually(const std::function<bool()>& condition, int timeoutMs = 10000);

  testsupport::TempDir dir;
  const std::string comDir, registry, logFile;
  devsim::SerialPorts device;
  std::unique_ptr<testsupport::ChildProcess> bridge;
};

}  // namespace bridgetest
