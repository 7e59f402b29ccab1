// Program entry: the application object with its title and look, then the program.
#include <QApplication>
#include <QStyleFactory>
#include <exception>
#include <memory>

#include "app/program.h"
#include "platform/desktop.h"
#include "platform/window_style.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  // The name the task bar shows; a display name would also be appended to every window title.
  QApplication::setApplicationName("VEQ COMPort Mapping Utility");
  QApplication::setStyle(QStyleFactory::create("Windows"));
  QApplication::setFont(WindowFont());
  const std::unique_ptr<platform::Desktop> desktop = platform::CreateSystemDesktop();
  try {
    return RunProgram(application, *desktop);
  } catch (const std::exception& error) {
    desktop->ShowMessageBox(error.what(), "VEQ COMPort Mapping Utility", platform::kMbIconError | platform::kMbOk);
  }
  return 0;
}
