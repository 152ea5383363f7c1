// The world table kept in one SQLite file (write-ahead log, so readers never
// wait for the writer): one connection, used by one caller at a time.
#pragma once

#include <memory>
#include <string>

#include "server/store.h"

namespace vtr::server {

// Opens (or makes) the file and its tables; nullptr with a message in error.
std::unique_ptr<Store> OpenSqliteStore(const std::string& path, std::string* error);

}  // namespace vtr::server
