// The durable write: a failing write, fsync or rename at any step leaves the
// old file as it was and no temporary behind; EINTR and short writes are
// retried; the temporary is synced before the rename and the folder after;
// a FIFO or a link planted at the temporary's name neither stalls the write
// nor sends it into another file.
#include "platform/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/hostile_files.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using platform::FileCalls;
using platform::ScopedFileCalls;
using testing_support::TempDir;

// The calls the writer made, in order, and the one to fail.
struct Script {
  std::vector<std::string> log;
  std::string failing;  // "write", "fsync#1" (the first fsync), "rename#2", ...
  int error = EIO;
  std::string interrupted;  // the first call of this kind returns EINTR
  std::vector<int> folders;  // descriptors of opened folders
  std::vector<int> counts = std::vector<int>(6, 0);
};
Script* script = nullptr;

// Logs the call as "name" and "name#n"; true when it is to fail.
bool Fails(int kind, const char* name, const std::string& detail) {
  const std::string numbered = std::string(name) + "#" + std::to_string(++script->counts[kind]);
  script->log.push_back(std::string(name) + " " + detail);
  if (script->interrupted == name) {
    script->interrupted.clear();
    errno = EINTR;
    return true;
  }
  if (script->failing == name || script->failing == numbered) {
    errno = script->error;
    return true;
  }
  return false;
}

std::string Name(const char* path) { return fs::path(path).filename().string(); }

FileCalls Scripted() {
  FileCalls calls;
  calls.open = [](const char* path, int flags, mode_t mode) {
    const bool folder = (flags & O_DIRECTORY) != 0;
    if (Fails(0, "open", folder ? "folder" : Name(path))) return -1;
    const int fd = ::open(path, flags, mode);
    if (folder) script->folders.push_back(fd);
    return fd;
  };
  calls.write = [](int fd, const void* data, size_t size) -> ssize_t {
    if (Fails(1, "write", std::to_string(size))) return -1;
    return ::write(fd, data, size < 3 ? size : 3);  // short writes, three bytes at a time
  };
  calls.fsync = [](int fd) {
    const bool folder = std::find(script->folders.begin(), script->folders.end(), fd) != script->folders.end();
    if (Fails(2, "fsync", folder ? "folder" : "file")) return -1;
    return ::fsync(fd);
  };
  calls.rename = [](const char* from, const char* to) {
    if (Fails(3, "rename", Name(from) + ">" + Name(to))) return -1;
    return ::rename(from, to);
  };
  calls.unlink = [](const char* path) {
    script->log.push_back("unlink " + Name(path));
    return ::unlink(path);
  };
  calls.close = [](int fd) {
    if (Fails(5, "close", "")) {
      ::close(fd);  // Linux closes it all the same
      return -1;
    }
    return ::close(fd);
  };
  return calls;
}

std::vector<std::string> Listing() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(".")) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Runs body in a child that is killed after five seconds: a write that
// waits for ever fails the test instead of hanging it.
bool FinishesInTime(bool (*body)()) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::alarm(5);
    ::_exit(body() ? 0 : 1);
  }
  int status = 0;
  return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

TEST(AtomicFile, AFailureAtAnyStepKeepsTheOldFileAndLeavesNoTemporary) {
  struct Case {
    const char* failing;
    const char* interrupted;
    bool backup;
    bool ok;
  };
  const Case cases[] = {
      {"", "", false, true},          {"", "", true, true},           {"open#1", "", false, false},
      {"write#2", "", false, false},  {"fsync#1", "", false, false},  {"close#1", "", false, false},
      {"rename#1", "", false, false}, {"rename#1", "", true, false},  {"rename#2", "", true, false},
      {"", "open", false, true},      {"", "write", false, true},     {"", "fsync", false, true},
      {"", "close", false, true},  // closed all the same, after a good sync
      {"fsync#2", "", false, true},  // the folder's sync: the new file is in place all the same
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.failing) + (c.backup ? " with backup" : "") + " EINTR on " + c.interrupted);
    TempDir dir;
    dir.Write("Scores.vtr", "old\n");
    Script run;
    run.failing = c.failing;
    run.interrupted = c.interrupted;
    script = &run;
    platform::AtomicWriteResult result;
    {
      const ScopedFileCalls seam(Scripted());
      platform::AtomicWriteOptions options;
      options.keepBackup = c.backup;
      result = platform::WriteFileAtomically("Scores.vtr", "new content\n", options);
    }
    script = nullptr;
    EXPECT_EQ(result.ok, c.ok) << result.why;
    EXPECT_EQ(dir.Read("Scores.vtr"), c.ok ? "new content\n" : "old\n");
    const std::vector<std::string> expected =
        c.ok && c.backup ? std::vector<std::string>{"Scores.vtr", "Scores.vtr.bak"} : std::vector<std::string>{"Scores.vtr"};
    EXPECT_EQ(Listing(), expected);
    if (!c.ok) {
      EXPECT_EQ(result.why, std::strerror(EIO));
    }
  }
}

