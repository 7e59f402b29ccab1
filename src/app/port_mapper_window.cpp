#include "app/port_mapper_window.h"

#include <memory>
#include <new>

#include "app/about_window.h"
#include "app/port_tree_item.h"
#include "detect/detect_port_window.h"
#include "platform/address.h"
#include "store/device_models.h"
#include "store/error_codes.h"
#include "store/os_check.h"
#include "store/port_manager.h"
#include "store/port_records.h"
#include "store/tree_order.h"

TfrmPortMapper7370* frmPortMapper7370 = nullptr;

const platform::FileDialogSpec TfrmPortMapper7370::dlgopenImportFile = {
    "Import", "cpm", "COMPort mapping file (*.cpm)|*.cpm", true, false, ""};
const platform::FileDialogSpec TfrmPortMapper7370::dlgsaveExportFile = {
    "Export", "cpm", "COMPort mapping file (*.cpm)|*.cpm", false, true, ""};

namespace {

// The address box takes one character more than the longest dotted address.
constexpr int kAddressLength = 16;
// What a port's description holds.
constexpr int kMemoLength = 255;

}  // namespace

std::vector<ui::ControlRow<TfrmPortMapper7370>> TfrmPortMapper7370::Rows() {
  using ui::ControlKind;
  using ui::Dock;
  using W = TfrmPortMapper7370;
  return {
      {{"pnlFormRoot", ControlKind::kPanel, nullptr, Dock::kFill, {}, ""}},
      {{"pnlPortListArea", ControlKind::kPanel, "pnlFormRoot", Dock::kLeft, {0, 0, 225, 0}, ""}},
      {{"grpbxPortSelet", ControlKind::kGroupBox, "pnlPortListArea", Dock::kFill, {}, "Ports on My Computer"}},
      {{"pnlPortListViewCtrl", ControlKind::kPanel, "grpbxPortSelet", Dock::kFill, {}, ""}},
      {{"pnlPortListMsg", ControlKind::kPanel, "pnlPortListViewCtrl", Dock::kTop, {0, 0, 0, 22}, "",
        ui::kBevelInnerLowered}},
      {{"tvwPortMapper", ControlKind::kTree, "pnlPortListViewCtrl", Dock::kFill, {}, ""}},
      {{"pnlPortInfoArea", ControlKind::kPanel, "pnlFormRoot", Dock::kLeft, {0, 0, 210, 0}, ""}},
      {{"pnlPortInfoListCtrl", ControlKind::kPanel, "pnlPortInfoArea", Dock::kTop, {0, 0, 0, 172}, ""}},
      {{"grpbxAddedDevType", ControlKind::kGroupBox, "pnlPortInfoListCtrl", Dock::kTop, {0, 0, 0, 45},
        "Model of Installed Device"}},
      {{"cbxSelectedDevType", ControlKind::kDropDownList, "grpbxAddedDevType", Dock::kNone, {12, 16, 185, 24}, ""},
       &W::OnCBxSelectedDevTypeChange},
      {{"grpbxServerIPAddress", ControlKind::kGroupBox, "pnlPortInfoListCtrl", Dock::kTop, {0, 0, 0, 45},
        "IP Address of Installed Device"}},
      {{"cbxServerIPAddress", ControlKind::kComboBox, "grpbxServerIPAddress", Dock::kNone, {12, 16, 186, 24}, "", 0,
        kAddressLength},
       &W::OnCBxServerIPAddrChange, &W::OnCBxServerIPAddrKeyPreess},
      {{"grpbxServerPort", ControlKind::kGroupBox, "pnlPortInfoListCtrl", Dock::kTop, {0, 0, 0, 45},
        "Port of Installed Device"}},
      {{"cbxServerPort", ControlKind::kDropDownList, "grpbxServerPort", Dock::kNone, {12, 16, 186, 24}, ""},
       &W::OnCBxServerPortChange},
      {{"grpbxProperties", ControlKind::kGroupBox, "pnlPortInfoListCtrl", Dock::kFill, {}, "Properties"}},
      {{"chkbxAutoReconn", ControlKind::kCheckBox, "grpbxProperties", Dock::kNone, {12, 16, 185, 17},
        "Auto Reconnect "},
       &W::chkbxAutoReconnClick},
      {{"pnlSecurityCtrl", ControlKind::kPanel, "pnlPortInfoArea", Dock::kTop, {0, 0, 0, 52}, "", ui::kHidden}},
      {{"gbxSecurity", ControlKind::kGroupBox, "pnlSecurityCtrl", Dock::kFill, {}, "Security"}},
      {{"cbxSecuritySelect", ControlKind::kDropDownList, "gbxSecurity", Dock::kNone, {12, 20, 93, 24}, ""},
       &W::cbxSecuritySelectChange},
      {{"btnSecurityPassword", ControlKind::kButton, "gbxSecurity", Dock::kNone, {120, 20, 75, 25}, "Password"},
       &W::btnSecurityPasswordClick},
      {{"pnlPortInfoMemoCtrl", ControlKind::kPanel, "pnlPortInfoArea", Dock::kFill, {}, ""}},
      {{"grpbxPortMemo", ControlKind::kGroupBox, "pnlPortInfoMemoCtrl", Dock::kFill, {}, "Memo"}},
      {{"memoPort", ControlKind::kMemo, "grpbxPortMemo", Dock::kFill, {}, "", 0, kMemoLength}, nullptr,
       &W::OnMemoPortKeyPress},
      {{"pnlButtonArea", ControlKind::kPanel, "pnlFormRoot", Dock::kFill, {}, ""}},
      // Not docked: it lies over the top of the column.
      {{"pnlUnusedPortsCtrl", ControlKind::kPanel, "pnlButtonArea", Dock::kNone, {0, 8, 105, 128}, "",
        ui::kBevelOuterLowered | ui::kHidden}},
      {{"pbtnUnusedAddAll", ControlKind::kButton, "pnlUnusedPortsCtrl", Dock::kNone, {15, 8, 80, 25}, "Add All"},
       &W::pbtnUnusedAddAllClick},
      {{"pnlBtnExit", ControlKind::kPanel, "pnlButtonArea", Dock::kBottom, {0, 0, 0, 41}, ""}},
      {{"pbtnExit", ControlKind::kButton, "pnlBtnExit", Dock::kNone, {15, 8, 80, 25}, "&Exit"}, &W::pbtnExitClick},
      {{"pnlBtnAddOrApply", ControlKind::kPanel, "pnlButtonArea", Dock::kBottom, {0, 0, 0, 41}, ""}},
      {{"pbtnApply", ControlKind::kButton, "pnlBtnAddOrApply", Dock::kNone, {15, 8, 80, 25}, "&Apply"},
       &W::pbtnApplyClick},
      {{"pnlBtnDevPort", ControlKind::kPanel, "pnlButtonArea", Dock::kBottom, {0, 0, 0, 149}, ""}},
      {{"pnlBtnDevDelete", ControlKind::kPanel, "pnlBtnDevPort", Dock::kBottom, {0, 0, 0, 41}, ""}},
      {{"pbtnDelete", ControlKind::kButton, "pnlBtnDevDelete", Dock::kNone, {15, 8, 80, 25}, "&Delete"},
       &W::pbtnDeleteClick},
      {{"pnlBtnDevTestUpdate", ControlKind::kPanel, "pnlBtnDevPort", Dock::kBottom, {0, 0, 0, 82}, ""}},
      {{"pbtnDownload", ControlKind::kButton, "pnlBtnDevTestUpdate", Dock::kNone, {15, 8, 80, 25}, "&Update FW"},
       &W::pbtnDownloadClick},
      {{"pbtnTest", ControlKind::kButton, "pnlBtnDevTestUpdate", Dock::kNone, {15, 49, 80, 25}, "&Test"},
       &W::pbtnTestClick},
      {{"sbrPortMapper", ControlKind::kStatusBar, "pnlFormRoot", Dock::kBottom, {0, 0, 0, 19}, ""}},
  };
}

