// The Win32 toolkit's own part: a window with every kind of control, used as a person
// would through the messages of mouse and keyboard, the screen read back after every act,
// and a screenshot of it to look at.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "support/ui_test_backend.h"
#include "ui/headless/user.h"
#include "ui/win32/win32_peers.h"
#include "ui/window.h"

namespace ui {
namespace {

HWND HandleOf(const Control& control) { return static_cast<Win32Control*>(control.Peer())->Handle(); }

// Controls watched: the tree answers its state query as the common controls before 5.80
// (Windows 95's, Windows 98's 4.72) do, with 0; the clip's plays are noted with their
// answers.
std::map<HWND, WNDPROC> originals;
int stateQueries = 0;
std::vector<std::pair<LPARAM, LRESULT>> plays;
LRESULT CALLBACK Watched(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == TVM_GETITEMSTATE) {
    ++stateQueries;
    return 0;
  }
  const LRESULT result = CallWindowProcA(originals[hwnd], hwnd, msg, wParam, lParam);
  if (msg == ACM_PLAY) plays.emplace_back(lParam, result);
  return result;
}
void Watch(const Control& control) {
  originals[HandleOf(control)] = reinterpret_cast<WNDPROC>(
      SetWindowLongA(HandleOf(control), GWL_WNDPROC, reinterpret_cast<LONG>(&Watched)));
}

class Note : public Window {
 public:
  explicit Note(Window* owner)
      : Window({"frmNote", "Note", 200, 80, BorderStyle::kDialog, kSystemMenu, Position::kOwnerCenter},
               Specs(Rows()), {}, owner) {
    Bind(*this, Rows());
  }
  static std::vector<ControlRow<Note>> Rows() {
    return {{{"pbtnOK", ControlKind::kButton, nullptr, Dock::kNone, {62, 40, 75, 25}, "OK"}, &Note::pbtnOKClick}};
  }
  void pbtnOKClick() { Close(1); }
};

class Demo : public Window {
 public:
  Demo()
      : Window({"frmDemo", "Every Control", 540, 394, BorderStyle::kSingle, kSystemMenu | kMinimize,
                Position::kDesktopCenter},
               Specs(Rows()), Specs(Menu()), nullptr) {
    Bind(*this, Rows(), Menu());
    tvwDemo = Get<Tree>("tvwDemo");
    cbxModel = Get<ComboBox>("cbxModel");
    cbxAddress = Get<ComboBox>("cbxAddress");
    chkbxReconnect = Get<CheckBox>("chkbxReconnect");
    edtPassword = Get<Edit>("edtPassword");
    memoDemo = Get<Memo>("memoDemo");
    anmtDemo = Get<Animation>("anmtDemo");
    pbrDemo = Get<ProgressBar>("pbrDemo");
    tvwDemo->OnChanged = [this](TreeItem*) { OnTVWChange(); };
    tmDemo.OnTimer = [this] { OnTimer(); };
    for (const char* model : {"TORL7370", "TORL7371", "VEQ7304", "VEQ7316(R)+"}) cbxModel->AddItem(model);
    cbxModel->SetItemIndex(0);
    for (const char* address : {"10.0.0.7", "192.168.0.20"}) cbxAddress->AddItem(address);
    TreeItem* used = tvwDemo->Add(nullptr, std::make_unique<TreeItem>(), "Used Ports");
    tvwDemo->Add(used, std::make_unique<TreeItem>(), "COM1");
    tvwDemo->Add(used, std::make_unique<TreeItem>(), "COM2");
    TreeItem* unused = tvwDemo->Add(nullptr, std::make_unique<TreeItem>(), "Unused Ports");
    tvwDemo->Add(unused, std::make_unique<TreeItem>(), "COM4");
    tvwDemo->Add(unused, std::make_unique<TreeItem>(), "COM3");
    tvwDemo->SetExpanded(*used, true);
    tvwDemo->Sort([](const TreeItem& a, const TreeItem& b) { return a.Text() < b.Text(); });
  }

