#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "platform/directories.h"
#include "support/temp_dir.h"

TEST(Directories, AFileIsFoundInTheCurrentDirectoryFirstThenAlongPath) {
  testsupport::TempDir here, first, second;
  const std::string saved = platform::CurrentDirectory();
  const char* oldPath = std::getenv("PATH");
  const std::string savedPath = oldPath != nullptr ? oldPath : "";
  std::ofstream(second.File("Tool.exe")) << "x";
  setenv("PATH", (first.path() + ":" + second.path()).c_str(), 1);
  ASSERT_TRUE(platform::ChangeDirectory(here.path()));
  EXPECT_EQ(platform::FindOnPath("Tool.exe"), second.path());
  std::ofstream(first.File("Tool.exe")) << "x";
  EXPECT_EQ(platform::FindOnPath("Tool.exe"), first.path());
  std::ofstream(here.File("Tool.exe")) << "x";
  EXPECT_EQ(platform::FindOnPath("Tool.exe"), platform::CurrentDirectory());
  EXPECT_EQ(platform::FindOnPath("Missing.exe"), "");
  EXPECT_FALSE(platform::ChangeDirectory(here.File("no-such-folder")));
  setenv("PATH", savedPath.c_str(), 1);
  ASSERT_TRUE(platform::ChangeDirectory(saved));
}
