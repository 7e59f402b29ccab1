// The main window on the headless toolkit: start-up and its failures, Exit and the reboot
// question, the tree, the four looks of the information area, and the About window.
#include <memory>

#include "app/about_window.h"
#include "app/headless_session.h"
#include "app/port_mapper_window.h"
#include "platform/address.h"
#include "store/device_models.h"
#include "store/port_manager.h"

using ui::user::Click;

namespace {

const char kCaption[] = "VEQ COMPort Mapping Utility for Windows95/98/Me";

class MainWindow : public HeadlessSession {};

}  // namespace

TEST_F(MainWindow, RefusesTheNtFamilyWithOneMessageAndNoStore) {
  s.system.platformId = platform::kVerPlatformWin32Nt;
  TfrmPortMapper7370& w = s.Start();
  EXPECT_TRUE(w.Terminated());
  EXPECT_TRUE(backend.QuitRequested());
  ASSERT_EQ(s.desktop.boxes.size(), 1u);
  EXPECT_EQ(s.desktop.boxes[0].text, "This program only supports the Windows 95/98/Me");
  EXPECT_EQ(s.desktop.boxes[0].caption, kCaption);
  EXPECT_EQ(s.desktop.boxes[0].flags, 0x10u);
  EXPECT_FALSE(w.store);
  EXPECT_TRUE(s.registry->calls().empty());
  EXPECT_EQ(s.crypto.initializations, 0);
  EXPECT_TRUE(s.End().empty());  // no reboot question after a failed start
}

TEST_F(MainWindow, AFailingVersionQueryEndsTheStart) {
  s.system.queryFails = true;
  EXPECT_TRUE(s.Start().Terminated());
  ASSERT_EQ(s.desktop.boxes.size(), 1u);
  EXPECT_EQ(s.desktop.boxes[0].text, "Checking the version of Windows fails");
}

