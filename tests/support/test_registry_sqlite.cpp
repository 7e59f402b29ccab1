#include <cstdio>
#include <cstdlib>

#include "platform/registry_sqlite.h"
#include "support/registry_snapshot.h"
#include "support/temp_dir.h"
#include "support/test_registry.h"

namespace testsupport {

struct TestRegistry::Place {
  TempDir dir;
  std::string file = dir.File("registry.db");
};

TestRegistry::TestRegistry() : place_(std::make_unique<Place>()) {
  std::string failure;
  registry_ = platform::SqliteRegistry::Open(place_->file, &failure);
  if (!registry_) {
    std::fprintf(stderr, "no test registry: %s\n", failure.c_str());
    std::abort();
  }
}

TestRegistry::~TestRegistry() = default;

std::string TestRegistry::Snapshot() const { return RegistrySnapshot(place_->file); }

std::string TestRegistry::Location() const { return place_->file; }

}  // namespace testsupport
