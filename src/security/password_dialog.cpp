#include "security/password_dialog.h"

#include <cstdio>

TfrmPassword* frmPassword = nullptr;

namespace {

constexpr int kMaxPasswordLength = 250;
}  // namespace

// In tab order: the two buttons first. The two step panels lie on top of each other.
std::vector<ui::ControlRow<TfrmPassword>> TfrmPassword::Rows() {
  using ui::ControlKind;
  using ui::Dock;
  return {
      {{"btnApplyOK", ControlKind::kButton, nullptr, Dock::kNone, {216, 72, 75, 25}, "&Apply"},
       &TfrmPassword::btnApplyOKClick},
      {{"btnCancel", ControlKind::kButton, nullptr, Dock::kNone, {120, 72, 75, 25}, "Cancel"},
       &TfrmPassword::btnCancelClick},
      {{"pnlPasswordEditCtrl", ControlKind::kPanel, nullptr, Dock::kTop, {0, 0, 306, 57}, ""}},
      {{"pnlInputPassword", ControlKind::kPanel, "pnlPasswordEditCtrl", Dock::kFill, {}, ""}},
      {{"gbxInputPassword", ControlKind::kGroupBox, "pnlInputPassword", Dock::kFill, {}, "Input Password"}},
      {{"edtInputPassword", ControlKind::kEdit, "gbxInputPassword", Dock::kNone, {8, 22, 281, 24}, "", ui::kPasswordChar,
        kMaxPasswordLength}},
      {{"pnlReconfirmPassword", ControlKind::kPanel, "pnlPasswordEditCtrl", Dock::kFill, {}, ""}},
      {{"gbxReconfirmPassword", ControlKind::kGroupBox, "pnlReconfirmPassword", Dock::kFill, {},
        "Reconfirm Password"}},
      {{"edtReconfirmPassword", ControlKind::kEdit, "gbxReconfirmPassword", Dock::kNone, {8, 22, 281, 24}, "",
        ui::kPasswordChar, kMaxPasswordLength}},
  };
}

TfrmPassword::TfrmPassword(ui::Window* owner, PortSecurity& port)
    : ui::Window({"frmPassword", "Security Password", 306, 110, ui::BorderStyle::kDialog, 0,
                  ui::Position::kOwnerCenter, ui::kWindowFont, "btnApplyOK", "btnCancel"},
                 Specs(Rows()), {}, owner),
      btnApplyOK(Get<ui::Button>("btnApplyOK")),
      btnCancel(Get<ui::Button>("btnCancel")),
      pnlPasswordEditCtrl(Get<ui::Panel>("pnlPasswordEditCtrl")),
      pnlInputPassword(Get<ui::Panel>("pnlInputPassword")),
      gbxInputPassword(Get<ui::GroupBox>("gbxInputPassword")),
      edtInputPassword(Get<ui::Edit>("edtInputPassword")),
      pnlReconfirmPassword(Get<ui::Panel>("pnlReconfirmPassword")),
      gbxReconfirmPassword(Get<ui::GroupBox>("gbxReconfirmPassword")),
      edtReconfirmPassword(Get<ui::Edit>("edtReconfirmPassword")),
      port_(port) {
  Bind(*this, Rows());
  // No border icons: only the two buttons end the dialog (Enter presses Apply, Escape
  // Cancel).
  OnCloseQuery = [] { return false; };
  OnShow = [this] { FormPaint(); };
  frmPassword = this;
  FormCreate();
}

TfrmPassword::~TfrmPassword() {
  if (frmPassword == this) frmPassword = nullptr;
}

void TfrmPassword::FormCreate() {
  pnlReconfirmPassword->Hide();
  pnlInputPassword->Show();
  btnApplyOK->SetText("&Apply");
}

void TfrmPassword::FormPaint() {
  if (Step == 0)
    edtInputPassword->SetFocus();
  else if (Step == 1)
    edtReconfirmPassword->SetFocus();
}

void TfrmPassword::btnApplyOKClick() {
  if (Step == 0) {
    btnApplyOK->SetText("OK");
    pnlReconfirmPassword->Show();
    pnlInputPassword->Hide();
    edtReconfirmPassword->SetFocus();
    Step = 1;
    return;
  }
  if (Step != 1) return;
  const std::string& input = edtInputPassword->Text();
  const std::string& confirmation = edtReconfirmPassword->Text();
  if (input.empty() && confirmation.empty()) {
    port_.pwdResult = 0;
    Close();
    return;
  }
  if (input != confirmation) {
    edtReconfirmPassword->Clear();
    return;
  }
  std::snprintf(port_.pinText, sizeof port_.pinText, "%s", input.c_str());
  port_.pwdResult = 1;
  Close();
}

void TfrmPassword::btnCancelClick() {
  port_.pwdResult = 2;
  Close();
}