std::vector<ui::MenuRow<TfrmPortMapper7370>> TfrmPortMapper7370::Menu() {
  using W = TfrmPortMapper7370;
  return {
      {{"mniFile", nullptr, "&File"}},
      {{"mniFileImport", "mniFile", "&Import"}, &W::mniFileImportClick},
      {{"mniFileExport", "mniFile", "&Export"}, &W::mniFileExportClick},
      {{"mniFileBar1", "mniFile", nullptr}},
      {{"mniFileExit", "mniFile", "&Exit"}, &W::mniFileExitClick},
      {{"mniHelp", nullptr, "&Help"}},
      {{"mniHelpContent", "mniHelp", "&COMPort Mapping Utility Help", ui::kKeyF1}, &W::mniHelpContentClick},
      {{"mniHelpBar1", "mniHelp", nullptr}},
      {{"mniHelpAbout", "mniHelp", "&About..."}, &W::mniHelpAboutClick},
  };
}

TfrmPortMapper7370::TfrmPortMapper7370(platform::Services& services)
    : ui::Window({"frmPortMapper7370", kMainWindowCaption, 540, 394, ui::BorderStyle::kSingle,
                  ui::kSystemMenu | ui::kMinimize, ui::Position::kDesktopCenter},
                 Specs(Rows()), Specs(Menu()), nullptr),
      pnlFormRoot(Get<ui::Panel>("pnlFormRoot")),
      pnlPortListArea(Get<ui::Panel>("pnlPortListArea")),
      grpbxPortSelet(Get<ui::GroupBox>("grpbxPortSelet")),
      pnlPortListViewCtrl(Get<ui::Panel>("pnlPortListViewCtrl")),
      pnlPortListMsg(Get<ui::Panel>("pnlPortListMsg")),
      tvwPortMapper(Get<ui::Tree>("tvwPortMapper")),
      pnlPortInfoArea(Get<ui::Panel>("pnlPortInfoArea")),
      pnlPortInfoListCtrl(Get<ui::Panel>("pnlPortInfoListCtrl")),
      grpbxAddedDevType(Get<ui::GroupBox>("grpbxAddedDevType")),
      cbxSelectedDevType(Get<ui::ComboBox>("cbxSelectedDevType")),
      grpbxServerIPAddress(Get<ui::GroupBox>("grpbxServerIPAddress")),
      cbxServerIPAddress(Get<ui::ComboBox>("cbxServerIPAddress")),
      grpbxServerPort(Get<ui::GroupBox>("grpbxServerPort")),
      cbxServerPort(Get<ui::ComboBox>("cbxServerPort")),
      grpbxProperties(Get<ui::GroupBox>("grpbxProperties")),
      chkbxAutoReconn(Get<ui::CheckBox>("chkbxAutoReconn")),
      pnlSecurityCtrl(Get<ui::Panel>("pnlSecurityCtrl")),
      gbxSecurity(Get<ui::GroupBox>("gbxSecurity")),
      cbxSecuritySelect(Get<ui::ComboBox>("cbxSecuritySelect")),
      btnSecurityPassword(Get<ui::Button>("btnSecurityPassword")),
      pnlPortInfoMemoCtrl(Get<ui::Panel>("pnlPortInfoMemoCtrl")),
      grpbxPortMemo(Get<ui::GroupBox>("grpbxPortMemo")),
      memoPort(Get<ui::Memo>("memoPort")),
      pnlButtonArea(Get<ui::Panel>("pnlButtonArea")),
      pnlUnusedPortsCtrl(Get<ui::Panel>("pnlUnusedPortsCtrl")),
      pbtnUnusedAddAll(Get<ui::Button>("pbtnUnusedAddAll")),
      pnlBtnExit(Get<ui::Panel>("pnlBtnExit")),
      pbtnExit(Get<ui::Button>("pbtnExit")),
      pnlBtnAddOrApply(Get<ui::Panel>("pnlBtnAddOrApply")),
      pbtnApply(Get<ui::Button>("pbtnApply")),
      pnlBtnDevPort(Get<ui::Panel>("pnlBtnDevPort")),
      pnlBtnDevDelete(Get<ui::Panel>("pnlBtnDevDelete")),
      pbtnDelete(Get<ui::Button>("pbtnDelete")),
      pnlBtnDevTestUpdate(Get<ui::Panel>("pnlBtnDevTestUpdate")),
      pbtnDownload(Get<ui::Button>("pbtnDownload")),
      pbtnTest(Get<ui::Button>("pbtnTest")),
      sbrPortMapper(Get<ui::StatusBar>("sbrPortMapper")),
      services_(services) {
  frmPortMapper7370 = this;
  Bind(*this, Rows(), Menu());
  tvwPortMapper->OnChanging = [this](ui::TreeItem* node) { OnTVWChanging(node); };
  tvwPortMapper->OnChanged = [this](ui::TreeItem* node) { OnTVWChange(node); };
  // The close box ends the program without the exit question.
  OnCloseQuery = [this] {
    Terminate();
    return true;
  };
  for (std::int32_t index = kFirstModelIndex; index <= kLastOfferedModelIndex; ++index)
    cbxSelectedDevType->AddItem(ModelByIndex(index)->name);
  cbxServerPort->AddItem("Port 1");
  cbxSecuritySelect->AddItem("NONE");
  cbxSecuritySelect->AddItem("TDES");
}

