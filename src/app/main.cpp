// Program entry: the system's toolkit with the program's arguments, then the program.
#include <exception>
#include <memory>

#include "app/program.h"
#include "platform/desktop.h"
#include "ui/system_backend.h"

int main(int argc, char* argv[]) {
  auto backend = ui::CreateSystemBackend(argc, argv);
  const std::unique_ptr<platform::Desktop> desktop = platform::CreateSystemDesktop();
  try {
    return RunProgram(*desktop);
  } catch (const std::exception& error) {
    desktop->ShowMessageBox(error.what(), "VEQ COMPort Mapping Utility", platform::kMbIconError | platform::kMbOk);
  }
  return 0;
}
