// What the user does with the selected port: the editing events and the commands.
#include <cstdio>
#include <cstring>

#include "app/port_mapper_window.h"
#include "firmware/download_window.h"
#include "firmware/download_window_v2.h"
#include "platform/address.h"
#include "porttest/port_test_window.h"
#include "security/password_dialog.h"
#include "store/device_models.h"
#include "store/error_codes.h"
#include "store/mapping_file.h"
#include "store/port_manager.h"
#include "store/port_records.h"

namespace {

// The longest path the file commands take, as the platform's file calls do.
constexpr std::size_t kMaxPathChars = 259;

}  // namespace

TTorl7370PortEntry* TfrmPortMapper7370::SelectedPort() {
  TTorl7370Port* record = SelectedRecord();
  return record != nullptr && !record->IsCategory() ? static_cast<TTorl7370PortEntry*>(record) : nullptr;
}

void TfrmPortMapper7370::MarkModified(TTorl7370PortEntry& port) {
  if (port.IsModified()) return;
  port.flags |= kPortModifiedFlag;
  RefreshApplyState(port);
}

void TfrmPortMapper7370::OnCBxServerIPAddrKeyPreess(char& key) {
  TTorl7370PortEntry* port = SelectedPort();
  if (port == nullptr) return;
  const auto c = static_cast<unsigned char>(key);
  if (c > 0x20 && c != '.' && (c < '0' || c > '9')) {
    key = 0;
    return;
  }
  if (c == '\r') {
    key = 0;
    pbtnApplyClick();
    return;
  }
  MarkModified(*port);
}

void TfrmPortMapper7370::OnMemoPortKeyPress(char&) {
  if (TTorl7370PortEntry* port = SelectedPort()) MarkModified(*port);
}

void TfrmPortMapper7370::OnCBxServerIPAddrChange() {
  TTorl7370PortEntry* port = SelectedPort();
  if (port == nullptr) return;
  port->flags |= kPortModifiedFlag;
  RefreshApplyState(*port);
}

void TfrmPortMapper7370::OnCBxServerPortChange() { OnCBxServerIPAddrChange(); }

void TfrmPortMapper7370::chkbxAutoReconnClick() {
  TTorl7370PortEntry* port = SelectedPort();
  if (port == nullptr || (chkbxAutoReconn->Checked() ? 1u : 0u) == port->autoReconnEdit) return;
  MarkModified(*port);
}

void TfrmPortMapper7370::OnCBxSelectedDevTypeChange() {
  if (SelectedRecord() == nullptr) return;
  cbxServerPort->ClearItems();
  if (cbxSelectedDevType->ItemIndex() < 0) return;
  const std::int32_t m = cbxSelectedDevType->ItemIndex() + 1;
  store->selectedModel = m;
  FillDevicePorts(m);
  if (m == kModelTorl7370S || m == kModelTorl7371S) {
    cbxSecuritySelect->SetItemIndex(0);
    btnSecurityPassword->SetEnabled(false);
    pnlSecurityCtrl->Show();
    if (TTorl7370PortEntry* port = SelectedPort()) {
      cbxSecuritySelect->SetItemIndex(static_cast<int>(port->secMethodEdit));
      btnSecurityPassword->SetEnabled(cbxSecuritySelect->ItemIndex() != 0);
    }
  } else {
    pnlSecurityCtrl->Hide();
  }
  cbxServerPort->SetItemIndex(0);
  OnCBxServerPortChange();
}

void TfrmPortMapper7370::cbxSecuritySelectChange() {
  TTorl7370PortEntry* port = SelectedPort();
  if (port == nullptr) return;
  const int index = cbxSecuritySelect->ItemIndex();
  if (port->kind == KIND_UNUSED) {
    btnSecurityPassword->SetEnabled(index != 0);
  } else if (IsSecureModelCode(port->modelCode)) {
    port->secMethodEdit = static_cast<std::uint32_t>(index);
    btnSecurityPassword->SetEnabled(index != 0);
  } else {
    return;
  }
  MarkModified(*port);
}

void TfrmPortMapper7370::pbtnTestClick() {
  if (TTorl7370PortEntry* port = SelectedPort()) RunPortTest(this, port->name, services_.serial, services_.desktop);
}

void TfrmPortMapper7370::pbtnDownloadClick() {
  TTorl7370PortEntry* port = SelectedPort();
  if (port == nullptr) return;
  if (port->modelCode == 0x7308 || port->modelCode == 0x7316)
    RunNetworkFirmwareUpdate(this, port->ipAddress, port->name, port->modelCode, services_.network,
                             services_.desktop);
  else
    RunComFirmwareUpdate(this, port->name, port->modelCode, services_.serial, services_.desktop);
}

void TfrmPortMapper7370::btnSecurityPasswordClick() {
  TTorl7370PortEntry* port = SelectedPort();
  if (port == nullptr) return;
  {
    TfrmPassword dialog(this, *port);
    dialog.ShowModal();
  }
  switch (port->pwdResult) {
    case 0:
      port->secUserKeyEdit = 0;
      ResetToDefaultKey(*port);
      break;
    case 1:
      port->secUserKeyEdit = 1;
      std::strncat(port->pinText, "TORL", sizeof port->pinText - std::strlen(port->pinText) - 1);
      services_.crypto.QmkPIN2TDESKey(port->pinText, port->tdesKey, port->tdesTail);
      break;
    case 2:
      return;
    default:
      break;
  }
  MarkModified(*port);
}