TEST(AtomicFile, TheFileIsSyncedBeforeTheRenameAndTheFolderAfterIt) {
  TempDir dir;
  Script run;
  script = &run;
  bool ok = false;
  {
    const ScopedFileCalls seam(Scripted());
    ok = platform::WriteFileAtomically("Window.vtr", "Muted 1\n").ok;
  }
  script = nullptr;
  ASSERT_TRUE(ok);
  EXPECT_EQ(run.log, (std::vector<std::string>{"unlink Window.vtr.tmp", "open Window.vtr.tmp", "write 8", "write 5",
                                               "write 2", "fsync file", "close ", "rename Window.vtr.tmp>Window.vtr",
                                               "open folder", "fsync folder", "close "}));
  EXPECT_EQ(dir.Read("Window.vtr"), "Muted 1\n");
}

// Left behind by the attacker or a crash: whatever is at "<file>.tmp" goes,
// and the write neither waits on a FIFO nor writes through a link.
TEST(AtomicFile, AFifoOrALinkAtTheTemporaryNameIsReplacedNotUsed) {
  TempDir dir;
  dir.Write("victim", "keep me\n");
  testing_support::MakeFifo("Fifo.vtr.tmp");
  fs::create_symlink(dir.path() / "victim", "Link.vtr.tmp");
  EXPECT_TRUE(FinishesInTime([] { return platform::WriteFileAtomically("Fifo.vtr", "scores\n").ok; }));
  EXPECT_TRUE(platform::WriteFileAtomically("Link.vtr", "scores\n").ok);
  EXPECT_EQ(dir.Read("victim"), "keep me\n");
  for (const char* name : {"Fifo.vtr", "Link.vtr"}) {
    EXPECT_EQ(dir.Read(name), "scores\n") << name;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(name))) << name;
  }
  EXPECT_EQ(Listing(), (std::vector<std::string>{"Fifo.vtr", "Link.vtr", "victim"}));
}

// A link put back at the temporary's name after the stale one was removed
// (another process racing the save) makes the save fail, never follow it.
TEST(AtomicFile, ALinkPutBackAtTheTemporaryNameFailsTheSave) {
  TempDir dir;
  dir.Write("victim", "keep me\n");
  fs::create_symlink(dir.path() / "victim", "Link.vtr.tmp");
  FileCalls calls = platform::SystemFileCalls();
  calls.unlink = [](const char*) { return 0; };  // the link is back at once
  const ScopedFileCalls seam(calls);
  EXPECT_FALSE(platform::WriteFileAtomically("Link.vtr", "scores\n").ok);
  EXPECT_EQ(dir.Read("victim"), "keep me\n");
  EXPECT_FALSE(fs::exists("Link.vtr"));
}

// A link the player made to keep the file elsewhere stays a link to the same
// file, which takes the new content and keeps its permissions; a FIFO at the
// file's own name is refused without waiting.
TEST(AtomicFile, ALinkAtTheFileIsFollowedAndAFifoThereRefused) {
  TempDir dir;
  fs::create_directory("synced");
  dir.Write("synced/Scores.vtr", "old\n");
  ::chmod("synced/Scores.vtr", 0600);
  fs::create_symlink("synced/Scores.vtr", "Scores.vtr");
  ASSERT_TRUE(platform::WriteFileAtomically("Scores.vtr", "new\n").ok);
  EXPECT_TRUE(fs::is_symlink("Scores.vtr"));
  EXPECT_EQ(fs::read_symlink("Scores.vtr"), "synced/Scores.vtr");
  EXPECT_EQ(dir.Read("synced/Scores.vtr"), "new\n");
  EXPECT_EQ(fs::status("synced/Scores.vtr").permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_FALSE(fs::exists("synced/Scores.vtr.tmp"));

  testing_support::MakeFifo("Window.vtr");
  EXPECT_TRUE(FinishesInTime([] {
    const platform::AtomicWriteResult result = platform::WriteFileAtomically("Window.vtr", "x\n");
    return !result.ok && result.notRegular;
  }));
  EXPECT_TRUE(fs::is_fifo("Window.vtr"));
}

// A folder that takes no new file: the write fails and says so, or, where
// the caller allows it, rewrites the writable file in place. Root passes
// every permission check, so a root run writes as "nobody".
TEST(AtomicFile, AClosedFolderFailsOrRewritesInPlaceWhenAllowed) {
  TempDir dir;
  dir.Write("Window.vtr", "old\n");
  ::chmod("Window.vtr", 0666);
  const bool root = ::geteuid() == 0;
  ::chmod(dir.path().c_str(), root ? 0755 : 0555);
  const pid_t writer = ::fork();
  if (writer == 0) {
    if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
    const platform::AtomicWriteResult refused = platform::WriteFileAtomically("Window.vtr", "refused\n");
    platform::AtomicWriteOptions options;
    options.inPlaceWhenFolderClosed = true;
    const platform::AtomicWriteResult inPlace = platform::WriteFileAtomically("Window.vtr", "new\n", options);
    ::_exit(!refused.ok && refused.folderClosed && inPlace.ok ? 0 : 1);
  }
  int status = 0;
  const bool finished = ::waitpid(writer, &status, 0) == writer;
  ::chmod(dir.path().c_str(), 0755);
  EXPECT_TRUE(finished && WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  EXPECT_EQ(dir.Read("Window.vtr"), "new\n");
  EXPECT_EQ(Listing(), std::vector<std::string>{"Window.vtr"});
}
