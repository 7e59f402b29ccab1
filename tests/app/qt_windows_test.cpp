// What only the Qt toolkit shows of the windows: real keys sent to the focused window and
// real clicks reach the main window's handlers through the event loop, and a picture of
// every window in each of its looks, saved into $VEQ_SCREENSHOT_DIR.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeWidget>
#include <QWindow>
#include <atomic>
#include <fstream>
#include <thread>

#include "app/about_window.h"
#include "app/app_session.h"
#include "detect/detect_port_window.h"
#include "devsim/device_simulator.h"
#include "firmware/download_window.h"
#include "firmware/download_window_v2.h"
#include "firmware/driver_ports.h"
#include "firmware/firmware_image.h"
#include "platform/address.h"
#include "porttest/port_test_window.h"
#include "security/password_dialog.h"
#include "store/device_models.h"
#include "store/port_manager.h"
#include "support/simulated_serial_port.h"
#include "ui/qt/qt_backend.h"
#include "ui/qt/qt_native.h"

using ui::qt::NativeOf;

namespace {

// The window the system makes active gets the keyboard; the offscreen platform activates
// asynchronously and leaves the focus on a list that has closed.
bool Activate(ui::Window& window) {
  // An open list has the keyboard, as it does on the desktop.
  if (QApplication::activePopupWidget() != nullptr) return true;
  QWidget* top = NativeOf(window);
  if (!top->isVisible()) window.Show();
  QCoreApplication::processEvents();  // activations the platform has queued
  if (QGuiApplication::focusWindow() != top->windowHandle()) top->windowHandle()->requestActivate();
  return QTest::qWaitForWindowActive(top);
}

// Keys as the keyboard delivers them: to the focused window, which hands them on.
void Type(ui::Window& window, const QString& keys) {
  QVERIFY(Activate(window));
  QTest::keyClicks(nullptr, keys);
}
void Press(ui::Window& window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QVERIFY(Activate(window));
  QTest::keyClick(static_cast<QWidget*>(nullptr), key, modifiers);
}

void Click(ui::Control& control) {
  QVERIFY(Activate(control.Owner()));
  QWidget* widget = NativeOf(control);
  if (auto* box = qobject_cast<QComboBox*>(widget); box != nullptr && box->lineEdit() != nullptr)
    widget = box->lineEdit();
  QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

void ClickItem(ui::Tree& tree, ui::TreeItem& item) {
  QVERIFY(Activate(tree.Owner()));
  auto* native = static_cast<QTreeWidget*>(NativeOf(tree));
  auto* nativeItem = static_cast<QTreeWidgetItem*>(item.native);
  native->scrollToItem(nativeItem);
  QTest::mouseClick(native->viewport(), Qt::LeftButton, {}, native->visualItemRect(nativeItem).center());
}

// A click on the node; a closed category is clicked and opened with Right first.
void Select(TfrmPortMapper7370& w, ui::TreeItem* item) {
  QVERIFY(item != nullptr);
  if (ui::TreeItem* category = item->Parent(); category != nullptr && !category->Expanded()) {
    ClickItem(*w.tvwPortMapper, *category);
    Press(w, Qt::Key_Right);
    QVERIFY(category->Expanded());
  }
  ClickItem(*w.tvwPortMapper, *item);
  QCOMPARE(w.tvwPortMapper->Selected(), item);
}

void Shot(ui::Window& window, const char* name) {
  QCoreApplication::processEvents();
  const QString dir = qEnvironmentVariable("VEQ_SCREENSHOT_DIR", "screenshots");
  QVERIFY(ui::qt::SaveScreenshot(window, (dir + "/" + name).toStdString()));
}

// Opens path through the firmware window's Open button, pictures the file accepted, starts.
void OpenPictureAndStart(TfrmFirmwareWindow& w, testsupport::ScriptedDesktop& desktop, const std::string& path,
                         const char* picture) {
  desktop.dialogPaths = {path};
  Click(*w.pbtnDLOpen);
  QVERIFY(w.pbtnDLStart->Usable());
  Shot(w, picture);
  Click(*w.pbtnDLStart);
}

}  // namespace

class QtWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void RealKeysAndClicksReachTheHandlers() {
    ui::QtBackend backend;
    Session s;
    MappingValues listed;
    listed.ip = "10.0.0.12";  // in the address list, and begins as the typed address does
    QVERIFY(s.builder->WriteMapping("OLMX9", listed));
    TfrmPortMapper7370& w = s.Start();
    Select(w, s.PortNode("Unused Ports", "COM3"));
    auto* address = static_cast<QComboBox*>(NativeOf(*w.cbxServerIPAddress));
    Click(*w.cbxServerIPAddress);
    QCOMPARE(w.Focused(), w.cbxServerIPAddress);
    // The filter discards letters and punctuation; nothing is completed from the list.
    Type(w, "1x0,.a0.Z0.!1");
    QCOMPARE(w.cbxServerIPAddress->Text(), std::string("10.0.0.1"));
    QCOMPARE(address->currentText(), QString("10.0.0.1"));
    QVERIFY(w.pbtnApply->Usable());
    Press(w, Qt::Key_Return);
    QCOMPARE(s.ChildTexts("TORL7370 Ports"), (std::vector<std::string>{"COM3", "COM9"}));
    QCOMPARE(w.store->ports[3]->ipAddress, platform::InetAddr("10.0.0.1"));

