// The commands of the main window end to end on the test toolkit, driven as a user
// drives them: clicks, keys and choices over a stand-in registry in a temporary folder.
#include <algorithm>
#include <fstream>
#include <sstream>

#include "app/headless_session.h"
#include "firmware/download_window.h"
#include "firmware/download_window_v2.h"
#include "firmware/window_wait.h"
#include "platform/address.h"
#include "porttest/port_test_window.h"
#include "store/port_manager.h"

// The device simulator is a POSIX program: under Wine the stage's suite sends an update to
// it over Winsock instead.
#ifndef _WIN32
#include "devsim/device_simulator.h"
#endif

using ui::user::Click;
using ui::user::Type;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// Clicks into the address box and types text over what it shows.
bool Retype(TfrmPortMapper7370& w, const std::string& text) {
  return Click(*w.cbxServerIPAddress) && Type(w, std::string(w.cbxServerIPAddress->Text().size(), '\b') + text);
}

class Commands : public HeadlessSession {};

}  // namespace

TEST_F(Commands, AddAVeq7308PortTypedWithTheKeyboard) {
  TfrmPortMapper7370& w = s.Start();
  ASSERT_TRUE(s.Select(s.PortNode("Unused Ports", "COM3")));
  ASSERT_TRUE(ui::user::Choose(*w.cbxSelectedDevType, "VEQ7308(R)+"));
  EXPECT_EQ(w.store->selectedModel, 6);
  EXPECT_EQ(w.cbxServerPort->ItemCount(), 8);
  EXPECT_EQ(w.cbxServerPort->Items()[7], "Port 8");
  EXPECT_EQ(w.cbxServerPort->ItemIndex(), 0);
  EXPECT_TRUE(w.store->ports[3]->IsModified());

  // Letters, other punctuation and characters from 0x7F up never reach the box; Enter
  // runs Add.
  ASSERT_TRUE(Click(*w.cbxServerIPAddress));
  ASSERT_TRUE(Type(w, "1x0,.a0.Z0.!\x7f\xe9" "7"));
  EXPECT_EQ(w.cbxServerIPAddress->Text(), "10.0.0.7");
  ASSERT_TRUE(Type(w, "\b8"));
  EXPECT_TRUE(w.pbtnApply->Usable());
  testsupport::Photograph(w, "main-window-editing-unused-port");
  ASSERT_TRUE(Type(w, "\r"));

  EXPECT_EQ(w.ApplyResult, 0);
  EXPECT_EQ(s.ChildTexts("VEQ7308(R)+ Ports"), std::vector<std::string>{"COM3"});
  EXPECT_FALSE(Contains(s.ChildTexts("Unused Ports"), "COM3"));
  EXPECT_TRUE(s.desktop.boxes.empty());
  EXPECT_TRUE(s.builder->KeyExists("Enum\\OLMXV1X\\OLMX3"));
  EXPECT_TRUE(s.builder->KeyExists("Enum\\Root\\Ports\\0000"));
  EXPECT_TRUE(s.builder->KeyExists("System\\CurrentControlSet\\Services\\Class\\Ports\\0000"));
  EXPECT_EQ(w.store->ports[3]->ipAddress, platform::InetAddr("10.0.0.8"));
  EXPECT_EQ(w.RebootRequired, 1);
  // The tree has moved on to the next port.
  ASSERT_NE(w.tvwPortMapper->Selected(), nullptr);
  EXPECT_EQ(w.tvwPortMapper->Selected()->Text(), "COM4");
  EXPECT_EQ(w.pnlPortListMsg->Text(), "COM4");
}

TEST_F(Commands, EnterInTheAddressBoxOfAnUnchangedPortWritesItAgain) {
  ASSERT_TRUE(s.builder->WriteMapping("OLMX4", MappingValues()));
  TfrmPortMapper7370& w = s.Start();
  ASSERT_TRUE(s.Select(s.PortNode("TORL7370 Ports", "COM4")));
  EXPECT_FALSE(w.pbtnApply->Usable());
  ASSERT_TRUE(Click(*w.cbxServerIPAddress));
  s.registry->ClearCalls();
  ASSERT_TRUE(Type(w, "\r"));
  EXPECT_TRUE(s.desktop.boxes.empty());
  EXPECT_NE(s.registry->NamesOf(testsupport::RegOp::kSetValue), std::vector<std::string>());
  EXPECT_EQ(s.PortValue(4, "Port"), 1u);
  EXPECT_EQ(w.cbxServerIPAddress->Text(), "10.0.0.1");
  EXPECT_EQ(w.RebootRequired, 1);
}

