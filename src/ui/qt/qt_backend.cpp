#include "ui/qt/qt_backend.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QPlainTextEdit>
#include <QStyleFactory>
#include <QThread>
#include <QTimer>
#include <cstdlib>

#include "ui/qt/qt_peers.h"
#include "ui/system_backend.h"

namespace ui {

namespace {

// Where Debian's fonts-wine puts the faces the layouts name.
constexpr const char* kWindowFaces[] = {"/usr/share/wine/fonts/ms_sans_serif.ttf",
                                        "/usr/share/wine/fonts/fixedsys.ttf"};

class QtTimer : public TimerPeer {
 public:
  explicit QtTimer(Timer& timer) {
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [&timer] { timer.Tick(); });
  }
  void SetRunning(bool running, int intervalMs) override {
    if (running)
      timer_.start(intervalMs);
    else
      timer_.stop();
  }

 private:
  QTimer timer_;
};

}  // namespace

QtBackend::QtBackend() {
  for (const char* face : kWindowFaces)
    if (QFile::exists(face)) QFontDatabase::addApplicationFont(face);
  QApplication::setStyle(QStyleFactory::create("Windows"));
  // Message boxes and dialogs too.
  QApplication::setFont(qt::FontOf(kWindowFont, QApplication::font()));
  // The program ends when it says so, not when its last window goes.
  QApplication::setQuitOnLastWindowClosed(false);
  SetCurrentBackend(this);
}

QtBackend::~QtBackend() { SetCurrentBackend(nullptr); }

std::unique_ptr<WindowPeer> QtBackend::CreateWindowPeer(Window& window, Window* owner) {
  return std::make_unique<qt::QtWindow>(window, owner);
}

std::unique_ptr<ControlPeer> QtBackend::CreateControlPeer(Control& control, ControlPeer* parent, WindowPeer& window) {
  QWidget* parentWidget = parent != nullptr ? static_cast<qt::QtControl*>(parent)->Widget()
                                            : static_cast<qt::QtWindow&>(window).Client();
  std::unique_ptr<qt::QtControl> peer = qt::NewControlPeer(control, parentWidget);
  // A memo keeps Enter, not Tab: Tab walks the window's tab order.
  if (auto* memo = qobject_cast<QPlainTextEdit*>(peer->Widget())) memo->setTabChangesFocus(true);
  return peer;
}

std::unique_ptr<TimerPeer> QtBackend::CreateTimerPeer(Timer& timer) { return std::make_unique<QtTimer>(timer); }

void QtBackend::CreateMenu(WindowPeer& window, const std::vector<MenuItem*>& items) {
  static_cast<qt::QtWindow&>(window).CreateMenu(items);
}

void QtBackend::RunOnWindowThread(const std::function<void()>& call) {
  if (QThread::currentThread() == windowThread_.thread()) {
    call();
    return;
  }
  QMetaObject::invokeMethod(&windowThread_, [&call] { call(); }, Qt::BlockingQueuedConnection);
}

void QtBackend::ProcessEvents(int waitMs) {
  // Whatever is pending; if nothing is, the first thing to come, or the wake-up.
  QTimer wake;
  wake.setSingleShot(true);
  wake.start(waitMs);
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void QtBackend::Run() {
  if (!quit_) QApplication::exec();
}

void QtBackend::Quit() {
  quit_ = true;
  QCoreApplication::quit();
}

namespace qt {

QFont FontOf(const FontSpec& description, const QFont& base) {
  QFont font = base;
  if (description.pixelHeight > 0) font.setPixelSize(description.pixelHeight);
  font.setBold(description.bold);
  const QString face = description.face != nullptr ? QString(description.face) : base.family();
  const QString fallback =
      QFontDatabase::systemFont(face == "Fixedsys" ? QFontDatabase::FixedFont : QFontDatabase::GeneralFont).family();
  font.setFamilies({face, fallback});
  // The faces are drawn from bitmaps in a few heights: one that lacks the height asked
  // for by more than a rounding gives way to the fallback at that height.
  constexpr int kRounding = 2;
  if (font.pixelSize() > 0 && std::abs(QFontInfo(font).pixelSize() - font.pixelSize()) > kRounding)
    font.setFamilies({fallback});
  return font;
}

}  // namespace qt

namespace {

struct Application {
  Application(int& argc, char** argv) : application(argc, argv) {
    // The name the task bar shows; a display name would also be appended to every caption.
    QApplication::setApplicationName("VEQ COMPort Mapping Utility");
  }
  QApplication application;
};

// The application comes first and goes last.
class SystemBackend : private Application, public QtBackend {
 public:
  SystemBackend(int& argc, char** argv) : Application(argc, argv) {}
};

}  // namespace

std::unique_ptr<Backend> CreateSystemBackend(int& argc, char** argv) {
  return std::make_unique<SystemBackend>(argc, argv);
}

}  // namespace ui
