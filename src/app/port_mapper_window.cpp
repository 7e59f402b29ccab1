#include "app/port_mapper_window.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>
#include <new>

#include "app/about_window.h"
#include "app/port_tree_item.h"
#include "platform/window_style.h"
#include "detect/detect_port_window.h"
#include "platform/address.h"
#include "store/device_models.h"
#include "store/error_codes.h"
#include "store/os_check.h"
#include "store/port_manager.h"
#include "store/port_records.h"

TfrmPortMapper7370* frmPortMapper7370 = nullptr;

const platform::FileDialogSpec TfrmPortMapper7370::dlgopenImportFile = {
    "Import", "cpm", "COMPort mapping file (*.cpm)|*.cpm", true, false, ""};
const platform::FileDialogSpec TfrmPortMapper7370::dlgsaveExportFile = {
    "Export", "cpm", "COMPort mapping file (*.cpm)|*.cpm", false, true, ""};

namespace {

constexpr int kClientWidth = 540;
constexpr int kClientHeight = 394;

QString MemoText(const char* text) { return QString::fromLatin1(text).replace("\r\n", "\n"); }

}  // namespace

TfrmPortMapper7370::TfrmPortMapper7370(platform::Services& services)
    : QMainWindow(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                               Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      services_(services) {
  frmPortMapper7370 = this;
  setObjectName("frmPortMapper7370");
  setWindowTitle(kMainWindowCaption);
  setFont(WindowFont());
  BuildMenu();
  BuildLayout();
  ConnectCommands();
  // Fixed border: the client area keeps its size, the menu bar comes on top of it.
  setFixedSize(kClientWidth, kClientHeight + mnbrPortMapper->sizeHint().height());
  CenterOn(this, nullptr);
}

TfrmPortMapper7370::~TfrmPortMapper7370() {
  OnFormDestroy();
  if (frmPortMapper7370 == this) frmPortMapper7370 = nullptr;
}

void TfrmPortMapper7370::BuildMenu() {
  mnbrPortMapper = new QMenuBar(this);
  mnbrPortMapper->setObjectName("mnbrPortMapper");
  setMenuBar(mnbrPortMapper);
  QMenu* mniFile = mnbrPortMapper->addMenu("&File");
  mniFile->setObjectName("mniFile");
  mniFileImport = mniFile->addAction("&Import");
  mniFileExport = mniFile->addAction("&Export");
  mniFile->addSeparator()->setObjectName("mniFileBar1");
  mniFileExit = mniFile->addAction("&Exit");
  QMenu* mniHelp = mnbrPortMapper->addMenu("&Help");
  mniHelp->setObjectName("mniHelp");
  mniHelpContent = mniHelp->addAction("&COMPort Mapping Utility Help");
  mniHelpContent->setShortcut(Qt::Key_F1);
  mniHelp->addSeparator()->setObjectName("mniHelpBar1");
  mniHelpAbout = mniHelp->addAction("&About...");
  mniFileImport->setObjectName("mniFileImport");
  mniFileExport->setObjectName("mniFileExport");
  mniFileExit->setObjectName("mniFileExit");
  mniHelpContent->setObjectName("mniHelpContent");
  mniHelpAbout->setObjectName("mniHelpAbout");
}

void TfrmPortMapper7370::BuildLayout() {
  pnlFormRoot = NewPanel(this, "pnlFormRoot");
  pnlFormRoot->setFixedSize(kClientWidth, kClientHeight);
  setCentralWidget(pnlFormRoot);
  auto* rootLayout = NewVBox(pnlFormRoot);
  auto* columns = new QHBoxLayout;
  columns->setContentsMargins(0, 0, 0, 0);
  columns->setSpacing(0);
  rootLayout->addLayout(columns, 1);

  pnlPortListArea = NewPanel(pnlFormRoot, "pnlPortListArea");
  pnlPortListArea->setFixedWidth(225);
  columns->addWidget(pnlPortListArea);
  grpbxPortSelet = NewGroupBox(pnlPortListArea, "grpbxPortSelet", "Ports on My Computer");
  NewVBox(pnlPortListArea)->addWidget(grpbxPortSelet);
  pnlPortListViewCtrl = NewPanel(grpbxPortSelet, "pnlPortListViewCtrl");
  FillGroupBox(grpbxPortSelet, pnlPortListViewCtrl);
  auto* listLayout = NewVBox(pnlPortListViewCtrl);
  pnlPortListMsg = new QLabel(pnlPortListViewCtrl);
  pnlPortListMsg->setObjectName("pnlPortListMsg");
  pnlPortListMsg->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  pnlPortListMsg->setAlignment(Qt::AlignCenter);
  pnlPortListMsg->setFixedHeight(22);
  listLayout->addWidget(pnlPortListMsg);
  tvwPortMapper = new QTreeWidget(pnlPortListViewCtrl);
  tvwPortMapper->setObjectName("tvwPortMapper");
  tvwPortMapper->setHeaderHidden(true);
  tvwPortMapper->setColumnCount(1);
  tvwPortMapper->setIndentation(19);
  tvwPortMapper->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tvwPortMapper->setSortingEnabled(false);
  listLayout->addWidget(tvwPortMapper, 1);
  connect(tvwPortMapper, &QTreeWidget::currentItemChanged, this, &TfrmPortMapper7370::OnTVWCurrentItemChanged);

  BuildInfoArea();
  columns->addWidget(pnlPortInfoArea);
  BuildButtonArea();
  columns->addWidget(pnlButtonArea, 1);

  sbrPortMapper = new QStatusBar(pnlFormRoot);
  sbrPortMapper->setObjectName("sbrPortMapper");
  sbrPortMapper->setFixedHeight(19);
  sbrPortMapper->setSizeGripEnabled(false);
  rootLayout->addWidget(sbrPortMapper);
}

void TfrmPortMapper7370::BuildInfoArea() {
  pnlPortInfoArea = NewPanel(pnlFormRoot, "pnlPortInfoArea");
  pnlPortInfoArea->setFixedWidth(210);
  auto* infoLayout = NewVBox(pnlPortInfoArea);

  pnlPortInfoListCtrl = NewPanel(pnlPortInfoArea, "pnlPortInfoListCtrl");
  pnlPortInfoListCtrl->setFixedHeight(172);
  infoLayout->addWidget(pnlPortInfoListCtrl);
  auto* listLayout = NewVBox(pnlPortInfoListCtrl);
  grpbxAddedDevType = NewGroupBox(pnlPortInfoListCtrl, "grpbxAddedDevType", "Model of Installed Device");
  grpbxAddedDevType->setFixedHeight(45);
  cbxSelectedDevType = new QComboBox(grpbxAddedDevType);
  cbxSelectedDevType->setObjectName("cbxSelectedDevType");
  cbxSelectedDevType->setGeometry(12, 16, 185, 24);
  for (std::int32_t index = kFirstModelIndex; index <= kLastOfferedModelIndex; ++index)
    cbxSelectedDevType->addItem(ModelByIndex(index)->name);
  grpbxServerIPAddress =
      NewGroupBox(pnlPortInfoListCtrl, "grpbxServerIPAddress", "IP Address of Installed Device");
  grpbxServerIPAddress->setFixedHeight(45);
  cbxServerIPAddress = new QComboBox(grpbxServerIPAddress);
  cbxServerIPAddress->setObjectName("cbxServerIPAddress");
  cbxServerIPAddress->setEditable(true);
  cbxServerIPAddress->setInsertPolicy(QComboBox::NoInsert);
  cbxServerIPAddress->lineEdit()->setMaxLength(16);
  cbxServerIPAddress->setGeometry(12, 16, 186, 24);
  grpbxServerPort = NewGroupBox(pnlPortInfoListCtrl, "grpbxServerPort", "Port of Installed Device");
  grpbxServerPort->setFixedHeight(45);
  cbxServerPort = new QComboBox(grpbxServerPort);
  cbxServerPort->setObjectName("cbxServerPort");
  cbxServerPort->setGeometry(12, 16, 186, 24);
  cbxServerPort->addItem("Port 1");
  grpbxProperties = NewGroupBox(pnlPortInfoListCtrl, "grpbxProperties", "Properties");
  chkbxAutoReconn = new QCheckBox("Auto Reconnect ", grpbxProperties);
  chkbxAutoReconn->setObjectName("chkbxAutoReconn");
  chkbxAutoReconn->setGeometry(12, 16, 185, 17);
  listLayout->addWidget(grpbxAddedDevType);
  listLayout->addWidget(grpbxServerIPAddress);
  listLayout->addWidget(grpbxServerPort);
  listLayout->addWidget(grpbxProperties, 1);

  pnlSecurityCtrl = NewPanel(pnlPortInfoArea, "pnlSecurityCtrl");
  pnlSecurityCtrl->setFixedHeight(52);
  pnlSecurityCtrl->hide();
  infoLayout->addWidget(pnlSecurityCtrl);
  gbxSecurity = NewGroupBox(pnlSecurityCtrl, "gbxSecurity", "Security");
  NewVBox(pnlSecurityCtrl)->addWidget(gbxSecurity);
  cbxSecuritySelect = new QComboBox(gbxSecurity);
  cbxSecuritySelect->setObjectName("cbxSecuritySelect");
  cbxSecuritySelect->addItems({"NONE", "TDES"});
  cbxSecuritySelect->setGeometry(12, 20, 93, 24);
  btnSecurityPassword = new QPushButton("Password", gbxSecurity);
  btnSecurityPassword->setObjectName("btnSecurityPassword");
  btnSecurityPassword->setGeometry(120, 20, 75, 25);

  pnlPortInfoMemoCtrl = NewPanel(pnlPortInfoArea, "pnlPortInfoMemoCtrl");
  infoLayout->addWidget(pnlPortInfoMemoCtrl, 1);
  grpbxPortMemo = NewGroupBox(pnlPortInfoMemoCtrl, "grpbxPortMemo", "Memo");
  NewVBox(pnlPortInfoMemoCtrl)->addWidget(grpbxPortMemo);
  memoPort = new QPlainTextEdit(grpbxPortMemo);
  memoPort->setObjectName("memoPort");
  FillGroupBox(grpbxPortMemo, memoPort);
}

void TfrmPortMapper7370::BuildButtonArea() {
  pnlButtonArea = NewPanel(pnlFormRoot, "pnlButtonArea");
  auto* buttonLayout = NewVBox(pnlButtonArea);
  buttonLayout->addStretch(1);

  // Not docked: it lies over the top of the column.
  pnlUnusedPortsCtrl = new QFrame(pnlButtonArea);
  pnlUnusedPortsCtrl->setObjectName("pnlUnusedPortsCtrl");
  pnlUnusedPortsCtrl->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  pnlUnusedPortsCtrl->setGeometry(0, 8, 105, 128);
  pnlUnusedPortsCtrl->hide();
  pbtnUnusedAddAll = NewButton(pnlUnusedPortsCtrl, "pbtnUnusedAddAll", "Add All", 15, 8);

  pnlBtnDevPort = NewPanel(pnlButtonArea, "pnlBtnDevPort");
  pnlBtnDevPort->setFixedHeight(149);
  auto* devLayout = NewVBox(pnlBtnDevPort);
  devLayout->addStretch(1);
  pnlBtnDevTestUpdate = NewPanel(pnlBtnDevPort, "pnlBtnDevTestUpdate");
  pnlBtnDevTestUpdate->setFixedHeight(82);
  pbtnDownload = NewButton(pnlBtnDevTestUpdate, "pbtnDownload", "&Update FW", 15, 8);
  pbtnTest = NewButton(pnlBtnDevTestUpdate, "pbtnTest", "&Test", 15, 49);
  devLayout->addWidget(pnlBtnDevTestUpdate);
  pnlBtnDevDelete = NewPanel(pnlBtnDevPort, "pnlBtnDevDelete");
  pnlBtnDevDelete->setFixedHeight(41);
  pbtnDelete = NewButton(pnlBtnDevDelete, "pbtnDelete", "&Delete", 15, 8);
  devLayout->addWidget(pnlBtnDevDelete);
  buttonLayout->addWidget(pnlBtnDevPort);

  pnlBtnAddOrApply = NewPanel(pnlButtonArea, "pnlBtnAddOrApply");
  pnlBtnAddOrApply->setFixedHeight(41);
  pbtnApply = NewButton(pnlBtnAddOrApply, "pbtnApply", "&Apply", 15, 8);
  buttonLayout->addWidget(pnlBtnAddOrApply);

  pnlBtnExit = NewPanel(pnlButtonArea, "pnlBtnExit");
  pnlBtnExit->setFixedHeight(41);
  pbtnExit = NewButton(pnlBtnExit, "pbtnExit", "&Exit", 15, 8);
  buttonLayout->addWidget(pnlBtnExit);
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
  terminated_ = true;
  QCoreApplication::quit();
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
  terminated_ = true;
  QCoreApplication::quit();
}

void TfrmPortMapper7370::mniFileExitClick() { pbtnExitClick(); }

void TfrmPortMapper7370::mniHelpContentClick() {
  services_.desktop.ShowHelp("qtlhelp.hlp", platform::kHelpForceFile, 0);
}

void TfrmPortMapper7370::mniHelpAboutClick() {
  TfrmAbout about(this);
  about.exec();
}

void TfrmPortMapper7370::SetWindowEnabled(bool enabled) { setEnabled(enabled); }

int TfrmPortMapper7370::ShowMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) {
  return services_.desktop.ShowMessageBox(text, caption, flags);
}

