#include "server/store.h"

#include <cstdio>

#include "server/pg_store.h"
#include "server/sqlite_store.h"

namespace vtr::server {

std::unique_ptr<Store> Store::Open(const std::string& database, const std::string& sqlitePath, std::string* error) {
  if (database.empty()) return OpenSqliteStore(sqlitePath, error);
  if (database.starts_with("postgresql://") || database.starts_with("postgres://")) {
    return OpenPostgresStore(database, error);
  }
  *error = "--database takes a postgresql:// URL";
  return nullptr;
}

}  // namespace vtr::server
