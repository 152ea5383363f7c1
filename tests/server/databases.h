// The back ends the server's tests run on: each test runs once on SQLite
// and once on PostgreSQL (a throwaway cluster of the test process's own,
// skipped with the reason when PostgreSQL is not installed).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/support/pg_cluster.h"

namespace server_tests {

// The --database value for a back end: empty for SQLite, a new database's
// URL for PostgreSQL. skip says why a back end cannot run here (PostgreSQL
// not installed); failure why it should have and did not.
inline std::string DatabaseFor(const std::string& backend, std::string* skip, std::string* failure) {
  if (backend != "postgresql") return "";
  if (!testing_support::PgCluster::Installed()) {
    *skip = "PostgreSQL is not installed (no initdb): its cases are skipped; scripts/deps installs it";
    return "";
  }
  testing_support::PgCluster* cluster = testing_support::PgCluster::Shared(failure);
  const std::string url = cluster ? cluster->NewDatabase() : "";
  if (cluster && url.empty()) *failure = "the test cluster made no database";
  return url;
}

inline const auto kBackends = ::testing::Values(std::string("sqlite"), std::string("postgresql"));
inline std::string BackendName(const ::testing::TestParamInfo<std::string>& info) { return info.param; }

}  // namespace server_tests