// The tree

namespace {

PortTreeItem* NewNode(const std::string& text, TTorl7370Port* record) {
  auto* item = new (std::nothrow) PortTreeItem(record);
  if (item != nullptr) item->setText(0, QString::fromStdString(text));
  return item;
}

}  // namespace

TreeNode* TfrmPortMapper7370::AddRootNode(const std::string& text, TTorl7370Port* record) {
  PortTreeItem* item = NewNode(text, record);
  if (item != nullptr) tvwPortMapper->addTopLevelItem(item);
  return item;
}

TreeNode* TfrmPortMapper7370::AddChildNode(TreeNode* parent, const std::string& text, TTorl7370Port* record) {
  auto* parentItem = dynamic_cast<PortTreeItem*>(parent);
  PortTreeItem* item = parentItem != nullptr ? NewNode(text, record) : nullptr;
  if (item != nullptr) parentItem->addChild(item);
  return item;
}

void TfrmPortMapper7370::DeleteNode(TreeNode* node) { delete dynamic_cast<PortTreeItem*>(node); }

TreeNode* TfrmPortMapper7370::Sibling(TreeNode* node, int step) {
  auto* item = dynamic_cast<PortTreeItem*>(node);
  if (item == nullptr) return nullptr;
  QTreeWidgetItem* parent = item->parent();
  const int index = parent != nullptr ? parent->indexOfChild(item) : tvwPortMapper->indexOfTopLevelItem(item);
  QTreeWidgetItem* sibling =
      parent != nullptr ? parent->child(index + step) : tvwPortMapper->topLevelItem(index + step);
  return dynamic_cast<PortTreeItem*>(sibling);
}

