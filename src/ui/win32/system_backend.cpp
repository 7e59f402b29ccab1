#include "ui/system_backend.h"

#include "ui/win32/win32_backend.h"

namespace ui {

// The Win32 toolkit takes no arguments of its own.
std::unique_ptr<Backend> CreateSystemBackend(int& /*argc*/, char** /*argv*/) {
  return std::make_unique<Win32Backend>();
}

}  // namespace ui
