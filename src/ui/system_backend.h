// The toolkit of the program on this system, for the program entry, which thus needs no
// toolkit header of its own.
#pragma once

#include <memory>

#include "ui/backend.h"

namespace ui {

// Starts the toolkit with the program's arguments (argc must outlive the backend) and
// makes it the current backend.
std::unique_ptr<Backend> CreateSystemBackend(int& argc, char** argv);

}  // namespace ui