TreeNode* TfrmPortMapper7370::NextSibling(TreeNode* node) { return Sibling(node, +1); }

TreeNode* TfrmPortMapper7370::PreviousSibling(TreeNode* node) { return Sibling(node, -1); }

void TfrmPortMapper7370::SelectNode(TreeNode* node) {
  tvwPortMapper->setCurrentItem(dynamic_cast<PortTreeItem*>(node));
}

TTorl7370Port* TfrmPortMapper7370::SelectedRecord() {
  auto* item = dynamic_cast<PortTreeItem*>(tvwPortMapper->currentItem());
  return item != nullptr ? item->Record() : nullptr;
}

void TfrmPortMapper7370::FocusTree() { tvwPortMapper->setFocus(); }

void TfrmPortMapper7370::SortTree() { tvwPortMapper->sortItems(0, Qt::AscendingOrder); }

void TfrmPortMapper7370::Repaint() { repaint(); }

void TfrmPortMapper7370::OnTVWCurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
  OnTVWChanging(previous);
  OnTVWChange(current);
}

void TfrmPortMapper7370::OnTVWChanging(QTreeWidgetItem* node) {
  auto* item = dynamic_cast<PortTreeItem*>(node);
  if (item != nullptr && item->Record() != nullptr) item->Record()->CollectEdits();
}

