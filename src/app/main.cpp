// Program entry: the application, its platform services and the main window.
#include <QApplication>
#include <QStyleFactory>
#include <exception>
#include <memory>

#include "app/port_mapper_window.h"
#include "platform/window_style.h"
#include "platform/qt_desktop.h"
#include "platform/services.h"

namespace {

int Run(QApplication& application) {
  platform::QtDesktop desktop;
  std::string failure;
  std::unique_ptr<platform::Registry> registry = platform::OpenSystemRegistry(&failure);
  if (!registry) {
    desktop.ShowMessageBox(failure, kMainWindowCaption, platform::kMbIconError | platform::kMbOk);
    return 0;
  }
  std::unique_ptr<platform::SystemServices> system = platform::CreateSystemServices();
  std::unique_ptr<platform::CryptoLibrary> crypto = platform::CreateCryptoLibrary();
  std::unique_ptr<platform::SerialPorts> serial = platform::CreateSystemSerialPorts();
  platform::Services services{*registry, *system, desktop, *crypto, *serial};

  TfrmPortMapper7370 window(services);
  window.OnFormCreate();
  if (!window.Terminated()) {
    window.show();
    application.exec();
  }
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationDisplayName("VEQ COMPort Mapping Utility");
  QApplication::setStyle(QStyleFactory::create("Windows"));
  QApplication::setFont(WindowFont());
  try {
    return Run(application);
  } catch (const std::exception& error) {
    platform::QtDesktop().ShowMessageBox(error.what(), "VEQ COMPort Mapping Utility",
                                         platform::kMbIconError | platform::kMbOk);
  }
  return 0;
}
