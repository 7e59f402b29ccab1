// The window layer on Qt: real key and mouse events reach the neutral handlers through the
// event loop, programmatic changes stay silent, modal windows nest, a worker's synchronous
// calls run while the window waits, and a picture of a window with every kind of control.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>
#include <atomic>
#include <thread>

#include "ui/qt/qt_backend.h"
#include "ui/qt/qt_native.h"
#include "ui/window.h"

namespace ui {
namespace {

using qt::NativeOf;

// A 32 x 32 24-bit Windows bitmap: a blue square on a magenta ground that shows through.
std::vector<unsigned char> SquareBitmap() {
  constexpr int kSide = 32, kRow = kSide * 3, kPixels = kRow * kSide, kHeaders = 14 + 40;
  std::vector<unsigned char> file(kHeaders + kPixels, 0);
  auto put32 = [&file](int at, int value) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<unsigned char>(value >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<int>(file.size()));
  put32(10, kHeaders);
  put32(14, 40);
  put32(18, kSide);
  put32(22, kSide);
  file[26] = 1;   // planes
  file[28] = 24;  // bits per pixel
  put32(34, kPixels);
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      const bool square = x >= 8 && x < 24 && y >= 8 && y < 24;
      unsigned char* bgr = &file[kHeaders + y * kRow + x * 3];
      bgr[0] = 0xFF;
      bgr[1] = 0;
      bgr[2] = square ? 0 : 0xFF;
    }
  return file;
}

class Demo : public Window {
 public:
  explicit Demo(Window* owner, const char* name = "frmDemo")
      : Window({name, "Demo", 460, 300, BorderStyle::kSingle, kSystemMenu | kMinimize, Position::kOwnerCenter},
               Specs(Rows()), Specs(Menu()), owner) {
    Bind(*this, Rows(), Menu());
    cbxAddress = Get<ComboBox>("cbxAddress");
    cbxPort = Get<ComboBox>("cbxPort");
    chkbxAuto = Get<CheckBox>("chkbxAuto");
    btnApply = Get<Button>("btnApply");
    btnNested = Get<Button>("btnNested");
    btnOK = Get<Button>("btnOK");
    edtPassword = Get<Edit>("edtPassword");
    memoLog = Get<Memo>("memoLog");
    tvwDemo = Get<Tree>("tvwDemo");
    for (const char* port : {"Port 1", "Port 2", "Port 3"}) cbxPort->AddItem(port);
    cbxAddress->AddItem("10.0.0.1");
    Get<ProgressBar>("pbrDemo")->SetRange(0, 100);
    Get<ProgressBar>("pbrDemo")->SetPosition(60);
    Get<Animation>("anmtCopy")->SetActive(true);
    Get<Picture>("imgSquare")->SetBitmap(bitmap_.data(), bitmap_.size());
    tvwDemo->OnChanged = [this](TreeItem* item) { selections.push_back(item); };
  }
  static std::vector<ControlRow<Demo>> Rows() {
    return {
        {{"pnlTop", ControlKind::kPanel, nullptr, Dock::kTop, {0, 0, 0, 22}, "Panel caption", kBevelInnerLowered}},
        {{"sbrDemo", ControlKind::kStatusBar, nullptr, Dock::kBottom, {0, 0, 0, 19}, "Status text"}},
        {{"grpbxLeft", ControlKind::kGroupBox, nullptr, Dock::kLeft, {0, 0, 150, 0}, "Ports"}},
        {{"tvwDemo", ControlKind::kTree, "grpbxLeft", Dock::kFill, {}, ""}},
        {{"pnlRight", ControlKind::kPanel, nullptr, Dock::kFill, {}, ""}},
        {{"cbxAddress", ControlKind::kComboBox, "pnlRight", Dock::kNone, {8, 8, 140, 24}, "", 0, 16},
         &Demo::cbxAddressChange, &Demo::cbxAddressKeyPress},
        {{"cbxPort", ControlKind::kDropDownList, "pnlRight", Dock::kNone, {8, 40, 140, 24}, ""}, &Demo::cbxPortChange},
        {{"chkbxAuto", ControlKind::kCheckBox, "pnlRight", Dock::kNone, {8, 72, 140, 17}, "Auto Reconnect "},
         &Demo::chkbxAutoClick},
        {{"btnApply", ControlKind::kButton, "pnlRight", Dock::kNone, {160, 8, 75, 25}, "&Apply"}, &Demo::btnApplyClick},
        {{"btnNested", ControlKind::kButton, "pnlRight", Dock::kNone, {160, 40, 75, 25}, "Nested"},
         &Demo::btnNestedClick},
        {{"btnOK", ControlKind::kButton, "pnlRight", Dock::kNone, {160, 72, 75, 25}, "OK"}, &Demo::btnOKClick},
        {{"edtPassword", ControlKind::kEdit, "pnlRight", Dock::kNone, {8, 100, 140, 24}, "", kPasswordChar, 8}},
        {{"stxtBold", ControlKind::kStaticText, "pnlRight", Dock::kNone, {160, 100, 140, 26}, "Bold text",
          kSunkenBorder, 0, {nullptr, 20, true}}},
        {{"memoLog", ControlKind::kMemo, "pnlRight", Dock::kNone, {8, 130, 292, 60}, "", kVerticalScrollBar, 20,
          {"Fixedsys", 13, false}},
         nullptr, &Demo::memoLogKeyPress},
        {{"pbrDemo", ControlKind::kProgressBar, "pnlRight", Dock::kNone, {8, 196, 292, 16}, "", kSmooth}},
        {{"anmtCopy", ControlKind::kAnimation, "pnlRight", Dock::kNone, {8, 216, 292, 40}, ""}},
        {{"imgSquare", ControlKind::kPicture, "pnlRight", Dock::kNone, {250, 8, 40, 40}, ""}},
    };
  }
  static std::vector<MenuRow<Demo>> Menu() {
    return {
        {{"mniFile", nullptr, "&File"}},
        {{"mniFileApply", "mniFile", "&Apply"}, &Demo::btnApplyClick},
        {{"mniFileBar1", "mniFile", nullptr}},
        {{"mniFileExit", "mniFile", "&Exit"}},
        {{"mniHelp", nullptr, "&Help"}},
        {{"mniHelpContent", "mniHelp", "&Contents", kKeyF1}, &Demo::mniHelpContentClick},
    };
  }