TfrmPortMapper7370::~TfrmPortMapper7370() {
  OnFormDestroy();
  if (frmPortMapper7370 == this) frmPortMapper7370 = nullptr;
}

void TfrmPortMapper7370::OnFormCreate() {
  ErrorCode = CheckOperatingSystem(services_.system);
  if (ErrorCode == PMERR_NONE) {
    store.reset(new (std::nothrow) TTorl7370PortManager(this, services_.registry));
    if (!store) {
      ErrorCode = PMERR_NO_MEMORY;
    } else if (store->OpenRegistry() && store->LoadPorts()) {
      services_.crypto.QmkCryptoInitialize();
      return;
    }
  }
  ShowErrorMessage();
  Terminate();
}

void TfrmPortMapper7370::Terminate() {
  terminated_ = true;
  ui::CurrentBackend().Quit();
}

void TfrmPortMapper7370::OnFormDestroy() {
  if (RebootRequired == 1 &&
      ShowMessageBox("Do you want to reboot the system ?", kMainWindowCaption,
                     platform::kMbIconWarning | platform::kMbYesNo) == platform::kIdYes)
    services_.system.ExitWindowsEx(platform::kEwxReboot | platform::kEwxForce, 0);
  store.reset();
}

void TfrmPortMapper7370::pbtnExitClick() {
  SetWindowEnabled(false);
  if (RebootRequired == 0 &&
      ShowMessageBox("Are you sure to exit ?", kMainWindowCaption,
                     platform::kMbIconQuestion | platform::kMbYesNo) == platform::kIdNo) {
    SetWindowEnabled(true);
    return;
  }
  services_.crypto.QmkCryptoTerminate();
  Terminate();
}

