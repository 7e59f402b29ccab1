// The main window: the port tree, the information area of the selected node, and the
// commands.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>

#include "platform/desktop.h"
#include "platform/services.h"
#include "store/port_mapper_window.h"

class TfrmPortMapper7370 : public QMainWindow, public PortMapperWindow {
  Q_OBJECT

 public:
  explicit TfrmPortMapper7370(platform::Services& services);
  ~TfrmPortMapper7370() override;

  // The start-up sequence; on failure the message has been shown and Terminated() is true.
  void OnFormCreate();
  bool Terminated() const { return terminated_; }

  // PortMapperWindow
  TreeNode* AddRootNode(const std::string& text, TTorl7370Port* record) override;
  TreeNode* AddChildNode(TreeNode* parent, const std::string& text, TTorl7370Port* record) override;
  void DeleteNode(TreeNode* node) override;
  TreeNode* NextSibling(TreeNode* node) override;
  TreeNode* PreviousSibling(TreeNode* node) override;
  void SelectNode(TreeNode* node) override;
  TTorl7370Port* SelectedRecord() override;
  void FocusTree() override;
  void SortTree() override;
  void Repaint() override;
  void ShowPort(TTorl7370PortEntry& port) override;
  void ShowCategory(TTorl7370PortHeader& category) override;
  void RefreshApplyState(TTorl7370PortEntry& port) override;
  void CollectEdits(TTorl7370PortEntry& port) override;
  void ShowMappingOf(TTorl7370PortEntry& port) override;
  bool HasKnownAddress(const std::string& address) const override;
  void AddKnownAddress(const std::string& address) override;
  void SetAddressText(const std::string& text) override;
  void SetDevicePortIndex(std::int32_t index) override;
  void SetAutoReconnChecked(bool checked) override;
  void RunPortDetection(TTorl7370PortManager& manager) override;

  void ShowNodeName(TTorl7370Port& record);

  // Controls, named as the layout names them.
  QWidget* pnlFormRoot;
  QWidget* pnlPortListArea;
  QGroupBox* grpbxPortSelet;
  QWidget* pnlPortListViewCtrl;
  QLabel* pnlPortListMsg;
  QTreeWidget* tvwPortMapper;
  QWidget* pnlPortInfoArea;
  QWidget* pnlPortInfoListCtrl;
  QGroupBox* grpbxAddedDevType;
  QComboBox* cbxSelectedDevType;
  QGroupBox* grpbxServerIPAddress;
  QComboBox* cbxServerIPAddress;
  QGroupBox* grpbxServerPort;
  QComboBox* cbxServerPort;
  QGroupBox* grpbxProperties;
  QCheckBox* chkbxAutoReconn;
  QWidget* pnlSecurityCtrl;
  QGroupBox* gbxSecurity;
  QComboBox* cbxSecuritySelect;
  QPushButton* btnSecurityPassword;
  QWidget* pnlPortInfoMemoCtrl;
  QGroupBox* grpbxPortMemo;
  QPlainTextEdit* memoPort;
  QWidget* pnlButtonArea;
  QFrame* pnlUnusedPortsCtrl;
  QPushButton* pbtnUnusedAddAll;
  QWidget* pnlBtnExit;
  QPushButton* pbtnExit;
  QWidget* pnlBtnAddOrApply;
  QPushButton* pbtnApply;
  QWidget* pnlBtnDevPort;
  QWidget* pnlBtnDevDelete;
  QPushButton* pbtnDelete;
  QWidget* pnlBtnDevTestUpdate;
  QPushButton* pbtnDownload;
  QPushButton* pbtnTest;
  QStatusBar* sbrPortMapper;
  QMenuBar* mnbrPortMapper;
  QAction* mniFileImport;
  QAction* mniFileExport;
  QAction* mniFileExit;
  QAction* mniHelpContent;
  QAction* mniHelpAbout;

  static const platform::FileDialogSpec dlgopenImportFile;
  static const platform::FileDialogSpec dlgsaveExportFile;

 public slots:
  void pbtnExitClick();
  void mniFileExitClick();
  void mniHelpContentClick();
  void mniHelpAboutClick();
  void OnCBxSelectedDevTypeChange();
  void OnCBxServerIPAddrChange();
  void OnCBxServerPortChange();
  void chkbxAutoReconnClick();
  void cbxSecuritySelectChange();
  void btnSecurityPasswordClick();
  void pbtnTestClick();
  void pbtnDownloadClick();
  void pbtnApplyClick();
  void pbtnDeleteClick();
  void pbtnUnusedAddAllClick();
  void mniFileImportClick();
  void mniFileExportClick();

 protected:
  void SetWindowEnabled(bool enabled) override;
  int ShowMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private slots:
  void OnTVWCurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);

 private:
  void OnTVWChanging(QTreeWidgetItem* node);
  void OnTVWChange(QTreeWidgetItem* node);
  void OnFormDestroy();
  void ConnectCommands();
  // Key filters of the address box and the memo; true when the key is discarded.
  bool OnCBxServerIPAddrKeyPreess(const QString& typed);
  void OnMemoPortKeyPress();
  // Keeps the memo within what a port's description holds.
  void LimitMemo();
  // The selected port record; null for none or a category.
  TTorl7370PortEntry* SelectedPort();
  void MarkModified(TTorl7370PortEntry& port);
  void BuildLayout();
  void BuildInfoArea();
  void BuildButtonArea();
  void BuildMenu();
  void FillDevicePorts(std::int32_t modelIndex);
  // Fills the device port list and selects the port's pending device port in it.
  void ShowDevicePorts(std::int32_t modelIndex, TTorl7370PortEntry& port);
  // The node at offset step from node among its siblings, or null.
  TreeNode* Sibling(TreeNode* node, int step);

  platform::Services& services_;
  bool terminated_ = false;
  QString lastMemoText_;
};

// The one main window of the program.
extern TfrmPortMapper7370* frmPortMapper7370;
