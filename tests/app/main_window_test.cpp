// The main window offscreen: start-up and its failures, Exit and the reboot question, the
// tree, the four looks of the information area, and pictures of the windows.
#include <QtTest>
#include <memory>

#include "app/about_window.h"
#include "app/app_session.h"
#include "platform/address.h"
#include "app/port_mapper_window.h"
#include "store/device_models.h"
#include "store/port_manager.h"

namespace {

const char kCaption[] = "VEQ COMPort Mapping Utility for Windows95/98/Me";

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { UseWindowLook(); }

  void refusesTheNtFamilyWithOneMessageAndNoStore() {
    Session s;
    s.system.platformId = platform::kVerPlatformWin32Nt;
    TfrmPortMapper7370& w = s.Start();
    QVERIFY(w.Terminated());
    QCOMPARE(s.desktop.boxes.size(), size_t(1));
    QCOMPARE(s.desktop.boxes[0].text, std::string("This program only supports the Windows 95/98/Me"));
    QCOMPARE(s.desktop.boxes[0].caption, std::string(kCaption));
    QCOMPARE(s.desktop.boxes[0].flags, 0x10u);
    QVERIFY(!w.store);
    QVERIFY(s.registry->calls().empty());
    QCOMPARE(s.crypto.initializations, 0);
    s.window.reset();
    QCOMPARE(s.desktop.boxes.size(), size_t(1));  // no reboot question after a failed start
  }

  void aFailingVersionQueryEndsTheStart() {
    Session s;
    s.system.queryFails = true;
    QVERIFY(s.Start().Terminated());
    QCOMPARE(s.desktop.boxes.size(), size_t(1));
    QCOMPARE(s.desktop.boxes[0].text, std::string("Checking the version of Windows fails"));
  }

  void brokenDriverKeysEndTheStartWithOneMessage_data() {
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("message");
    QTest::newRow("mapping list") << "Enum" << "OLMXV1X" << "The registry for VEQ COMPort has corrupted";
    QTest::newRow("serial map") << "Hardware\\DeviceMap" << "SerialComm" << "The registry for SERIALCOMM has corrupted";
  }
  void brokenDriverKeysEndTheStartWithOneMessage() {
    QFETCH(QString, parent);
    QFETCH(QString, key);
    QFETCH(QString, message);
    Session s;
    QVERIFY(s.builder->DeleteKey(parent.toStdString(), key.toStdString()));
    QVERIFY(s.Start().Terminated());
    QCOMPARE(s.desktop.boxes.size(), size_t(1));
    QCOMPARE(QString::fromStdString(s.desktop.boxes[0].text), message);
    QCOMPARE(s.crypto.initializations, 0);
    s.window.reset();
    QVERIFY(s.registry->openKeys().empty());  // the store closed what it had opened
  }

  void startsWithElevenSortedCategoriesAndTheCryptoLibrary() {
    Session s;
    TfrmPortMapper7370& w = s.Start();
    QVERIFY(!w.Terminated());
    QVERIFY(s.desktop.boxes.empty());
    QCOMPARE(s.crypto.initializations, 1);
    QStringList captions;
    for (int i = 0; i < w.tvwPortMapper->topLevelItemCount(); ++i) {
      captions << w.tvwPortMapper->topLevelItem(i)->text(0);
      QVERIFY(!w.tvwPortMapper->topLevelItem(i)->isExpanded());
    }
    QCOMPARE(captions, QStringList({"Used Ports", "Unused Ports", "TORL7370 Ports", "TORL7371 Ports",
                                    "VEQ7304  Ports", "TORL7370L Ports", "TORL7370W Ports", "TORL7371L Ports",
                                    "TORL7371W Ports", "VEQ7308(R)+ Ports", "VEQ7316(R)+ Ports"}));
    QCOMPARE(s.Category("Used Ports")->childCount(), 2);  // the two ports detection found
    QCOMPARE(s.Category("Unused Ports")->childCount(), 253);
    QCOMPARE(w.windowTitle(), QString(kCaption));
    QCOMPARE(w.pnlFormRoot->size(), QSize(540, 394));
  }

  void portsOfOneCategoryStandInNumericOrder() {
    Session s;
    for (int n : {100, 10, 2, 1}) {
      MappingValues values;
      values.ip = "10.0.0." + std::to_string(n);
      QVERIFY(s.builder->WriteMapping("OLMX" + std::to_string(n), values));
    }
    s.Start();
    QTreeWidgetItem* category = s.Category("TORL7370 Ports");
    QStringList names;
    for (int i = 0; i < category->childCount(); ++i) names << category->child(i)->text(0);
    QCOMPARE(names, QStringList({"COM1", "COM2", "COM10", "COM100"}));
  }

