#include "store/store_fixture.h"

StoreFixture::StoreFixture() {
  builder = std::make_unique<testsupport::RegistryBuilder>(*registry);
  faulty = std::make_unique<testsupport::FaultyRegistry>(*registry);
}

bool StoreFixture::Open() {
  window.store = std::make_unique<TTorl7370PortManager>(&window, *faulty);
  return window.store->OpenRegistry();
}

bool StoreFixture::OpenAndLoad() { return Open() && window.store->LoadPorts(); }
