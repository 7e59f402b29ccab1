// What a Qt test needs beyond the neutral layer: the native widget of a control or a
// window, to send it real events, and a picture of a window.
#pragma once

#include <QWidget>
#include <string>

#include "ui/controls.h"
#include "ui/window.h"

namespace ui::qt {

// The widget of a control; for an editable combo box the box, whose line edit is its child.
QWidget* NativeOf(Control& control);
// The top-level widget: menu bar and client area.
QWidget* NativeOf(Window& window);
// The whole window with its menu bar as a PNG file; makes the file's folder if needed.
bool SaveScreenshot(Window& window, const std::string& pngPath);

}  // namespace ui::qt