  void exitAnsweredNoKeepsRunningThenYesEnds() {
    Session s;
    TfrmPortMapper7370& w = s.Start();
    s.desktop.answers = {platform::kIdNo, platform::kIdYes};
    QTest::mouseClick(w.pbtnExit, Qt::LeftButton);
    QCOMPARE(s.desktop.boxes.size(), size_t(1));
    QCOMPARE(s.desktop.boxes[0].text, std::string("Are you sure to exit ?"));
    QCOMPARE(s.desktop.boxes[0].caption, std::string(kCaption));
    QCOMPARE(s.desktop.boxes[0].flags, 0x24u);
    QVERIFY(w.isEnabled());
    QVERIFY(!w.Terminated());
    QCOMPARE(s.crypto.terminations, 0);
    s.Pick(w.mniFileExit);
    QCOMPARE(s.desktop.boxes.size(), size_t(2));
    QVERIFY(w.Terminated());
    QVERIFY(!w.isEnabled());
    QCOMPARE(s.crypto.terminations, 1);
    s.window.reset();
    QCOMPARE(s.desktop.boxes.size(), size_t(2));  // nothing changed: no reboot question
    QVERIFY(s.system.restarts.empty());
  }

  void afterAChangeExitAsksOnlyTheRebootQuestion_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("yes") << int(platform::kIdYes);
    QTest::newRow("no") << int(platform::kIdNo);
  }
  void afterAChangeExitAsksOnlyTheRebootQuestion() {
    QFETCH(int, answer);
    Session s;
    TfrmPortMapper7370& w = s.Start();
    w.RebootRequired = 1;
    s.desktop.answers = {answer};
    s.ClickOn(w.pbtnExit);
    QVERIFY(s.desktop.boxes.empty());
    QVERIFY(w.Terminated());
    QCOMPARE(s.crypto.terminations, 1);
    s.window.reset();
    QCOMPARE(s.desktop.boxes.size(), size_t(1));
    QCOMPARE(s.desktop.boxes[0].text, std::string("Do you want to reboot the system ?"));
    QCOMPARE(s.desktop.boxes[0].caption, std::string(kCaption));
    QCOMPARE(s.desktop.boxes[0].flags, 0x34u);
    if (answer == platform::kIdYes) {
      QCOMPARE(s.system.restarts.size(), size_t(1));
      QCOMPARE(s.system.restarts[0].first, 6u);
      QCOMPARE(s.system.restarts[0].second, 0u);
    } else {
      QVERIFY(s.system.restarts.empty());
    }
  }

  void theCloseBoxEndsSilentlyUnlessSomethingChanged() {
    Session quiet;
    quiet.Start().show();
    QVERIFY(quiet.window->close());
    quiet.window.reset();
    QVERIFY(quiet.desktop.boxes.empty());

    Session changed;
    changed.Start().show();
    changed.window->RebootRequired = 1;
    QVERIFY(changed.window->close());
    changed.window.reset();
    QCOMPARE(changed.desktop.boxes.size(), size_t(1));
    QCOMPARE(changed.desktop.boxes[0].text, std::string("Do you want to reboot the system ?"));
  }

  void helpOpensTheHelpFile() {
    Session s;
    s.Start();
    s.Press(Qt::Key_F1);
    QCOMPARE(s.desktop.helpFiles, std::vector<std::string>{"qtlhelp.hlp"});
    s.Pick(s.window->mniHelpContent);
    QCOMPARE(s.desktop.helpFiles.size(), size_t(2));
  }

  void aCategoryShowsItsTextOrItsHintReadOnly() {
    Session s;
    QVERIFY(s.builder->WriteMapping("OLMX4", MappingValues()));
    TfrmPortMapper7370& w = s.Start();
    w.show();
    s.Select(s.Category("TORL7371 Ports"));
    QCOMPARE(w.memoPort->toPlainText(),
             QString("To map TORL7371 port, perform the following steps:\n1. Select COM in UNUSED ports\n"
                     "2. Fill items in the dialog box\n3. Click ADD button\n"));
    QVERIFY(w.memoPort->isReadOnly());
    QVERIFY(!w.pnlPortInfoListCtrl->isVisible());
    QVERIFY(!w.pnlBtnAddOrApply->isVisible());
    QVERIFY(!w.pnlBtnDevPort->isVisible());
    QVERIFY(!w.pnlUnusedPortsCtrl->isVisible());
    QVERIFY(w.pbtnExit->isVisible());
    s.Select(s.Category("TORL7370 Ports"));
    QCOMPARE(w.memoPort->toPlainText(), QString("These ports have already been assigned to TORL7370 port."));
    QVERIFY(w.memoPort->isReadOnly());
  }

  void theFourLooksOfTheInformationArea() {
    Session s;
    MappingValues mapped;
    mapped.model = 0x7316;
    mapped.ip = "10.0.0.9";
    mapped.port = 3;
    mapped.description = "Lab rack";
    QVERIFY(s.builder->WriteMapping("OLMX7", mapped));
    TfrmPortMapper7370& w = s.Start();
    w.show();
    const QString before = w.pbtnApply->text();
    QCOMPARE(before, QString("&Apply"));
    QVERIFY(w.pnlPortInfoListCtrl->isVisible());
    QVERIFY(!w.pnlSecurityCtrl->isVisible());
    QVERIFY(!w.pnlUnusedPortsCtrl->isVisible());

    s.Select(s.Category("Used Ports"));
    SaveScreenshot(&w, "main-window-category.png");

    s.Select(s.PortNode("Used Ports", "COM1"));
    QVERIFY(!w.pnlPortInfoListCtrl->isVisible());
    QVERIFY(!w.pnlBtnAddOrApply->isVisible());
    QVERIFY(!w.pnlBtnDevPort->isVisible());
    QVERIFY(!w.pnlUnusedPortsCtrl->isVisible());
    QCOMPARE(w.memoPort->toPlainText(), QString("The port can not be configured by this program."));
    QCOMPARE(w.pbtnApply->text(), before);
    QCOMPARE(w.pnlPortListMsg->text(), QString("COM1"));
    SaveScreenshot(&w, "main-window-used-port.png");

    s.Select(s.PortNode("Unused Ports", "COM3"));
    QVERIFY(w.pnlPortInfoListCtrl->isVisible());
    QVERIFY(w.pnlBtnAddOrApply->isVisible());
    QVERIFY(!w.pnlBtnDevPort->isVisible());
    QVERIFY(w.pnlUnusedPortsCtrl->isVisible());
    QVERIFY(!w.pnlSecurityCtrl->isVisible());
    QCOMPARE(w.pbtnApply->text(), QString("Add"));
    QVERIFY(w.cbxSelectedDevType->isEnabled());
    QCOMPARE(w.cbxSelectedDevType->currentText(), QString("TORL7370"));
    QCOMPARE(w.cbxServerPort->count(), 2);
    QVERIFY(!w.memoPort->isReadOnly());
    QVERIFY(!w.pbtnApply->isEnabled());  // nothing typed yet
    QVERIFY(!w.pbtnUnusedAddAll->isEnabled());
    SaveScreenshot(&w, "main-window-unused-port.png");

    s.Select(s.PortNode("VEQ7316(R)+ Ports", "COM7"));
    QVERIFY(w.pnlPortInfoListCtrl->isVisible());
    QVERIFY(w.pnlBtnDevPort->isVisible());
    QVERIFY(w.pnlBtnDevTestUpdate->isVisible());  // mapped at start
    QVERIFY(!w.pnlUnusedPortsCtrl->isVisible());
    QCOMPARE(w.pbtnApply->text(), QString("Apply"));
    QVERIFY(!w.cbxSelectedDevType->isEnabled());
    QCOMPARE(w.cbxSelectedDevType->currentText(), QString("VEQ7316(R)+"));
    QCOMPARE(w.cbxServerPort->count(), 16);
    QCOMPARE(w.cbxServerPort->itemText(15), QString("Port 16"));
    QCOMPARE(w.cbxServerPort->currentIndex(), 2);
    QCOMPARE(w.cbxServerIPAddress->currentText(), QString("10.0.0.9"));
    QCOMPARE(w.memoPort->toPlainText(), QString("Lab rack"));
    QVERIFY(w.chkbxAutoReconn->isChecked());
    SaveScreenshot(&w, "main-window-mapped-port.png");

    // A port mapped during this run has no Test and Update FW until the next start.
    w.MappedAtStart[7] = 0;
    s.Select(s.Category("Used Ports"));
    s.Select(s.PortNode("VEQ7316(R)+ Ports", "COM7"));
    QVERIFY(w.pnlBtnDevPort->isVisible());
    QVERIFY(!w.pnlBtnDevTestUpdate->isVisible());
  }

  void aSingleDevicePortModelListsOnlyPort1() {
    Session s;
    MappingValues values;
    values.model = 0x7371;
    QVERIFY(s.builder->WriteMapping("OLMX9", values));
    s.Start().show();
    s.Select(s.PortNode("TORL7371 Ports", "COM9"));
    QCOMPARE(s.window->cbxServerPort->count(), 1);
    QCOMPARE(s.window->cbxServerPort->itemText(0), QString("Port 1"));
  }

  void applyFollowsTheModifiedFlagAndAConvertibleAddress() {
    Session s;
    TfrmPortMapper7370& w = s.Start();
    s.Select(s.PortNode("Unused Ports", "COM3"));
    s.ClickOn(w.cbxServerIPAddress->lineEdit());
    s.Type("10.0.0.1");
    QVERIFY(w.pbtnApply->isEnabled());
    QVERIFY(w.pbtnUnusedAddAll->isEnabled());
    s.Choose(w.cbxServerPort, "Port 2");
    QVERIFY(w.pbtnApply->isEnabled());
    QVERIFY(!w.pbtnUnusedAddAll->isEnabled());
    // An empty or unconvertible address leaves both buttons as they are.
    s.Choose(w.cbxServerPort, "Port 1");
    s.ClickOn(w.cbxServerIPAddress->lineEdit());
    s.Press(Qt::Key_End);
    for (int i = 0; i < 8; ++i) s.Press(Qt::Key_Backspace);
    QCOMPARE(w.cbxServerIPAddress->currentText(), QString());
    QVERIFY(w.pbtnApply->isEnabled());
    QVERIFY(w.pbtnUnusedAddAll->isEnabled());
    s.Type("300.1.2.3");
    s.Choose(w.cbxServerPort, "Port 2");
    QVERIFY(w.pbtnApply->isEnabled());
    QVERIFY(w.pbtnUnusedAddAll->isEnabled());
    // A port the user has not touched offers nothing to add.
    s.Select(s.PortNode("Unused Ports", "COM4"));
    QVERIFY(!w.pbtnApply->isEnabled());
    QVERIFY(!w.pbtnUnusedAddAll->isEnabled());
  }

  void pendingEditsSurviveMovingAwayAndBack() {
    Session s;
    QVERIFY(s.builder->WriteMapping("OLMX5", MappingValues()));
    TfrmPortMapper7370& w = s.Start();
    s.Select(s.PortNode("TORL7370 Ports", "COM5"));
    s.ClickOn(w.cbxServerIPAddress->lineEdit());
    s.Press(Qt::Key_Home);
    s.Press(Qt::Key_End, Qt::ShiftModifier);
    s.Type("10.0.0.77");
    s.ClickOn(w.memoPort->viewport());
    s.Press(Qt::Key_A, Qt::ControlModifier);
    s.Type("first");
    s.Press(Qt::Key_Return);
    s.Type("second");
    s.Choose(w.cbxServerPort, "Port 2");
    s.Select(s.Category("Unused Ports"));
    TTorl7370PortEntry& port = *w.store->ports[5];
    QCOMPARE(port.ipText, "10.0.0.77");
    QCOMPARE(port.description, "first\r\nsecond");
    QCOMPARE(port.devicePortEdit, 1);
    QCOMPARE(port.ipAddress, platform::InetAddr("10.0.0.1"));  // nothing committed
    s.Select(s.PortNode("TORL7370 Ports", "COM5"));
    QCOMPARE(w.cbxServerIPAddress->currentText(), QString("10.0.0.77"));
    QCOMPARE(w.memoPort->toPlainText(), QString("first\nsecond"));
    QCOMPARE(w.cbxServerPort->currentIndex(), 1);
  }

  void aboutWindowLayout() {
    Session s;
    TfrmPortMapper7370& w = s.Start();
    w.show();
    TfrmAbout about(&w);
    about.show();
    QCOMPARE(about.windowTitle(), QString("About COMPort Mapping Utility"));
    QCOMPARE(about.size(), QSize(333, 220));
    QCOMPARE(about.pnlAboutBmp->width(), 129);
    QCOMPARE(about.pnlAboutContent->width(), 204);
    QCOMPARE(about.pnlAboutContentLogo->height(), 73);
    QCOMPARE(about.redtAboutContentInfo->height(), 89);
    QVERIFY(about.redtAboutContentInfo->toPlainText().startsWith("Version 1.40 (Build 116)\n"));
    QVERIFY(!about.redtAboutContentInfo->isEnabled());
    QCOMPARE(about.pbtnAboutOK->geometry(), QRect(120, 184, 75, 25));
    SaveScreenshot(&about, "about-window.png");
    QTest::mouseClick(about.pbtnAboutOK, Qt::LeftButton);
    QVERIFY(!about.isVisible());
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
