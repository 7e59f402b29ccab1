// Window peers: a fixed-size top-level widget whose client area is exactly the layout's,
// with the menu bar above it.
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <cstring>

#include "ui/qt/qt_native.h"
#include "ui/qt/qt_peers.h"

namespace ui::qt {

namespace {

Qt::WindowFlags FlagsOf(const WindowSpec& description) {
  Qt::WindowFlags flags = description.border == BorderStyle::kDialog ? Qt::Dialog : Qt::Window;
  flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (description.icons & kSystemMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (description.icons & kMinimize) flags |= Qt::WindowMinimizeButtonHint;
  if (description.icons & kMaximize) flags |= Qt::WindowMaximizeButtonHint;
  return flags;
}

// The close box and Alt+F4 ask the window; only a window with a system menu has them.
// Enter and Escape that no control took are the window's.
class TopLevel : public QWidget {
 public:
  explicit TopLevel(Window& window) : QWidget(nullptr, FlagsOf(window.Description())), window_(window) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    if (window_.Description().icons & kSystemMenu) window_.UserClose();
  }
  void keyPressEvent(QKeyEvent* event) override {
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    const int key = event->key();
    if (plain && (key == Qt::Key_Return || key == Qt::Key_Enter))
      window_.UserDialogKey(DialogKey::kEnter);
    else if (plain && key == Qt::Key_Escape)
      window_.UserDialogKey(DialogKey::kEscape);
    else
      QWidget::keyPressEvent(event);
  }

 private:
  Window& window_;
};

QWidget* WidgetOf(const Window& window) { return static_cast<QtWindow&>(window.Peer()).Widget(); }

// Virtual key codes F1 to F12.
QKeySequence ShortcutOf(int key) {
  constexpr int kKeyF12 = 0x7B;
  return key >= kKeyF1 && key <= kKeyF12 ? QKeySequence(Qt::Key_F1 + (key - kKeyF1)) : QKeySequence();
}

}  // namespace

QtWindow::QtWindow(Window& window, Window* owner)
    : window_(window), owner_(owner), top_(new TopLevel(window)), client_(new QWidget(top_)) {
  const WindowSpec& description = window.Description();
  top_->setObjectName(description.name);
  top_->setFont(FontOf(description.font, QGuiApplication::font()));
  client_->setGeometry(0, 0, description.clientWidth, description.clientHeight);
  top_->setFixedSize(description.clientWidth, description.clientHeight);
}

QtWindow::~QtWindow() { delete top_; }

void QtWindow::CreateMenu(const std::vector<MenuItem*>& items) {
  auto* bar = new QMenuBar(top_);
  bar->setNativeMenuBar(false);
  std::vector<std::pair<const MenuItem*, QMenu*>> menus;
  auto menuOf = [&menus](const char* name) -> QMenu* {
    for (const auto& [item, menu] : menus)
      if (std::strcmp(item->Name(), name) == 0) return menu;
    return nullptr;
  };
  auto hasChildren = [&items](const MenuItem& parent) {
    for (const MenuItem* item : items)
      if (item->Description().parent != nullptr && std::strcmp(item->Description().parent, parent.Name()) == 0) return true;
    return false;
  };
  for (MenuItem* item : items) {
    QMenu* parent = item->Description().parent != nullptr ? menuOf(item->Description().parent) : nullptr;
    const QString caption = item->Separator() ? QString() : ToQt(item->Description().caption);
    QAction* action = nullptr;
    if (item->Separator()) {
      action = parent->addSeparator();
    } else if (hasChildren(*item)) {
      QMenu* menu = parent != nullptr ? parent->addMenu(caption) : bar->addMenu(caption);
      menus.emplace_back(item, menu);
      action = menu->menuAction();
    } else {
      action = parent != nullptr ? parent->addAction(caption) : bar->addAction(caption);
      action->setShortcut(ShortcutOf(item->Description().shortcut));
      QObject::connect(action, &QAction::triggered, top_, [item] { item->UserClick(); });
    }
    action->setObjectName(item->Name());
    item->native = action;
  }
  const WindowSpec& description = window_.Description();
  const int height = bar->sizeHint().height();
  bar->setGeometry(0, 0, description.clientWidth, height);
  client_->move(0, height);
  top_->setFixedSize(description.clientWidth, description.clientHeight + height);
}

void QtWindow::SetCaption(const std::string& caption) { top_->setWindowTitle(ToQt(caption)); }

void QtWindow::SetEnabled(bool enabled) { top_->setEnabled(enabled); }

void QtWindow::Place() {
  QRect area;
  if (window_.Description().position == Position::kOwnerCenter && owner_ != nullptr)
    area = WidgetOf(*owner_)->frameGeometry();
  else if (QScreen* screen = QGuiApplication::primaryScreen())
    area = screen->availableGeometry();
  if (area.isValid()) top_->move(area.center() - top_->rect().center());
}

void QtWindow::Raise() {
  // The window manager keeps an owned window above its owner.
  if (owner_ != nullptr && WidgetOf(*owner_)->windowHandle() != nullptr) {
    top_->winId();
    top_->windowHandle()->setTransientParent(WidgetOf(*owner_)->windowHandle());
  }
  top_->show();
  top_->raise();
  top_->activateWindow();
}

void QtWindow::Show() { Raise(); }

void QtWindow::Hide() {
  top_->hide();
  // Shown modally, it was made modal for that showing only.
  top_->setWindowModality(Qt::NonModal);
}

void QtWindow::RunModal() {
  top_->setWindowModality(Qt::ApplicationModal);
  ended_ = false;
  Raise();
  if (ended_) return;
  QEventLoop loop;
  loop_ = &loop;
  loop.exec(QEventLoop::DialogExec);
  loop_ = nullptr;
}

void QtWindow::Activate() { top_->activateWindow(); }

void QtWindow::SetDialogKeys(const std::vector<Control*>& tabOrder, Control* defaultButton) {
  for (std::size_t i = 1; i < tabOrder.size(); ++i)
    QWidget::setTabOrder(static_cast<QtControl*>(tabOrder[i - 1]->Peer())->Widget(),
                         static_cast<QtControl*>(tabOrder[i]->Peer())->Widget());
  // Its frame; Enter reaches it through the window.
  if (defaultButton != nullptr)
    if (auto* button = qobject_cast<QPushButton*>(static_cast<QtControl*>(defaultButton->Peer())->Widget()))
      button->setDefault(true);
}

void QtWindow::EndModal() {
  ended_ = true;
  if (loop_ != nullptr) loop_->exit();
}

void QtWindow::Repaint() { top_->repaint(); }

QWidget* NativeOf(Window& window) { return WidgetOf(window); }

bool SaveScreenshot(Window& window, const std::string& pngPath) {
  const QString path = QString::fromStdString(pngPath);
  return QDir().mkpath(QFileInfo(path).absolutePath()) && WidgetOf(window)->grab().save(path, "PNG");
}

}  // namespace ui::qt
