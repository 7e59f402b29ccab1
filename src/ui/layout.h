// The one layout pass: docking and positions of a window's table turned into a pixel
// rectangle per control, relative to its parent's top-left corner.
#pragma once

#include <vector>

#include "ui/layout_table.h"

namespace ui {

// The part of a control that docked children share: a group box keeps its frame and
// caption line, a bevel takes a pixel per ring.
Rect DockingArea(const ControlSpec& description, const Rect& bounds);

// The rectangle of every control of table, in table order. visible[i] says whether
// control i is shown: a hidden docked control leaves its place to the others. A hidden
// control gets the rectangle it would have if it were the only one shown.
std::vector<Rect> LayoutControls(const std::vector<ControlSpec>& table, const std::vector<bool>& visible,
                                 int clientWidth, int clientHeight);

// The index of the control named name, or -1.
int FindControl(const std::vector<ControlSpec>& table, const char* name);

}  // namespace ui
