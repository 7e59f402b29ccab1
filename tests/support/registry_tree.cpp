#include "support/registry_tree.h"

#include <sqlite3.h>

namespace testsupport {
namespace {

const char kTreeQuery[] = R"sql(
WITH RECURSIVE paths(id, path) AS (
  SELECT id, '' FROM keys WHERE parent IS NULL
  UNION ALL
  SELECT keys.id, CASE WHEN paths.path = '' THEN keys.name ELSE paths.path || '\' || keys.name END
  FROM keys JOIN paths ON keys.parent = paths.id)
SELECT path, NULL, NULL, NULL FROM paths
UNION ALL
SELECT paths.path, vals.name, vals.type, hex(vals.data) FROM vals JOIN paths ON vals.key = paths.id
)sql";

sqlite3* OpenReadOnly(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return nullptr;
  }
  // Another process may be writing: wait for it rather than read nothing.
  sqlite3_busy_timeout(db, 30000);
  return db;
}

std::string Text(sqlite3_stmt* statement, int column) {
  const unsigned char* text = sqlite3_column_text(statement, column);
  return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

}  // namespace

std::map<std::string, std::string> RegistryTree(const std::string& path) {
  std::map<std::string, std::string> tree;
  sqlite3* db = OpenReadOnly(path);
  if (db == nullptr) return tree;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, kTreeQuery, -1, &statement, nullptr) == SQLITE_OK) {
    while (sqlite3_step(statement) == SQLITE_ROW) {
      if (sqlite3_column_type(statement, 1) == SQLITE_NULL)
        tree[Text(statement, 0)] = "";
      else
        tree[Text(statement, 0) + " :: " + Text(statement, 1)] = Text(statement, 2) + ":" + Text(statement, 3);
    }
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return tree;
}

std::string RegistryIntegrity(const std::string& path) {
  sqlite3* db = OpenReadOnly(path);
  if (db == nullptr) return "cannot open " + path;
  std::string result;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr) != SQLITE_OK) {
    result = sqlite3_errmsg(db);
  } else {
    while (sqlite3_step(statement) == SQLITE_ROW) result += (result.empty() ? "" : "\n") + Text(statement, 0);
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return result;
}

}  // namespace testsupport
