#include "app/app_session.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QStyleFactory>
#include <QtTest>

#include "platform/window_style.h"
#include "store/registry_values.h"

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

namespace {

// Keys reach the window the system has made active, as they do on the desktop; a list
// that was open gives the focus back (the offscreen platform does not do it by itself).
void Activate(QWidget* window) {
  if (QApplication::activePopupWidget() != nullptr) return;
  window->show();
  QCoreApplication::processEvents();  // activations the platform has queued
  if (QGuiApplication::focusWindow() == window->windowHandle()) return;
  window->windowHandle()->requestActivate();
  QTRY_COMPARE(QGuiApplication::focusWindow(), window->windowHandle());
}

void ClickItem(QTreeWidget* tree, QTreeWidgetItem* item, bool twice) {
  tree->scrollToItem(item);
  const QPoint at = tree->visualItemRect(item).center();
  if (twice)
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
  else
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
}

}  // namespace

void Session::Select(QTreeWidgetItem* item) {
  QVERIFY(item != nullptr);
  Activate(window.get());
  if (item->parent() != nullptr && !item->parent()->isExpanded()) {
    ClickItem(window->tvwPortMapper, item->parent(), false);
    Press(Qt::Key_Right);
    QVERIFY(item->parent()->isExpanded());
  }
  ClickItem(window->tvwPortMapper, item, false);
  QCOMPARE(window->tvwPortMapper->currentItem(), item);
}

void Session::ClickOn(QWidget* widget) {
  Activate(window.get());
  QTest::mouseClick(widget, Qt::LeftButton);
}

void Session::Choose(QComboBox* box, const QString& text) {
  const int target = box->findText(text, Qt::MatchExactly);
  QVERIFY(target >= 0);
  ClickOn(box);
  QTRY_VERIFY(box->view()->isVisible());
  const int steps = target - box->view()->currentIndex().row();
  for (int i = 0; i < qAbs(steps); ++i) Press(steps > 0 ? Qt::Key_Down : Qt::Key_Up);
  Press(Qt::Key_Return);
  QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
  QCOMPARE(box->currentText(), text);
}

void Session::Type(const QString& keys) {
  Activate(window.get());
  QTest::keyClicks(nullptr, keys);
}

void Session::Press(Qt::Key key, Qt::KeyboardModifiers modifiers) {
  Activate(window.get());
  QTest::keyClick(static_cast<QWidget*>(nullptr), key, modifiers);
}

void Session::Pick(QAction* item) {
  QMenu* menu = nullptr;
  for (QObject* owner : item->associatedObjects())
    if (auto* found = qobject_cast<QMenu*>(owner)) menu = found;
  QVERIFY(menu != nullptr);
  Activate(window.get());
  QMenuBar* bar = window->mnbrPortMapper;
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
  QTRY_VERIFY(menu->isVisible());
  QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
}

std::uint32_t Session::PortValue(int com, const char* name) {
  std::uint32_t value = 0xDEADBEEF;
  platform::RegKey key = platform::kInvalidKey;
  const std::string path = "Enum\\OLMXV1X\\OLMX" + std::to_string(com);
  if (file->OpenKey(platform::kHKeyLocalMachine, path.c_str(), platform::kKeyRead, &key) != platform::kErrorSuccess)
    return value;
  if (!ReadDword(*file, key, name, &value)) value = 0xDEADBEEF;
  file->CloseKey(key);
  return value;
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
