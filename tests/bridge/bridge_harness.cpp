#include "bridge/bridge_harness.h"

#include <stdio.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/registry_sqlite.h"
#include "platform/thread.h"
#include "support/registry_builder.h"

namespace bridgetest {

Harness::Harness(const std::vector<Mapping>& mappings, devsim::SerialSettings settings)
    : comDir(dir.File("com")), registry(dir.File("registry.db")), logFile(dir.File("bridge.log")),
      device([&] {
        settings.tcpBase = 0;
        return settings;
      }()) {
  mkdir(comDir.c_str(), 0700);
  setenv("VEQ_REGISTRY", registry.c_str(), 1);
  setenv("VEQ_COM_DIR", comDir.c_str(), 1);
  for (const Mapping& mapping : mappings) Map(mapping);
}

Harness::~Harness() {
  StopBridge();
  // A sanitizer's report in the bridge ends up in its log, not in the test's output.
  const std::string log = Log();
  EXPECT_EQ(log.find("Sanitizer"), std::string::npos) << log;
  EXPECT_EQ(log.find("runtime error:"), std::string::npos) << log;
  unsetenv("VEQ_COM_DIR");
  unsetenv("VEQ_REGISTRY");
}

void Harness::Map(const Mapping& mapping) {
  std::string failure;
  std::unique_ptr<platform::Registry> open = platform::SqliteRegistry::Open(registry, &failure);
  ASSERT_TRUE(open) << failure;
  testsupport::MappingValues values;
  values.ip = "127.0.0.1";
  values.port = static_cast<std::uint32_t>(mapping.port);
  values.autoReconn = mapping.autoReconn ? 1 : 0;
  values.enumId = values.portId = mapping.com;
  ASSERT_TRUE(testsupport::RegistryBuilder(*open).WriteMapping("OLMX" + std::to_string(mapping.com), values));
}

void Harness::StartBridge() {
  bridge.reset(new testsupport::ChildProcess(
      {VEQ_BRIDGE_PROGRAM, "--tcp-base", std::to_string(device.tcpBase())}, {}, logFile));
}

void Harness::StopBridge() {
  if (!bridge) return;
  bridge->Signal(SIGTERM);
  const int status = bridge->Wait(10000);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status << "\n" << Log();
  bridge.reset();
}

std::string Harness::Log() const {
  std::stringstream text;
  text << std::ifstream(logFile).rdbuf();
  return text.str();
}

bool Harness::Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

std::string Harness::Status() const {
  const std::string command = std::string(VEQ_BRIDGE_PROGRAM) + " --status 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return std::string();
  std::string out;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  pclose(pipe);
  return out;
}

bool Harness::Eventually(const std::function<bool()>& condition, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 10) {
    if (condition()) return true;
    platform::SleepMs(10);
  }
  return condition();
}

}  // namespace bridgetest
