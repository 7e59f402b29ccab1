// A main window for timing programs: a tree in memory and nothing on screen; boxes go to
// the error stream.
#pragma once

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "store/port_manager.h"
#include "store/port_mapper_window.h"

class BenchNode : public TreeNode {
 public:
  BenchNode(BenchNode* parentNode, TTorl7370Port* nodeRecord) : parent(parentNode), record(nodeRecord) {}
  TTorl7370Port* Record() const override { return record; }
  void SetRecord(TTorl7370Port* r) override { record = r; }

  BenchNode* parent;
  TTorl7370Port* record;
  std::vector<std::unique_ptr<BenchNode>> children;
};

// The main window with a tree and nothing on screen; boxes go to the error stream.
class BenchWindow : public PortMapperWindow {
 public:
  TreeNode* AddRootNode(const std::string& text, TTorl7370Port* record) override {
    return AddChildNode(&root_, text, record);
  }
  TreeNode* AddChildNode(TreeNode* parent, const std::string&, TTorl7370Port* record) override {
    auto* node = static_cast<BenchNode*>(parent);
    node->children.push_back(std::make_unique<BenchNode>(node, record));
    return node->children.back().get();
  }
  void DeleteNode(TreeNode* node) override {
    auto& siblings = static_cast<BenchNode*>(node)->parent->children;
    siblings.erase(std::find_if(siblings.begin(), siblings.end(), [&](auto& c) { return c.get() == node; }));
  }
  TreeNode* NextSibling(TreeNode*) override { return nullptr; }
  TreeNode* PreviousSibling(TreeNode*) override { return nullptr; }
  void SelectNode(TreeNode*) override {}
  TTorl7370Port* SelectedRecord() override { return nullptr; }
  void FocusTree() override {}
  void SortTree() override {}
  void Repaint() override {}
  void ShowPort(TTorl7370PortEntry&) override {}
  void ShowCategory(TTorl7370PortHeader&) override {}
  void RefreshApplyState(TTorl7370PortEntry&) override {}
  void CollectEdits(TTorl7370PortEntry&) override {}
  void ShowMappingOf(TTorl7370PortEntry&) override {}
  bool HasKnownAddress(const std::string&) const override { return false; }
  void AddKnownAddress(const std::string&) override {}
  void SetAddressText(const std::string&) override {}
  void SetDevicePortIndex(std::int32_t) override {}
  void SetAutoReconnChecked(bool) override {}
  void RunPortDetection(TTorl7370PortManager& manager) override {
    if (detect) detect(manager);
  }

  std::function<void(TTorl7370PortManager&)> detect;

 protected:
  void SetWindowEnabled(bool) override {}
  int ShowMessageBox(const std::string& text, const std::string&, std::uint32_t) override {
    std::fprintf(stderr, "message: %s\n", text.c_str());
    return 1;
  }

 private:
  BenchNode root_{nullptr, nullptr};
};
