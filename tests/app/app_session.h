// One run of the program for window tests: a registry holding only the driver's keys (a
// stand-in file here, the machine's own on Windows), stand-in services, and the main
// window over them on the toolkit the test has started.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/port_mapper_window.h"
#include "support/fake_platform.h"
#include "support/faulty_registry.h"
#include "support/registry_builder.h"
#include "support/temp_dir.h"
#include "support/test_registry.h"
#include "support/ui_test_desktop.h"
#include "ui/controls.h"

using testsupport::MappingValues;

struct Session {
  Session();
  // Maps COM7 before the start to Port 3 of a VEQ7316(R)+ at 10.0.0.9, memo "Lab rack".
  bool MapLabRack();
  // Creates the main window, runs its start-up and shows it.
  TfrmPortMapper7370& Start();
  // Destroys the window, as the end of the program does; the texts of the boxes it showed
  // meanwhile.
  std::vector<std::string> End();

  ui::TreeItem* Category(const std::string& caption);
  ui::TreeItem* PortNode(const std::string& caption, const std::string& name);
  std::vector<std::string> ChildTexts(const std::string& caption);
  // The user's click on a node, its category opened first.
  bool Select(ui::TreeItem* item);
  // A REG_DWORD of the port key "OLMX<com>" as the registry holds it; 0xDEADBEEF when
  // the key or the value is missing.
  std::uint32_t PortValue(int com, const char* name);

  testsupport::TempDir dir;
  testsupport::TestRegistry machine;
  std::unique_ptr<testsupport::FaultyRegistry> registry =
      std::make_unique<testsupport::FaultyRegistry>(machine.registry());
  std::unique_ptr<testsupport::RegistryBuilder> builder =
      std::make_unique<testsupport::RegistryBuilder>(machine.registry());
  testsupport::FakeSystemServices system;
  testsupport::UiDesktop desktop;
  testsupport::CountingCrypto crypto;
  testsupport::FakeSerialPorts serial{{1, 2}};
  std::unique_ptr<platform::Network> network = platform::CreateSystemNetwork();
  std::unique_ptr<platform::Services> services;
  std::unique_ptr<TfrmPortMapper7370> window;
};
