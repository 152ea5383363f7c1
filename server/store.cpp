#include "server/store.h"

#include <openssl/evp.h>

#include <cstdio>

#include "helpers/hex.h"
#include "server/pg_store.h"
#include "server/sqlite_store.h"

namespace vtr::server {

std::string Sha256Hex(const void* data, std::size_t size) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(data, size, digest, &length, EVP_sha256(), nullptr) != 1) return "";
  return LowerHex(digest, length);
}

std::unique_ptr<Store> Store::Open(const std::string& database, const std::string& sqlitePath, std::string* error) {
  if (database.empty()) return OpenSqliteStore(sqlitePath, error);
  if (database.starts_with("postgresql://") || database.starts_with("postgres://")) {
    return OpenPostgresStore(database, error);
  }
  *error = "--database takes a postgresql:// URL";
  return nullptr;
}

}  // namespace vtr::server