// A device port the shown model does not have is no device port: Add writes "Port 1".
TEST_F(Commands, AddOfAPortThatHadADevicePortTheModelLacksWritesPort1) {
  MappingValues values;
  values.model = 0x7316;
  values.port = 16;
  ASSERT_TRUE(s.builder->WriteMapping("OLMX8", values));
  TfrmPortMapper7370& w = s.Start();
  ASSERT_TRUE(s.Select(s.PortNode("VEQ7316(R)+ Ports", "COM8")));
  ASSERT_TRUE(Click(*w.pbtnDelete));
  EXPECT_EQ(w.tvwPortMapper->Selected()->Text(), "COM8");
  EXPECT_EQ(w.cbxSelectedDevType->Text(), "TORL7370");
  EXPECT_EQ(w.cbxServerPort->Text(), "Port 1");
  EXPECT_TRUE(w.pbtnApply->Usable());
  ASSERT_TRUE(Click(*w.pbtnApply));
  EXPECT_EQ(s.ChildTexts("TORL7370 Ports"), std::vector<std::string>{"COM8"});
  EXPECT_EQ(s.PortValue(8, "Port"), 1u);
  EXPECT_EQ(w.store->ports[8]->devicePort, 0);
}

TEST_F(Commands, AddAllMapsTheFollowingFreePortsOntoTheDevicesPorts) {
  TfrmPortMapper7370& w = s.Start();
  ASSERT_TRUE(s.Select(s.PortNode("Unused Ports", "COM5")));
  ASSERT_TRUE(Click(*w.cbxServerIPAddress));
  ASSERT_TRUE(Type(w, "10.0.0.5"));
  EXPECT_TRUE(w.pbtnUnusedAddAll->Usable());
  ASSERT_TRUE(Click(*w.pbtnUnusedAddAll));
  EXPECT_EQ(s.ChildTexts("TORL7370 Ports"), (std::vector<std::string>{"COM5", "COM6"}));
  testsupport::Photograph(w, "main-window-add-all");
  EXPECT_EQ(w.store->ports[5]->devicePort, 0);
  EXPECT_EQ(w.store->ports[6]->devicePort, 1);
  EXPECT_EQ(w.store->ports[6]->ipAddress, platform::InetAddr("10.0.0.5"));
  EXPECT_TRUE(s.desktop.boxes.empty());
}

TEST_F(Commands, AddAllSkipsADevicePortAlreadyTaken) {
  MappingValues taken;
  taken.ip = "10.0.0.5";
  ASSERT_TRUE(s.builder->WriteMapping("OLMX20", taken));
  TfrmPortMapper7370& w = s.Start();
  ASSERT_TRUE(s.Select(s.PortNode("Unused Ports", "COM5")));
  ASSERT_TRUE(Click(*w.cbxServerIPAddress));
  ASSERT_TRUE(Type(w, "10.0.0.5"));
  ASSERT_TRUE(Click(*w.pbtnUnusedAddAll));
  ASSERT_EQ(s.desktop.boxes.size(), 1u);
  EXPECT_EQ(s.desktop.boxes[0].text, "The setting is same as COM20. Please verify the setting again.");
  EXPECT_EQ(s.ChildTexts("TORL7370 Ports"), (std::vector<std::string>{"COM5", "COM20"}));
  EXPECT_EQ(w.store->ports[5]->devicePort, 1);
}

TEST_F(Commands, ApplyRefusesABadAddressAndPutsTheCommittedValuesBack) {
  ASSERT_TRUE(s.builder->WriteMapping("OLMX4", MappingValues()));
  TfrmPortMapper7370& w = s.Start();
  ASSERT_TRUE(s.Select(s.PortNode("TORL7370 Ports", "COM4")));
  ASSERT_TRUE(Retype(w, "10.0.0.0"));
  const std::string before = s.machine.Snapshot();
  ASSERT_TRUE(Click(*w.pbtnApply));
  EXPECT_EQ(w.ApplyResult, -2);
  ASSERT_EQ(s.desktop.boxes.size(), 1u);
  EXPECT_EQ(s.desktop.boxes[0].text, "The IP address of the device is wrong");
  EXPECT_EQ(w.cbxServerIPAddress->Text(), "10.0.0.1");
  EXPECT_EQ(s.machine.Snapshot(), before);
  EXPECT_EQ(w.RebootRequired, 0);
}

TEST_F(Commands, ApplyRefusesTheAddressAndPortOfAnotherMapping) {
  ASSERT_TRUE(s.builder->WriteMapping("OLMX3", MappingValues()));
  MappingValues other;
  other.ip = "10.0.0.2";
  other.enumId = other.portId = 1;
  ASSERT_TRUE(s.builder->WriteMapping("OLMX5", other));
  TfrmPortMapper7370& w = s.Start();
  ASSERT_TRUE(s.Select(s.PortNode("TORL7370 Ports", "COM5")));
  ASSERT_TRUE(Retype(w, "10.0.0.1"));
  ASSERT_TRUE(Click(*w.pbtnApply));
  EXPECT_EQ(w.ApplyResult, -3);
  ASSERT_FALSE(s.desktop.boxes.empty());
  EXPECT_EQ(s.desktop.boxes.back().text, "The setting is same as COM3. Please verify the setting again.");
  EXPECT_EQ(w.cbxServerIPAddress->Text(), "10.0.0.2");
}

