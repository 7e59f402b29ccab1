// What the user does with the selected port: the editing events and the commands.
#include <QKeyEvent>
#include <QLineEdit>
#include <cstdio>
#include <cstring>

#include "app/port_mapper_window.h"
#include "app/port_tree_item.h"
#include "platform/address.h"
#include "firmware/download_window.h"
#include "firmware/download_window_v2.h"
#include "porttest/port_test_window.h"
#include "security/password_dialog.h"
#include "store/device_models.h"
#include "store/error_codes.h"
#include "store/mapping_file.h"
#include "store/port_manager.h"
#include "store/port_records.h"

namespace {

// The memo's length as the port's description counts it: a line break is CR LF.
int DescriptionLength(const QString& text) { return text.length() + text.count('\n'); }
constexpr int kMemoLimit = 255;
// The longest path the file commands take, as the platform's file calls do.
constexpr std::size_t kMaxPathChars = 259;

}  // namespace

void TfrmPortMapper7370::ConnectCommands() {
  connect(mniFileImport, &QAction::triggered, this, &TfrmPortMapper7370::mniFileImportClick);
  connect(mniFileExport, &QAction::triggered, this, &TfrmPortMapper7370::mniFileExportClick);
  connect(mniFileExit, &QAction::triggered, this, &TfrmPortMapper7370::mniFileExitClick);
  connect(mniHelpContent, &QAction::triggered, this, &TfrmPortMapper7370::mniHelpContentClick);
  connect(mniHelpAbout, &QAction::triggered, this, &TfrmPortMapper7370::mniHelpAboutClick);
  connect(pbtnExit, &QPushButton::clicked, this, &TfrmPortMapper7370::pbtnExitClick);
  connect(pbtnApply, &QPushButton::clicked, this, &TfrmPortMapper7370::pbtnApplyClick);
  connect(pbtnDelete, &QPushButton::clicked, this, &TfrmPortMapper7370::pbtnDeleteClick);
  connect(pbtnUnusedAddAll, &QPushButton::clicked, this, &TfrmPortMapper7370::pbtnUnusedAddAllClick);
  connect(btnSecurityPassword, &QPushButton::clicked, this, &TfrmPortMapper7370::btnSecurityPasswordClick);
  connect(pbtnTest, &QPushButton::clicked, this, &TfrmPortMapper7370::pbtnTestClick);
  connect(pbtnDownload, &QPushButton::clicked, this, &TfrmPortMapper7370::pbtnDownloadClick);
  // Only the user's own choices count as edits: the activated signals, not the changes
  // the program makes when it shows a port.
  connect(cbxSelectedDevType, &QComboBox::activated, this, &TfrmPortMapper7370::OnCBxSelectedDevTypeChange);
  connect(cbxServerIPAddress, &QComboBox::activated, this, &TfrmPortMapper7370::OnCBxServerIPAddrChange);
  connect(cbxServerIPAddress->lineEdit(), &QLineEdit::textEdited, this,
          &TfrmPortMapper7370::OnCBxServerIPAddrChange);
  connect(cbxServerPort, &QComboBox::activated, this, &TfrmPortMapper7370::OnCBxServerPortChange);
  connect(cbxSecuritySelect, &QComboBox::activated, this, &TfrmPortMapper7370::cbxSecuritySelectChange);
  // The box counts as clicked whenever its state changes, by the user or the program.
  connect(chkbxAutoReconn, &QCheckBox::toggled, this, &TfrmPortMapper7370::chkbxAutoReconnClick);
  connect(memoPort, &QPlainTextEdit::textChanged, this, &TfrmPortMapper7370::LimitMemo);
  // The keyboard's keys reach the combo box, which has the focus for its line edit and
  // hands them on without passing the edit's own filters: the filter sits on the box.
  cbxServerIPAddress->installEventFilter(this);
  memoPort->installEventFilter(this);
}

