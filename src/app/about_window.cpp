#include "app/about_window.h"

#include <QHBoxLayout>

#include "app/about_pictures.h"
#include "platform/window_style.h"

TfrmAbout* frmAbout = nullptr;

TfrmAbout::TfrmAbout(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setObjectName("frmAbout");
  setWindowTitle("About COMPort Mapping Utility");
  setFont(WindowFont());
  setFixedSize(333, 220);
  auto* columns = new QHBoxLayout(this);
  columns->setContentsMargins(0, 0, 0, 0);
  columns->setSpacing(0);

  pnlAboutBmp = NewPanel(this, "pnlAboutBmp");
  pnlAboutBmp->setFixedWidth(129);
  columns->addWidget(pnlAboutBmp);
  imgAboutBmp = new QLabel(pnlAboutBmp);
  imgAboutBmp->setObjectName("imgAboutBmp");
  imgAboutBmp->setGeometry(8, 16, 113, 185);
  imgAboutBmp->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  imgAboutBmp->setPixmap(ProductPicture());

  pnlAboutContent = NewPanel(this, "pnlAboutContent");
  columns->addWidget(pnlAboutContent, 1);
  auto* content = NewVBox(pnlAboutContent);
  pnlAboutContentLogo = NewPanel(pnlAboutContent, "pnlAboutContentLogo");
  pnlAboutContentLogo->setFixedHeight(73);
  content->addWidget(pnlAboutContentLogo);
  imgAboutContentLogo = new QLabel(pnlAboutContentLogo);
  imgAboutContentLogo->setObjectName("imgAboutContentLogo");
  imgAboutContentLogo->setGeometry(0, 16, 193, 49);
  imgAboutContentLogo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  imgAboutContentLogo->setPixmap(LogoPicture());

  redtAboutContentInfo = new QPlainTextEdit(pnlAboutContent);
  redtAboutContentInfo->setObjectName("redtAboutContentInfo");
  redtAboutContentInfo->setFixedHeight(89);
  redtAboutContentInfo->setFrameStyle(QFrame::NoFrame);
  redtAboutContentInfo->setPlainText("Version 1.40 (Build 116)\nVEQ Communication Systems");
  redtAboutContentInfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  redtAboutContentInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  redtAboutContentInfo->setEnabled(false);
  // Not editable, yet read as plain text on the button face, not greyed out.
  QPalette palette = redtAboutContentInfo->palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setColor(group, QPalette::Base, palette.color(QPalette::Active, QPalette::Button));
    palette.setColor(group, QPalette::Text, palette.color(QPalette::Active, QPalette::WindowText));
  }
  redtAboutContentInfo->setPalette(palette);
  content->addWidget(redtAboutContentInfo);
  content->addStretch(1);

  pbtnAboutOK = new QPushButton("OK", pnlAboutContent);
  pbtnAboutOK->setObjectName("pbtnAboutOK");
  pbtnAboutOK->setGeometry(120, 184, 75, 25);
  connect(pbtnAboutOK, &QPushButton::clicked, this, &TfrmAbout::pbtnAboutOKClick);

  frmAbout = this;
  CenterOn(this, owner);
}

TfrmAbout::~TfrmAbout() {
  if (frmAbout == this) frmAbout = nullptr;
}

void TfrmAbout::pbtnAboutOKClick() { close(); }
