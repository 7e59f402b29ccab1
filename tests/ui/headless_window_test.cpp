// The window layer's own behaviour on the test toolkit (headless, or Win32 on Windows): a
// worker's synchronous calls while its window waits, modal windows within modal windows,
// keys through a filter, and a memo's long log.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>

#include "platform/thread.h"
#include "support/ui_test_backend.h"
#include "ui/headless/user.h"
#include "ui/window.h"

namespace ui {
namespace {

class Box : public Window {
 public:
  explicit Box(Window* owner, const char* name = "frmBox")
      : Window({name, "Box", 200, 100, BorderStyle::kDialog, kSystemMenu, Position::kOwnerCenter},
               Specs(Rows()), {}, owner) {
    Bind(*this, Rows());
    edtText = Get<Edit>("edtText");
  }
  static std::vector<ControlRow<Box>> Rows() {
    return {
        {{"edtText", ControlKind::kEdit, nullptr, Dock::kNone, {8, 8, 100, 24}, "", 0, 5},
         &Box::edtTextChange, &Box::edtTextKeyPress},
        {{"btnNested", ControlKind::kButton, nullptr, Dock::kNone, {8, 40, 75, 25}, "Nested"}, &Box::btnNestedClick},
        {{"btnOK", ControlKind::kButton, nullptr, Dock::kNone, {100, 40, 75, 25}, "OK"}, &Box::btnOKClick},
    };
  }
  void edtTextChange() { ++changes; }
  void edtTextKeyPress(char& key) {
    if (key >= 'a' && key <= 'z') key = 0;
  }
  void btnNestedClick() { nestedResult = Box(this, "frmNested").ShowModal(); }
  void btnOKClick() { Close(7); }

  Edit* edtText;
  int changes = 0;
  int nestedResult = -1;
};

TEST(HeadlessWindow, AWorkersSynchronousCallsRunWhileItsWindowWaits) {
  testsupport::UiBackend backend;
  Box box(nullptr);
  std::atomic<bool> finished{false};
  int onWindowThread = 0;
  platform::Thread worker;
  ASSERT_TRUE(worker.Start([&] {
    for (int i = 0; i < 200; ++i) box.Synchronize([&] { onWindowThread += backend.OnWindowThread() ? 1 : 0; });
    finished = true;
  }));
  box.WaitUntil([&] { return finished.load(); });
  worker.Join();
  EXPECT_EQ(onWindowThread, 200);
}

TEST(HeadlessWindow, ModalWindowsNestAndDisableTheirOwners) {
  testsupport::UiBackend backend;
  Box box(nullptr);
  backend.WhenModal("frmBox", [](Window& w) {
    auto& b = static_cast<Box&>(w);
    EXPECT_TRUE(user::Click(*b.Get<Button>("btnNested")));
    EXPECT_TRUE(user::Click(*b.Get<Button>("btnOK")));
  });
  backend.WhenModal("frmNested", [&box](Window& w) {
    EXPECT_FALSE(box.Enabled());
    // The owner cannot be clicked while its modal child is up.
    EXPECT_FALSE(user::Click(*box.Get<Button>("btnOK")));
    EXPECT_TRUE(user::Click(*w.Get<Button>("btnOK")));
  });
  EXPECT_EQ(box.ShowModal(), 7);
  EXPECT_EQ(box.nestedResult, 7);
  EXPECT_TRUE(box.Enabled());
  EXPECT_EQ(backend.ModalWindows(), (std::vector<std::string>{"frmBox", "frmNested"}));
  EXPECT_TRUE(backend.StuckWindows().empty());

  Box closedEarly(nullptr, "frmEarly");
  closedEarly.Close(3);
  EXPECT_EQ(closedEarly.ShowModal(), 0);  // comes and goes at once
}

TEST(HeadlessWindow, TypedKeysPassTheFilterAndTheLengthLimit) {
  testsupport::UiBackend backend;
  Box box(nullptr);
  box.Show();
  ASSERT_TRUE(user::Click(*box.edtText));
  ASSERT_TRUE(user::Type(box, "1a2.b3456"));
  EXPECT_EQ(box.edtText->Text(), "12.34");
  EXPECT_EQ(box.changes, 5);
  ASSERT_TRUE(user::Type(box, "\b\b"));
  EXPECT_EQ(box.edtText->Text(), "12.");
  box.edtText->SetEnabled(false);
  EXPECT_FALSE(user::Type(box, "9"));
  EXPECT_EQ(box.edtText->Text(), "12.");
}

// A name the table lacks, or a control asked for as another kind, is the program's fault
// and says so, rather than handing out a pointer to the wrong thing.
TEST(HeadlessWindow, AControlOfAnotherNameOrKindIsRefusedLoudly) {
  testsupport::UiBackend backend;
  Box box(nullptr);
  const auto fault = [](const std::function<void()>& ask) {
    try {
      ask();
    } catch (const std::logic_error& e) {
      return std::string(e.what());
    }
    return std::string("no fault");
  };
  EXPECT_EQ(fault([&] { box.Get<Edit>("btnOK"); }), "window frmBox: \"btnOK\": kind button, asked for as memo or edit");
  EXPECT_EQ(fault([&] { box.Get<ComboBox>("edtText"); }),
            "window frmBox: \"edtText\": kind edit, asked for as drop-down list or combo box");
  EXPECT_EQ(fault([&] { box.Get<Button>("btnCancel"); }), "window frmBox: its table has no control \"btnCancel\"");
  EXPECT_EQ(box.Get<Button>("btnOK")->Name(), std::string("btnOK"));
  // A row whose parent the table lacks.
  EXPECT_EQ(fault([] {
              Window({"frmOrphan", "Orphan", 100, 100, BorderStyle::kDialog, kSystemMenu, Position::kDesktopCenter},
                     {{"pbtnGo", ControlKind::kButton, "pnlGone", Dock::kNone, {0, 0, 75, 25}, "Go"}}, {}, nullptr);
            }),
            "window frmOrphan: its table has no control \"pnlGone\"");
}

// A long run's log: the oldest whole lines go, the newest stay, under the most a
// Windows 9x memo holds.
TEST(HeadlessWindow, ALongLogKeepsItsNewestLinesUnderTheMemosCap) {
  testsupport::UiBackend backend;
  Window log({"frmLog", "Log", 300, 200, BorderStyle::kDialog, kSystemMenu, Position::kDesktopCenter},
             {{"memoLog", ControlKind::kMemo, nullptr, Dock::kFill, {}, "", kReadOnly | kVerticalScrollBar}}, {},
             nullptr);
  log.Show();
  Memo* memo = log.Get<Memo>("memoLog");
  const auto line = [](int n) { return "COM5 9600,N,8,1 loop back " + std::to_string(n) + " ok"; };
  int n = 0;
  do {
    memo->AddLine(line(++n));
    ASSERT_LE(memo->Text().size(), TextBox::kMaxLogLength);
  } while (memo->Text().rfind(line(1), 0) == 0);
  // Whole lines from the first kept one to the newest, which stays.
  const std::string text = memo->Text();
  EXPECT_GE(text.size(), TextBox::kKeptLogLength - 100);
  EXPECT_EQ(text.compare(0, 4, "COM5"), 0);
  EXPECT_EQ(text.compare(text.size() - line(n).size(), std::string::npos, line(n)), 0);
  memo->AddLine("after the cap");
  EXPECT_EQ(memo->Text(), text + "\r\nafter the cap");
  EXPECT_TRUE(user::Click(*memo));  // the screen shows the same text
}

}  // namespace
}  // namespace ui
