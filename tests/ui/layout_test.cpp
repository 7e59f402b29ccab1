// The layout pass: docked sides in their order, group box frames, bevels, and the room a
// hidden docked control leaves.
#include <gtest/gtest.h>

#include "ui/layout.h"

namespace ui {
namespace {

bool operator==(const Rect& r, const std::initializer_list<int>& v) {
  const int* x = v.begin();
  return r.left == x[0] && r.top == x[1] && r.width == x[2] && r.height == x[3];
}

std::vector<ControlSpec> Table() {
  return {
      {"list", ControlKind::kPanel, nullptr, Dock::kLeft, {0, 0, 225, 0}, ""},
      {"status", ControlKind::kStatusBar, nullptr, Dock::kBottom, {0, 0, 0, 19}, ""},
      {"group", ControlKind::kGroupBox, "list", Dock::kFill, {}, "Ports"},
      {"inner", ControlKind::kPanel, "group", Dock::kFill, {}, ""},
      {"top1", ControlKind::kPanel, "right", Dock::kTop, {0, 0, 0, 30}, ""},
      {"right", ControlKind::kPanel, nullptr, Dock::kFill, {}, ""},
      {"bottom1", ControlKind::kPanel, "right", Dock::kBottom, {0, 0, 0, 41}, ""},
      {"bottom2", ControlKind::kPanel, "right", Dock::kBottom, {0, 0, 0, 41}, ""},
      {"fill", ControlKind::kPanel, "right", Dock::kFill, {}, ""},
      {"bevelled", ControlKind::kPanel, "right", Dock::kNone, {0, 8, 105, 128}, "", kBevelOuterLowered},
      {"button", ControlKind::kButton, "bevelled", Dock::kNone, {15, 8, 80, 25}, "Add All"},
      {"edge", ControlKind::kPanel, "bevelled", Dock::kTop, {0, 0, 0, 10}, ""},
  };
}

TEST(LayoutPass, DocksEachSideInOrderInsideFramesAndBevels) {
  const std::vector<ControlSpec> table = Table();
  const std::vector<Rect> r = LayoutControls(table, std::vector<bool>(table.size(), true), 540, 394);
  // The bottom dock goes before the left one, whatever the table's order.
  EXPECT_TRUE(r[1] == (std::initializer_list<int>{0, 375, 540, 19}));
  EXPECT_TRUE(r[0] == (std::initializer_list<int>{0, 0, 225, 375}));
  EXPECT_TRUE(r[2] == (std::initializer_list<int>{0, 0, 225, 375}));
  // A group box keeps its frame and caption line: 221 x 355 inside 225 x 375.
  EXPECT_TRUE(r[3] == (std::initializer_list<int>{2, 18, 221, 355}));
  EXPECT_TRUE(r[5] == (std::initializer_list<int>{225, 0, 315, 375}));
  EXPECT_TRUE(r[4] == (std::initializer_list<int>{0, 0, 315, 30}));
  // The first bottom dock lies lowest.
  EXPECT_TRUE(r[6] == (std::initializer_list<int>{0, 334, 315, 41}));
  EXPECT_TRUE(r[7] == (std::initializer_list<int>{0, 293, 315, 41}));
  EXPECT_TRUE(r[8] == (std::initializer_list<int>{0, 30, 315, 263}));
  EXPECT_TRUE(r[9] == (std::initializer_list<int>{0, 8, 105, 128}));
  // Placed children keep their place; docked ones stay inside the bevel.
  EXPECT_TRUE(r[10] == (std::initializer_list<int>{15, 8, 80, 25}));
  EXPECT_TRUE(r[11] == (std::initializer_list<int>{1, 1, 103, 10}));
}

TEST(LayoutPass, AHiddenDockedControlLeavesItsRoomToTheFill) {
  const std::vector<ControlSpec> table = Table();
  std::vector<bool> visible(table.size(), true);
  visible[4] = false;  // top1
  visible[7] = false;  // bottom2
  const std::vector<Rect> r = LayoutControls(table, visible, 540, 394);
  EXPECT_TRUE(r[8] == (std::initializer_list<int>{0, 0, 315, 334}));
  // Where it would come when shown again.
  EXPECT_TRUE(r[4] == (std::initializer_list<int>{0, 0, 315, 30}));
}

}  // namespace
}  // namespace ui
