// The program entry over a registry file that is not one: one clear message, no window,
// and the file untouched.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/program.h"
#include "support/scripted_desktop.h"
#include "support/temp_dir.h"
#include "ui/headless/headless_backend.h"

TEST(Program, ABrokenRegistryFileGivesOneMessageAndIsLeftAlone) {
  ui::HeadlessBackend backend;
  testsupport::TempDir dir;
  const std::string path = dir.File("registry.db");
  const std::string garbage = "this is no registry\n";
  std::ofstream(path, std::ios::binary) << garbage;
  setenv("VEQ_REGISTRY", path.c_str(), 1);
  testsupport::ScriptedDesktop desktop;
  EXPECT_EQ(RunProgram(desktop), 0);
  unsetenv("VEQ_REGISTRY");
  ASSERT_EQ(desktop.boxes.size(), 1u);
  EXPECT_NE(desktop.boxes[0].text.find(path), std::string::npos);
  EXPECT_EQ(desktop.boxes[0].caption, "VEQ COMPort Mapping Utility for Windows95/98/Me");
  EXPECT_EQ(desktop.boxes[0].flags, 0x10u);
  EXPECT_TRUE(backend.ModalWindows().empty());  // not even the detection
  std::stringstream kept;
  kept << std::ifstream(path, std::ios::binary).rdbuf();
  EXPECT_EQ(kept.str(), garbage);
}