void TfrmPortMapper7370::mniFileExitClick() { pbtnExitClick(); }

void TfrmPortMapper7370::mniHelpContentClick() {
  services_.desktop.ShowHelp("qtlhelp.hlp", platform::kHelpForceFile, 0);
}

void TfrmPortMapper7370::mniHelpAboutClick() {
  TfrmAbout about(this);
  about.ShowModal();
}

void TfrmPortMapper7370::SetWindowEnabled(bool enabled) { SetEnabled(enabled); }

int TfrmPortMapper7370::ShowMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) {
  return services_.desktop.ShowMessageBox(text, caption, flags);
}

// The tree

namespace {

TreeNode* AddNode(ui::Tree& tree, PortTreeItem* parent, const std::string& text, TTorl7370Port* record) {
  std::unique_ptr<PortTreeItem> item(new (std::nothrow) PortTreeItem(record));
  if (!item) return nullptr;
  return static_cast<PortTreeItem*>(tree.Add(parent, std::move(item), text));
}

PortTreeItem* ItemOf(TreeNode* node) { return dynamic_cast<PortTreeItem*>(node); }

}  // namespace

TreeNode* TfrmPortMapper7370::AddRootNode(const std::string& text, TTorl7370Port* record) {
  return AddNode(*tvwPortMapper, nullptr, text, record);
}

TreeNode* TfrmPortMapper7370::AddChildNode(TreeNode* parent, const std::string& text, TTorl7370Port* record) {
  PortTreeItem* parentItem = ItemOf(parent);
  return parentItem != nullptr ? AddNode(*tvwPortMapper, parentItem, text, record) : nullptr;
}

void TfrmPortMapper7370::DeleteNode(TreeNode* node) {
  PortTreeItem* item = ItemOf(node);
  if (item == nullptr) return;
  // The tree moves a selection that goes with the node on, before the node goes: to the
  // next node, else the previous one, else the parent.
  if (item == tvwPortMapper->Selected()) {
    ui::TreeItem* next = tvwPortMapper->Sibling(*item, +1);
    if (next == nullptr) next = tvwPortMapper->Sibling(*item, -1);
    if (next == nullptr) next = item->Parent();
    tvwPortMapper->Select(next);
  }
  tvwPortMapper->Remove(item);
}

