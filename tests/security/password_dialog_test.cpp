// The password dialog on the test toolkit, shown modally as the main window shows it:
// its two steps, mismatches, the longest password, Cancel.
#include "security/password_dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support/ui_test_backend.h"
#include "ui/headless/user.h"

namespace {

// Shows the dialog for port modally and lets the user do what session says; true when
// the dialog then closed by itself.
bool Show(PortSecurity& port, const std::function<void(TfrmPassword&)>& session) {
  testsupport::UiBackend backend;
  backend.SetModalTimeLimit(std::chrono::seconds(10));
  TfrmPassword dialog(nullptr, port);
  backend.WhenModal("frmPassword", [&session](ui::Window& window) { session(static_cast<TfrmPassword&>(window)); });
  dialog.ShowModal();
  return backend.ModalWindows().size() == 1 && backend.StuckWindows().empty();
}

TEST(PasswordDialog, BothStepsAsDrawn) {
  PortSecurity port;
  EXPECT_TRUE(Show(port, [](TfrmPassword& dialog) {
    EXPECT_EQ(dialog.Caption(), "Security Password");
    EXPECT_EQ(dialog.Description().clientWidth, 306);
    EXPECT_EQ(dialog.Description().clientHeight, 110);
    EXPECT_EQ(dialog.btnApplyOK->Text(), "&Apply");
    EXPECT_EQ(dialog.btnApplyOK->Bounds(), (ui::Rect{216, 72, 75, 25}));
    EXPECT_EQ(dialog.btnCancel->Bounds(), (ui::Rect{120, 72, 75, 25}));
    EXPECT_TRUE(dialog.pnlInputPassword->Showing());
    EXPECT_FALSE(dialog.pnlReconfirmPassword->Showing());
    for (const ui::Edit* edit : {dialog.edtInputPassword, dialog.edtReconfirmPassword}) {
      EXPECT_TRUE(edit->Description().style & ui::kPasswordChar);
      EXPECT_EQ(edit->MaxLength(), 250);
    }
    EXPECT_FALSE(ui::user::CloseBox(dialog));
    // The input edit has the focus from the start.
    EXPECT_TRUE(ui::user::Type(dialog, "secret"));
    EXPECT_EQ(dialog.edtInputPassword->Text(), "secret");
    testsupport::Photograph(dialog, "password-dialog-input");
    EXPECT_TRUE(dialog.Modal());

    EXPECT_TRUE(ui::user::Click(*dialog.btnApplyOK));
    EXPECT_EQ(dialog.Step, 1);
    EXPECT_EQ(dialog.btnApplyOK->Text(), "OK");
    EXPECT_FALSE(dialog.pnlInputPassword->Showing());
    EXPECT_TRUE(dialog.pnlReconfirmPassword->Showing());
    EXPECT_EQ(dialog.edtReconfirmPassword->Bounds(), (ui::Rect{8, 22, 281, 24}));
    EXPECT_TRUE(dialog.edtReconfirmPassword->Focused());
    testsupport::Photograph(dialog, "password-dialog-reconfirm");
    EXPECT_TRUE(ui::user::Click(*dialog.btnCancel));
  }));
}

TEST(PasswordDialog, BothEmptyClearsThePassword) {
  PortSecurity port;
  port.pwdResult = 9;
  EXPECT_TRUE(Show(port, [](TfrmPassword& dialog) {
    EXPECT_TRUE(ui::user::Click(*dialog.btnApplyOK));
    EXPECT_TRUE(ui::user::Click(*dialog.btnApplyOK));
  }));
  EXPECT_EQ(port.pwdResult, 0u);
}

TEST(PasswordDialog, AMismatchEmptiesTheConfirmationOnly) {
  const struct {
    const char* name;
    std::string input;
    std::string confirmation;
  } cases[] = {{"empty input", "", "abc"}, {"letter case", "Secret", "secret"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PortSecurity port;
    port.pwdResult = 9;
    EXPECT_TRUE(Show(port, [&c, &port](TfrmPassword& dialog) {
      EXPECT_TRUE(ui::user::Type(dialog, c.input));
      EXPECT_TRUE(ui::user::Click(*dialog.btnApplyOK));
      EXPECT_TRUE(ui::user::Type(dialog, c.confirmation));
      EXPECT_TRUE(ui::user::Click(*dialog.btnApplyOK));
      EXPECT_EQ(dialog.edtReconfirmPassword->Text(), "");
      EXPECT_EQ(dialog.edtInputPassword->Text(), c.input);
      EXPECT_EQ(dialog.Step, 1);
      EXPECT_TRUE(dialog.Modal());
      EXPECT_EQ(port.pwdResult, 9u);
      EXPECT_TRUE(ui::user::Click(*dialog.btnCancel));
    }));
  }
}

TEST(PasswordDialog, TheLongestPasswordFitsWithItsSuffix) {
  PortSecurity port;
  const std::string longest(300, 'p');
  EXPECT_TRUE(Show(port, [&longest](TfrmPassword& dialog) {
    EXPECT_TRUE(ui::user::Type(dialog, longest));
    EXPECT_EQ(dialog.edtInputPassword->Text().size(), std::size_t{250});
    EXPECT_TRUE(ui::user::Click(*dialog.btnApplyOK));
    EXPECT_TRUE(ui::user::Type(dialog, longest));
    EXPECT_TRUE(ui::user::Click(*dialog.btnApplyOK));
  }));
  EXPECT_EQ(port.pwdResult, 1u);
  EXPECT_EQ(std::string(port.pinText), std::string(250, 'p'));
}

// Enter presses Apply from either edit, Escape Cancel, Alt+A Apply; Tab goes Apply,
// Cancel, then the edit of the step shown.
TEST(PasswordDialog, TheKeyboardAppliesAndCancels) {
  PortSecurity port;
  EXPECT_TRUE(Show(port, [](TfrmPassword& dialog) {
    EXPECT_TRUE(ui::user::Type(dialog, "secret\r"));
    EXPECT_EQ(dialog.Step, 1);
    EXPECT_TRUE(dialog.edtReconfirmPassword->Focused());
    for (const ui::Control* next : {static_cast<ui::Control*>(dialog.btnApplyOK), dialog.btnCancel,
                                    static_cast<ui::Control*>(dialog.edtReconfirmPassword)}) {
      EXPECT_TRUE(ui::user::Press(dialog, ui::DialogKey::kTab));
      EXPECT_TRUE(next->Focused()) << next->Name();
    }
    EXPECT_TRUE(ui::user::Type(dialog, "secret\r"));
  }));
  EXPECT_EQ(port.pwdResult, 1u);
  EXPECT_STREQ(port.pinText, "secret");

  port.pwdResult = 0;
  EXPECT_TRUE(Show(port, [](TfrmPassword& dialog) {
    EXPECT_TRUE(ui::user::PressAlt(dialog, 'a'));
    EXPECT_EQ(dialog.Step, 1);
    EXPECT_TRUE(ui::user::Type(dialog, "other"));
    EXPECT_TRUE(ui::user::Press(dialog, ui::DialogKey::kEscape));
  }));
  EXPECT_EQ(port.pwdResult, 2u);
  EXPECT_STREQ(port.pinText, "secret");
}

TEST(PasswordDialog, CancelEndsEitherStep) {
  PortSecurity port;
  EXPECT_TRUE(Show(port, [](TfrmPassword& dialog) { EXPECT_TRUE(ui::user::Click(*dialog.btnCancel)); }));
  EXPECT_EQ(port.pwdResult, 2u);
  port.pwdResult = 0;
  EXPECT_TRUE(Show(port, [](TfrmPassword& dialog) {
    EXPECT_TRUE(ui::user::Click(*dialog.btnApplyOK));
    EXPECT_TRUE(ui::user::Click(*dialog.btnCancel));
  }));
  EXPECT_EQ(port.pwdResult, 2u);
}

}  // namespace