void TfrmPortMapper7370::OnTVWChange(QTreeWidgetItem* node) {
  auto* item = dynamic_cast<PortTreeItem*>(node);
  if (item != nullptr && item->Record() != nullptr) item->Record()->Show();
}

// The information area

void TfrmPortMapper7370::ShowNodeName(TTorl7370Port& record) {
  pnlPortListMsg->setText(record.name);
}

void TfrmPortMapper7370::ShowCategory(TTorl7370PortHeader& category) {
  pnlSecurityCtrl->hide();
  pnlUnusedPortsCtrl->hide();
  ShowNodeName(category);
  pnlPortInfoListCtrl->hide();
  pnlBtnAddOrApply->hide();
  pnlBtnDevPort->hide();
  QString text = category.description;
  auto* item = dynamic_cast<PortTreeItem*>(category.node);
  const DeviceModel* model = ModelByIndex(KindOfCategoryId(category.kind));
  // The two system categories have no hint of their own: their explanation serves.
  if (item != nullptr && item->childCount() == 0 && model != nullptr)
    text = QString("To map %1 ").arg(model->name) +
           "port, perform the following steps:\r\n"
           "1. Select COM in UNUSED ports\r\n"
           "2. Fill items in the dialog box\r\n"
           "3. Click ADD button\r\n";
  memoPort->clear();
  memoPort->setPlainText(MemoText(text.toLatin1().constData()));
  memoPort->setReadOnly(true);
}