    // Tab and Backtab only move the focus: the port shown next stays unchanged.
    QCOMPARE(w.tvwPortMapper->Selected()->Text(), std::string("COM4"));
    Click(*w.cbxServerIPAddress);
    Press(w, Qt::Key_Tab);
    Press(w, Qt::Key_Backtab);
    QVERIFY(!w.store->ports[4]->IsModified());
    QVERIFY(!w.pbtnApply->Usable());
    // The keypad's Enter runs Add as Return does.
    Click(*w.cbxServerIPAddress);
    Type(w, "10.0.0.2");
    Press(w, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(s.ChildTexts("TORL7370 Ports"), (std::vector<std::string>{"COM3", "COM4", "COM9"}));

    // A click on a node and on a button.
    Select(w, s.PortNode("TORL7370 Ports", "COM9"));
    QCOMPARE(w.cbxServerIPAddress->Text(), std::string("10.0.0.12"));
    Click(*w.pbtnDelete);
    QCOMPARE(s.ChildTexts("TORL7370 Ports"), (std::vector<std::string>{"COM3", "COM4"}));
    QVERIFY(s.desktop.boxes.empty());
  }

  void PicturesOfTheMainWindow() {
    ui::QtBackend backend;
    Session s;
    QVERIFY(s.MapLabRack());
    TfrmPortMapper7370& w = s.Start();
    Select(w, s.Category("Used Ports"));
    Shot(w, "main-window-category.png");
    Select(w, s.PortNode("Used Ports", "COM1"));
    Shot(w, "main-window-used-port.png");
    Select(w, s.PortNode("Unused Ports", "COM3"));
    Shot(w, "main-window-unused-port.png");
    Select(w, s.PortNode("VEQ7316(R)+ Ports", "COM7"));
    Shot(w, "main-window-mapped-port.png");

    Session all;
    TfrmPortMapper7370& aw = all.Start();
    Select(aw, all.PortNode("Unused Ports", "COM5"));
    Click(*aw.cbxServerIPAddress);
    Type(aw, "10.0.0.5");
    QVERIFY(aw.pbtnUnusedAddAll->Usable());
    Click(*aw.pbtnUnusedAddAll);
    QCOMPARE(all.ChildTexts("TORL7370 Ports"), (std::vector<std::string>{"COM5", "COM6"}));
    Shot(aw, "main-window-add-all.png");
  }

