// A store over a fresh registry and a window without a display.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "store/fake_window.h"
#include "store/port_manager.h"
#include "support/faulty_registry.h"
#include "support/registry_builder.h"
#include "support/temp_dir.h"
#include "support/test_registry.h"

using testsupport::MappingValues;

class StoreFixture : public ::testing::Test {
 protected:
  StoreFixture();

  void WriteMapping(const std::string& subKey, const MappingValues& values) {
    ASSERT_TRUE(builder->WriteMapping(subKey, values)) << subKey;
  }
  void CreateKey(const std::string& path) { ASSERT_TRUE(builder->CreateKey(path)) << path; }
  void DeleteKeyPath(const std::string& parent, const std::string& subKey) {
    ASSERT_TRUE(builder->DeleteKey(parent, subKey)) << subKey;
  }
  bool KeyExists(const std::string& path) { return builder->KeyExists(path); }
  // Creates the store on the window and runs OpenRegistry (and LoadPorts).
  bool Open();
  bool OpenAndLoad();

  std::string Snapshot() { return machine.Snapshot(); }
  TTorl7370PortManager& store() { return *window.store; }
  TTorl7370PortEntry* Port(int n) { return window.store->ports[n]; }

  testsupport::TempDir dir;  // for files the tests write
  testsupport::TestRegistry machine;
  platform::Registry* registry = &machine.registry();
  std::unique_ptr<testsupport::RegistryBuilder> builder;
  // What the store works on: the file, through a wrapper that can fail chosen calls.
  std::unique_ptr<testsupport::FaultyRegistry> faulty;
  FakeWindow window;
};
