#include "app/about_window.h"

#include "app/about_pictures.h"

TfrmAbout* frmAbout = nullptr;

std::vector<ui::ControlRow<TfrmAbout>> TfrmAbout::Rows() {
  using ui::ControlKind;
  using ui::Dock;
  return {
      {{"pnlAboutBmp", ControlKind::kPanel, nullptr, Dock::kLeft, {0, 0, 129, 0}, ""}},
      {{"imgAboutBmp", ControlKind::kPicture, "pnlAboutBmp", Dock::kNone, {8, 16, 113, 185}, ""}},
      {{"pnlAboutContent", ControlKind::kPanel, nullptr, Dock::kFill, {}, ""}},
      {{"pnlAboutContentLogo", ControlKind::kPanel, "pnlAboutContent", Dock::kTop, {0, 0, 0, 73}, ""}},
      {{"imgAboutContentLogo", ControlKind::kPicture, "pnlAboutContentLogo", Dock::kNone, {0, 16, 193, 49}, ""}},
      // Read as plain text on the button face, not editable.
      {{"redtAboutContentInfo", ControlKind::kMemo, "pnlAboutContent", Dock::kTop, {0, 0, 0, 89},
        "Version 1.40 (Build 116)\r\nVEQ Communication Systems",
        ui::kNoBorder | ui::kButtonFace | ui::kReadOnly | ui::kDisabled}},
      {{"pbtnAboutOK", ControlKind::kButton, "pnlAboutContent", Dock::kNone, {120, 184, 75, 25}, "OK"},
       &TfrmAbout::pbtnAboutOKClick},
  };
}

TfrmAbout::TfrmAbout(ui::Window* owner)
    : ui::Window({"frmAbout", "About COMPort Mapping Utility", 333, 220, ui::BorderStyle::kDialog, ui::kSystemMenu,
                  ui::Position::kOwnerCenter, ui::kWindowFont, "pbtnAboutOK", "pbtnAboutOK"},
                 Specs(Rows()), {}, owner),
      pnlAboutBmp(Get<ui::Panel>("pnlAboutBmp")),
      imgAboutBmp(Get<ui::Picture>("imgAboutBmp")),
      pnlAboutContent(Get<ui::Panel>("pnlAboutContent")),
      pnlAboutContentLogo(Get<ui::Panel>("pnlAboutContentLogo")),
      imgAboutContentLogo(Get<ui::Picture>("imgAboutContentLogo")),
      redtAboutContentInfo(Get<ui::Memo>("redtAboutContentInfo")),
      pbtnAboutOK(Get<ui::Button>("pbtnAboutOK")) {
  Bind(*this, Rows());
  imgAboutBmp->SetBitmap(kAboutProductBitmap, kAboutProductBitmapSize);
  imgAboutContentLogo->SetBitmap(kAboutLogoBitmap, kAboutLogoBitmapSize);
  frmAbout = this;
}

TfrmAbout::~TfrmAbout() {
  if (frmAbout == this) frmAbout = nullptr;
}

void TfrmAbout::pbtnAboutOKClick() { Close(); }