  static std::vector<ControlRow<Demo>> Rows() {
    using K = ControlKind;
    return {
        {{"pnlRoot", K::kPanel, nullptr, Dock::kFill, {}, ""}},
        {{"sbrDemo", K::kStatusBar, "pnlRoot", Dock::kBottom, {0, 0, 0, 19}, ""}},
        {{"pnlList", K::kPanel, "pnlRoot", Dock::kLeft, {0, 0, 225, 0}, ""}},
        {{"grpbxList", K::kGroupBox, "pnlList", Dock::kFill, {}, "Ports on My Computer"}},
        {{"pnlListCtrl", K::kPanel, "grpbxList", Dock::kFill, {}, ""}},
        {{"pnlMsg", K::kPanel, "pnlListCtrl", Dock::kTop, {0, 0, 0, 22}, "", kBevelInnerLowered}},
        {{"tvwDemo", K::kTree, "pnlListCtrl", Dock::kFill, {}, ""}},
        {{"pnlInfo", K::kPanel, "pnlRoot", Dock::kLeft, {0, 0, 210, 0}, ""}},
        {{"grpbxModel", K::kGroupBox, "pnlInfo", Dock::kTop, {0, 0, 0, 45}, "Model of Installed Device"}},
        {{"cbxModel", K::kDropDownList, "grpbxModel", Dock::kNone, {12, 16, 185, 24}, ""}, &Demo::OnModelChange},
        {{"grpbxAddress", K::kGroupBox, "pnlInfo", Dock::kTop, {0, 0, 0, 45}, "IP Address of Installed Device"}},
        {{"cbxAddress", K::kComboBox, "grpbxAddress", Dock::kNone, {12, 16, 186, 24}, "", 0, 16},
         &Demo::OnAddressChange,
         &Demo::OnAddressKeyPress},
        {{"grpbxProperties", K::kGroupBox, "pnlInfo", Dock::kTop, {0, 0, 0, 37}, "Properties"}},
        {{"chkbxReconnect", K::kCheckBox, "grpbxProperties", Dock::kNone, {12, 16, 185, 17}, "Auto Reconnect "},
         &Demo::OnReconnectClick},
        {{"grpbxPassword", K::kGroupBox, "pnlInfo", Dock::kTop, {0, 0, 0, 52}, "Password"}},
        {{"edtPassword", K::kEdit, "grpbxPassword", Dock::kNone, {12, 20, 120, 21}, "", kPasswordChar, 8}},
        {{"grpbxMemo", K::kGroupBox, "pnlInfo", Dock::kFill, {}, "Memo"}},
        {{"memoDemo", K::kMemo, "grpbxMemo", Dock::kFill, {}, "", kVerticalScrollBar, 255}, &Demo::OnMemoChange},
        {{"pnlButtons", K::kPanel, "pnlRoot", Dock::kFill, {}, ""}},
        {{"pnlClip", K::kPanel, "pnlButtons", Dock::kNone, {0, 8, 105, 60}, "", kBevelOuterLowered}},
        {{"anmtDemo", K::kAnimation, "pnlClip", Dock::kFill, {}, "", 0, 0, {}, 34}},
        {{"stxtState", K::kStaticText, "pnlButtons", Dock::kNone, {8, 80, 0, 0}, "Idle", kAutoSize}},
        {{"pbrDemo", K::kProgressBar, "pnlButtons", Dock::kNone, {8, 104, 89, 17}, "", kSmooth}},
        {{"stxtFixed", K::kStaticText, "pnlButtons", Dock::kNone, {8, 130, 89, 40}, "Fixedsys", 0, 0,
          {"Fixedsys", 13, false}}},
        {{"stxtBold", K::kStaticText, "pnlButtons", Dock::kNone, {8, 176, 89, 24}, "Bold 20", 0, 0,
          {nullptr, 20, true}}},
        {{"pbtnStart", K::kButton, "pnlButtons", Dock::kNone, {15, 300, 80, 25}, "&Start"}, &Demo::pbtnStartClick},
        {{"pbtnExit", K::kButton, "pnlButtons", Dock::kNone, {15, 334, 80, 25}, "&Exit"}, &Demo::pbtnExitClick},
    };
  }
  static std::vector<MenuRow<Demo>> Menu() {
    return {
        {{"mniFile", nullptr, "&File"}},
        {{"mniFileExit", "mniFile", "&Exit"}, &Demo::pbtnExitClick},
        {{"mniHelp", nullptr, "&Help"}},
        {{"mniHelpContent", "mniHelp", "&Contents", kKeyF1}, &Demo::mniHelpContentClick},
        {{"mniHelpBar1", "mniHelp", nullptr}},
        {{"mniHelpAbout", "mniHelp", "&About..."}, &Demo::mniHelpAboutClick},
    };
  }