  void PicturesOfSeveralModelsAnEditedPortAndTheSecurityPanel() {
    ui::QtBackend backend;
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
    for (const char* caption : {"TORL7370 Ports", "VEQ7308(R)+ Ports", "TORL7371W Ports"})
      w.tvwPortMapper->SetExpanded(*s.Category(caption), true);
    Select(w, s.PortNode("TORL7370 Ports", "COM4"));
    Shot(w, "main-window-several-models.png");
    Select(w, s.PortNode("Unused Ports", "COM5"));
    auto* model = static_cast<QComboBox*>(NativeOf(*w.cbxSelectedDevType));
    Click(*w.cbxSelectedDevType);
    QTRY_VERIFY(model->view()->isVisible());
    Press(w, Qt::Key_Down);
    Press(w, Qt::Key_Return);
    QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
    QCOMPARE(w.cbxSelectedDevType->Text(), std::string("TORL7371"));
    Click(*w.cbxServerIPAddress);
    Type(w, "192.168.1.40");
    Click(*w.memoPort);
    Type(w, "Door controller");
    QCOMPARE(w.cbxServerIPAddress->Text(), std::string("192.168.1.40"));
    QCOMPARE(w.memoPort->Text(), std::string("Door controller"));
    QVERIFY(w.pbtnApply->Usable());
    Shot(w, "main-window-editing-unused-port.png");

    // A port record of a secure model shows the security panel above the memo.
    TTorl7370PortEntry& secure = *w.store->ports[8];
    secure.kind = kModelTorl7370S;
    secure.modelCode = 0xA370;
    secure.secMethodEdit = 1;
    Select(w, s.PortNode("Unused Ports", "COM8"));
    QVERIFY(w.pnlSecurityCtrl->Showing());
    Shot(w, "main-window-security-panel.png");
  }

  // Tab walks the password dialog's order (Apply, Cancel, the edit shown), Enter presses
  // Apply from an edit, Escape Cancel; Escape closes the About window.
  void DialogKeysFollowTheTabOrder() {
    ui::QtBackend backend;
    Session s;
    TfrmPortMapper7370& w = s.Start();
    QVERIFY(Activate(w));
    PortSecurity port;
    TfrmPassword dialog(&w, port);
    Type(dialog, "secret");
    Press(dialog, Qt::Key_Return);
    QCOMPARE(dialog.Step, 1);
    QCOMPARE(dialog.Focused(), dialog.edtReconfirmPassword);
    Press(dialog, Qt::Key_Tab);
    QCOMPARE(dialog.Focused(), dialog.btnApplyOK);
    Press(dialog, Qt::Key_Tab);
    QCOMPARE(dialog.Focused(), dialog.btnCancel);
    Press(dialog, Qt::Key_Tab);
    QCOMPARE(dialog.Focused(), dialog.edtReconfirmPassword);
    Press(dialog, Qt::Key_Backtab);
    QCOMPARE(dialog.Focused(), dialog.btnCancel);
    Press(dialog, Qt::Key_Escape);
    QCOMPARE(port.pwdResult, 2u);
    QVERIFY(!NativeOf(dialog)->isVisible());

    TfrmAbout about(&w);
    QVERIFY(Activate(about));
    Press(about, Qt::Key_Escape);
    QVERIFY(!NativeOf(about)->isVisible());
  }

  void PicturesOfTheAboutAndPasswordWindows() {
    ui::QtBackend backend;
    Session s;
    TfrmPortMapper7370& w = s.Start();
    QVERIFY(Activate(w));
    TfrmAbout about(&w);
    QVERIFY(Activate(about));
    Shot(about, "about-window.png");
    Click(*about.pbtnAboutOK);
    QVERIFY(!NativeOf(about)->isVisible());

    PortSecurity port;
    TfrmPassword dialog(&w, port);
    Type(dialog, "secret");
    QCOMPARE(dialog.edtInputPassword->Text(), std::string("secret"));
    Shot(dialog, "password-dialog-input.png");
    Click(*dialog.btnApplyOK);
    Shot(dialog, "password-dialog-reconfirm.png");
  }