void TfrmPortMapper7370::ShowPort(TTorl7370PortEntry& port) {
  ShowNodeName(port);
  std::int32_t m = 0;
  if (port.kind == KIND_USED) {
    pnlPortInfoListCtrl->hide();
    pnlBtnAddOrApply->hide();
    pnlBtnDevPort->hide();
    memoPort->clear();
    memoPort->setPlainText(MemoText(port.description));
    pnlSecurityCtrl->hide();
    pnlUnusedPortsCtrl->hide();
    return;
  }
  if (port.kind == KIND_UNUSED) {
    pnlPortInfoListCtrl->show();
    pbtnApply->setText("Add");
    pnlBtnAddOrApply->show();
    pnlBtnDevPort->hide();
    cbxSelectedDevType->setEnabled(true);
    m = store->selectedModel;
    pnlUnusedPortsCtrl->show();
  } else {
    pnlPortInfoListCtrl->show();
    pbtnApply->setText("Apply");
    pnlBtnAddOrApply->show();
    pnlBtnDevPort->show();
    pnlBtnDevTestUpdate->setVisible(MappedAtStart[port.comNumber] != 0);
    cbxSelectedDevType->setEnabled(false);
    m = port.kind;
    pnlUnusedPortsCtrl->hide();
  }
  cbxSelectedDevType->setCurrentIndex(m - 1);
  memoPort->clear();
  memoPort->setPlainText(MemoText(port.description));
  memoPort->setReadOnly(false);
  cbxServerIPAddress->setEditText(port.ipText);
  ShowDevicePorts(m, port);
  chkbxAutoReconn->setChecked(port.autoReconnEdit != 0);
  if (m == kModelTorl7370S || m == kModelTorl7371S) {
    pnlSecurityCtrl->show();
    cbxSecuritySelect->setCurrentIndex(static_cast<int>(port.secMethodEdit));
    btnSecurityPassword->setEnabled(cbxSecuritySelect->currentIndex() != 0);
  } else {
    pnlSecurityCtrl->hide();
  }
  RefreshApplyState(port);
}

