// A node of the port tree: its text, the record it shows, and the tree's order.
#pragma once

#include <QTreeWidgetItem>

#include "store/port_mapper_window.h"
#include "store/tree_order.h"

class PortTreeItem : public QTreeWidgetItem, public TreeNode {
 public:
  explicit PortTreeItem(TTorl7370Port* record) : record_(record) {}

  TTorl7370Port* Record() const override { return record_; }
  void SetRecord(TTorl7370Port* record) override { record_ = record; }

  bool operator<(const QTreeWidgetItem& other) const override {
    return CompareNodeTexts(text(0).toStdString(), other.text(0).toStdString()) < 0;
  }

 private:
  TTorl7370Port* record_;
};
