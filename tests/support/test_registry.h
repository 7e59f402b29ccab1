// A registry holding only what the driver's installation leaves, for one test: a fresh
// stand-in file, or on Windows the machine's own registry with the driver's keys laid
// down anew.
#pragma once

#include <memory>
#include <string>

#include "platform/registry.h"

namespace testsupport {

class TestRegistry {
 public:
  // Aborts the test program when no registry can be prepared: nothing could be tested.
  TestRegistry();
  ~TestRegistry();
  TestRegistry(const TestRegistry&) = delete;
  TestRegistry& operator=(const TestRegistry&) = delete;

  platform::Registry& registry() { return *registry_; }
  // Every key and value the program may touch, with types and bytes, in a stable order.
  std::string Snapshot() const;
  // Where it lives: the stand-in's file, or "HKEY_LOCAL_MACHINE".
  std::string Location() const;

 private:
  struct Place;
  std::unique_ptr<Place> place_;
  std::unique_ptr<platform::Registry> registry_;
};

}  // namespace testsupport
