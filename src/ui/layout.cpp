#include "ui/layout.h"

#include <algorithm>
#include <cstring>

namespace ui {

namespace {

// A group box's caption line: the height of "0" in the window's font plus the frame.
constexpr int kGroupCaptionHeight = 16;
constexpr int kGroupFrame = 2;

Rect Inset(const Rect& r, int left, int top, int right, int bottom) {
  return {r.left + left, r.top + top, std::max(0, r.width - left - right), std::max(0, r.height - top - bottom)};
}

// Takes a docked control's rectangle out of area.
Rect TakeSide(Rect& area, const ControlSpec& description) {
  Rect r = area;
  switch (description.dock) {
    case Dock::kTop:
      r.height = std::min(description.bounds.height, area.height);
      area = Inset(area, 0, r.height, 0, 0);
      break;
    case Dock::kBottom:
      r.height = std::min(description.bounds.height, area.height);
      r.top = area.top + area.height - r.height;
      area = Inset(area, 0, 0, 0, r.height);
      break;
    case Dock::kLeft:
      r.width = std::min(description.bounds.width, area.width);
      area = Inset(area, r.width, 0, 0, 0);
      break;
    case Dock::kRight:
      r.width = std::min(description.bounds.width, area.width);
      r.left = area.left + area.width - r.width;
      area = Inset(area, 0, 0, r.width, 0);
      break;
    case Dock::kFill:
    case Dock::kNone:
      break;
  }
  return r;
}

bool SameParent(const ControlSpec& description, const char* parent) {
  if (description.parent == nullptr || parent == nullptr) return description.parent == parent;
  return std::strcmp(description.parent, parent) == 0;
}

void LayoutChildren(const std::vector<ControlSpec>& table, const std::vector<bool>& visible, const char* parent,
                    const Rect& area, std::vector<Rect>& rects) {
  Rect left = area;
  // Docked controls take their side in this order, each side in table order.
  for (const Dock side : {Dock::kTop, Dock::kBottom, Dock::kLeft, Dock::kRight, Dock::kFill}) {
    for (std::size_t i = 0; i < table.size(); ++i) {
      if (!SameParent(table[i], parent) || table[i].dock != side) continue;
      if (visible[i]) {
        rects[i] = TakeSide(left, table[i]);
      } else {
        Rect alone = area;
        rects[i] = TakeSide(alone, table[i]);
      }
    }
  }
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (!SameParent(table[i], parent)) continue;
    if (table[i].dock == Dock::kNone) rects[i] = table[i].bounds;
    const Rect& r = rects[i];
    LayoutChildren(table, visible, table[i].name, DockingArea(table[i], {0, 0, r.width, r.height}), rects);
  }
}

}  // namespace

Rect DockingArea(const ControlSpec& description, const Rect& bounds) {
  if (description.kind == ControlKind::kGroupBox)
    return Inset(bounds, kGroupFrame, kGroupCaptionHeight + kGroupFrame, kGroupFrame, kGroupFrame);
  int bevels = 0;
  if (description.style & kBevelInnerLowered) ++bevels;
  if (description.style & kBevelOuterLowered) ++bevels;
  return Inset(bounds, bevels, bevels, bevels, bevels);
}

std::vector<Rect> LayoutControls(const std::vector<ControlSpec>& table, const std::vector<bool>& visible,
                                 int clientWidth, int clientHeight) {
  std::vector<Rect> rects(table.size());
  LayoutChildren(table, visible, nullptr, {0, 0, clientWidth, clientHeight}, rects);
  return rects;
}

int FindControl(const std::vector<ControlSpec>& table, const char* name) {
  for (std::size_t i = 0; i < table.size(); ++i)
    if (std::strcmp(table[i].name, name) == 0) return static_cast<int>(i);
  return -1;
}

}  // namespace ui
