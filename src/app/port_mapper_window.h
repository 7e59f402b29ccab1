// The main window: the port tree, the information area of the selected node, and the
// commands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/services.h"
#include "store/port_mapper_window.h"
#include "ui/window.h"

class TfrmPortMapper7370 : public ui::Window, public PortMapperWindow {
 public:
  explicit TfrmPortMapper7370(platform::Services& services);
  ~TfrmPortMapper7370() override;

  // The start-up sequence; on failure the message has been shown, the loop told to end
  // and Terminated() is true.
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
  ui::Panel* pnlFormRoot;
  ui::Panel* pnlPortListArea;
  ui::GroupBox* grpbxPortSelet;
  ui::Panel* pnlPortListViewCtrl;
  ui::Panel* pnlPortListMsg;
  ui::Tree* tvwPortMapper;
  ui::Panel* pnlPortInfoArea;
  ui::Panel* pnlPortInfoListCtrl;
  ui::GroupBox* grpbxAddedDevType;
  ui::ComboBox* cbxSelectedDevType;
  ui::GroupBox* grpbxServerIPAddress;
  ui::ComboBox* cbxServerIPAddress;
  ui::GroupBox* grpbxServerPort;
  ui::ComboBox* cbxServerPort;
  ui::GroupBox* grpbxProperties;
  ui::CheckBox* chkbxAutoReconn;
  ui::Panel* pnlSecurityCtrl;
  ui::GroupBox* gbxSecurity;
  ui::ComboBox* cbxSecuritySelect;
  ui::Button* btnSecurityPassword;
  ui::Panel* pnlPortInfoMemoCtrl;
  ui::GroupBox* grpbxPortMemo;
  ui::Memo* memoPort;
  ui::Panel* pnlButtonArea;
  ui::Panel* pnlUnusedPortsCtrl;
  ui::Button* pbtnUnusedAddAll;
  ui::Panel* pnlBtnExit;
  ui::Button* pbtnExit;
  ui::Panel* pnlBtnAddOrApply;
  ui::Button* pbtnApply;
  ui::Panel* pnlBtnDevPort;
  ui::Panel* pnlBtnDevDelete;
  ui::Button* pbtnDelete;
  ui::Panel* pnlBtnDevTestUpdate;
  ui::Button* pbtnDownload;
  ui::Button* pbtnTest;
  ui::StatusBar* sbrPortMapper;

  static const platform::FileDialogSpec dlgopenImportFile;
  static const platform::FileDialogSpec dlgsaveExportFile;

  void pbtnExitClick();
  void mniFileExitClick();
  void mniHelpContentClick();
  void mniHelpAboutClick();
  void OnCBxSelectedDevTypeChange();
  void OnCBxServerIPAddrChange();
  void OnCBxServerIPAddrKeyPreess(char& key);
  void OnCBxServerPortChange();
  void chkbxAutoReconnClick();
  void OnMemoPortKeyPress(char& key);
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

 private:
  static std::vector<ui::ControlRow<TfrmPortMapper7370>> Rows();
  static std::vector<ui::MenuRow<TfrmPortMapper7370>> Menu();
  void OnTVWChanging(ui::TreeItem* node);
  void OnTVWChange(ui::TreeItem* node);
  void OnFormDestroy();
  // Ends the message loop; the window is destroyed when the program entry returns.
  void Terminate();
  // The selected port record; null for none or a category.
  TTorl7370PortEntry* SelectedPort();
  void MarkModified(TTorl7370PortEntry& port);
  void FillDevicePorts(std::int32_t modelIndex);
  // Fills the device port list and selects the port's pending device port in it.
  void ShowDevicePorts(std::int32_t modelIndex, TTorl7370PortEntry& port);

  platform::Services& services_;
  bool terminated_ = false;
};

// The one main window of the program.
extern TfrmPortMapper7370* frmPortMapper7370;
