// Moving a port between categories together with its registry entries.
#include <cstdio>
#include <cstring>
#include <iterator>

#include "platform/address.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "store/device_models.h"
#include "store/error_codes.h"
#include "store/port_manager.h"
#include "store/port_mapper_window.h"
#include "store/registry_values.h"

namespace {

const char* const kUpdatedValues[] = {"IP Address", "Port", "Model", "Description", "AutoReconn"};

}  // namespace

void TTorl7370PortEntry::MoveToNode(TreeNode* newNode, TTorl7370PortHeader* target) {
  PortMapperWindow& window = Window();
  TreeNode* oldNode = node;
  oldNode->SetRecord(nullptr);
  window.DeleteNode(oldNode);
  node = newNode;
  kind = KindOfCategoryId(target->kind);
  SetHeader(target);
  flags &= ~kPortModifiedFlag;
  window.SortTree();
}

void TTorl7370PortEntry::AddToModel(TTorl7370PortHeader* target) {
  PortMapperWindow& window = Window();
  TTorl7370PortManager& store = Manager();
  const DeviceModel* model = ModelByIndex(KindOfCategoryId(target->kind));
  modelCode = model != nullptr ? model->code : 0;
  TreeNode* newNode = window.AddChildNode(target->node, name, this);
  if (newNode == nullptr) {
    window.ErrorCode = PMERR_NO_MEMORY;
  } else if (!store.CreatePortRegistry(*this)) {
    window.ErrorCode = PMERR_REG_CREATE;
  } else {
    MoveToNode(newNode, target);
    window.FocusTree();
    window.RebootRequired = 1;
    return;
  }
  window.ShowErrorMessage();
  modelCode = 0;
  if (newNode != nullptr) {
    newNode->SetRecord(nullptr);
    window.DeleteNode(newNode);
  }
}

void TTorl7370PortEntry::RemoveMapping() {
  PortMapperWindow& window = Window();
  TTorl7370PortManager& store = Manager();
  TTorl7370PortHeader* unused = store.unusedHeader;
  TreeNode* newNode = window.AddChildNode(unused->node, name, this);
  if (newNode == nullptr) {
    window.ErrorCode = PMERR_NO_MEMORY;
  } else if (!store.DeletePortRegistry(*this)) {
    window.ErrorCode = PMERR_REG_DELETE;
  } else {
    TreeNode* select = window.NextSibling(node);
    if (select == nullptr) select = window.PreviousSibling(node);
    if (select == nullptr) select = newNode;
    MoveToNode(newNode, unused);
    window.SelectNode(select);
    window.FocusTree();
    window.RebootRequired = 1;
    return;
  }
  window.ShowErrorMessage();
  if (newNode != nullptr) {
    newNode->SetRecord(nullptr);
    window.DeleteNode(newNode);
  }
}

void TTorl7370PortEntry::UpdatePortData() {
  PortMapperWindow& window = Window();
  TTorl7370PortManager& store = Manager();
  platform::Registry& registry = store.registry();
  char keyName[16];
  std::snprintf(keyName, sizeof keyName, "OLMX%d", comNumber);
  platform::RegKey key = platform::kInvalidKey;
  if (registry.OpenKey(store.hMappingList, keyName, platform::kKeyWrite, &key) != platform::kErrorSuccess) {
    window.ErrorCode = PMERR_REG_DRIVER;
    window.ShowErrorMessage();
    window.ShowTitledMessage(keyName, "UpdatePortData Reg ERROR", platform::kMbOk);
    return;
  }
  ChangeBracket bracket(registry);
  SavedValue saved[std::size(kUpdatedValues)];
  for (std::size_t i = 0; i < std::size(kUpdatedValues); ++i) saved[i] = SaveValue(registry, key, kUpdatedValues[i]);
  const bool written = ValueWriter(registry, key)
                           .Dword("IP Address", ipAddress)
                           .Dword("Port", static_cast<std::uint32_t>(devicePortEdit + 1))
                           .Dword("Model", modelCode)
                           .String("Description", description)
                           .Dword("AutoReconn", autoReconn)
                           .ok();
  if (!written) {
    // Half of a mapping's values is no mapping at all: put back what had been written.
    for (std::size_t i = 0; i < std::size(kUpdatedValues); ++i) RestoreValue(registry, key, kUpdatedValues[i], saved[i]);
    window.ErrorCode = PMERR_REG_DRIVER;
    window.ShowErrorMessage();
  }
  if (IsSecureModelCode(modelCode))
    SaveSecurity(*this, registry, key, store.machineValue, platform::SystemTimeAsFileTime());
  else
    DeleteSecurity(registry, key);
  registry.CloseKey(key);
  if (!bracket.End() && written) {
    window.ErrorCode = PMERR_REG_DRIVER;
    window.ShowErrorMessage();
  }
  flags &= ~kPortModifiedFlag;
  window.RefreshApplyState(*this);
  window.RebootRequired = 1;
}

void TTorl7370PortEntry::SetMapping(std::int32_t newKind, std::uint32_t address, const char* memo,
                                    std::uint32_t reconnect, std::int32_t portNumber) {
  if (newKind == kind && address == ipAddress && portNumber - 1 == devicePort &&
      std::strcmp(memo, description) == 0 && reconnect == autoReconn)
    return;
  TTorl7370PortManager& store = Manager();
  TTorl7370PortHeader* target = store.HeaderOfCategory(CategoryIdOfKind(newKind));
  ipAddress = address;
  CopyText(ipText, platform::InetNtoa(address).c_str());
  devicePort = devicePortEdit = portNumber - 1;
  autoReconn = autoReconnEdit = reconnect;
  CopyText(description, memo);
  if (newKind == kModelTorl7370S || newKind == kModelTorl7371S) ResetSecurityDefaults(*this);
  PortMapperWindow& window = Window();
  if (window.SelectedRecord() == this) window.ShowMappingOf(*this);
  if (target == nullptr) return;
  if (kind == KIND_UNUSED) {
    AddToModel(target);
  } else if (kind == newKind) {
    UpdatePortData();
  } else {
    RemoveMapping();
    // A port whose old mapping could not be removed must not get a second one.
    if (kind == KIND_UNUSED) AddToModel(target);
  }
}

void CopySecurityTo(TTorl7370PortEntry& source, TTorl7370PortEntry& target) {
  CopySecuritySettings(source, target);
  target.UpdatePortData();
}
