#include "support/registry_snapshot.h"

#include <sqlite3.h>

namespace testsupport {
namespace {

void AppendRows(sqlite3* db, const char* sql, std::string* out) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
    *out += std::string("cannot read: ") + sqlite3_errmsg(db) + "\n";
    return;
  }
  while (sqlite3_step(statement) == SQLITE_ROW) {
    for (int column = 0; column < sqlite3_column_count(statement); ++column) {
      const unsigned char* text = sqlite3_column_text(statement, column);
      *out += text != nullptr ? reinterpret_cast<const char*>(text) : "NULL";
      *out += '|';
    }
    *out += '\n';
  }
  sqlite3_finalize(statement);
}

}  // namespace

std::string RegistrySnapshot(const std::string& path) {
  sqlite3* db = nullptr;
  std::string out;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return "cannot open " + path;
  }
  AppendRows(db, "SELECT id, parent, name FROM keys ORDER BY id", &out);
  AppendRows(db, "SELECT key, name, type, hex(data) FROM vals ORDER BY key, name", &out);
  sqlite3_close(db);
  return out;
}

}  // namespace testsupport
