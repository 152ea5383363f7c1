#include "tests/support/pg_cluster.h"

#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace testing_support {

namespace {

// The folder holding initdb and pg_ctl: Debian's, newest version first,
// else from PATH. Empty when PostgreSQL is not installed.
std::string FindBin() {
  std::vector<std::filesystem::path> found;
  std::error_code failed;
  for (const auto& version : std::filesystem::directory_iterator("/usr/lib/postgresql", failed)) {
    if (std::filesystem::exists(version.path() / "bin" / "initdb")) found.push_back(version.path() / "bin");
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    return std::atoi(a.parent_path().filename().c_str()) > std::atoi(b.parent_path().filename().c_str());
  });
  if (!found.empty()) return found.front().string();
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "";
  for (std::size_t start = 0; start <= folders.size();) {
    const std::size_t end = std::min(folders.find(':', start), folders.size());
    const std::filesystem::path folder = folders.substr(start, end - start);
    if (!folder.empty() && access((folder / "initdb").c_str(), X_OK) == 0 &&
        access((folder / "pg_ctl").c_str(), X_OK) == 0) {
      return folder.string();
    }
    start = end + 1;
  }
  return "";
}

}  // namespace

bool PgCluster::Installed() { return !FindBin().empty(); }

PgCluster* PgCluster::Shared(std::string* why) {
  static std::string failure;
  static const std::unique_ptr<PgCluster> cluster = [] {
    std::unique_ptr<PgCluster> made(new PgCluster);
    if (!made->Make(&failure)) made.reset();
    return made;
  }();
  *why = failure;
  return cluster.get();
}

bool PgCluster::Make(std::string* why) {
  bin_ = FindBin();
  if (bin_.empty()) {
    *why = "PostgreSQL is not installed (no initdb)";
    return false;
  }
  std::string pattern = "/tmp/vantor-pg-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    *why = "cannot make a folder for the cluster";
    return false;
  }
  folder_ = pattern;
  if (geteuid() == 0) {
    const passwd* user = getpwnam("postgres");
    if (user == nullptr) user = getpwnam("nobody");
    if (user == nullptr || chown(folder_.c_str(), user->pw_uid, user->pw_gid) != 0) {
      *why = "no unprivileged user to run the cluster as";
      std::filesystem::remove_all(folder_);
      return false;
    }
    runAs_ = std::string("runuser -u ") + user->pw_name + " -- ";
  }

  // The watchdog: its standard input is the pipe, whose only writing end
  // this process holds (close-on-exec, so no child of ours keeps it open).
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) {
    *why = "no pipe for the watchdog";
    return false;
  }
  const std::string script = "cd \"$2\"; cat >/dev/null; $3\"$1/pg_ctl\" -D \"$2/data\" -m immediate stop >/dev/null 2>&1; rm -rf \"$2\"";
  const char* argv[] = {"sh", "-c", script.c_str(), "sh", bin_.c_str(), folder_.c_str(), runAs_.c_str(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[0], 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, "/bin/sh", &actions, &attributes, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(ends[0]);
  watchdogPipe_ = ends[1];
  if (spawned != 0) {
    *why = "cannot start the cluster's watchdog";
    std::filesystem::remove_all(folder_);
    return false;
  }
  watchdog_ = pid;

  if (!Run("initdb", "-D " + folder_ + "/data -U vantor --auth=trust --no-sync -E UTF8 --locale=C") || !Start()) {
    *why = "the PostgreSQL cluster did not start; see " + folder_ + "/commands.log and server.log";
    return false;
  }
  return true;
}

PgCluster::~PgCluster() {
  // The watchdog stops the cluster and removes the folder; waited for, so
  // that nothing is left once the tests end.
  if (watchdogPipe_ >= 0) close(watchdogPipe_);
  if (watchdog_ > 0) waitpid(watchdog_, nullptr, 0);
}

bool PgCluster::Run(const std::string& program, const std::string& arguments) const {
  // From the cluster's folder: the test's own may be closed to that user.
  const std::string command =
      "cd " + folder_ + " && " + runAs_ + bin_ + "/" + program + " " + arguments + " >>" + folder_ + "/commands.log 2>&1";
  return std::system(command.c_str()) == 0;
}

bool PgCluster::Start() {
  // No TCP at all; durability is not what these tests are about.
  return Run("pg_ctl", "-D " + folder_ + "/data -l " + folder_ + "/server.log -w -t 60 -o \"-c listen_addresses='' -k " +
                           folder_ + " -c fsync=off -c full_page_writes=off\" start");
}

bool PgCluster::Stop() { return Run("pg_ctl", "-D " + folder_ + "/data -m fast -w stop"); }

std::string PgCluster::Url(const std::string& database) const {
  return "postgresql://vantor@/" + database + "?host=" + folder_;
}

std::string PgCluster::NewDatabase() {
  const std::string name = "world_" + std::to_string(++databases_);
  return Sql("CREATE DATABASE " + name) ? Url(name) : "";
}

bool PgCluster::Sql(const std::string& sql) const {
  const std::string command = bin_ + "/psql -X -q -v ON_ERROR_STOP=1 -d '" + Url("postgres") + "' -c \"" + sql +
                              "\" >>" + folder_ + "/commands.log 2>&1";
  return std::system(command.c_str()) == 0;
}

}  // namespace testing_support
