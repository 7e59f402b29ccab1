// The records of the port tree: one TTorl7370PortEntry per COM number 1..255 and one
// TTorl7370PortHeader per category, with their common base TTorl7370Port.
#pragma once

#include <cstdint>

#include "security/port_security.h"

class TTorl7370PortHeader;
class TTorl7370PortManager;
class PortMapperWindow;
class TreeNode;

constexpr std::uint32_t kPortModifiedFlag = 0x1;

class TTorl7370Port : public PortSecurity {
 public:
  virtual ~TTorl7370Port() = default;

  // The five operations, in the order of their slots.
  virtual TTorl7370PortHeader* GetHeader() = 0;
  virtual bool Attach(TreeNode* treeNode) = 0;
  virtual void SetHeader(TTorl7370PortHeader* header) = 0;
  virtual void Show() = 0;
  virtual void CollectEdits() = 0;

  TreeNode* node = nullptr;
  std::int32_t kind = 0;
  std::int32_t comNumber = 0;
  std::uint32_t modelCode = 0;
  char name[8] = {};
  std::uint32_t flags = 0;
  std::uint32_t ipAddress = 0;  // network byte order
  std::int32_t enumId = -1;
  std::int32_t portId = -1;
  char ipText[17] = {};  // the address box takes 16 characters; room for them and the NUL
  std::int32_t devicePortEdit = 0;
  std::int32_t devicePort = 0;
  std::uint32_t autoReconnEdit = 1;
  std::uint32_t autoReconn = 0;
  char description[256] = {};

  bool IsCategory() const;
  bool IsModified() const { return (flags & kPortModifiedFlag) != 0; }
  // The store, reached through the record's category.
  TTorl7370PortManager& Manager();
  PortMapperWindow& Window();

 protected:
  TTorl7370Port() = default;
};

class TTorl7370PortHeader : public TTorl7370Port {
 public:
  TTorl7370PortHeader(TTorl7370PortManager* store, std::int32_t categoryId);

  TTorl7370PortHeader* GetHeader() override { return this; }
  bool Attach(TreeNode* treeNode) override;
  void SetHeader(TTorl7370PortHeader*) override {}
  void Show() override;
  void CollectEdits() override {}

  TTorl7370PortManager* manager;
};

class TTorl7370PortEntry : public TTorl7370Port {
 public:
  TTorl7370PortEntry(TTorl7370PortHeader* category, std::int32_t com);

  TTorl7370PortHeader* GetHeader() override { return header; }
  bool Attach(TreeNode* treeNode) override;
  void SetHeader(TTorl7370PortHeader* category) override { header = category; }
  void Show() override;
  void CollectEdits() override;

  // Gives up the window's edits after a failed Apply.
  void RevertEdits();
  // Validates ipText as a device address; on refusal clears it and reports PMERR_BAD_IP.
  bool CheckAddress();
  // False, after telling the user, when another mapped port has the same device address
  // and device port.
  bool CheckDuplicate();
  // The other port of the same secure two-port device, or null.
  TTorl7370PortEntry* FindDeviceTwin();

  // Maps a free port into the model category target: registry entries, then the tree.
  void AddToModel(TTorl7370PortHeader* target);
  // Frees a mapped port: its registry entries go, it moves back to "Unused Ports".
  void RemoveMapping();
  // Rewrites the mapping values of a mapped port.
  void UpdatePortData();
  // Gives the port a complete mapping (address in network byte order, port 1-based).
  void SetMapping(std::int32_t newKind, std::uint32_t address, const char* memo, std::uint32_t reconnect,
                  std::int32_t portNumber);

  TTorl7370PortHeader* header;

 private:
  // Moves the record from its node to newNode under target (detaching the old node).
  void MoveToNode(TreeNode* newNode, TTorl7370PortHeader* target);
};

// The twin takes this port's pending security settings, written to the registry at once.
void CopySecurityTo(TTorl7370PortEntry& source, TTorl7370PortEntry& target);

// Copies text into a fixed NUL-terminated field, cutting what does not fit.
void CopyText(char* field, std::size_t fieldSize, const char* text);
template <std::size_t N>
void CopyText(char (&field)[N], const char* text) {
  CopyText(field, N, text);
}
