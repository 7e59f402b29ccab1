// One run of the program for window tests: a stand-in registry file in a temporary folder,
// stand-in services, and the main window over them.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QTreeWidgetItem>
#include <cstdint>
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
  // The user's hands on the shown window, every event through the toolkit: a click on a
  // node (its category opened first by a double click), a click into a control, a choice
  // from a drop-down list with its list open, keys to whatever has the focus, and a menu
  // item taken from the menu bar.
  void Select(QTreeWidgetItem* item);
  void ClickOn(QWidget* widget);
  void Choose(QComboBox* box, const QString& text);
  void Type(const QString& keys);
  void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  void Pick(QAction* item);
  // A REG_DWORD of the port key "OLMX<com>" as the registry file holds it; 0xDEADBEEF
  // when the key or the value is missing.
  std::uint32_t PortValue(int com, const char* name);
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