  void cbxAddressChange() { ++addressChanges; }
  void cbxAddressKeyPress(char& key) {
    addressKeys += key;
    if (key > 0x20 && key != '.' && (key < '0' || key > '9')) key = 0;
    if (key == '\r') key = 0;
  }
  void cbxPortChange() { ++portChanges; }
  void chkbxAutoClick() { ++autoClicks; }
  void btnApplyClick() { ++applyClicks; }
  void btnNestedClick() {
    Demo nested(this, "frmNested");
    nestedResult = nested.ShowModal();
  }
  void btnOKClick() { Close(7); }
  void memoLogKeyPress(char& key) { memoKeys += key; }
  void mniHelpContentClick() { ++helpClicks; }

  ComboBox* cbxAddress;
  ComboBox* cbxPort;
  CheckBox* chkbxAuto;
  Button* btnApply;
  Button* btnNested;
  Button* btnOK;
  Edit* edtPassword;
  Memo* memoLog;
  Tree* tvwDemo;
  std::string addressKeys, memoKeys;
  int addressChanges = 0, portChanges = 0, autoClicks = 0, applyClicks = 0, helpClicks = 0;
  int nestedResult = -1;
  std::vector<TreeItem*> selections;

 private:
  const std::vector<unsigned char> bitmap_ = SquareBitmap();
};

// Keys as the keyboard delivers them: to the active window, which hands them to its
// focus widget.
void Type(Window& window, const std::string& keys) {
  for (char key : keys) QTest::keyClick(NativeOf(window)->windowHandle(), key);
}
void Press(Window& window, Qt::Key key) { QTest::keyClick(NativeOf(window)->windowHandle(), key); }

void ClickAt(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center()); }

