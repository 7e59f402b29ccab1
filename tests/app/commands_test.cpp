// The commands of the main window end to end, driven as a user drives them: clicks and
// keys on the real window over a stand-in registry in a temporary folder.
#include <QtTest>
#include <fstream>
#include <sstream>

#include "app/app_session.h"
#include "devsim/device_simulator.h"
#include "firmware/download_window_v2.h"
#include "platform/address.h"
#include "porttest/port_test_window.h"
#include "store/port_manager.h"
#include "support/registry_snapshot.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

class CommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { UseWindowLook(); }

  void addAVeq7308PortTypedWithTheKeyboard() {
    Session s;
    TfrmPortMapper7370& w = s.Start();
    s.Select(s.PortNode("Unused Ports", "COM3"));
    s.Choose(w.cbxSelectedDevType, "VEQ7308(R)+");
    QCOMPARE(w.store->selectedModel, 6);
    QCOMPARE(w.cbxServerPort->count(), 8);
    QCOMPARE(w.cbxServerPort->itemText(7), QString("Port 8"));
    QCOMPARE(w.cbxServerPort->currentIndex(), 0);
    QVERIFY(w.store->ports[3]->IsModified());

    // Letters and other punctuation never reach the box; Enter runs Add.
    s.ClickOn(w.cbxServerIPAddress->lineEdit());
    s.Type("1x0,.a0.Z0.!7");
    QCOMPARE(w.cbxServerIPAddress->currentText(), QString("10.0.0.7"));
    s.Press(Qt::Key_Backspace);
    s.Type("8");
    QVERIFY(w.pbtnApply->isEnabled());
    s.Press(Qt::Key_Return);

    QCOMPARE(w.ApplyResult, 0);
    QCOMPARE(s.ChildTexts("VEQ7308(R)+ Ports"), QStringList({"COM3"}));
    QVERIFY(!s.ChildTexts("Unused Ports").contains("COM3"));
    QVERIFY(s.desktop.boxes.empty());
    QVERIFY(s.builder->KeyExists("Enum\\OLMXV1X\\OLMX3"));
    QVERIFY(s.builder->KeyExists("Enum\\Root\\Ports\\0000"));
    QVERIFY(s.builder->KeyExists("System\\CurrentControlSet\\Services\\Class\\Ports\\0000"));
    QCOMPARE(w.store->ports[3]->ipAddress, platform::InetAddr("10.0.0.8"));
    QCOMPARE(w.RebootRequired, 1);
    // The tree has moved on to another port.
    QVERIFY(w.tvwPortMapper->currentItem() != nullptr);
    QVERIFY(w.tvwPortMapper->currentItem()->text(0) != "COM3");
  }

  void enterInTheAddressBoxOfAnUnchangedPortWritesItAgain() {
    Session s;
    QVERIFY(s.builder->WriteMapping("OLMX4", MappingValues()));
    TfrmPortMapper7370& w = s.Start();
    s.Select(s.PortNode("TORL7370 Ports", "COM4"));
    QVERIFY(!w.pbtnApply->isEnabled());
    s.ClickOn(w.cbxServerIPAddress->lineEdit());
    s.registry->ClearCalls();
    s.Press(Qt::Key_Return);
    QVERIFY(s.desktop.boxes.empty());
    QVERIFY(s.registry->NamesOf(testsupport::RegOp::kSetValue) != std::vector<std::string>());
    QCOMPARE(s.PortValue(4, "Port"), 1u);
    QCOMPARE(w.cbxServerIPAddress->currentText(), QString("10.0.0.1"));
    QCOMPARE(w.RebootRequired, 1);
  }

  // A device port the shown model does not have is no device port: Add writes "Port 1".
  void addOfAPortThatHadADevicePortTheModelLacksWritesPort1() {
    Session s;
    MappingValues values;
    values.model = 0x7316;
    values.port = 16;
    QVERIFY(s.builder->WriteMapping("OLMX8", values));
    TfrmPortMapper7370& w = s.Start();
    s.Select(s.PortNode("VEQ7316(R)+ Ports", "COM8"));
    s.ClickOn(w.pbtnDelete);
    QCOMPARE(w.tvwPortMapper->currentItem()->text(0), QString("COM8"));
    QCOMPARE(w.cbxSelectedDevType->currentText(), QString("TORL7370"));
    QCOMPARE(w.cbxServerPort->currentText(), QString("Port 1"));
    QVERIFY(w.pbtnApply->isEnabled());
    s.ClickOn(w.pbtnApply);
    QCOMPARE(s.ChildTexts("TORL7370 Ports"), QStringList({"COM8"}));
    QCOMPARE(s.PortValue(8, "Port"), 1u);
    QCOMPARE(w.store->ports[8]->devicePort, 0);
  }

  void addAllMapsTheFollowingFreePortsOntoTheDevicesPorts() {
    Session s;
    TfrmPortMapper7370& w = s.Start();
    w.show();
    s.Select(s.PortNode("Unused Ports", "COM5"));
    s.ClickOn(w.cbxServerIPAddress->lineEdit());
    s.Type("10.0.0.5");
    QVERIFY(w.pbtnUnusedAddAll->isEnabled());
    QTest::mouseClick(w.pbtnUnusedAddAll, Qt::LeftButton);
    QCOMPARE(s.ChildTexts("TORL7370 Ports"), QStringList({"COM5", "COM6"}));
    QCOMPARE(w.store->ports[5]->devicePort, 0);
    QCOMPARE(w.store->ports[6]->devicePort, 1);
    QCOMPARE(w.store->ports[6]->ipAddress, platform::InetAddr("10.0.0.5"));
    QVERIFY(s.desktop.boxes.empty());
    SaveScreenshot(&w, "main-window-add-all.png");
  }

  void addAllSkipsADevicePortAlreadyTaken() {
    Session s;
    MappingValues taken;
    taken.ip = "10.0.0.5";
    QVERIFY(s.builder->WriteMapping("OLMX20", taken));
    TfrmPortMapper7370& w = s.Start();
    w.show();
    s.Select(s.PortNode("Unused Ports", "COM5"));
    s.ClickOn(w.cbxServerIPAddress->lineEdit());
    s.Type("10.0.0.5");
    QTest::mouseClick(w.pbtnUnusedAddAll, Qt::LeftButton);
    QCOMPARE(s.desktop.boxes.size(), size_t(1));
    QCOMPARE(s.desktop.boxes[0].text, std::string("The setting is same as COM20. Please verify the setting again."));
    QCOMPARE(s.ChildTexts("TORL7370 Ports"), QStringList({"COM5", "COM20"}));
    QCOMPARE(w.store->ports[5]->devicePort, 1);
  }

  void applyRefusesABadAddressAndPutsTheCommittedValuesBack() {
    Session s;
    QVERIFY(s.builder->WriteMapping("OLMX4", MappingValues()));
    TfrmPortMapper7370& w = s.Start();
    w.show();
    s.Select(s.PortNode("TORL7370 Ports", "COM4"));
    s.ClickOn(w.cbxServerIPAddress->lineEdit());
    s.Press(Qt::Key_Home);
    s.Press(Qt::Key_End, Qt::ShiftModifier);
    s.Type("10.0.0.0");
    const std::string before = testsupport::RegistrySnapshot(s.RegistryPath());
    QTest::mouseClick(w.pbtnApply, Qt::LeftButton);
    QCOMPARE(w.ApplyResult, -2);
    QCOMPARE(s.desktop.boxes.size(), size_t(1));
    QCOMPARE(s.desktop.boxes[0].text, std::string("The IP address of the device is wrong"));
    QCOMPARE(w.cbxServerIPAddress->currentText(), QString("10.0.0.1"));
    QCOMPARE(testsupport::RegistrySnapshot(s.RegistryPath()), before);
    QCOMPARE(w.RebootRequired, 0);
  }

  void applyRefusesTheAddressAndPortOfAnotherMapping() {
    Session s;
    QVERIFY(s.builder->WriteMapping("OLMX3", MappingValues()));
    MappingValues other;
    other.ip = "10.0.0.2";
    other.enumId = other.portId = 1;
    QVERIFY(s.builder->WriteMapping("OLMX5", other));
    TfrmPortMapper7370& w = s.Start();
    w.show();
    s.Select(s.PortNode("TORL7370 Ports", "COM5"));
    s.ClickOn(w.cbxServerIPAddress->lineEdit());
    s.Press(Qt::Key_Home);
    s.Press(Qt::Key_End, Qt::ShiftModifier);
    s.Type("10.0.0.1");
    QTest::mouseClick(w.pbtnApply, Qt::LeftButton);
    QCOMPARE(w.ApplyResult, -3);
    QCOMPARE(s.desktop.boxes.back().text, std::string("The setting is same as COM3. Please verify the setting again."));
    QCOMPARE(w.cbxServerIPAddress->currentText(), QString("10.0.0.2"));
  }

  void deleteReturnsThePortWithItsSettingsPending() {
    Session s;
    MappingValues values;
    values.ip = "10.0.0.9";
    values.port = 2;
    values.description = "bench";
    QVERIFY(s.builder->WriteMapping("OLMX8", values));
    TfrmPortMapper7370& w = s.Start();
    w.show();
    s.Select(s.PortNode("TORL7370 Ports", "COM8"));
    QTest::mouseClick(w.pbtnDelete, Qt::LeftButton);
    QVERIFY(s.desktop.boxes.empty());
    QVERIFY(s.ChildTexts("TORL7370 Ports").isEmpty());
    QVERIFY(s.ChildTexts("Unused Ports").contains("COM8"));
    QVERIFY(!s.builder->KeyExists("Enum\\OLMXV1X\\OLMX8"));
    TTorl7370PortEntry& port = *w.store->ports[8];
    QVERIFY(port.IsModified());
    QCOMPARE(port.ipText, "10.0.0.9");
    QCOMPARE(port.devicePortEdit, 1);
    QCOMPARE(port.description, "bench");
    // The only port of the category: its new node is selected, ready to be added again.
    QCOMPARE(w.tvwPortMapper->currentItem()->text(0), QString("COM8"));
    QCOMPARE(w.pbtnApply->text(), QString("Add"));

    s.ClickOn(w.pbtnExit);
    s.desktop.answers = {platform::kIdNo};
    s.window.reset();
    QCOMPARE(s.desktop.boxes.size(), size_t(1));
    QCOMPARE(s.desktop.boxes[0].text, std::string("Do you want to reboot the system ?"));
  }

  void exportAndImportThroughTheFileDialogs() {
    Session s;
    MappingValues a;
    a.model = 0x7316;
    a.port = 16;
    a.description = "rack\r\nleft";
    QVERIFY(s.builder->WriteMapping("OLMX9", a));
    TfrmPortMapper7370& w = s.Start();
    const std::string path = s.dir.File("all.cpm");
    s.desktop.dialogPaths = {path};
    s.Pick(w.mniFileExport);
    QVERIFY(s.desktop.boxes.empty());
    QCOMPARE(s.desktop.dialogs.at(0).defaultExt, std::string("cpm"));
    QCOMPARE(s.desktop.dialogs.at(0).filter, std::string("COMPort mapping file (*.cpm)|*.cpm"));
    QVERIFY(s.desktop.dialogs.at(0).promptOverwrite);
    const std::string exported = ReadFile(path);
    QVERIFY(exported.find("[COM9]\r\nModel = 7316\r\n") != std::string::npos);

    // Importing what was exported changes nothing.
    const std::string before = testsupport::RegistrySnapshot(s.RegistryPath());
    s.desktop.dialogPaths = {path};
    s.Pick(w.mniFileImport);
    QVERIFY(s.desktop.boxes.empty());
    QCOMPARE(testsupport::RegistrySnapshot(s.RegistryPath()), before);
    QCOMPARE(w.RebootRequired, 0);

    // The same file read elsewhere maps the port there.
    Session other;
    TfrmPortMapper7370& ow = other.Start();
    other.desktop.dialogPaths = {path};
    other.Pick(ow.mniFileImport);
    QVERIFY(other.desktop.boxes.empty());
    QCOMPARE(other.ChildTexts("VEQ7316(R)+ Ports"), QStringList({"COM9"}));
    QCOMPARE(QString(ow.store->ports[9]->description), QString("rack\r\nleft"));
    QCOMPARE(ow.RebootRequired, 1);
  }

  void fileCommandsReportWhatTheyCannotDo() {
    Session s;
    TfrmPortMapper7370& w = s.Start();
    s.desktop.dialogPaths = {""};
    s.Pick(w.mniFileImport);  // cancelled
    QVERIFY(s.desktop.boxes.empty());
    s.desktop.dialogPaths = {s.dir.File("missing.cpm")};
    s.Pick(w.mniFileImport);
    QCOMPARE(s.desktop.boxes.back().text, std::string("Open Import File Fail"));
    s.desktop.dialogPaths = {s.dir.File("no/such/folder/out.cpm")};
    s.Pick(w.mniFileExport);
    QCOMPARE(s.desktop.boxes.back().text, std::string("Open Export File Fail"));
    s.desktop.dialogPaths = {"/dev/full"};
    s.Pick(w.mniFileExport);
    QCOMPARE(s.desktop.boxes.back().text, std::string("Open Export File Fail"));
    QCOMPARE(s.desktop.boxes.size(), size_t(3));

    const std::string bad = s.dir.File("bad.cpm");
    std::ofstream(bad, std::ios::binary) << "[VEQ COMPORT MAPPING]\r\nVersion = 1.20\r\n\r\n[COM5]\r\nModel = B370\r\n";
    s.desktop.dialogPaths = {bad};
    s.Pick(w.mniFileImport);
    QCOMPARE(s.desktop.boxes.back().text, std::string("[LINE 5 - FATAL]\nThe setting of the CPM file is wrong"));
    QCOMPARE(w.ErrorCode, 0u);
  }

  void testOpensTheTestWindowForAPortMappedAtStart() {
    Session s;
    QVERIFY(s.builder->WriteMapping("OLMX1", MappingValues()));  // COM1 exists on the fake machine
    TfrmPortMapper7370& w = s.Start();
    w.show();
    s.Select(s.PortNode("TORL7370 Ports", "COM1"));
    QVERIFY(w.pbtnTest->isVisible());
    QString shown;
    QTimer::singleShot(0, [&] {
      auto* window = qobject_cast<TfrmPortTest*>(QApplication::activeModalWidget());
      if (window == nullptr) return;
      shown = window->windowTitle();
      QTest::mouseClick(window->pbtnPTClose, Qt::LeftButton);
    });
    QTest::mouseClick(w.pbtnTest, Qt::LeftButton);
    QCOMPARE(shown, QString("COM1 Port Test"));
    QVERIFY(s.desktop.boxes.empty());
  }

  void updateFwOverTheNetworkAgainstTheSimulatedDevice() {
    devsim::DeviceSettings settings;
    settings.commandPort = 5049;
    settings.monitorPort = 7000;
    devsim::DeviceSimulator device(settings);
    if (!device.ok()) QSKIP("ports 5049 and 7000 of 127.0.0.1 are taken");
    Session s;
    MappingValues values;
    values.model = 0x7316;
    values.ip = "127.0.0.1";
    QVERIFY(s.builder->WriteMapping("OLMX3", values));
    TfrmPortMapper7370& w = s.Start();
    w.show();
    s.Select(s.PortNode("VEQ7316(R)+ Ports", "COM3"));
    const std::string path = s.dir.File("fw.exf");
    std::vector<std::uint8_t> image1(5000, 0x11), image2(4096, 0x22);
    const auto bytes = BuildExfBytes(0x7316, image1, 1, 0, image2, 1, 0);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    s.desktop.dialogPaths = {path};
    int progress = -1;
    QTimer::singleShot(0, [&] {
      auto* window = qobject_cast<TfrmDownloadV2*>(QApplication::activeModalWidget());
      if (window == nullptr) return;
      QTest::mouseClick(window->pbtnDLOpen, Qt::LeftButton);
      QTest::mouseClick(window->pbtnDLStart, Qt::LeftButton);
      QTRY_VERIFY_WITH_TIMEOUT(window->pbtnDLClose->isEnabled(), 30000);
      progress = window->pbrDownloadStatus->value();
      QTest::mouseClick(window->pbtnDLClose, Qt::LeftButton);
    });
    QTest::mouseClick(w.pbtnDownload, Qt::LeftButton);
    QCOMPARE(progress, 100);
    QVERIFY(s.desktop.boxes.empty());
    QCOMPARE(device.Image1(), image1);
    QCOMPARE(device.Image2(), image2);
  }

  void screenshotsOfSeveralModelsAndAnEditedPort() {
    Session s;
    const std::pair<const char*, std::uint32_t> ports[] = {
        {"OLMX3", 0x7370}, {"OLMX4", 0x7370}, {"OLMX7", 0x7308}, {"OLMX12", 0xC371}};
    int id = 0;
    for (auto [name, model] : ports) {
      MappingValues values;
      values.model = model;
      values.ip = "192.168.1." + std::to_string(10 + id);
      values.enumId = values.portId = id++;
      QVERIFY(s.builder->WriteMapping(name, values));
    }
    TfrmPortMapper7370& w = s.Start();
    w.show();
    for (const char* caption : {"TORL7370 Ports", "VEQ7308(R)+ Ports", "TORL7371W Ports"}) s.Category(caption)->setExpanded(true);
    s.Select(s.PortNode("TORL7370 Ports", "COM4"));
    SaveScreenshot(&w, "main-window-several-models.png");
    s.Select(s.PortNode("Unused Ports", "COM5"));
    s.Choose(w.cbxSelectedDevType, "TORL7371");
    s.ClickOn(w.cbxServerIPAddress->lineEdit());
    s.Type("192.168.1.40");
    s.ClickOn(w.memoPort->viewport());
    s.Type("Door controller");
    SaveScreenshot(&w, "main-window-editing-unused-port.png");
    QVERIFY(w.pbtnApply->isEnabled());
  }
};

QTEST_MAIN(CommandsTest)
#include "commands_test.moc"
