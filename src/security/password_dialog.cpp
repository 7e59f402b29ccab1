#include "security/password_dialog.h"

#include <QStackedLayout>
#include <QVBoxLayout>
#include <cstdio>

#include "platform/window_style.h"

TfrmPassword* frmPassword = nullptr;

namespace {

constexpr int kMaxPasswordLength = 250;

// A step's panel: a group box filling it, holding a masked edit.
QWidget* NewPasswordPanel(QWidget* parent, const char* panelName, const char* boxName, const char* caption,
                          const char* editName, QGroupBox** box, QLineEdit** edit) {
  QWidget* panel = NewPanel(parent, panelName);
  *box = NewGroupBox(panel, boxName, caption);
  NewVBox(panel)->addWidget(*box);
  *edit = new QLineEdit(*box);
  (*edit)->setObjectName(editName);
  (*edit)->setGeometry(8, 22, 281, 24);
  (*edit)->setMaxLength(kMaxPasswordLength);
  MaskWithAsterisks(*edit);
  return panel;
}

}  // namespace

TfrmPassword::TfrmPassword(QWidget* owner, PortSecurity& port) : QDialog(owner), port_(port) {
  // No border icons: only the two buttons end the dialog.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setObjectName("frmPassword");
  setWindowTitle("Security Password");
  setFont(WindowFont());
  setFixedSize(306, 110);
  pnlPasswordEditCtrl = NewPanel(this, "pnlPasswordEditCtrl");
  pnlPasswordEditCtrl->setGeometry(0, 0, 306, 57);
  auto* steps = new QStackedLayout(pnlPasswordEditCtrl);
  steps->setStackingMode(QStackedLayout::StackAll);
  pnlInputPassword = NewPasswordPanel(pnlPasswordEditCtrl, "pnlInputPassword", "gbxInputPassword", "Input Password",
                                      "edtInputPassword", &gbxInputPassword, &edtInputPassword);
  pnlReconfirmPassword =
      NewPasswordPanel(pnlPasswordEditCtrl, "pnlReconfirmPassword", "gbxReconfirmPassword", "Reconfirm Password",
                       "edtReconfirmPassword", &gbxReconfirmPassword, &edtReconfirmPassword);
  steps->addWidget(pnlInputPassword);
  steps->addWidget(pnlReconfirmPassword);
  btnApplyOK = new QPushButton("&Apply", this);
  btnApplyOK->setObjectName("btnApplyOK");
  btnApplyOK->setGeometry(216, 72, 75, 25);
  btnApplyOK->setDefault(true);
  btnCancel = new QPushButton("Cancel", this);
  btnCancel->setObjectName("btnCancel");
  btnCancel->setGeometry(120, 72, 75, 25);
  setTabOrder(btnApplyOK, btnCancel);
  connect(btnApplyOK, &QPushButton::clicked, this, &TfrmPassword::btnApplyOKClick);
  connect(btnCancel, &QPushButton::clicked, this, &TfrmPassword::btnCancelClick);
  CenterOn(this, owner);
  frmPassword = this;
  FormCreate();
}

TfrmPassword::~TfrmPassword() {
  if (frmPassword == this) frmPassword = nullptr;
}

void TfrmPassword::FormCreate() {
  pnlReconfirmPassword->hide();
  pnlInputPassword->show();
  btnApplyOK->setText("&Apply");
}

void TfrmPassword::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  FormPaint();
}

void TfrmPassword::FormPaint() {
  if (Step == 0)
    edtInputPassword->setFocus();
  else if (Step == 1)
    edtReconfirmPassword->setFocus();
}

void TfrmPassword::btnApplyOKClick() {
  if (Step == 0) {
    btnApplyOK->setText("OK");
    pnlReconfirmPassword->show();
    pnlInputPassword->hide();
    edtReconfirmPassword->setFocus();
    Step = 1;
    return;
  }
  if (Step != 1) return;
  const QByteArray input = edtInputPassword->text().toLatin1();
  const QByteArray confirmation = edtReconfirmPassword->text().toLatin1();
  if (input.isEmpty() && confirmation.isEmpty()) {
    port_.pwdResult = 0;
    accept();
    return;
  }
  if (input != confirmation) {
    edtReconfirmPassword->clear();
    return;
  }
  std::snprintf(port_.pinText, sizeof port_.pinText, "%s", input.constData());
  port_.pwdResult = 1;
  accept();
}

void TfrmPassword::btnCancelClick() {
  port_.pwdResult = 2;
  QDialog::reject();
}
