#include "app/program.h"

#include <memory>
#include <string>

#include "app/port_mapper_window.h"
#include "platform/services.h"
#include "ui/backend.h"

int RunProgram(platform::Desktop& desktop) {
  std::string failure;
  std::unique_ptr<platform::Registry> registry = platform::OpenSystemRegistry(&failure);
  if (!registry) {
    // The registry file itself is unusable: one message, and the window never comes.
    desktop.ShowMessageBox(failure, kMainWindowCaption, platform::kMbIconError | platform::kMbOk);
    return 0;
  }
  std::unique_ptr<platform::SystemServices> system = platform::CreateSystemServices();
  std::unique_ptr<platform::CryptoLibrary> crypto = platform::CreateCryptoLibrary();
  std::unique_ptr<platform::SerialPorts> serial = platform::CreateSystemSerialPorts();
  std::unique_ptr<platform::Network> network = platform::CreateSystemNetwork();
  platform::Services services{*registry, *system, desktop, *crypto, *serial, *network};

  TfrmPortMapper7370 window(services);
  window.OnFormCreate();
  if (!window.Terminated()) {
    window.Show();
    ui::CurrentBackend().Run();
  }
  return 0;
}