bool ShowAndActivate(Window& window) {
  window.Show();
  return QTest::qWaitForWindowActive(NativeOf(window));
}

}  // namespace

class QtBackendTest : public QObject {
  Q_OBJECT

 private slots:
  void TypedKeysReachTheFilterThroughTheEventLoop() {
    QtBackend backend;
    Demo w(nullptr);
    QVERIFY(ShowAndActivate(w));
    auto* address = static_cast<QComboBox*>(NativeOf(*w.cbxAddress));
    ClickAt(address->lineEdit());
    QCOMPARE(w.Focused(), w.cbxAddress);
    Type(w, "1a2.Bx3");
    QCOMPARE(w.addressKeys, std::string("1a2.Bx3"));
    QCOMPARE(w.cbxAddress->Text(), std::string("12.3"));
    QCOMPARE(address->currentText(), QString("12.3"));
    QCOMPARE(w.addressChanges, 4);
    Press(w, Qt::Key_Return);
    QCOMPARE(w.addressKeys.back(), '\r');
    Press(w, Qt::Key_Backspace);
    QCOMPARE(w.cbxAddress->Text(), std::string("12."));
    Type(w, "45678901234567");  // the box takes 16 characters
    QCOMPARE(w.cbxAddress->Text(), std::string("12.4567890123456"));

    // A memo's lines end in CR LF, and its limit counts both.
    ClickAt(NativeOf(*w.memoLog));
    Type(w, "ab");
    Press(w, Qt::Key_Return);
    Type(w, "cd");
    QCOMPARE(w.memoLog->Text(), std::string("ab\r\ncd"));
    QCOMPARE(w.memoKeys, std::string("ab\rcd"));
    Type(w, "0123456789abcdef");
    QCOMPARE(w.memoLog->Text(), std::string("ab\r\ncd0123456789abcd"));
    Press(w, Qt::Key_Return);
    QCOMPARE(w.memoLog->Text().size(), std::size_t{20});
    auto* memo = static_cast<QPlainTextEdit*>(NativeOf(*w.memoLog));
    QCOMPARE(memo->toPlainText(), QString("ab\ncd0123456789abcd"));
    QCOMPARE(memo->textCursor().position(), memo->toPlainText().size());
    w.memoLog->SetText("x\r\ny");
    w.memoLog->AddLine("z");
    QCOMPARE(memo->toPlainText(), QString("x\ny\nz"));
    Type(w, "!");
    QCOMPARE(w.memoLog->Text(), std::string("x\r\ny\r\nz!"));
    // Past the cap of a log the oldest lines leave the screen too; its end stays in sight.
    while (w.memoLog->Text().rfind("x\r\n", 0) == 0) w.memoLog->AddLine(std::string(98, '-'));
    w.memoLog->AddLine("last");
    QCOMPARE(memo->toPlainText(), QString::fromStdString(w.memoLog->Text()).replace("\r\n", "\n"));
    QCOMPARE(memo->textCursor().position(), memo->toPlainText().size());

    ClickAt(NativeOf(*w.edtPassword));
    Type(w, "secret");
    QCOMPARE(w.edtPassword->Text(), std::string("secret"));
    QCOMPARE(static_cast<QLineEdit*>(NativeOf(*w.edtPassword))->displayText(), QString("******"));

    Press(w, Qt::Key_F1);
    QCOMPARE(w.helpClicks, 1);
  }

