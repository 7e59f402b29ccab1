// The dialog in which the user sets or clears a secure port's password: typed once, then
// confirmed.
#pragma once

#include <vector>

#include "security/port_security.h"
#include "ui/window.h"

class TfrmPassword : public ui::Window {
 public:
  TfrmPassword(ui::Window* owner, PortSecurity& port);
  ~TfrmPassword() override;

  ui::Button* btnApplyOK;
  ui::Button* btnCancel;
  ui::Panel* pnlPasswordEditCtrl;
  ui::Panel* pnlInputPassword;
  ui::GroupBox* gbxInputPassword;
  ui::Edit* edtInputPassword;
  ui::Panel* pnlReconfirmPassword;
  ui::GroupBox* gbxReconfirmPassword;
  ui::Edit* edtReconfirmPassword;
  int Step = 0;

  void btnApplyOKClick();
  void btnCancelClick();

 private:
  static std::vector<ui::ControlRow<TfrmPassword>> Rows();
  void FormCreate();
  // Puts the focus into the edit of the current step; runs whenever the dialog appears.
  void FormPaint();

  PortSecurity& port_;
};

extern TfrmPassword* frmPassword;