void TfrmPortMapper7370::pbtnApplyClick() {
  ApplyResult = 0;
  TTorl7370Port* record = SelectedRecord();
  if (record == nullptr) {
    ApplyResult = -1;
    return;
  }
  record->CollectEdits();
  if (record->IsCategory()) return;
  auto& port = static_cast<TTorl7370PortEntry&>(*record);
  if (!port.CheckAddress()) {
    port.RevertEdits();
    ApplyResult = -2;
    return;
  }
  if (!port.CheckDuplicate()) {
    port.RevertEdits();
    ApplyResult = -3;
    return;
  }
  if (TTorl7370PortEntry* twin = port.FindDeviceTwin()) {
    // Two ports of one secure device must share one security setting.
    if (twin->secMethod != port.secMethodEdit || (port.secMethodEdit == 1 && !SameKeyBlock(port, *twin))) {
      char question[400];
      std::snprintf(question, sizeof question,
                    "The security setting of %s must be same as this COM.\n"
                    "Press YES to apply the setting of this COM to the %s,\n"
                    "or press NO to accept the setting from %s",
                    twin->name, twin->name, twin->name);
      if (ShowWindowMessage(question, platform::kMbIconWarning | platform::kMbYesNo) == platform::kIdYes) {
        CopySecurityTo(port, *twin);
      } else {
        TakeSecurityFrom(port, *twin);
        cbxSecuritySelect->SetItemIndex(static_cast<int>(port.secMethodEdit));
        btnSecurityPassword->SetEnabled(port.secMethodEdit == 1);
      }
    }
    port.secMethod = port.secMethodEdit;
  }
  port.ipAddress = platform::InetAddr(port.ipText);
  port.devicePort = port.devicePortEdit;
  port.autoReconn = port.autoReconnEdit;
  port.secMethod = port.secMethodEdit;
  port.secUserKey = port.secUserKeyEdit;
  if (pbtnApply->Text() == "Apply") {
    port.UpdatePortData();
  } else if (IsModelKind(store->selectedModel) && store->modelHeaders[store->selectedModel] != nullptr) {
    port.AddToModel(store->modelHeaders[store->selectedModel]);
  }
}

void TfrmPortMapper7370::pbtnDeleteClick() {
  TTorl7370PortEntry* port = SelectedPort();
  if (port == nullptr) return;
  port->CollectEdits();
  port->RemoveMapping();
  port->flags |= kPortModifiedFlag;
  RefreshApplyState(*port);
}

void TfrmPortMapper7370::pbtnUnusedAddAllClick() {
  const std::int32_t model = store->selectedModel;
  const std::int32_t count = DevicePortCount(model);
  if (count == 0) return;
  const std::string address = cbxServerIPAddress->Text();
  const std::string memo = memoPort->Text();
  const bool reconnect = chkbxAutoReconn->Checked();
  const int security = cbxSecuritySelect->ItemIndex();
  const bool secure = model == kModelTorl7370S || model == kModelTorl7371S;
  for (std::int32_t i = 0; i < count; ++i) {
    TTorl7370PortEntry* port = SelectedPort();
    if (port == nullptr || port->kind != KIND_UNUSED) return;
    cbxServerPort->SetItemIndex(i);
    cbxServerIPAddress->SetText(address);
    memoPort->SetText(memo);
    chkbxAutoReconn->SetChecked(reconnect);
    if (secure) cbxSecuritySelect->SetItemIndex(security);
    pbtnApplyClick();
    if (ApplyResult == -1 || ApplyResult == -2) return;
  }
}

void TfrmPortMapper7370::mniFileImportClick() {
  std::string path;
  if (!services_.desktop.OpenFileDialog(dlgopenImportFile, &path)) return;
  MappingFile file;
  if (path.size() > kMaxPathChars || !file.OpenForImport(path)) {
    ShowWindowMessage("Open Import File Fail", platform::kMbIconError | platform::kMbOk);
    return;
  }
  ErrorCode = store->ImportMappings(file);
  if (ErrorCode != PMERR_NONE) ShowErrorMessage();
  file.Close();
}

void TfrmPortMapper7370::mniFileExportClick() {
  std::string path;
  if (!services_.desktop.SaveFileDialog(dlgsaveExportFile, &path)) return;
  MappingFile file;
  if (path.size() > kMaxPathChars || !file.OpenForExport(path)) {
    ShowWindowMessage("Open Export File Fail", platform::kMbIconError | platform::kMbOk);
    return;
  }
  std::uint32_t code = store->ExportMappings(file);
  // A file that could not be written to its end is no export: say so.
  if (!file.Close() && code == PMERR_NONE) code = PMERR_EXPORT_OPEN;
  ErrorCode = code;
  if (ErrorCode != PMERR_NONE) ShowErrorMessage();
}
