// A node of the port tree: an item of the window's tree that refers to the record it shows.
#pragma once

#include "store/port_mapper_window.h"
#include "ui/controls.h"

class PortTreeItem : public ui::TreeItem, public TreeNode {
 public:
  explicit PortTreeItem(TTorl7370Port* record) : record_(record) {}

  TTorl7370Port* Record() const override { return record_; }
  void SetRecord(TTorl7370Port* record) override { record_ = record; }

 private:
  TTorl7370Port* record_;
};
