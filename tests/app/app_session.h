// One run of the program for window tests: a stand-in registry file in a temporary folder,
// stand-in services, and the main window over them.
#pragma once

#include <QTreeWidgetItem>
#include <memory>
#include <string>

#include "app/port_mapper_window.h"
#include "platform/registry_sqlite.h"
#include "support/fake_platform.h"
#include "support/faulty_registry.h"
#include "support/registry_builder.h"
#include "support/scripted_desktop.h"
#include "support/temp_dir.h"

using testsupport::MappingValues;

struct Session {
  Session();
  // Creates the main window and runs its start-up.
  TfrmPortMapper7370& Start();

  QTreeWidgetItem* Category(const QString& caption);
  QTreeWidgetItem* PortNode(const QString& caption, const QString& name);
  QStringList ChildTexts(const QString& caption);
  void Select(QTreeWidgetItem* item);
  std::string RegistryPath() const { return dir.File("registry.db"); }

  testsupport::TempDir dir;
  std::unique_ptr<platform::SqliteRegistry> file;
  std::unique_ptr<testsupport::FaultyRegistry> registry;
  std::unique_ptr<testsupport::RegistryBuilder> builder;
  testsupport::FakeSystemServices system;
  testsupport::ScriptedDesktop desktop;
  testsupport::CountingCrypto crypto;
  testsupport::FakeSerialPorts serial{{1, 2}};
  std::unique_ptr<platform::Network> network = platform::CreateSystemNetwork();
  std::unique_ptr<platform::Services> services;
  std::unique_ptr<TfrmPortMapper7370> window;
};

// The style and font the windows were drawn for.
void UseWindowLook();
// Saves a picture of a widget into $VEQ_SCREENSHOT_DIR (default ./screenshots).
void SaveScreenshot(QWidget* widget, const QString& name);
