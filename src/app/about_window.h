// The About window: product picture, maker's logo, version and maker.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

class TfrmAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmAbout(QWidget* owner);
  ~TfrmAbout() override;

  QWidget* pnlAboutBmp;
  QLabel* imgAboutBmp;
  QWidget* pnlAboutContent;
  QWidget* pnlAboutContentLogo;
  QLabel* imgAboutContentLogo;
  QPlainTextEdit* redtAboutContentInfo;
  QPushButton* pbtnAboutOK;

 public slots:
  void pbtnAboutOKClick();
};

extern TfrmAbout* frmAbout;