  void OnTVWChange() {
    const TreeItem* selected = tvwDemo->Selected();
    Get<Panel>("pnlMsg")->SetText(selected != nullptr ? selected->Text() : "");
    Get<StatusBar>("sbrDemo")->SetText(selected != nullptr ? selected->Text() : "");
    ++treeChanges;
  }
  void OnModelChange() { ++modelChanges; }
  void OnAddressChange() { ++addressChanges; }
  // Digits and dots; Enter is taken and goes no further.
  void OnAddressKeyPress(char& key) {
    if (key == '\r') ++entered;
    if (!((key >= '0' && key <= '9') || key == '.' || key == '\b')) key = 0;
  }
  void OnReconnectClick() { ++reconnectClicks; }
  void OnMemoChange() { ++memoChanges; }
  void pbtnStartClick() {
    ++startClicks;
    anmtDemo->SetActive(true);
    Get<StaticText>("stxtState")->SetText("Running");
    pbrDemo->SetPosition(40);
    tmDemo.SetEnabled(true);
  }
  void pbtnExitClick() { Hide(); }
  void mniHelpContentClick() { ++helpClicks; }
  void mniHelpAboutClick() { noteResult = Note(this).ShowModal(); }
  void OnTimer() {
    pbrDemo->SetPosition(pbrDemo->Position() + 10);
    ++ticks;
  }