bool TfrmPortMapper7370::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    // Keys that type nothing (arrows, shifts) are no key presses for the filters, nor
    // are the keys that move the focus on. Both Enter keys type a carriage return.
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    const bool focusKey = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
    if ((enter || !key->text().isEmpty()) && !focusKey) {
      if (watched == cbxServerIPAddress) return OnCBxServerIPAddrKeyPreess(enter ? QString("\r") : key->text());
      if (watched == memoPort) OnMemoPortKeyPress();
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

TTorl7370PortEntry* TfrmPortMapper7370::SelectedPort() {
  TTorl7370Port* record = SelectedRecord();
  return record != nullptr && !record->IsCategory() ? static_cast<TTorl7370PortEntry*>(record) : nullptr;
}

void TfrmPortMapper7370::MarkModified(TTorl7370PortEntry& port) {
  if (port.IsModified()) return;
  port.flags |= kPortModifiedFlag;
  RefreshApplyState(port);
}

bool TfrmPortMapper7370::OnCBxServerIPAddrKeyPreess(const QString& typed) {
  TTorl7370PortEntry* port = SelectedPort();
  if (port == nullptr) return false;
  const ushort c = typed.at(0).unicode();
  if (c > 0x20 && c != '.' && (c < '0' || c > '9')) return true;
  if (c == '\r') {
    pbtnApplyClick();
    return true;
  }
  MarkModified(*port);
  return false;
}

void TfrmPortMapper7370::OnMemoPortKeyPress() {
  if (TTorl7370PortEntry* port = SelectedPort()) MarkModified(*port);
}

void TfrmPortMapper7370::LimitMemo() {
  const QString text = memoPort->toPlainText();
  if (DescriptionLength(text) <= kMemoLimit) {
    lastMemoText_ = text;
    return;
  }
  const int cursor = memoPort->textCursor().position() - (text.length() - lastMemoText_.length());
  const QSignalBlocker blocker(memoPort);
  memoPort->setPlainText(lastMemoText_);
  QTextCursor restored = memoPort->textCursor();
  restored.setPosition(qBound(0, cursor, lastMemoText_.length()));
  memoPort->setTextCursor(restored);
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
  if (port == nullptr || (chkbxAutoReconn->isChecked() ? 1u : 0u) == port->autoReconnEdit) return;
  MarkModified(*port);
}

void TfrmPortMapper7370::OnCBxSelectedDevTypeChange() {
  if (SelectedRecord() == nullptr) return;
  cbxServerPort->clear();
  if (cbxSelectedDevType->currentIndex() < 0) return;
  const std::int32_t m = cbxSelectedDevType->currentIndex() + 1;
  store->selectedModel = m;
  FillDevicePorts(m);
  if (m == kModelTorl7370S || m == kModelTorl7371S) {
    cbxSecuritySelect->setCurrentIndex(0);
    btnSecurityPassword->setEnabled(false);
    pnlSecurityCtrl->show();
    if (TTorl7370PortEntry* port = SelectedPort()) {
      cbxSecuritySelect->setCurrentIndex(static_cast<int>(port->secMethodEdit));
      btnSecurityPassword->setEnabled(cbxSecuritySelect->currentIndex() != 0);
    }
  } else {
    pnlSecurityCtrl->hide();
  }
  cbxServerPort->setCurrentIndex(0);
  OnCBxServerPortChange();
}

void TfrmPortMapper7370::cbxSecuritySelectChange() {
  TTorl7370PortEntry* port = SelectedPort();
  if (port == nullptr) return;
  const int index = cbxSecuritySelect->currentIndex();
  if (port->kind == KIND_UNUSED) {
    btnSecurityPassword->setEnabled(index != 0);
  } else if (IsSecureModelCode(port->modelCode)) {
    port->secMethodEdit = static_cast<std::uint32_t>(index);
    btnSecurityPassword->setEnabled(index != 0);
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
    dialog.exec();
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
        cbxSecuritySelect->setCurrentIndex(static_cast<int>(port.secMethodEdit));
        btnSecurityPassword->setEnabled(port.secMethodEdit == 1);
      }
    }
    port.secMethod = port.secMethodEdit;
  }
  port.ipAddress = platform::InetAddr(port.ipText);
  port.devicePort = port.devicePortEdit;
  port.autoReconn = port.autoReconnEdit;
  port.secMethod = port.secMethodEdit;
  port.secUserKey = port.secUserKeyEdit;
  if (pbtnApply->text() == "Apply") {
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
  const QString address = cbxServerIPAddress->currentText();
  const QString memo = memoPort->toPlainText();
  const bool reconnect = chkbxAutoReconn->isChecked();
  const int security = cbxSecuritySelect->currentIndex();
  const bool secure = model == kModelTorl7370S || model == kModelTorl7371S;
  for (std::int32_t i = 0; i < count; ++i) {
    TTorl7370PortEntry* port = SelectedPort();
    if (port == nullptr || port->kind != KIND_UNUSED) return;
    cbxServerPort->setCurrentIndex(i);
    cbxServerIPAddress->setEditText(address);
    memoPort->setPlainText(memo);
    chkbxAutoReconn->setChecked(reconnect);
    if (secure) cbxSecuritySelect->setCurrentIndex(security);
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