TEST_F(MainWindow, BrokenDriverKeysEndTheStartWithOneMessage) {
  const struct {
    const char *parent, *key, *message;
  } cases[] = {
      {"Enum", "OLMXV1X", "The registry for VEQ COMPort has corrupted"},
      {"Hardware\\DeviceMap", "SerialComm", "The registry for SERIALCOMM has corrupted"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    Session run;
    ASSERT_TRUE(run.builder->DeleteKey(c.parent, c.key));
    EXPECT_TRUE(run.Start().Terminated());
    ASSERT_EQ(run.desktop.boxes.size(), 1u);
    EXPECT_EQ(run.desktop.boxes[0].text, c.message);
    EXPECT_EQ(run.crypto.initializations, 0);
    EXPECT_TRUE(run.End().empty());
    EXPECT_TRUE(run.registry->openKeys().empty());  // the store closed what it had opened
  }
}

TEST_F(MainWindow, StartsWithElevenSortedCategoriesAndTheCryptoLibrary) {
  TfrmPortMapper7370& w = s.Start();
  EXPECT_FALSE(w.Terminated());
  EXPECT_FALSE(backend.QuitRequested());
  EXPECT_TRUE(s.desktop.boxes.empty());
  EXPECT_EQ(s.crypto.initializations, 1);
  EXPECT_EQ(backend.ModalWindows(), std::vector<std::string>{"frmDetectPort"});
  std::vector<std::string> captions;
  for (const auto& category : w.tvwPortMapper->Items()) {
    captions.push_back(category->Text());
    EXPECT_FALSE(category->Expanded());
  }
  EXPECT_EQ(captions, (std::vector<std::string>{"Used Ports", "Unused Ports", "TORL7370 Ports", "TORL7371 Ports",
                                                "VEQ7304  Ports", "TORL7370L Ports", "TORL7370W Ports",
                                                "TORL7371L Ports", "TORL7371W Ports", "VEQ7308(R)+ Ports",
                                                "VEQ7316(R)+ Ports"}));
  EXPECT_EQ(s.ChildTexts("Used Ports").size(), 2u);  // the two ports detection found
  EXPECT_EQ(s.ChildTexts("Unused Ports").size(), 253u);
  EXPECT_EQ(w.Caption(), kCaption);
  EXPECT_EQ(w.pnlFormRoot->Bounds(), (ui::Rect{0, 0, 540, 394}));
  EXPECT_EQ(w.tvwPortMapper->Bounds(), (ui::Rect{0, 22, 221, 333}));
  EXPECT_EQ(w.sbrPortMapper->Bounds(), (ui::Rect{0, 375, 540, 19}));
}

TEST_F(MainWindow, PortsOfOneCategoryStandInNumericOrder) {
  for (int n : {100, 10, 2, 1}) {
    MappingValues values;
    values.ip = "10.0.0." + std::to_string(n);
    ASSERT_TRUE(s.builder->WriteMapping("OLMX" + std::to_string(n), values));
  }
  s.Start();
  EXPECT_EQ(s.ChildTexts("TORL7370 Ports"), (std::vector<std::string>{"COM1", "COM2", "COM10", "COM100"}));
}

TEST_F(MainWindow, ExitAnsweredNoKeepsRunningThenYesEnds) {
  TfrmPortMapper7370& w = s.Start();
  s.desktop.answers = {platform::kIdNo, platform::kIdYes};
  ASSERT_TRUE(Click(*w.pbtnExit));
  ASSERT_EQ(s.desktop.boxes.size(), 1u);
  EXPECT_EQ(s.desktop.boxes[0].text, "Are you sure to exit ?");
  EXPECT_EQ(s.desktop.boxes[0].caption, kCaption);
  EXPECT_EQ(s.desktop.boxes[0].flags, 0x24u);
  EXPECT_TRUE(w.Enabled());
  EXPECT_FALSE(w.Terminated() || backend.QuitRequested());
  EXPECT_EQ(s.crypto.terminations, 0);
  ASSERT_TRUE(Click(*w.FindMenu("mniFileExit")));
  EXPECT_EQ(s.desktop.boxes.size(), 2u);
  EXPECT_TRUE(w.Terminated() && backend.QuitRequested());
  EXPECT_FALSE(w.Enabled());
  EXPECT_EQ(s.crypto.terminations, 1);
  EXPECT_TRUE(s.End().empty());  // nothing changed: no reboot question
  EXPECT_TRUE(s.system.restarts.empty());
}

TEST_F(MainWindow, AfterAChangeExitAsksOnlyTheRebootQuestion) {
  for (int answer : {platform::kIdYes, platform::kIdNo}) {
    SCOPED_TRACE(answer);
    Session run;
    TfrmPortMapper7370& w = run.Start();
    w.RebootRequired = 1;
    run.desktop.answers = {answer};
    ASSERT_TRUE(Click(*w.pbtnExit));
    EXPECT_TRUE(run.desktop.boxes.empty());
    EXPECT_TRUE(w.Terminated() && backend.QuitRequested());
    EXPECT_EQ(run.crypto.terminations, 1);
    EXPECT_EQ(run.End(), std::vector<std::string>{"Do you want to reboot the system ?"});
    EXPECT_EQ(run.desktop.boxes[0].caption, kCaption);
    EXPECT_EQ(run.desktop.boxes[0].flags, 0x34u);
    if (answer == platform::kIdYes) {
      ASSERT_EQ(run.system.restarts.size(), 1u);
      EXPECT_EQ(run.system.restarts[0].first, 6u);
      EXPECT_EQ(run.system.restarts[0].second, 0u);
    } else {
      EXPECT_TRUE(run.system.restarts.empty());
    }
  }
}

TEST_F(MainWindow, TheCloseBoxEndsSilentlyUnlessSomethingChanged) {
  s.Start().Show();
  ASSERT_TRUE(ui::user::CloseBox(*s.window));
  EXPECT_TRUE(s.window->Terminated() && backend.QuitRequested());
  EXPECT_TRUE(s.End().empty());
  EXPECT_EQ(s.crypto.terminations, 0);

  Session changed;
  changed.Start().Show();
  changed.window->RebootRequired = 1;
  ASSERT_TRUE(ui::user::CloseBox(*changed.window));
  EXPECT_EQ(changed.End(), std::vector<std::string>{"Do you want to reboot the system ?"});
}

TEST_F(MainWindow, HelpOpensTheHelpFile) {
  TfrmPortMapper7370& w = s.Start();
  ASSERT_TRUE(ui::user::PressShortcut(w, ui::kKeyF1));
  EXPECT_EQ(s.desktop.helpFiles, std::vector<std::string>{"qtlhelp.hlp"});
  ASSERT_TRUE(Click(*w.FindMenu("mniHelpContent")));
  EXPECT_EQ(s.desktop.helpFiles.size(), 2u);
}

TEST_F(MainWindow, ACategoryShowsItsTextOrItsHintReadOnly) {
  ASSERT_TRUE(s.builder->WriteMapping("OLMX4", MappingValues()));
  TfrmPortMapper7370& w = s.Start();
  ASSERT_TRUE(s.Select(s.Category("TORL7371 Ports")));
  EXPECT_EQ(w.memoPort->Text(),
            "To map TORL7371 port, perform the following steps:\r\n1. Select COM in UNUSED ports\r\n"
            "2. Fill items in the dialog box\r\n3. Click ADD button\r\n");
  EXPECT_TRUE(w.memoPort->ReadOnly());
  EXPECT_FALSE(w.pnlPortInfoListCtrl->Showing() || w.pnlBtnAddOrApply->Showing() || w.pnlBtnDevPort->Showing() ||
               w.pnlUnusedPortsCtrl->Showing());
  EXPECT_TRUE(w.pbtnExit->Showing());
  // The memo fills the middle column.
  EXPECT_EQ(w.pnlPortInfoMemoCtrl->Bounds(), (ui::Rect{0, 0, 210, 375}));
  testsupport::Photograph(w, "main-window-category");
  ASSERT_TRUE(s.Select(s.Category("TORL7370 Ports")));
  EXPECT_EQ(w.memoPort->Text(), "These ports have already been assigned to TORL7370 port.");
  EXPECT_TRUE(w.memoPort->ReadOnly());
}

TEST_F(MainWindow, TheFourLooksOfTheInformationArea) {
  ASSERT_TRUE(s.MapLabRack());
  TfrmPortMapper7370& w = s.Start();
  w.Show();
  const std::string before = w.pbtnApply->Text();
  EXPECT_EQ(before, "&Apply");
  EXPECT_TRUE(w.pnlPortInfoListCtrl->Showing());
  EXPECT_FALSE(w.pnlSecurityCtrl->Showing() || w.pnlUnusedPortsCtrl->Showing());

  ASSERT_TRUE(s.Select(s.PortNode("Used Ports", "COM1")));
  EXPECT_FALSE(w.pnlPortInfoListCtrl->Showing() || w.pnlBtnAddOrApply->Showing() || w.pnlBtnDevPort->Showing() ||
               w.pnlUnusedPortsCtrl->Showing());
  EXPECT_EQ(w.memoPort->Text(), "The port can not be configured by this program.");
  EXPECT_EQ(w.pbtnApply->Text(), before);
  EXPECT_EQ(w.pnlPortListMsg->Text(), "COM1");
  testsupport::Photograph(w, "main-window-used-port");

  ASSERT_TRUE(s.Select(s.PortNode("Unused Ports", "COM3")));
  EXPECT_TRUE(w.pnlPortInfoListCtrl->Showing() && w.pnlBtnAddOrApply->Showing() && w.pnlUnusedPortsCtrl->Showing());
  EXPECT_FALSE(w.pnlBtnDevPort->Showing() || w.pnlSecurityCtrl->Showing());
  EXPECT_EQ(w.pbtnApply->Text(), "Add");
  EXPECT_TRUE(w.cbxSelectedDevType->Usable());
  EXPECT_EQ(w.cbxSelectedDevType->Text(), "TORL7370");
  EXPECT_EQ(w.cbxServerPort->ItemCount(), 2);
  EXPECT_FALSE(w.memoPort->ReadOnly());
  EXPECT_FALSE(w.pbtnApply->Usable() || w.pbtnUnusedAddAll->Usable());  // nothing typed yet
  EXPECT_EQ(w.pnlPortInfoMemoCtrl->Bounds(), (ui::Rect{0, 172, 210, 203}));
  EXPECT_EQ(w.pnlBtnAddOrApply->Bounds(), (ui::Rect{0, 293, 105, 41}));
  EXPECT_EQ(w.pnlBtnExit->Bounds(), (ui::Rect{0, 334, 105, 41}));
  testsupport::Photograph(w, "main-window-unused-port");

  ASSERT_TRUE(s.Select(s.PortNode("VEQ7316(R)+ Ports", "COM7")));
  EXPECT_TRUE(w.pnlPortInfoListCtrl->Showing() && w.pnlBtnDevPort->Showing());
  EXPECT_TRUE(w.pbtnTest->Usable() && w.pbtnDownload->Usable());  // mapped at start
  EXPECT_FALSE(w.pnlUnusedPortsCtrl->Showing());
  EXPECT_EQ(w.pbtnApply->Text(), "Apply");
  EXPECT_FALSE(w.cbxSelectedDevType->Usable());
  EXPECT_EQ(w.cbxSelectedDevType->Text(), "VEQ7316(R)+");
  EXPECT_EQ(w.cbxServerPort->ItemCount(), 16);
  EXPECT_EQ(w.cbxServerPort->Items()[15], "Port 16");
  EXPECT_EQ(w.cbxServerPort->ItemIndex(), 2);
  EXPECT_EQ(w.cbxServerIPAddress->Text(), "10.0.0.9");
  EXPECT_EQ(w.memoPort->Text(), "Lab rack");
  EXPECT_TRUE(w.chkbxAutoReconn->Checked());
  EXPECT_EQ(w.pnlBtnDevPort->Bounds(), (ui::Rect{0, 144, 105, 149}));
  testsupport::Photograph(w, "main-window-mapped-port");

  // A port mapped during this run has no Test and Update FW until the next start.
  w.MappedAtStart[7] = 0;
  ASSERT_TRUE(s.Select(s.Category("Used Ports")));
  ASSERT_TRUE(s.Select(s.PortNode("VEQ7316(R)+ Ports", "COM7")));
  EXPECT_TRUE(w.pbtnDelete->Usable());
  EXPECT_FALSE(w.pbtnTest->Showing() || w.pbtnDownload->Showing());
}

TEST_F(MainWindow, ASingleDevicePortModelListsOnlyPort1) {
  MappingValues values;
  values.model = 0x7371;
  ASSERT_TRUE(s.builder->WriteMapping("OLMX9", values));
  s.Start();
  ASSERT_TRUE(s.Select(s.PortNode("TORL7371 Ports", "COM9")));
  EXPECT_EQ(s.window->cbxServerPort->Items(), std::vector<std::string>{"Port 1"});
}

TEST_F(MainWindow, ApplyFollowsTheModifiedFlagAndAConvertibleAddress) {
  TfrmPortMapper7370& w = s.Start();
  ASSERT_TRUE(s.Select(s.PortNode("Unused Ports", "COM3")));
  ASSERT_TRUE(Click(*w.cbxServerIPAddress));
  ASSERT_TRUE(ui::user::Type(w, "10.0.0.1"));
  EXPECT_TRUE(w.pbtnApply->Usable() && w.pbtnUnusedAddAll->Usable());
  ASSERT_TRUE(ui::user::Choose(*w.cbxServerPort, "Port 2"));
  EXPECT_TRUE(w.pbtnApply->Usable());
  EXPECT_FALSE(w.pbtnUnusedAddAll->Usable());
  // An empty or unconvertible address leaves both buttons as they are.
  ASSERT_TRUE(ui::user::Choose(*w.cbxServerPort, "Port 1"));
  ASSERT_TRUE(Click(*w.cbxServerIPAddress));
  ASSERT_TRUE(ui::user::Type(w, std::string(8, '\b')));
  EXPECT_EQ(w.cbxServerIPAddress->Text(), "");
  EXPECT_TRUE(w.pbtnApply->Usable() && w.pbtnUnusedAddAll->Usable());
  ASSERT_TRUE(ui::user::Type(w, "300.1.2.3"));
  ASSERT_TRUE(ui::user::Choose(*w.cbxServerPort, "Port 2"));
  EXPECT_TRUE(w.pbtnApply->Usable() && w.pbtnUnusedAddAll->Usable());
  // A port the user has not touched offers nothing to add.
  ASSERT_TRUE(s.Select(s.PortNode("Unused Ports", "COM4")));
  EXPECT_FALSE(w.pbtnApply->Usable() || w.pbtnUnusedAddAll->Usable());
}

TEST_F(MainWindow, PendingEditsSurviveMovingAwayAndBack) {
  ASSERT_TRUE(s.builder->WriteMapping("OLMX5", MappingValues()));
  TfrmPortMapper7370& w = s.Start();
  ASSERT_TRUE(s.Select(s.PortNode("TORL7370 Ports", "COM5")));
  ASSERT_TRUE(Click(*w.cbxServerIPAddress));
  ASSERT_TRUE(ui::user::Type(w, "\b7"));
  EXPECT_EQ(w.cbxServerIPAddress->Text(), "10.0.0.7");
  ASSERT_TRUE(Click(*w.memoPort));
  ASSERT_TRUE(ui::user::Type(w, std::string(w.memoPort->Text().size(), '\b') + "first\rsecond"));
  ASSERT_TRUE(ui::user::Choose(*w.cbxServerPort, "Port 2"));
  ASSERT_TRUE(s.Select(s.Category("Unused Ports")));
  TTorl7370PortEntry& port = *w.store->ports[5];
  EXPECT_STREQ(port.ipText, "10.0.0.7");
  EXPECT_STREQ(port.description, "first\r\nsecond");
  EXPECT_EQ(port.devicePortEdit, 1);
  EXPECT_EQ(port.ipAddress, platform::InetAddr("10.0.0.1"));  // nothing committed
  ASSERT_TRUE(s.Select(s.PortNode("TORL7370 Ports", "COM5")));
  EXPECT_EQ(w.cbxServerIPAddress->Text(), "10.0.0.7");
  EXPECT_EQ(w.memoPort->Text(), "first\r\nsecond");
  EXPECT_EQ(w.cbxServerPort->ItemIndex(), 1);
}

TEST_F(MainWindow, EscapeClosesTheAboutWindow) {
  TfrmPortMapper7370& w = s.Start();
  w.Show();
  backend.WhenModal("frmAbout", [](ui::Window& about) { EXPECT_TRUE(ui::user::Press(about, ui::DialogKey::kEscape)); });
  ASSERT_TRUE(Click(*w.FindMenu("mniHelpAbout")));
  EXPECT_TRUE(backend.StuckWindows().empty());
  EXPECT_EQ(frmAbout, nullptr);
  EXPECT_TRUE(w.Enabled());
}

TEST_F(MainWindow, AboutWindowLayout) {
  TfrmPortMapper7370& w = s.Start();
  w.Show();
  backend.WhenModal("frmAbout", [&w](ui::Window& window) {
    auto& about = static_cast<TfrmAbout&>(window);
    EXPECT_EQ(frmAbout, &about);
    EXPECT_EQ(about.Owner(), &w);
    EXPECT_FALSE(w.Enabled());
    EXPECT_EQ(about.Caption(), "About COMPort Mapping Utility");
    EXPECT_EQ(about.Description().clientWidth, 333);
    EXPECT_EQ(about.Description().clientHeight, 220);
    EXPECT_EQ(about.pnlAboutBmp->Bounds(), (ui::Rect{0, 0, 129, 220}));
    EXPECT_EQ(about.pnlAboutContent->Bounds(), (ui::Rect{129, 0, 204, 220}));
    EXPECT_EQ(about.pnlAboutContentLogo->Bounds().height, 73);
    EXPECT_EQ(about.redtAboutContentInfo->Bounds(), (ui::Rect{0, 73, 204, 89}));
    EXPECT_EQ(about.redtAboutContentInfo->Text().rfind("Version 1.40 (Build 116)\r\n", 0), 0u);
    EXPECT_FALSE(about.redtAboutContentInfo->Usable());
    EXPECT_EQ(about.pbtnAboutOK->Bounds(), (ui::Rect{120, 184, 75, 25}));
    // Both pictures are 8-bit Windows bitmaps in the static palette colours.
    for (const ui::Picture* picture : {about.imgAboutBmp, about.imgAboutContentLogo}) {
      ASSERT_GT(picture->BitmapSize(), 54u);
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(picture->Bitmap()), 2), "BM");
      EXPECT_EQ(picture->Bitmap()[28], 8);
    }
    testsupport::Photograph(about, "about-window");
    EXPECT_TRUE(Click(*about.pbtnAboutOK));
  });
  ASSERT_TRUE(Click(*w.FindMenu("mniHelpAbout")));
  EXPECT_EQ(backend.ModalWindows(), (std::vector<std::string>{"frmDetectPort", "frmAbout"}));
  EXPECT_TRUE(backend.StuckWindows().empty());
  EXPECT_EQ(frmAbout, nullptr);
  EXPECT_TRUE(w.Enabled());
}
