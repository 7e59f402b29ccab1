// The security panel, the password command and the device-twin question of Apply on the
// headless toolkit, on port records of the secure models that the tests make themselves.
#include <algorithm>
#include <cstdlib>

#include "app/headless_session.h"
#include "platform/address.h"
#include "security/password_dialog.h"
#include "store/device_models.h"
#include "store/port_manager.h"

using ui::user::Click;
using ui::user::Type;

namespace {

TTorl7370PortEntry& MakeSecure(Session& s, int n, const char* address, int devicePort) {
  TTorl7370PortEntry& port = *s.window->store->ports[n];
  port.kind = kModelTorl7370S;
  port.modelCode = 0xA370;
  port.ipAddress = platform::InetAddr(address);
  CopyText(port.ipText, address);
  port.devicePort = port.devicePortEdit = devicePort;
  if (!s.window->store->CreatePortRegistry(port)) std::abort();
  return port;
}

// The user at the password dialog once it is up: the two texts, or Cancel.
void AnswerPassword(testsupport::UiBackend& backend, const std::string& input, const std::string& confirmation,
                    bool cancel = false) {
  backend.WhenModal("frmPassword", [=](ui::Window& window) {
    auto& dialog = static_cast<TfrmPassword&>(window);
    if (cancel) {
      EXPECT_TRUE(Click(*dialog.btnCancel));
      return;
    }
    EXPECT_TRUE(Type(dialog, input));
    EXPECT_TRUE(Click(*dialog.btnApplyOK));
    EXPECT_TRUE(Type(dialog, confirmation));
    EXPECT_TRUE(Click(*dialog.btnApplyOK));
  });
}

std::string KeyBlock(const PortSecurity& port) {
  return std::string(reinterpret_cast<const char*>(port.tdesKey), 24) +
         std::string(reinterpret_cast<const char*>(port.tdesTail), 8);
}

class Security : public HeadlessSession {};

}  // namespace

TEST_F(Security, ASecurePortShowsItsSecurityPanel) {
  TfrmPortMapper7370& w = s.Start();
  MakeSecure(s, 5, "10.0.0.5", 0);
  ASSERT_TRUE(s.Select(s.PortNode("Unused Ports", "COM5")));
  EXPECT_TRUE(w.pnlSecurityCtrl->Showing());
  EXPECT_EQ(w.cbxSecuritySelect->Text(), "TDES");
  EXPECT_TRUE(w.btnSecurityPassword->Usable());
  EXPECT_EQ(w.cbxServerPort->ItemCount(), 2);
  // Shown, it narrows the memo.
  EXPECT_EQ(w.pnlPortInfoMemoCtrl->Bounds(), (ui::Rect{0, 224, 210, 151}));
  testsupport::Photograph(w, "main-window-security-panel");
  // NONE chosen in the list: pending only, the password button goes grey.
  ASSERT_TRUE(ui::user::Choose(*w.cbxSecuritySelect, "NONE"));
  EXPECT_EQ(w.store->ports[5]->secMethodEdit, 0u);
  EXPECT_EQ(w.store->ports[5]->secMethod, 1u);
  EXPECT_FALSE(w.btnSecurityPassword->Usable());
}