  void ClicksAndChoicesReachTheHandlersProgrammaticChangesDoNot() {
    QtBackend backend;
    Demo w(nullptr);
    QVERIFY(ShowAndActivate(w));
    ClickAt(NativeOf(*w.btnApply));
    QCOMPARE(w.applyClicks, 1);
    w.btnApply->SetEnabled(false);
    ClickAt(NativeOf(*w.btnApply));
    QCOMPARE(w.applyClicks, 1);

    ClickAt(NativeOf(*w.chkbxAuto));
    QVERIFY(w.chkbxAuto->Checked());
    QCOMPARE(w.autoClicks, 1);
    w.chkbxAuto->SetChecked(false);
    QVERIFY(!static_cast<QCheckBox*>(NativeOf(*w.chkbxAuto))->isChecked());

    auto* port = static_cast<QComboBox*>(NativeOf(*w.cbxPort));
    w.cbxPort->SetItemIndex(0);
    QCOMPARE(port->currentIndex(), 0);
    QCOMPARE(w.portChanges, 0);
    ClickAt(port);
    QAbstractItemView* list = port->view();
    QVERIFY(QTest::qWaitForWindowExposed(list->window()));
    // A list just opened lets a release pass only after a double click's time.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(2, 0)).center());
    QTRY_COMPARE(w.portChanges, 1);
    QCOMPARE(w.cbxPort->ItemIndex(), 2);
    QCOMPARE(w.cbxPort->Text(), std::string("Port 3"));
    Press(w, Qt::Key_Up);
    QCOMPARE(w.portChanges, 2);
    QCOMPARE(w.cbxPort->ItemIndex(), 1);

    // The tree: the user's click, the program's selection once, expansion kept by a sort.
    Tree& tree = *w.tvwDemo;
    TreeItem* b = tree.Add(nullptr, std::make_unique<TreeItem>(), "B");
    TreeItem* b2 = tree.Add(b, std::make_unique<TreeItem>(), "b2");
    TreeItem* b1 = tree.Add(b, std::make_unique<TreeItem>(), "b1");
    TreeItem* a = tree.Add(nullptr, std::make_unique<TreeItem>(), "A");
    auto* native = static_cast<QTreeWidget*>(NativeOf(tree));
    tree.SetFocus();
    QVERIFY(native->hasFocus());
    QCOMPARE(w.selections, std::vector<TreeItem*>{});  // the focus selects nothing
    QTest::mouseClick(native->viewport(), Qt::LeftButton, {}, native->visualItemRect(native->topLevelItem(1)).center());
    QCOMPARE(tree.Selected(), a);
    QCOMPARE(w.selections, std::vector<TreeItem*>{a});
    tree.Select(b);
    QCOMPARE(w.selections, (std::vector<TreeItem*>{a, b}));
    QCOMPARE(native->currentItem(), native->topLevelItem(0));
    Press(w, Qt::Key_Right);
    QVERIFY(b->Expanded());
    tree.Sort([](const TreeItem& x, const TreeItem& y) { return x.Text() < y.Text(); });
    QCOMPARE(native->topLevelItem(0)->text(0), QString("A"));
    QCOMPARE(native->topLevelItem(1)->child(0)->text(0), QString("b1"));
    QCOMPARE(native->currentItem(), native->topLevelItem(1));
    QVERIFY(native->topLevelItem(1)->isExpanded());
    Press(w, Qt::Key_Down);
    QCOMPARE(tree.Selected(), b1);
    tree.Remove(b);
    QCOMPARE(tree.Selected(), static_cast<TreeItem*>(nullptr));
    QCOMPARE(native->currentItem(), static_cast<QTreeWidgetItem*>(nullptr));
    QCOMPARE(native->topLevelItemCount(), 1);
    QCOMPARE(w.selections, (std::vector<TreeItem*>{a, b, b1}));  // nothing from the widget
    (void)b2;
  }

  void AWorkersSynchronousCallsRunWhileItsWindowWaits() {
    QtBackend backend;
    Demo w(nullptr);
    w.Show();
    std::atomic<bool> finished{false};
    int onWindowThread = 0;
    const std::thread::id windowThread = std::this_thread::get_id();
    std::thread worker([&] {
      for (int i = 0; i < 200; ++i)
        w.Synchronize([&] { onWindowThread += std::this_thread::get_id() == windowThread ? 1 : 0; });
      finished = true;
    });
    w.WaitUntil([&] { return finished.load(); });
    worker.join();
    QCOMPARE(onWindowThread, 200);
  }

