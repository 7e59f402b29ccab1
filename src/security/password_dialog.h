// The dialog in which the user sets or clears a secure port's password: typed once, then
// confirmed.
#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "security/port_security.h"

class TfrmPassword : public QDialog {
  Q_OBJECT

 public:
  TfrmPassword(QWidget* owner, PortSecurity& port);
  ~TfrmPassword() override;

  QPushButton* btnApplyOK;
  QPushButton* btnCancel;
  QWidget* pnlPasswordEditCtrl;
  QWidget* pnlInputPassword;
  QGroupBox* gbxInputPassword;
  QLineEdit* edtInputPassword;
  QWidget* pnlReconfirmPassword;
  QGroupBox* gbxReconfirmPassword;
  QLineEdit* edtReconfirmPassword;
  int Step = 0;

 public slots:
  void btnApplyOKClick();
  void btnCancelClick();
  // Only the two buttons end the dialog: Escape does not.
  void reject() override {}

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void FormCreate();
  void FormPaint();

  PortSecurity& port_;
};

extern TfrmPassword* frmPassword;