TreeNode* TfrmPortMapper7370::NextSibling(TreeNode* node) {
  PortTreeItem* item = ItemOf(node);
  return item != nullptr ? dynamic_cast<PortTreeItem*>(tvwPortMapper->Sibling(*item, +1)) : nullptr;
}

TreeNode* TfrmPortMapper7370::PreviousSibling(TreeNode* node) {
  PortTreeItem* item = ItemOf(node);
  return item != nullptr ? dynamic_cast<PortTreeItem*>(tvwPortMapper->Sibling(*item, -1)) : nullptr;
}

void TfrmPortMapper7370::SelectNode(TreeNode* node) { tvwPortMapper->Select(ItemOf(node)); }

TTorl7370Port* TfrmPortMapper7370::SelectedRecord() {
  auto* item = dynamic_cast<PortTreeItem*>(tvwPortMapper->Selected());
  return item != nullptr ? item->Record() : nullptr;
}

void TfrmPortMapper7370::FocusTree() { tvwPortMapper->SetFocus(); }

void TfrmPortMapper7370::SortTree() {
  tvwPortMapper->Sort(
      [](const ui::TreeItem& a, const ui::TreeItem& b) { return CompareNodeTexts(a.Text(), b.Text()) < 0; });
}

void TfrmPortMapper7370::Repaint() { ui::Window::Repaint(); }

void TfrmPortMapper7370::OnTVWChanging(ui::TreeItem* node) {
  auto* item = dynamic_cast<PortTreeItem*>(node);
  if (item != nullptr && item->Record() != nullptr) item->Record()->CollectEdits();
}

void TfrmPortMapper7370::OnTVWChange(ui::TreeItem* node) {
  auto* item = dynamic_cast<PortTreeItem*>(node);
  if (item != nullptr && item->Record() != nullptr) item->Record()->Show();
}

// The information area

void TfrmPortMapper7370::ShowNodeName(TTorl7370Port& record) { pnlPortListMsg->SetText(record.name); }

void TfrmPortMapper7370::ShowCategory(TTorl7370PortHeader& category) {
  pnlSecurityCtrl->Hide();
  pnlUnusedPortsCtrl->Hide();
  ShowNodeName(category);
  pnlPortInfoListCtrl->Hide();
  pnlBtnAddOrApply->Hide();
  pnlBtnDevPort->Hide();
  std::string text = category.description;
  PortTreeItem* item = ItemOf(category.node);
  const DeviceModel* model = ModelByIndex(KindOfCategoryId(category.kind));
  // The two system categories have no hint of their own: their explanation serves.
  if (item != nullptr && item->Children().empty() && model != nullptr)
    text = std::string("To map ") + model->name + " " +
           "port, perform the following steps:\r\n"
           "1. Select COM in UNUSED ports\r\n"
           "2. Fill items in the dialog box\r\n"
           "3. Click ADD button\r\n";
  memoPort->SetText(text);
  memoPort->SetReadOnly(true);
}

void TfrmPortMapper7370::ShowPort(TTorl7370PortEntry& port) {
  ShowNodeName(port);
  std::int32_t m = 0;
  if (port.kind == KIND_USED) {
    pnlPortInfoListCtrl->Hide();
    pnlBtnAddOrApply->Hide();
    pnlBtnDevPort->Hide();
    memoPort->SetText(port.description);
    pnlSecurityCtrl->Hide();
    pnlUnusedPortsCtrl->Hide();
    return;
  }
  if (port.kind == KIND_UNUSED) {
    pnlPortInfoListCtrl->Show();
    pbtnApply->SetText("Add");
    pnlBtnAddOrApply->Show();
    pnlBtnDevPort->Hide();
    cbxSelectedDevType->SetEnabled(true);
    m = store->selectedModel;
    pnlUnusedPortsCtrl->Show();
  } else {
    pnlPortInfoListCtrl->Show();
    pbtnApply->SetText("Apply");
    pnlBtnAddOrApply->Show();
    pnlBtnDevPort->Show();
    pnlBtnDevTestUpdate->SetVisible(MappedAtStart[port.comNumber] != 0);
    cbxSelectedDevType->SetEnabled(false);
    m = port.kind;
    pnlUnusedPortsCtrl->Hide();
  }
  cbxSelectedDevType->SetItemIndex(m - 1);
  memoPort->SetText(port.description);
  memoPort->SetReadOnly(false);
  cbxServerIPAddress->SetText(port.ipText);
  ShowDevicePorts(m, port);
  chkbxAutoReconn->SetChecked(port.autoReconnEdit != 0);
  if (m == kModelTorl7370S || m == kModelTorl7371S) {
    pnlSecurityCtrl->Show();
    cbxSecuritySelect->SetItemIndex(static_cast<int>(port.secMethodEdit));
    btnSecurityPassword->SetEnabled(cbxSecuritySelect->ItemIndex() != 0);
  } else {
    pnlSecurityCtrl->Hide();
  }
  RefreshApplyState(port);
}