TEST_F(Commands, DeleteReturnsThePortWithItsSettingsPending) {
  MappingValues values;
  values.ip = "10.0.0.9";
  values.port = 2;
  values.description = "bench";
  ASSERT_TRUE(s.builder->WriteMapping("OLMX8", values));
  TfrmPortMapper7370& w = s.Start();
  ASSERT_TRUE(s.Select(s.PortNode("TORL7370 Ports", "COM8")));
  ASSERT_TRUE(Click(*w.pbtnDelete));
  EXPECT_TRUE(s.desktop.boxes.empty());
  EXPECT_TRUE(s.ChildTexts("TORL7370 Ports").empty());
  EXPECT_TRUE(Contains(s.ChildTexts("Unused Ports"), "COM8"));
  EXPECT_FALSE(s.builder->KeyExists("Enum\\OLMXV1X\\OLMX8"));
  TTorl7370PortEntry& port = *w.store->ports[8];
  EXPECT_TRUE(port.IsModified());
  EXPECT_STREQ(port.ipText, "10.0.0.9");
  EXPECT_EQ(port.devicePortEdit, 1);
  EXPECT_STREQ(port.description, "bench");
  // The only port of the category: its new node is selected, ready to be added again.
  EXPECT_EQ(w.tvwPortMapper->Selected()->Text(), "COM8");
  EXPECT_EQ(w.pbtnApply->Text(), "Add");

  ASSERT_TRUE(Click(*w.pbtnExit));
  EXPECT_EQ(s.End(), std::vector<std::string>{"Do you want to reboot the system ?"});
}

TEST_F(Commands, ExportAndImportThroughTheFileDialogs) {
  MappingValues a;
  a.model = 0x7316;
  a.port = 16;
  a.description = "rack\r\nleft";
  ASSERT_TRUE(s.builder->WriteMapping("OLMX9", a));
  TfrmPortMapper7370& w = s.Start();
  const std::string path = s.dir.File("all.cpm");
  s.desktop.dialogPaths = {path};
  ASSERT_TRUE(Click(*w.FindMenu("mniFileExport")));
  EXPECT_TRUE(s.desktop.boxes.empty());
  ASSERT_EQ(s.desktop.dialogs.size(), 1u);
  EXPECT_EQ(s.desktop.dialogs[0].defaultExt, "cpm");
  EXPECT_EQ(s.desktop.dialogs[0].filter, "COMPort mapping file (*.cpm)|*.cpm");
  EXPECT_TRUE(s.desktop.dialogs[0].promptOverwrite);
  EXPECT_NE(ReadFile(path).find("[COM9]\r\nModel = 7316\r\n"), std::string::npos);

  // Importing what was exported changes nothing.
  const std::string before = s.machine.Snapshot();
  s.desktop.dialogPaths = {path};
  ASSERT_TRUE(Click(*w.FindMenu("mniFileImport")));
  EXPECT_TRUE(s.desktop.boxes.empty());
  EXPECT_EQ(s.machine.Snapshot(), before);
  EXPECT_EQ(w.RebootRequired, 0);

  // The same file read elsewhere maps the port there.
  Session other;
  TfrmPortMapper7370& ow = other.Start();
  other.desktop.dialogPaths = {path};
  ASSERT_TRUE(Click(*ow.FindMenu("mniFileImport")));
  EXPECT_TRUE(other.desktop.boxes.empty());
  EXPECT_EQ(other.ChildTexts("VEQ7316(R)+ Ports"), std::vector<std::string>{"COM9"});
  EXPECT_STREQ(ow.store->ports[9]->description, "rack\r\nleft");
  EXPECT_EQ(ow.RebootRequired, 1);
}