TEST_F(Security, ThePasswordCommandDerivesTheKeyBlockOrPutsTheDefaultBack) {
  TfrmPortMapper7370& w = s.Start();
  TTorl7370PortEntry& port = MakeSecure(s, 5, "10.0.0.5", 0);
  ASSERT_TRUE(s.Select(s.PortNode("Unused Ports", "COM5")));
  const std::string defaultBlock = KeyBlock(port);

  AnswerPassword(backend, "pass", "pass");
  ASSERT_TRUE(Click(*w.btnSecurityPassword));
  EXPECT_EQ(port.pwdResult, 1u);
  EXPECT_EQ(port.secUserKeyEdit, 1u);
  EXPECT_STREQ(port.pinText, "passTORL");
  EXPECT_EQ(s.crypto.pins, std::vector<std::string>{"passTORL"});
  EXPECT_TRUE(port.IsModified());
  const std::string derived = KeyBlock(port);
  EXPECT_NE(derived, defaultBlock);

  port.flags = 0;
  AnswerPassword(backend, "pass", "pass");
  ASSERT_TRUE(Click(*w.btnSecurityPassword));
  EXPECT_EQ(KeyBlock(port), derived);  // the same text, the same key block
  EXPECT_TRUE(port.IsModified());

  port.flags = 0;
  AnswerPassword(backend, "", "", true);
  ASSERT_TRUE(Click(*w.btnSecurityPassword));
  EXPECT_EQ(port.pwdResult, 2u);
  EXPECT_EQ(KeyBlock(port), derived);
  EXPECT_EQ(port.secUserKeyEdit, 1u);
  EXPECT_FALSE(port.IsModified());

  AnswerPassword(backend, "", "");
  ASSERT_TRUE(Click(*w.btnSecurityPassword));
  EXPECT_EQ(port.pwdResult, 0u);
  EXPECT_EQ(port.secUserKeyEdit, 0u);
  EXPECT_EQ(KeyBlock(port), defaultBlock);
  EXPECT_TRUE(port.IsModified());
  EXPECT_EQ(std::count(backend.ModalWindows().begin(), backend.ModalWindows().end(), "frmPassword"), 4);
  EXPECT_TRUE(backend.StuckWindows().empty());
}

TEST_F(Security, ApplyAsksWhenTheTwinDiffersAndYesRewritesTheTwin) {
  TfrmPortMapper7370& w = s.Start();
  TTorl7370PortEntry& port = MakeSecure(s, 5, "10.0.0.5", 0);
  TTorl7370PortEntry& twin = MakeSecure(s, 6, "10.0.0.5", 1);
  twin.tdesKey[0] ^= 0xFF;  // another key block
  ASSERT_TRUE(s.Select(s.PortNode("Unused Ports", "COM5")));
  // Enter in the address box applies the shown values, changed or not.
  ASSERT_TRUE(Click(*w.cbxServerIPAddress));
  s.desktop.answers = {platform::kIdYes};
  s.registry->ClearCalls();
  ASSERT_TRUE(Type(w, "\r"));
  EXPECT_EQ(w.ApplyResult, 0);
  ASSERT_EQ(s.desktop.boxes.size(), 1u);
  EXPECT_EQ(s.desktop.boxes[0].text,
            "The security setting of COM6 must be same as this COM.\n"
            "Press YES to apply the setting of this COM to the COM6,\n"
            "or press NO to accept the setting from COM6");
  EXPECT_EQ(s.desktop.boxes[0].flags, 0x34u);
  EXPECT_EQ(KeyBlock(twin), KeyBlock(port));
  // The twin's values were written at once.
  bool twinWritten = false;
  for (const auto& call : s.registry->calls())
    if (call.op == testsupport::RegOp::kSetValue && call.key.find("OLMX6") != std::string::npos && call.name == "SecSig")
      twinWritten = true;
  EXPECT_TRUE(twinWritten);
}

TEST_F(Security, ApplyAnsweredNoTakesTheTwinsSettingsIntoTheForm) {
  TfrmPortMapper7370& w = s.Start();
  TTorl7370PortEntry& port = MakeSecure(s, 5, "10.0.0.5", 0);
  TTorl7370PortEntry& twin = MakeSecure(s, 6, "10.0.0.5", 1);
  twin.secMethod = 0;
  ASSERT_TRUE(s.Select(s.PortNode("Unused Ports", "COM5")));
  ASSERT_TRUE(Click(*w.cbxServerIPAddress));
  s.desktop.answers = {platform::kIdNo};
  ASSERT_TRUE(Type(w, "\r"));
  EXPECT_EQ(s.desktop.boxes.size(), 1u);
  EXPECT_EQ(port.secMethodEdit, 0u);
  EXPECT_EQ(port.secMethod, 0u);
  EXPECT_EQ(w.cbxSecuritySelect->ItemIndex(), 0);
  EXPECT_FALSE(w.btnSecurityPassword->Usable());
}
