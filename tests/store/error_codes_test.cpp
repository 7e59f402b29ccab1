#include <gtest/gtest.h>

#include "platform/desktop.h"
#include "store/error_codes.h"
#include "store/fake_window.h"
#include "store/store_fixture.h"

TEST(ErrorCodes, EveryCodeOfTheTableHasItsExactText) {
  const std::pair<std::uint32_t, const char*> table[] = {
      {PMERR_UNSUPPORTED_OS, "This program only supports the Windows 95/98/Me"},
      {PMERR_OS_VERSION_CHECK, "Checking the version of Windows fails"},
      {PMERR_REG_SERIALCOMM, "The registry for SERIALCOMM has corrupted"},
      {PMERR_REG_DRIVER, "The registry for VEQ COMPort has corrupted"},
      {PMERR_REG_PORTNAME_BAD, "The port name in the registry has corrupted"},
      {PMERR_REG_PORTNAME_DUP, "The port name in the registry has duplicated"},
      {PMERR_REG_CREATE, "Creating the value of registry fails"},
      {PMERR_REG_DELETE, "Deleting the value of registry fails"},
      {PMERR_REG_READ, "Reading the value of registry fails"},
      {PMERR_REG_UPDATE, "Updating the value of registry fails"},
      {PMERR_PORT_TYPE, "Detect the unsupporting port type"},
      {PMERR_PORT_HEADER, "Detect the unsupporting port Header"},
      {PMERR_NO_MEMORY, "There is no enough memory to run this promgram"},
      {PMERR_BAD_IP, "The IP address of the device is wrong"},
      {PMERR_PORT_CHECK, "Checking the port on this system fails"},
      {PMERR_IMPORT_OPEN, "Open Import File Fail"},
      {PMERR_EXPORT_OPEN, "Open Export File Fail"},
  };
  for (const auto& [code, message] : table) {
    std::string text;
    ASSERT_TRUE(ErrorMessageText(code, 99, &text)) << std::hex << code;
    EXPECT_EQ(text, message);
  }
  const std::pair<std::uint32_t, const char*> lineErrors[] = {
      {PMERR_CPM_FORMAT, "The format of the CPM file is wrong"},
      {PMERR_CPM_SETTING, "The setting of the CPM file is wrong"},
      {PMERR_CPM_DUP_COM, "The setting of COM in the CPM file is duplicate"},
      {PMERR_CPM_USED_PORT, "The imported port is an used port"},
      {PMERR_CPM_VERSION, "The version of the CPM file is wrong"},
  };
  for (const auto& [code, message] : lineErrors) {
    std::string text;
    ASSERT_TRUE(ErrorMessageText(code, 12, &text));
    EXPECT_EQ(text, std::string("[LINE 12 - FATAL]\n") + message);
  }
}

TEST(ErrorCodes, UnknownCodesHaveNoText) {
  std::string text = "untouched";
  EXPECT_FALSE(ErrorMessageText(PMERR_NONE, 0, &text));
  EXPECT_FALSE(ErrorMessageText(0x00030008, 0, &text));
  EXPECT_FALSE(ErrorMessageText(0x80020006, 0, &text));
  EXPECT_EQ(text, "untouched");
}

using ShowErrorMessage = StoreFixture;

TEST_F(ShowErrorMessage, ShowsOneErrorBoxWithTheMainCaptionAndClearsTheCode) {
  ASSERT_TRUE(Open());
  store().importLine = 7;
  window.ErrorCode = PMERR_CPM_SETTING;
  window.ShowErrorMessage();
  ASSERT_EQ(window.desktop.boxes.size(), 1u);
  EXPECT_EQ(window.desktop.boxes[0].text, "[LINE 7 - FATAL]\nThe setting of the CPM file is wrong");
  EXPECT_EQ(window.desktop.boxes[0].caption, "VEQ COMPort Mapping Utility for Windows95/98/Me");
  EXPECT_EQ(window.desktop.boxes[0].flags, 0x10u);
  EXPECT_EQ(window.ErrorCode, PMERR_NONE);
  EXPECT_EQ(window.enabledStates, (std::vector<bool>{false, true}));
}

TEST_F(ShowErrorMessage, ShowsNothingForNoneOrAnUnknownCodeAndKeepsIt) {
  window.ShowErrorMessage();
  window.ErrorCode = 0x00030008;
  window.ShowErrorMessage();
  EXPECT_TRUE(window.desktop.boxes.empty());
  EXPECT_TRUE(window.enabledStates.empty());
  EXPECT_EQ(window.ErrorCode, 0x00030008u);
}