  Tree* tvwDemo;
  ComboBox* cbxModel;
  ComboBox* cbxAddress;
  CheckBox* chkbxReconnect;
  Edit* edtPassword;
  Memo* memoDemo;
  Animation* anmtDemo;
  ProgressBar* pbrDemo;
  Timer tmDemo{50, false};
  int treeChanges = 0, modelChanges = 0, addressChanges = 0, entered = 0, reconnectClicks = 0, memoChanges = 0,
      startClicks = 0, helpClicks = 0, ticks = 0, noteResult = -1;
};

TEST(Win32Window, EveryControlShowsWhatItsWindowHoldsThroughAUsersSession) {
  testsupport::UiBackend backend;
  Demo demo;
  demo.Show();
  backend.CheckScreen(demo);

  // A closed category opens for the port chosen in it.
  TreeItem* com3 = user::FindItem(*demo.tvwDemo, "COM3");
  ASSERT_NE(com3, nullptr);
  ASSERT_TRUE(user::Choose(*demo.tvwDemo, *com3));
  EXPECT_EQ(demo.tvwDemo->Selected(), com3);
  EXPECT_TRUE(com3->Parent()->Expanded());
  EXPECT_EQ(demo.Get<Panel>("pnlMsg")->Text(), "COM3");
  EXPECT_EQ(demo.treeChanges, 1);

  ASSERT_TRUE(user::Choose(*demo.cbxModel, "VEQ7316(R)+"));
  EXPECT_EQ(demo.cbxModel->ItemIndex(), 3);
  EXPECT_EQ(demo.modelChanges, 1);

  // The key filter sees every key, Enter as '\r'.
  ASSERT_TRUE(user::Click(*demo.cbxAddress));
  ASSERT_TRUE(user::Type(demo, "1a92.168.0.5x\r"));
  EXPECT_EQ(demo.cbxAddress->Text(), "192.168.0.5");
  EXPECT_EQ(demo.addressChanges, 11);
  EXPECT_EQ(demo.entered, 1);
  ASSERT_TRUE(user::Choose(*demo.cbxAddress, "10.0.0.7"));
  EXPECT_EQ(demo.cbxAddress->Text(), "10.0.0.7");

  ASSERT_TRUE(user::Click(*demo.memoDemo));
  ASSERT_TRUE(user::Type(demo, "ab\rcd\b"));
  EXPECT_EQ(demo.memoDemo->Text(), "ab\r\nc");
  ASSERT_TRUE(user::Click(*demo.edtPassword));
  ASSERT_TRUE(user::Type(demo, "secret"));
  EXPECT_EQ(demo.edtPassword->Text(), "secret");

  ASSERT_TRUE(user::Click(*demo.chkbxReconnect));
  EXPECT_TRUE(demo.chkbxReconnect->Checked());
  ASSERT_TRUE(user::Type(demo, " "));  // Space on the focused box
  EXPECT_FALSE(demo.chkbxReconnect->Checked());
  EXPECT_EQ(demo.reconnectClicks, 2);

  ASSERT_TRUE(user::PressShortcut(demo, kKeyF1));
  EXPECT_EQ(demo.helpClicks, 1);

  // Enter on the focused button presses it, as the click before did; the timer ticks.
  ASSERT_TRUE(user::Click(*demo.Get<Button>("pbtnStart")));
  ASSERT_TRUE(user::Type(demo, "\r"));
  EXPECT_EQ(demo.startClicks, 2);
  demo.WaitUntil([&] { return demo.ticks >= 2; });
  EXPECT_GE(demo.pbrDemo->Position(), 60);
  demo.tmDemo.SetEnabled(false);
  backend.CheckScreen(demo);
  testsupport::Photograph(demo, "win32-demo");

  // The program's own changes are no user's: only the neutral events fire.
  demo.cbxModel->SetItemIndex(1);
  demo.tvwDemo->Select(user::FindItem(*demo.tvwDemo, "COM1"));
  demo.memoDemo->SetText("one\r\ntwo");
  demo.memoDemo->AddLine("three");
  demo.cbxAddress->SetText("10.1.1.1");
  EXPECT_EQ(demo.modelChanges, 1);
  EXPECT_EQ(demo.treeChanges, 2);
  EXPECT_EQ(demo.memoChanges, 6 + 2);  // six typed keys, then the text set and the line added
  EXPECT_EQ(demo.addressChanges, 12);  // eleven typed keys and the choice of 10.0.0.7
  backend.CheckScreen(demo);
  EXPECT_TRUE(backend.ScreenFaults().empty());
}

TEST(Win32Window, TheTreesExpansionAndTheClipsFramesAsWindows98sCommonControlsShowThem) {
  testsupport::UiBackend backend;
  Demo demo;
  demo.Show();
  Watch(*demo.tvwDemo);
  Watch(*demo.anmtDemo);
  TreeItem* unused = user::FindItem(*demo.tvwDemo, "Unused Ports");
  ASSERT_TRUE(user::Choose(*demo.tvwDemo, *unused));
  ASSERT_FALSE(unused->Expanded());
  // Right opens the selected item, Left closes it, as clicks on its button do.
  SendMessageA(HandleOf(*demo.tvwDemo), WM_KEYDOWN, VK_RIGHT, 1);
  EXPECT_TRUE(unused->Expanded());
  SendMessageA(HandleOf(*demo.tvwDemo), WM_KEYDOWN, VK_LEFT, 1);
  EXPECT_FALSE(unused->Expanded());
  EXPECT_EQ(stateQueries, 0);

  // The layout's frames 1 to 34; a clip shorter than that (Wine's has two frames)
  // refuses them and plays whole.
  ASSERT_TRUE(user::Click(*demo.Get<Button>("pbtnStart")));
  ASSERT_FALSE(plays.empty());
  EXPECT_EQ(plays[0].first, MAKELONG(0, 33));
  if (plays[0].second == 0) {
    ASSERT_EQ(plays.size(), 2u);
    EXPECT_EQ(plays[1].first, MAKELONG(0, -1));
    EXPECT_NE(plays[1].second, 0);
  }
  backend.CheckScreen(demo);
}

TEST(Win32Window, AModalWindowGivesItsOwnerTheKeyboardBack) {
  testsupport::UiBackend backend;
  Demo demo;
  demo.Show();
  ASSERT_TRUE(user::Click(*demo.memoDemo));
  backend.WhenModal("frmNote", [&demo](Window& note) {
    // The owner is disabled: neither its controls nor its keys are reachable.
    EXPECT_FALSE(user::Click(*demo.memoDemo));
    EXPECT_FALSE(user::Type(demo, "x"));
    EXPECT_TRUE(user::CloseBox(note));  // ends it without a result
  });
  ASSERT_TRUE(user::Click(*demo.FindMenu("mniHelpAbout")));
  EXPECT_EQ(demo.noteResult, 0);
  // Back in the owner the focus is where the user left it.
  ASSERT_TRUE(user::Type(demo, "ok"));
  EXPECT_EQ(demo.memoDemo->Text(), "ok");
  EXPECT_EQ(backend.ModalWindows(), (std::vector<std::string>{"frmNote"}));
  EXPECT_TRUE(backend.StuckWindows().empty());
  EXPECT_TRUE(user::CloseBox(demo));
  EXPECT_FALSE(demo.Visible());
}

}  // namespace
}  // namespace ui
