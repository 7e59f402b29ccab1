// The password dialog offscreen: its two steps, mismatches, the longest password, Cancel.
#include <QDir>
#include <QStyleFactory>
#include <QtTest>

#include "platform/window_style.h"
#include "security/password_dialog.h"

namespace {

void SaveScreenshot(QWidget* widget, const QString& name) {
  const QString dir = qEnvironmentVariable("VEQ_SCREENSHOT_DIR", "screenshots");
  QDir().mkpath(dir);
  QVERIFY(widget->grab().save(dir + "/" + name));
}

}  // namespace

class PasswordDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QApplication::setStyle(QStyleFactory::create("Windows"));
    QApplication::setFont(WindowFont());
  }

  void bothStepsAsDrawn() {
    PortSecurity port;
    TfrmPassword dialog(nullptr, port);
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QString("Security Password"));
    QCOMPARE(dialog.size(), QSize(306, 110));
    QCOMPARE(dialog.btnApplyOK->text(), QString("&Apply"));
    QVERIFY(dialog.pnlInputPassword->isVisible());
    QVERIFY(!dialog.pnlReconfirmPassword->isVisible());
    QCOMPARE(dialog.edtInputPassword->echoMode(), QLineEdit::Password);
    QCOMPARE(dialog.edtInputPassword->maxLength(), 250);
    QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
    QTest::keyClicks(dialog.edtInputPassword, "secret");
    SaveScreenshot(&dialog, "password-dialog-input.png");
    QTest::mouseClick(dialog.btnApplyOK, Qt::LeftButton);
    QCOMPARE(dialog.Step, 1);
    QCOMPARE(dialog.btnApplyOK->text(), QString("OK"));
    QVERIFY(!dialog.pnlInputPassword->isVisible());
    QVERIFY(dialog.pnlReconfirmPassword->isVisible());
    SaveScreenshot(&dialog, "password-dialog-reconfirm.png");
  }

  void bothEmptyClearsThePassword() {
    PortSecurity port;
    port.pwdResult = 9;
    TfrmPassword dialog(nullptr, port);
    QTest::mouseClick(dialog.btnApplyOK, Qt::LeftButton);
    QTest::mouseClick(dialog.btnApplyOK, Qt::LeftButton);
    QCOMPARE(port.pwdResult, 0u);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
  }

  void aMismatchEmptiesTheConfirmationOnly_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("confirmation");
    QTest::newRow("empty input") << "" << "abc";
    QTest::newRow("letter case") << "Secret" << "secret";
  }
  void aMismatchEmptiesTheConfirmationOnly() {
    QFETCH(QString, input);
    QFETCH(QString, confirmation);
    PortSecurity port;
    port.pwdResult = 9;
    TfrmPassword dialog(nullptr, port);
    dialog.show();
    QTest::keyClicks(dialog.edtInputPassword, input);
    QTest::mouseClick(dialog.btnApplyOK, Qt::LeftButton);
    QTest::keyClicks(dialog.edtReconfirmPassword, confirmation);
    QTest::mouseClick(dialog.btnApplyOK, Qt::LeftButton);
    QCOMPARE(dialog.edtReconfirmPassword->text(), QString());
    QCOMPARE(dialog.edtInputPassword->text(), input);
    QCOMPARE(dialog.Step, 1);
    QVERIFY(dialog.isVisible());
    QCOMPARE(port.pwdResult, 9u);
  }

  void theLongestPasswordFitsWithItsSuffix() {
    PortSecurity port;
    TfrmPassword dialog(nullptr, port);
    const QString longest(300, 'p');
    QTest::keyClicks(dialog.edtInputPassword, longest);
    QCOMPARE(dialog.edtInputPassword->text().size(), 250);
    QTest::mouseClick(dialog.btnApplyOK, Qt::LeftButton);
    QTest::keyClicks(dialog.edtReconfirmPassword, longest);
    QTest::mouseClick(dialog.btnApplyOK, Qt::LeftButton);
    QCOMPARE(port.pwdResult, 1u);
    QCOMPARE(std::string(port.pinText), std::string(250, 'p'));
  }

  void cancelEndsEitherStep() {
    PortSecurity port;
    TfrmPassword first(nullptr, port);
    QTest::mouseClick(first.btnCancel, Qt::LeftButton);
    QCOMPARE(port.pwdResult, 2u);
    port.pwdResult = 0;
    TfrmPassword second(nullptr, port);
    QTest::mouseClick(second.btnApplyOK, Qt::LeftButton);
    QTest::mouseClick(second.btnCancel, Qt::LeftButton);
    QCOMPARE(port.pwdResult, 2u);
  }
};

QTEST_MAIN(PasswordDialogTest)
#include "password_dialog_test.moc"
