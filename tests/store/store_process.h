// One instance of the utility's store over a stand-in registry file, and the forked
// processes that run such instances beside the test.
#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/registry_sqlite.h"
#include "store/fake_window.h"
#include "store/port_manager.h"

struct StoreOnFile {
  // Opens the file and runs OpenRegistry and LoadPorts, with no COM port on the machine.
  explicit StoreOnFile(const std::string& path);

  TTorl7370PortManager& store() { return *window.store; }

  std::string failure;  // why the file could not be opened
  std::unique_ptr<platform::SqliteRegistry> registry;
  FakeWindow window;  // after the registry: its store goes first
  bool loaded = false;
};

// Runs body in a forked child, which ends with body's result as its exit code and never
// returns into the test. The child's pid, or -1.
pid_t Spawn(const std::function<int()>& body);

// How a child ended, as "exit 0" or "signal 9".
std::string EndOf(int status);

// The model kinds a mapping can take (the secure ones never do).
constexpr std::int32_t kMappableKinds[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
