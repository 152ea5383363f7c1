// The world table kept in PostgreSQL through libpq. One connection, used by
// one caller at a time; several servers may share the database. A lost
// connection is made again on the next call (and a call whose connection
// was found lost is tried once more on the new one: adding a round twice
// finds the first one, so that is safe).
#pragma once

#include <memory>
#include <string>

#include "server/store.h"

namespace vtr::server {

// Connects to url (postgresql://...) and makes the tables if missing;
// nullptr with libpq's message in error.
std::unique_ptr<Store> OpenPostgresStore(const std::string& url, std::string* error);

}  // namespace vtr::server
