// The About window: product picture, maker's logo, version and maker.
#pragma once

#include <vector>

#include "ui/window.h"

class TfrmAbout : public ui::Window {
 public:
  explicit TfrmAbout(ui::Window* owner);
  ~TfrmAbout() override;

  ui::Panel* pnlAboutBmp;
  ui::Picture* imgAboutBmp;
  ui::Panel* pnlAboutContent;
  ui::Panel* pnlAboutContentLogo;
  ui::Picture* imgAboutContentLogo;
  ui::Memo* redtAboutContentInfo;
  ui::Button* pbtnAboutOK;

  void pbtnAboutOKClick();

 private:
  static std::vector<ui::ControlRow<TfrmAbout>> Rows();
};

extern TfrmAbout* frmAbout;