  void PicturesOfTheDetectionAndTestWindows() {
    ui::QtBackend backend;
    testsupport::EmptyRegistry registry;
    TTorl7370PortManager store{nullptr, registry};
    // Six ports present from COM101 on hold the sweep there for a while.
    testsupport::FakeSerialPorts present({101, 102, 103, 104, 105, 106});
    {
      TfrmDetectPort detect(store, present);
      detect.Show();
      QTRY_VERIFY(detect.pbrDetectingPort->Position() > 100 && detect.stxtDetectPortDot->Text().size() > 0);
      Shot(detect, "detect-window.png");
    }

    testsupport::SimulatedSerialPorts loopback("COM5");
    testsupport::ScriptedDesktop desktop;
    TfrmPortTest test(nullptr, "COM5", loopback, desktop);
    QCOMPARE(test.ReadyToShow(), 1);
    QVERIFY(Activate(test));
    Click(*test.pbtnPTStart);
    QTRY_VERIFY_WITH_TIMEOUT(test.TestState == ptsFinished && test.memoPTPrompt->Text().size() > 20 &&
                                 test.memoPTPrompt->Text().compare(test.memoPTPrompt->Text().size() - 16, 16,
                                                                   "COM5 finsih test") == 0,
                             60000);
    // Line by line, the memo has shown every line.
    QCOMPARE(static_cast<QPlainTextEdit*>(NativeOf(*test.memoPTPrompt))->toPlainText(),
             QString::fromStdString(test.memoPTPrompt->Text()).replace("\r\n", "\n"));
    Shot(test, "port-test-window.png");
    Click(*test.pbtnPTClose);
  }

  void PicturesOfTheFirmwareWindows() {
    ui::QtBackend backend;
    testsupport::TempDir dir;
    testsupport::ScriptedDesktop desktop;
    testsupport::SimulatedDriver driver;
    testsupport::DriverPorts ports(driver);
    std::atomic<bool> held{false}, release{false};
    ports.beforeBlock = [&](std::uint32_t index) {
      if (index != 128) return;
      held = true;
      while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    {
      TfrmDownload com(nullptr, "COM5", 0x7370, ports, desktop);
      QCOMPARE(com.ReadyToShow(), 1);
      const std::string image = dir.File("firmware.bin");
      QVERIFY(WriteFirmwareImage(image, 0x7370, kFirmwareImageSize));
      OpenPictureAndStart(com, desktop, image, "firmware-window-accepted.png");
      QTRY_VERIFY(held.load());
      Shot(com, "firmware-window-downloading.png");
      release = true;
      QTRY_VERIFY_WITH_TIMEOUT(com.pbtnDLClose->Usable(), 30000);
      QCOMPARE(desktop.boxes.back().text, std::string("Download Complete"));
      Click(*com.pbtnDLClose);
    }

    devsim::DeviceSimulator device(devsim::DeviceSettings{});
    QVERIFY(device.ok());
    NetworkTimings timings;
    timings.commandPort = device.commandPort();
    timings.monitorPort = device.monitorPort();
    timings.resetPauseMs = 300;
    std::unique_ptr<platform::Network> network = platform::CreateSystemNetwork();
    TfrmDownloadV2 net(nullptr, platform::InetAddr("127.0.0.1"), "COM7", 0x7316, *network, desktop, timings);
    QCOMPARE(net.ReadyToShow(), 1);
    const std::string exf = dir.File("fw.exf");
    const auto bytes = BuildExfBytes(0x7316, std::vector<std::uint8_t>(200000, 0x33), 1, 0,
                                     std::vector<std::uint8_t>(200704, 0x44), 1, 0);
    std::ofstream(exf, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    OpenPictureAndStart(net, desktop, exf, "network-firmware-window-checked.png");
    QTRY_VERIFY(net.anmtDownloadFile->Showing());
    Shot(net, "network-firmware-window-downloading.png");
    QTRY_VERIFY_WITH_TIMEOUT(net.pbtnDLClose->Usable(), 30000);
    QCOMPARE(net.pbrDownloadStatus->Position(), 100);
    QCOMPARE(desktop.boxes.size(), std::size_t{1});  // the COM window's, and none of its own
  }
};

QTEST_MAIN(QtWindowsTest)
#include "qt_windows_test.moc"
