#include "app/app_session.h"

#include <QApplication>
#include <QDir>
#include <QStyleFactory>
#include <QtTest>

#include "platform/window_style.h"

Session::Session() {
  std::string failure;
  file = platform::SqliteRegistry::Open(RegistryPath(), &failure);
  if (!file) qFatal("%s", failure.c_str());
  registry = std::make_unique<testsupport::FaultyRegistry>(*file);
  builder = std::make_unique<testsupport::RegistryBuilder>(*file);
  services = std::make_unique<platform::Services>(platform::Services{*registry, system, desktop, crypto, serial, *network});
}

TfrmPortMapper7370& Session::Start() {
  window = std::make_unique<TfrmPortMapper7370>(*services);
  window->OnFormCreate();
  return *window;
}

QTreeWidgetItem* Session::Category(const QString& caption) {
  auto items = window->tvwPortMapper->findItems(caption, Qt::MatchExactly);
  return items.isEmpty() ? nullptr : items.first();
}

QTreeWidgetItem* Session::PortNode(const QString& caption, const QString& name) {
  QTreeWidgetItem* category = Category(caption);
  for (int i = 0; category != nullptr && i < category->childCount(); ++i)
    if (category->child(i)->text(0) == name) return category->child(i);
  return nullptr;
}

QStringList Session::ChildTexts(const QString& caption) {
  QStringList texts;
  QTreeWidgetItem* category = Category(caption);
  for (int i = 0; category != nullptr && i < category->childCount(); ++i) texts << category->child(i)->text(0);
  return texts;
}

void Session::Select(QTreeWidgetItem* item) {
  QVERIFY(item != nullptr);
  window->tvwPortMapper->setCurrentItem(item);
}

void UseWindowLook() {
  QApplication::setStyle(QStyleFactory::create("Windows"));
  QApplication::setFont(WindowFont());
}

void SaveScreenshot(QWidget* widget, const QString& name) {
  const QString dir = qEnvironmentVariable("VEQ_SCREENSHOT_DIR", "screenshots");
  QDir().mkpath(dir);
  QVERIFY(widget->grab().save(dir + "/" + name));
}
