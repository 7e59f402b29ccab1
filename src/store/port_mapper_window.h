// What the store needs of the main window: its error channel and flags, its tree, and
// the display operations. The program's main window (app/) implements it on every
// toolkit; store tests use a fake.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

class TTorl7370Port;
class TTorl7370PortEntry;
class TTorl7370PortHeader;
class TTorl7370PortManager;

// A node of the window's port tree; the window owns its nodes.
class TreeNode {
 public:
  virtual ~TreeNode() = default;
  virtual TTorl7370Port* Record() const = 0;
  virtual void SetRecord(TTorl7370Port* record) = 0;
};

extern const char* const kMainWindowCaption;

class PortMapperWindow {
 public:
  virtual ~PortMapperWindow();

  std::int32_t RebootRequired = 0;
  std::uint32_t ErrorCode = 0;
  std::unique_ptr<TTorl7370PortManager> store;
  std::array<std::int32_t, 256> MappedAtStart{};
  std::int32_t ApplyResult = 0;

  // Shows the message of ErrorCode in an error box and clears the code; does nothing for
  // PMERR_NONE and for codes the table does not know.
  void ShowErrorMessage();
  // A message box without owner, titled with the main window's caption; the window is
  // disabled while it is up.
  int ShowWindowMessage(const std::string& text, std::uint32_t flags);
  int ShowTitledMessage(const std::string& text, const std::string& caption, std::uint32_t flags);

  // The tree. Null when a node cannot be made.
  virtual TreeNode* AddRootNode(const std::string& text, TTorl7370Port* record) = 0;
  virtual TreeNode* AddChildNode(TreeNode* parent, const std::string& text, TTorl7370Port* record) = 0;
  virtual void DeleteNode(TreeNode* node) = 0;
  virtual TreeNode* NextSibling(TreeNode* node) = 0;
  virtual TreeNode* PreviousSibling(TreeNode* node) = 0;
  virtual void SelectNode(TreeNode* node) = 0;
  // The record of the selected node; null when none is selected.
  virtual TTorl7370Port* SelectedRecord() = 0;
  virtual void FocusTree() = 0;
  virtual void SortTree() = 0;
  virtual void Repaint() = 0;

  // Display operations.
  virtual void ShowPort(TTorl7370PortEntry& port) = 0;
  virtual void ShowCategory(TTorl7370PortHeader& category) = 0;
  virtual void RefreshApplyState(TTorl7370PortEntry& port) = 0;
  virtual void CollectEdits(TTorl7370PortEntry& port) = 0;
  // Puts a mapping the store has just set into the controls of the selected port.
  virtual void ShowMappingOf(TTorl7370PortEntry& port) = 0;

  // The address box: its text, its list of known addresses, and the two controls that
  // an undone edit resets.
  virtual bool HasKnownAddress(const std::string& address) const = 0;
  virtual void AddKnownAddress(const std::string& address) = 0;
  virtual void SetAddressText(const std::string& text) = 0;
  virtual void SetDevicePortIndex(std::int32_t index) = 0;
  virtual void SetAutoReconnChecked(bool checked) = 0;

  // Shows the port detection window over the store modally; returns when it has closed.
  virtual void RunPortDetection(TTorl7370PortManager& manager) = 0;

 protected:
  virtual void SetWindowEnabled(bool enabled) = 0;
  virtual int ShowMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) = 0;
};
