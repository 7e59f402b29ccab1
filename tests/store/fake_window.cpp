#include "store/fake_window.h"

#include <algorithm>

#include "store/tree_order.h"

TreeNode* FakeWindow::AddRootNode(const std::string& text, TTorl7370Port* record) {
  return AddChildNode(&root, text, record);
}

TreeNode* FakeWindow::AddChildNode(TreeNode* parent, const std::string& text, TTorl7370Port* record) {
  auto* parentNode = static_cast<FakeNode*>(parent);
  parentNode->children.push_back(std::make_unique<FakeNode>(parentNode, text, record));
  return parentNode->children.back().get();
}

void FakeWindow::DeleteNode(TreeNode* node) {
  auto* fake = static_cast<FakeNode*>(node);
  if (selected == fake) selected = static_cast<FakeNode*>(NextSibling(node));
  auto& siblings = fake->parent->children;
  siblings.erase(std::find_if(siblings.begin(), siblings.end(), [&](auto& c) { return c.get() == fake; }));
}

namespace {
void SortChildren(FakeNode& node) {
  std::stable_sort(node.children.begin(), node.children.end(),
                   [](auto& a, auto& b) { return CompareNodeTexts(a->text, b->text) < 0; });
  for (auto& child : node.children) SortChildren(*child);
}
}  // namespace

void FakeWindow::SortTree() {
  ++sorts;
  SortChildren(root);
}

bool FakeWindow::HasKnownAddress(const std::string& address) const {
  return std::find(knownAddresses.begin(), knownAddresses.end(), address) != knownAddresses.end();
}

FakeNode* FakeWindow::Category(const std::string& caption) {
  for (auto& child : root.children)
    if (child->text == caption) return child.get();
  return nullptr;
}

std::vector<std::string> FakeWindow::ChildTexts(const std::string& caption) {
  std::vector<std::string> texts;
  if (FakeNode* category = Category(caption))
    for (auto& child : category->children) texts.push_back(child->text);
  return texts;
}

std::vector<std::string> FakeWindow::RootTexts() {
  std::vector<std::string> texts;
  for (auto& child : root.children) texts.push_back(child->text);
  return texts;
}

FakeNode* FakeWindow::Sibling(TreeNode* node, int step) {
  auto* fake = static_cast<FakeNode*>(node);
  auto& siblings = fake->parent->children;
  for (std::size_t i = 0; i < siblings.size(); ++i) {
    if (siblings[i].get() != fake) continue;
    const std::size_t j = i + static_cast<std::size_t>(step);
    return j < siblings.size() ? siblings[j].get() : nullptr;
  }
  return nullptr;
}