void TfrmPortMapper7370::FillDevicePorts(std::int32_t modelIndex) {
  cbxServerPort->ClearItems();
  for (std::int32_t i = 1; i <= DevicePortCount(modelIndex); ++i) cbxServerPort->AddItem("Port " + std::to_string(i));
}

void TfrmPortMapper7370::ShowDevicePorts(std::int32_t modelIndex, TTorl7370PortEntry& port) {
  FillDevicePorts(modelIndex);
  // A device port the model lacks (kept from another model's mapping) would leave the list
  // without a choice and be stored as "Port" 0: it becomes "Port 1", as a model change does.
  const int count = cbxServerPort->ItemCount();
  if (count > 0 && (port.devicePortEdit < 0 || port.devicePortEdit >= count)) port.devicePortEdit = 0;
  cbxServerPort->SetItemIndex(port.devicePortEdit);
}

void TfrmPortMapper7370::RefreshApplyState(TTorl7370PortEntry& port) {
  if (!port.IsModified()) {
    pbtnApply->SetEnabled(false);
    pbtnUnusedAddAll->SetEnabled(false);
    return;
  }
  const std::uint32_t address = platform::InetAddr(cbxServerIPAddress->Text().c_str());
  if (address == 0 || address == platform::kInaddrNone) return;
  pbtnApply->SetEnabled(true);
  pbtnUnusedAddAll->SetEnabled(cbxServerPort->ItemIndex() == 0);
}

void TfrmPortMapper7370::CollectEdits(TTorl7370PortEntry& port) {
  CopyText(port.ipText, cbxServerIPAddress->Text().c_str());
  port.devicePortEdit = cbxServerPort->ItemIndex();
  CopyText(port.description, memoPort->Text().c_str());
  port.autoReconnEdit = chkbxAutoReconn->Checked() ? 1 : 0;
  if (IsSecureModelCode(port.modelCode))
    port.secMethodEdit = static_cast<std::uint32_t>(cbxSecuritySelect->ItemIndex());
}

void TfrmPortMapper7370::ShowMappingOf(TTorl7370PortEntry& port) {
  cbxSelectedDevType->SetItemIndex(port.kind - 1);
  memoPort->SetText(port.description);
  memoPort->SetReadOnly(false);
  cbxServerIPAddress->SetText(port.ipText);
  ShowDevicePorts(port.kind, port);
  const bool secure = port.kind == kModelTorl7370S || port.kind == kModelTorl7371S;
  pnlSecurityCtrl->SetVisible(secure);
  if (secure) {
    cbxSecuritySelect->SetItemIndex(static_cast<int>(port.secMethodEdit));
    btnSecurityPassword->SetEnabled(true);
  }
  chkbxAutoReconn->SetChecked(port.autoReconn != 0);
}

// The address box

bool TfrmPortMapper7370::HasKnownAddress(const std::string& address) const {
  return cbxServerIPAddress->IndexOf(address) >= 0;
}

void TfrmPortMapper7370::AddKnownAddress(const std::string& address) {
  const std::vector<std::string>& items = cbxServerIPAddress->Items();
  int row = 0;
  while (row < cbxServerIPAddress->ItemCount() && items[row] < address) ++row;
  // The typed text stays as it is.
  cbxServerIPAddress->InsertItem(row, address);
}

void TfrmPortMapper7370::SetAddressText(const std::string& text) { cbxServerIPAddress->SetText(text); }

void TfrmPortMapper7370::SetDevicePortIndex(std::int32_t index) { cbxServerPort->SetItemIndex(index); }

void TfrmPortMapper7370::SetAutoReconnChecked(bool checked) { chkbxAutoReconn->SetChecked(checked); }

void TfrmPortMapper7370::RunPortDetection(TTorl7370PortManager& manager) {
  ::RunPortDetection(manager, services_.serial);
}