TEST_F(Commands, FileCommandsReportWhatTheyCannotDo) {
  TfrmPortMapper7370& w = s.Start();
  ui::MenuItem& import = *w.FindMenu("mniFileImport");
  ui::MenuItem& exportItem = *w.FindMenu("mniFileExport");
  s.desktop.dialogPaths = {""};
  ASSERT_TRUE(Click(import));  // cancelled
  EXPECT_TRUE(s.desktop.boxes.empty());
  s.desktop.dialogPaths = {s.dir.File("missing.cpm")};
  ASSERT_TRUE(Click(import));
  EXPECT_EQ(s.desktop.boxes.back().text, "Open Import File Fail");
  s.desktop.dialogPaths = {s.dir.File("no/such/folder/out.cpm")};
  ASSERT_TRUE(Click(exportItem));
  EXPECT_EQ(s.desktop.boxes.back().text, "Open Export File Fail");
  EXPECT_EQ(s.desktop.boxes.size(), 2u);
#ifndef _WIN32
  // A file that takes no byte: Windows has none to give.
  s.desktop.dialogPaths = {"/dev/full"};
  ASSERT_TRUE(Click(exportItem));
  EXPECT_EQ(s.desktop.boxes.back().text, "Open Export File Fail");
  EXPECT_EQ(s.desktop.boxes.size(), 3u);
#endif

  const std::string bad = s.dir.File("bad.cpm");
  std::ofstream(bad, std::ios::binary) << "[VEQ COMPORT MAPPING]\r\nVersion = 1.20\r\n\r\n[COM5]\r\nModel = B370\r\n";
  s.desktop.dialogPaths = {bad};
  ASSERT_TRUE(Click(import));
  EXPECT_EQ(s.desktop.boxes.back().text, "[LINE 5 - FATAL]\nThe setting of the CPM file is wrong");
  EXPECT_EQ(w.ErrorCode, 0u);
}

TEST_F(Commands, TestAndUpdateFwOpenTheirWindowsForAPortMappedAtStart) {
  ASSERT_TRUE(s.builder->WriteMapping("OLMX1", MappingValues()));  // COM1 exists on the fake machine
  TfrmPortMapper7370& w = s.Start();
  ASSERT_TRUE(s.Select(s.PortNode("TORL7370 Ports", "COM1")));
  std::string shown;
  backend.WhenModal("frmPortTest", [&](ui::Window& window) {
    shown = window.Caption();
    EXPECT_EQ(window.Owner(), &w);
    EXPECT_TRUE(Click(*static_cast<TfrmPortTest&>(window).pbtnPTClose));
  });
  ASSERT_TRUE(Click(*w.pbtnTest));
  EXPECT_EQ(shown, "COM1 Port Test");
  backend.WhenModal("frmDownload", [&](ui::Window& window) {
    shown = window.Caption();
    EXPECT_TRUE(Click(*static_cast<TfrmDownload&>(window).pbtnDLClose));
  });
  ASSERT_TRUE(Click(*w.pbtnDownload));
  EXPECT_EQ(shown, "COM1 Download Firmware");
  EXPECT_EQ(backend.ModalWindows(), (std::vector<std::string>{"frmDetectPort", "frmPortTest", "frmDownload"}));
  EXPECT_TRUE(backend.StuckWindows().empty());
  EXPECT_TRUE(s.desktop.boxes.empty());
  EXPECT_TRUE(w.Enabled());
}

#ifndef _WIN32
TEST_F(Commands, UpdateFwOverTheNetworkAgainstTheSimulatedDevice) {
  devsim::DeviceSettings settings;
  settings.commandPort = 5049;
  settings.monitorPort = 7000;
  devsim::DeviceSimulator device(settings);
  if (!device.ok()) GTEST_SKIP() << "ports 5049 and 7000 of 127.0.0.1 are taken";
  MappingValues values;
  values.model = 0x7316;
  values.ip = "127.0.0.1";
  ASSERT_TRUE(s.builder->WriteMapping("OLMX3", values));
  TfrmPortMapper7370& w = s.Start();
  ASSERT_TRUE(s.Select(s.PortNode("VEQ7316(R)+ Ports", "COM3")));
  const std::string path = s.dir.File("fw.exf");
  std::vector<std::uint8_t> image1(5000, 0x11), image2(4096, 0x22);
  const auto bytes = BuildExfBytes(0x7316, image1, 1, 0, image2, 1, 0);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  s.desktop.dialogPaths = {path};
  int progress = -1;
  backend.WhenModal("frmDownloadV2", [&](ui::Window& window) {
    auto& fw = static_cast<TfrmDownloadV2&>(window);
    ASSERT_TRUE(Click(*fw.pbtnDLOpen));
    ASSERT_TRUE(Click(*fw.pbtnDLStart));
    ASSERT_TRUE(testsupport::WaitFor(fw, [&] { return fw.pbtnDLClose->Usable(); }, 30000));
    progress = fw.pbrDownloadStatus->Position();
    EXPECT_TRUE(Click(*fw.pbtnDLClose));
  });
  ASSERT_TRUE(Click(*w.pbtnDownload));
  EXPECT_EQ(progress, 100);
  EXPECT_TRUE(backend.StuckWindows().empty());
  EXPECT_TRUE(s.desktop.boxes.empty());
  EXPECT_EQ(device.Image1(), image1);
  EXPECT_EQ(device.Image2(), image2);
}
#endif
