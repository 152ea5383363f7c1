// A throwaway PostgreSQL cluster for the tests of one process: made by initdb
// in a fresh folder under /tmp, started by pg_ctl listening on a Unix socket
// in that folder only (no port to collide on), stopped and removed when the
// process ends, however it ends: a watchdog in a session of its own waits for
// the process's end of a pipe to close, then stops the cluster and removes
// the folder. initdb refuses to run as root, so under root the cluster is
// run as the postgres user (or nobody), owning the folder.
#pragma once

#include <memory>
#include <string>

namespace testing_support {

class PgCluster {
 public:
  // Whether initdb and pg_ctl are there.
  static bool Installed();
  // The process's cluster, started on first use; nullptr with the reason in
  // why when PostgreSQL is not installed or did not start.
  static PgCluster* Shared(std::string* why);
  ~PgCluster();

  // A new, empty database; its postgresql:// URL.
  std::string NewDatabase();
  // Runs SQL in the maintenance database; false when psql failed.
  bool Sql(const std::string& sql) const;
  // Stops and starts the server again (the data stays).
  bool Stop();
  bool Start();

 private:
  PgCluster() = default;
  bool Make(std::string* why);
  // Runs a cluster program (as the cluster's user under root); its output
  // goes to the folder's commands.log.
  bool Run(const std::string& program, const std::string& arguments) const;
  std::string Url(const std::string& database) const;

  std::string bin_;     // the folder of initdb, pg_ctl, psql
  std::string folder_;  // the cluster's folder: data/, the socket, the logs
  std::string runAs_;   // "runuser -u USER -- " under root, else empty
  int watchdogPipe_ = -1;
  int watchdog_ = -1;
  int databases_ = 0;
};

}  // namespace testing_support