  void ModalWindowsNestAndDisableTheirOwners() {
    QtBackend backend;
    Demo box(nullptr);
    bool ownerDisabled = false, focusBack = false;
    int applyClicksWhileNested = -1;
    QTimer::singleShot(0, [&] {
      if (!QTest::qWaitForWindowActive(NativeOf(box))) return;
      QTimer::singleShot(0, [&] {
        QWidget* nested = nullptr;
        if (!QTest::qWaitFor([&nested] {
              nested = QApplication::activeModalWidget();
              return nested != nullptr && nested->objectName() == "frmNested" && nested->isActiveWindow();
            }))
          return;
        ownerDisabled = !box.Enabled() && !NativeOf(box)->isEnabled();
        ClickAt(NativeOf(*box.btnApply));
        applyClicksWhileNested = box.applyClicks;
        ClickAt(nested->findChild<QPushButton*>("btnOK"));
      });
      ClickAt(NativeOf(*box.btnNested));  // returns when the nested window has closed
      focusBack = QTest::qWaitFor([&box] { return QApplication::focusWidget() == NativeOf(*box.btnNested); });
      ClickAt(NativeOf(*box.btnOK));
    });
    QCOMPARE(box.ShowModal(), 7);
    QCOMPARE(box.nestedResult, 7);
    QVERIFY(ownerDisabled);
    QCOMPARE(applyClicksWhileNested, 0);
    QVERIFY(focusBack);  // the keyboard works in the owner again
    QVERIFY(box.Enabled());
    QVERIFY(!NativeOf(box)->isVisible());

    Demo closedEarly(nullptr, "frmEarly");
    closedEarly.Close(3);
    QCOMPARE(closedEarly.ShowModal(), 0);  // comes and goes at once
  }

  void EveryControlStandsWhereTheLayoutPutsIt() {
    QtBackend backend;
    Demo w(nullptr);
    TreeItem* used = w.tvwDemo->Add(nullptr, std::make_unique<TreeItem>(), "Used Ports");
    w.tvwDemo->Add(used, std::make_unique<TreeItem>(), "COM1");
    w.tvwDemo->Add(nullptr, std::make_unique<TreeItem>(), "Unused Ports");
    w.tvwDemo->SetExpanded(*used, true);
    w.tvwDemo->Select(used);
    w.cbxAddress->SetText("192.168.0.5");
    w.cbxPort->SetItemIndex(1);
    w.chkbxAuto->SetChecked(true);
    w.edtPassword->SetText("secret");
    w.memoLog->SetText("COM1 Start testing\r\nBaud 9600 OK");
    QVERIFY(ShowAndActivate(w));
    for (const auto& control : w.Controls()) {
      const Rect& r = control->Bounds();
      QCOMPARE(NativeOf(*control)->geometry(), QRect(r.left, r.top, r.width, r.height));
    }
    QWidget* client = NativeOf(*w.Controls().front())->parentWidget();
    QCOMPARE(client->size(), QSize(460, 300));
    QCOMPARE(client->mapTo(NativeOf(w), QPoint(0, 0)).y(), NativeOf(w)->height() - 300);
    if (QFile::exists("/usr/share/wine/fonts/ms_sans_serif.ttf")) {
      QCOMPARE(QFontInfo(NativeOf(*w.btnOK)->font()).family(), QString("MS Sans Serif"));
      QCOMPARE(QFontInfo(NativeOf(*w.memoLog)->font()).family(), QString("Fixedsys"));
    }
    QCOMPARE(QFontInfo(NativeOf(*w.btnOK)->font()).pixelSize(), 13);
    const QString dir = qEnvironmentVariable("VEQ_SCREENSHOT_DIR", "screenshots");
    QVERIFY(qt::SaveScreenshot(w, (dir + "/ui-qt-demo-window.png").toStdString()));
  }
};

}  // namespace ui

QTEST_MAIN(ui::QtBackendTest)
#include "qt_backend_test.moc"
