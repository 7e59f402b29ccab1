// The security panel, the password command and the device-twin question of Apply, on
// port records of the secure models that the tests make themselves.
#include <QTimer>
#include <QtTest>

#include "app/app_session.h"
#include "platform/address.h"
#include "security/password_dialog.h"
#include "store/device_models.h"
#include "store/port_manager.h"

namespace {

TTorl7370PortEntry& MakeSecure(Session& s, int n, const char* address, int devicePort) {
  TTorl7370PortEntry& port = *s.window->store->ports[n];
  port.kind = kModelTorl7370S;
  port.modelCode = 0xA370;
  port.ipAddress = platform::InetAddr(address);
  CopyText(port.ipText, address);
  port.devicePort = port.devicePortEdit = devicePort;
  if (!s.window->store->CreatePortRegistry(port)) qFatal("cannot map the secure port");
  return port;
}

// Answers the password dialog once it is up: the two texts, or Cancel when cancel is set.
void AnswerPassword(const QString& input, const QString& confirmation, bool cancel = false) {
  QTimer::singleShot(0, [=] {
    TfrmPassword* dialog = frmPassword;
    if (dialog == nullptr) return;
    if (cancel) {
      QTest::mouseClick(dialog->btnCancel, Qt::LeftButton);
      return;
    }
    QTest::keyClicks(dialog->edtInputPassword, input);
    QTest::mouseClick(dialog->btnApplyOK, Qt::LeftButton);
    QTest::keyClicks(dialog->edtReconfirmPassword, confirmation);
    QTest::mouseClick(dialog->btnApplyOK, Qt::LeftButton);
  });
}

std::string KeyBlock(const PortSecurity& port) {
  return std::string(reinterpret_cast<const char*>(port.tdesKey), 24) +
         std::string(reinterpret_cast<const char*>(port.tdesTail), 8);
}

}  // namespace

class SecurityTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { UseWindowLook(); }

  void aSecurePortShowsItsSecurityPanel() {
    Session s;
    TfrmPortMapper7370& w = s.Start();
    w.show();
    MakeSecure(s, 5, "10.0.0.5", 0);
    s.Select(s.PortNode("Unused Ports", "COM5"));
    QVERIFY(w.pnlSecurityCtrl->isVisible());
    QCOMPARE(w.cbxSecuritySelect->currentText(), QString("TDES"));
    QVERIFY(w.btnSecurityPassword->isEnabled());
    QCOMPARE(w.cbxServerPort->count(), 2);
    SaveScreenshot(&w, "main-window-security-panel.png");
    // NONE chosen in the list: pending only, the password button goes grey.
    s.Choose(w.cbxSecuritySelect, "NONE");
    QCOMPARE(w.store->ports[5]->secMethodEdit, 0u);
    QCOMPARE(w.store->ports[5]->secMethod, 1u);
    QVERIFY(!w.btnSecurityPassword->isEnabled());
  }

  void thePasswordCommandDerivesTheKeyBlockOrPutsTheDefaultBack() {
    Session s;
    TfrmPortMapper7370& w = s.Start();
    w.show();
    TTorl7370PortEntry& port = MakeSecure(s, 5, "10.0.0.5", 0);
    s.Select(s.PortNode("Unused Ports", "COM5"));
    const std::string defaultBlock = KeyBlock(port);

    AnswerPassword("pass", "pass");
    QTest::mouseClick(w.btnSecurityPassword, Qt::LeftButton);
    QCOMPARE(port.pwdResult, 1u);
    QCOMPARE(port.secUserKeyEdit, 1u);
    QCOMPARE(std::string(port.pinText), std::string("passTORL"));
    QCOMPARE(s.crypto.pins, std::vector<std::string>{"passTORL"});
    QVERIFY(port.IsModified());
    const std::string derived = KeyBlock(port);
    QVERIFY(derived != defaultBlock);

    port.flags = 0;
    AnswerPassword("pass", "pass");
    QTest::mouseClick(w.btnSecurityPassword, Qt::LeftButton);
    QCOMPARE(KeyBlock(port), derived);  // the same text, the same key block
    QVERIFY(port.IsModified());

    port.flags = 0;
    AnswerPassword("", "", true);
    QTest::mouseClick(w.btnSecurityPassword, Qt::LeftButton);
    QCOMPARE(port.pwdResult, 2u);
    QCOMPARE(KeyBlock(port), derived);
    QCOMPARE(port.secUserKeyEdit, 1u);
    QVERIFY(!port.IsModified());

    AnswerPassword("", "");
    QTest::mouseClick(w.btnSecurityPassword, Qt::LeftButton);
    QCOMPARE(port.pwdResult, 0u);
    QCOMPARE(port.secUserKeyEdit, 0u);
    QCOMPARE(KeyBlock(port), defaultBlock);
    QVERIFY(port.IsModified());
  }

  void applyAsksWhenTheTwinDiffersAndYesRewritesTheTwin() {
    Session s;
    TfrmPortMapper7370& w = s.Start();
    w.show();
    TTorl7370PortEntry& port = MakeSecure(s, 5, "10.0.0.5", 0);
    TTorl7370PortEntry& twin = MakeSecure(s, 6, "10.0.0.5", 1);
    twin.tdesKey[0] ^= 0xFF;  // another key block
    s.Select(s.PortNode("Unused Ports", "COM5"));
    // Enter in the address box applies the shown values, changed or not.
    s.ClickOn(w.cbxServerIPAddress->lineEdit());
    s.desktop.answers = {platform::kIdYes};
    s.registry->ClearCalls();
    s.Press(Qt::Key_Return);
    QCOMPARE(w.ApplyResult, 0);
    QCOMPARE(s.desktop.boxes.size(), size_t(1));
    QCOMPARE(s.desktop.boxes[0].text, std::string("The security setting of COM6 must be same as this COM.\n"
                                                  "Press YES to apply the setting of this COM to the COM6,\n"
                                                  "or press NO to accept the setting from COM6"));
    QCOMPARE(s.desktop.boxes[0].flags, 0x34u);
    QCOMPARE(KeyBlock(twin), KeyBlock(port));
    // The twin's values were written at once.
    bool twinWritten = false;
    for (const auto& call : s.registry->calls())
      if (call.op == testsupport::RegOp::kSetValue && call.key.find("OLMX6") != std::string::npos && call.name == "SecSig")
        twinWritten = true;
    QVERIFY(twinWritten);
  }

  void applyAnsweredNoTakesTheTwinsSettingsIntoTheForm() {
    Session s;
    TfrmPortMapper7370& w = s.Start();
    w.show();
    TTorl7370PortEntry& port = MakeSecure(s, 5, "10.0.0.5", 0);
    TTorl7370PortEntry& twin = MakeSecure(s, 6, "10.0.0.5", 1);
    twin.secMethod = 0;
    s.Select(s.PortNode("Unused Ports", "COM5"));
    s.ClickOn(w.cbxServerIPAddress->lineEdit());
    s.desktop.answers = {platform::kIdNo};
    s.Press(Qt::Key_Return);
    QCOMPARE(s.desktop.boxes.size(), size_t(1));
    QCOMPARE(port.secMethodEdit, 0u);
    QCOMPARE(port.secMethod, 0u);
    QCOMPARE(w.cbxSecuritySelect->currentIndex(), 0);
    QVERIFY(!w.btnSecurityPassword->isEnabled());
  }
};

QTEST_MAIN(SecurityTest)
#include "security_test.moc"
