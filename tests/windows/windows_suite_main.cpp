// The Windows suite's entry. It ends with a closing line that the Wine stage looks for:
// a program under Wine can end with 0 without having run at all.
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  const ::testing::UnitTest& unit = *::testing::UnitTest::GetInstance();
  std::printf("VEQ WINDOWS SUITE END: %d passed, %d failed, %d skipped\n", unit.successful_test_count(),
              unit.failed_test_count(), unit.skipped_test_count());
  std::fflush(stdout);
  return result;
}
