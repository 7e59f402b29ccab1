// The main window as the store sees it, without a display: an in-memory tree, the address
// list, and a record of the boxes shown.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "store/port_manager.h"
#include "store/port_mapper_window.h"
#include "support/scripted_desktop.h"

class FakeNode : public TreeNode {
 public:
  FakeNode(FakeNode* parentNode, std::string nodeText, TTorl7370Port* nodeRecord)
      : parent(parentNode), text(std::move(nodeText)), record(nodeRecord) {}
  TTorl7370Port* Record() const override { return record; }
  void SetRecord(TTorl7370Port* r) override { record = r; }

  FakeNode* parent;
  std::string text;
  TTorl7370Port* record;
  std::vector<std::unique_ptr<FakeNode>> children;
};

class FakeWindow : public PortMapperWindow {
 public:
  FakeWindow() : root(nullptr, "", nullptr) {}

  TreeNode* AddRootNode(const std::string& text, TTorl7370Port* record) override;
  TreeNode* AddChildNode(TreeNode* parent, const std::string& text, TTorl7370Port* record) override;
  void DeleteNode(TreeNode* node) override;
  TreeNode* NextSibling(TreeNode* node) override { return Sibling(node, +1); }
  TreeNode* PreviousSibling(TreeNode* node) override { return Sibling(node, -1); }
  void SelectNode(TreeNode* node) override { selected = static_cast<FakeNode*>(node); }
  TTorl7370Port* SelectedRecord() override { return selected != nullptr ? selected->record : nullptr; }
  void FocusTree() override { ++treeFocused; }
  void SortTree() override;
  void Repaint() override { ++repaints; }
  void ShowPort(TTorl7370PortEntry& port) override { shown.push_back(&port); }
  void ShowCategory(TTorl7370PortHeader& category) override { shown.push_back(&category); }
  void RefreshApplyState(TTorl7370PortEntry&) override {}
  void CollectEdits(TTorl7370PortEntry&) override {}
  void ShowMappingOf(TTorl7370PortEntry& port) override { mappingsShown.push_back(&port); }
  bool HasKnownAddress(const std::string& address) const override;
  void AddKnownAddress(const std::string& address) override { knownAddresses.push_back(address); }
  void SetAddressText(const std::string& text) override { addressText = text; }
  void SetDevicePortIndex(std::int32_t index) override { devicePortIndex = index; }
  void SetAutoReconnChecked(bool checked) override { autoReconnChecked = checked; }
  void RunPortDetection(TTorl7370PortManager& manager) override {
    ++detections;
    if (detect) detect(manager.ports);
  }

  // The category node of a caption, or null.
  FakeNode* Category(const std::string& caption);
  std::vector<std::string> ChildTexts(const std::string& caption);
  std::vector<std::string> RootTexts();
  FakeNode* Sibling(TreeNode* node, int step);

  FakeNode root;
  testsupport::ScriptedDesktop desktop;
  std::vector<std::string> knownAddresses;
  std::vector<TTorl7370Port*> shown;
  std::string addressText;
  std::int32_t devicePortIndex = -2;
  bool autoReconnChecked = false;
  FakeNode* selected = nullptr;
  std::vector<TTorl7370Port*> mappingsShown;
  int treeFocused = 0;
  int repaints = 0;
  int sorts = 0;
  int detections = 0;
  std::vector<bool> enabledStates;
  std::function<void(PortTable&)> detect;

 protected:
  void SetWindowEnabled(bool enabled) override { enabledStates.push_back(enabled); }
  int ShowMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) override {
    return desktop.ShowMessageBox(text, caption, flags);
  }
};
