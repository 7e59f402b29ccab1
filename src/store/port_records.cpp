#include "store/port_records.h"

#include <cstdio>
#include <cstring>

#include "store/device_models.h"
#include "store/port_manager.h"
#include "store/port_mapper_window.h"

void CopyText(char* field, std::size_t fieldSize, const char* text) {
  std::snprintf(field, fieldSize, "%s", text);
}

bool TTorl7370Port::IsCategory() const { return IsCategoryKind(kind); }

TTorl7370PortManager& TTorl7370Port::Manager() { return *GetHeader()->manager; }

PortMapperWindow& TTorl7370Port::Window() { return *Manager().mainWindow; }

TTorl7370PortHeader::TTorl7370PortHeader(TTorl7370PortManager* store, std::int32_t categoryId)
    : manager(store) {
  kind = categoryId;
  const char* text = CategoryText(categoryId);
  CopyText(description, text ? text : "");
}

bool TTorl7370PortHeader::Attach(TreeNode* treeNode) {
  node = treeNode;
  return true;
}

void TTorl7370PortHeader::Show() { Window().ShowCategory(*this); }

TTorl7370PortEntry::TTorl7370PortEntry(TTorl7370PortHeader* category, std::int32_t com) : header(category) {
  comNumber = com;
  std::snprintf(name, sizeof name, "COM%d", com);
  kind = KindOfCategoryId(category->kind);
  if (const DeviceModel* model = ModelByIndex(kind)) {
    modelCode = model->code;
  } else if (kind == KIND_USED) {
    devicePort = devicePortEdit = -1;
    ipAddress = 0;
    CopyText(description, kUsedPortDescription);
  }
}

void TTorl7370PortEntry::Show() { Window().ShowPort(*this); }

void TTorl7370PortEntry::CollectEdits() { Window().CollectEdits(*this); }