void TfrmPortMapper7370::FillDevicePorts(std::int32_t modelIndex) {
  cbxServerPort->clear();
  for (std::int32_t i = 1; i <= DevicePortCount(modelIndex); ++i) cbxServerPort->addItem(QString("Port %1").arg(i));
}

void TfrmPortMapper7370::ShowDevicePorts(std::int32_t modelIndex, TTorl7370PortEntry& port) {
  FillDevicePorts(modelIndex);
  // A device port the model lacks (kept from another model's mapping) would leave the list
  // without a choice and be stored as "Port" 0: it becomes "Port 1", as a model change does.
  const int count = cbxServerPort->count();
  if (count > 0 && (port.devicePortEdit < 0 || port.devicePortEdit >= count)) port.devicePortEdit = 0;
  cbxServerPort->setCurrentIndex(port.devicePortEdit);
}

void TfrmPortMapper7370::RefreshApplyState(TTorl7370PortEntry& port) {
  if (!port.IsModified()) {
    pbtnApply->setEnabled(false);
    pbtnUnusedAddAll->setEnabled(false);
    return;
  }
  const std::uint32_t address = platform::InetAddr(cbxServerIPAddress->currentText().toLatin1().constData());
  if (address == 0 || address == platform::kInaddrNone) return;
  pbtnApply->setEnabled(true);
  pbtnUnusedAddAll->setEnabled(cbxServerPort->currentIndex() == 0);
}

void TfrmPortMapper7370::CollectEdits(TTorl7370PortEntry& port) {
  CopyText(port.ipText, cbxServerIPAddress->currentText().toLatin1().constData());
  port.devicePortEdit = cbxServerPort->currentIndex();
  CopyText(port.description, memoPort->toPlainText().replace("\n", "\r\n").toLatin1().constData());
  port.autoReconnEdit = chkbxAutoReconn->isChecked() ? 1 : 0;
  if (IsSecureModelCode(port.modelCode))
    port.secMethodEdit = static_cast<std::uint32_t>(cbxSecuritySelect->currentIndex());
}

void TfrmPortMapper7370::ShowMappingOf(TTorl7370PortEntry& port) {
  cbxSelectedDevType->setCurrentIndex(port.kind - 1);
  memoPort->setPlainText(MemoText(port.description));
  memoPort->setReadOnly(false);
  cbxServerIPAddress->setEditText(port.ipText);
  ShowDevicePorts(port.kind, port);
  const bool secure = port.kind == kModelTorl7370S || port.kind == kModelTorl7371S;
  pnlSecurityCtrl->setVisible(secure);
  if (secure) {
    cbxSecuritySelect->setCurrentIndex(static_cast<int>(port.secMethodEdit));
    btnSecurityPassword->setEnabled(true);
  }
  chkbxAutoReconn->setChecked(port.autoReconn != 0);
}

// The address box

bool TfrmPortMapper7370::HasKnownAddress(const std::string& address) const {
  return cbxServerIPAddress->findText(QString::fromStdString(address), Qt::MatchExactly) >= 0;
}

void TfrmPortMapper7370::AddKnownAddress(const std::string& address) {
  const QString text = QString::fromStdString(address);
  int row = 0;
  while (row < cbxServerIPAddress->count() && cbxServerIPAddress->itemText(row) < text) ++row;
  // Inserting into the list must leave the typed text as it is.
  const QString typed = cbxServerIPAddress->currentText();
  cbxServerIPAddress->insertItem(row, text);
  cbxServerIPAddress->setEditText(typed);
}

void TfrmPortMapper7370::SetAddressText(const std::string& text) {
  cbxServerIPAddress->setEditText(QString::fromStdString(text));
}

void TfrmPortMapper7370::SetDevicePortIndex(std::int32_t index) { cbxServerPort->setCurrentIndex(index); }

void TfrmPortMapper7370::SetAutoReconnChecked(bool checked) { chkbxAutoReconn->setChecked(checked); }

void TfrmPortMapper7370::RunPortDetection(TTorl7370PortManager& manager) {
  ::RunPortDetection(manager, services_.serial);
}
