// The choice of folders, driven through real folders in a temporary folder:
// a portable game folder, an installed layout under a prefix, and folders
// the game may not write to. Root writes through any folder mode, so the
// choices that depend on a folder being read-only are made in a child
// process that plays as the unprivileged user "nobody" when the tests run
// as root.
#include "platform/folders.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using vtr::GameFolders;

namespace {

std::string Folder(const fs::path& path) { return path.string() + "/"; }

// A portable game folder or an installed prefix under root, readable by all.
struct Layout {
  TempDir dir;
  fs::path root = dir.path();
  fs::path home = root / "home";

  Layout() {
    fs::permissions(root, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    fs::create_directories(home);
  }
  std::string Portable() const {
    fs::create_directories(root / "game" / "Content");
    return Folder(root / "game");
  }
  std::string Installed() const {
    fs::create_directories(root / "prefix" / "games");
    fs::create_directories(root / "prefix" / "share" / "vantor" / "Content");
    return Folder(root / "prefix" / "games");
  }
  // The user's data folder, writable by anyone (the child may be nobody).
  void OpenHome() const { fs::permissions(home, fs::perms::all | fs::perms::sticky_bit); }
};

// ChooseGameFolders in a child process, as nobody when we are root.
GameFolders ChooseAsUnprivileged(const std::string& exeFolder) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    close(pipe_ends[0]);
    if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    const GameFolders folders = vtr::ChooseGameFolders(exeFolder);
    const std::string text =
        folders.content + "\n" + folders.data + "\n" + (folders.writable ? "1" : "0") + (folders.portable ? "1" : "0");
    const ssize_t written = write(pipe_ends[1], text.data(), text.size());
    _exit(written == static_cast<ssize_t>(text.size()) ? 0 : 3);
  }
  close(pipe_ends[1]);
  std::string text;
  char chunk[512];
  ssize_t got = 0;
  while ((got = read(pipe_ends[0], chunk, sizeof chunk)) > 0) text.append(chunk, static_cast<std::size_t>(got));
  close(pipe_ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child could not choose";
  GameFolders folders;
  std::istringstream lines(text);
  std::string flags;
  std::getline(lines, folders.content);
  std::getline(lines, folders.data);
  std::getline(lines, flags);
  folders.writable = flags.size() == 2 && flags[0] == '1';
  folders.portable = flags.size() == 2 && flags[1] == '1';
  return folders;
}

void ReadOnly(const fs::path& folder) {
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
}

}  // namespace

TEST(Folders, PortableFolderKeepsEverythingBesideTheGame) {
  Layout layout;
  ScopedEnv dataHome("XDG_DATA_HOME", layout.home.string());
  const std::string game = layout.Portable();
  const GameFolders folders = vtr::ChooseGameFolders(game);
  EXPECT_EQ(folders.content, game);
  EXPECT_EQ(folders.data, game);
  EXPECT_TRUE(folders.writable);
  EXPECT_TRUE(folders.portable);
  EXPECT_FALSE(fs::exists(layout.home / "vantor")) << "a portable game made a data folder";
}

TEST(Folders, InstalledGameReadsContentFromItsPrefixAndWritesInTheDataFolder) {
  Layout layout;
  ScopedEnv dataHome("XDG_DATA_HOME", (layout.home / "deep" / "share").string());
  const std::string games = layout.Installed();
  const GameFolders folders = vtr::ChooseGameFolders(games);
  EXPECT_EQ(folders.content, Folder(layout.root / "prefix" / "share" / "vantor"));
  EXPECT_EQ(folders.data, Folder(layout.home / "deep" / "share" / "vantor"));
  EXPECT_TRUE(fs::is_directory(folders.data)) << "the data folder is made on the first start";
  EXPECT_TRUE(folders.writable);
  EXPECT_FALSE(folders.portable);

  // Without XDG_DATA_HOME the data folder is under the home folder.
  unsetenv("XDG_DATA_HOME");
  ScopedEnv home("HOME", layout.home.string());
  EXPECT_EQ(vtr::ChooseGameFolders(games).data, Folder(layout.home / ".local" / "share" / "vantor"));
}

// Only an absolute XDG_DATA_HOME counts: an empty or relative one would put
// the scores at the root or under whatever folder the game was started from.
TEST(Folders, DataFolderIgnoresAnEmptyOrRelativeDataHome) {
  Layout layout;
  const std::string games = layout.Installed();
  const fs::path startedFrom = layout.root / "elsewhere";
  fs::create_directories(startedFrom);
  const fs::path before = fs::current_path();
  fs::current_path(startedFrom);
  const std::string underHome = Folder(layout.home / ".local" / "share" / "vantor");
  const struct {
    const char* dataHome;  // nullptr: unset
    std::string home;
    std::string expected;
  } cases[] = {
      {"", layout.home.string(), underHome},
      {"share", layout.home.string(), underHome},
      {"./", layout.home.string(), underHome},
      {nullptr, layout.home.string(), underHome},
      {"", "relative/home", ""},  // no absolute place at all: nothing is made
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dataHome ? c.dataHome : "(unset)");
    ScopedEnv home("HOME", c.home);
    ScopedEnv dataHome("XDG_DATA_HOME", c.dataHome ? c.dataHome : "");
    if (!c.dataHome) unsetenv("XDG_DATA_HOME");
    const GameFolders folders = vtr::ChooseGameFolders(games);
    EXPECT_EQ(folders.writable ? folders.data : std::string(), c.expected);
  }
  EXPECT_TRUE(fs::is_empty(startedFrom)) << "a data folder was made where the game was started";
  fs::current_path(before);
}

TEST(Folders, ReadOnlyPlacesFallBackToTheDataFolderThenToReadingOnly) {
  Layout layout;
  layout.OpenHome();
  ScopedEnv dataHome("XDG_DATA_HOME", layout.home.string());

  // A portable folder the player may not write to: the data folder instead.
  const std::string game = layout.Portable();
  ReadOnly(layout.root / "game");
  GameFolders folders = ChooseAsUnprivileged(game);
  EXPECT_EQ(folders.content, game);
  EXPECT_EQ(folders.data, Folder(layout.home / "vantor"));
  EXPECT_TRUE(folders.writable);
  EXPECT_FALSE(folders.portable);

  // An installed game whose prefix the player may not write to, and a data
  // folder that cannot be made (a file stands where it would be): the game
  // reads from beside the executable and knows it cannot save.
  const std::string games = layout.Installed();
  ReadOnly(layout.root / "prefix" / "games");
  std::ofstream(layout.home / "blocked") << "a file, not a folder";
  {
    ScopedEnv blocked("XDG_DATA_HOME", (layout.home / "blocked").string());
    folders = ChooseAsUnprivileged(games);
    EXPECT_EQ(folders.content, Folder(layout.root / "prefix" / "share" / "vantor"));
    EXPECT_EQ(folders.data, games);
    EXPECT_FALSE(folders.writable);
    folders = ChooseAsUnprivileged(game);
    EXPECT_EQ(folders.data, game);
    EXPECT_FALSE(folders.writable);
  }

  // A data folder that exists but is read-only is still where the files are
  // read from.
  fs::create_directories(layout.home / "locked" / "vantor");
  ReadOnly(layout.home / "locked" / "vantor");
  ScopedEnv locked("XDG_DATA_HOME", (layout.home / "locked").string());
  folders = ChooseAsUnprivileged(games);
  EXPECT_EQ(folders.data, Folder(layout.home / "locked" / "vantor"));
  EXPECT_FALSE(folders.writable);
}

TEST(Folders, ContentNamesResolveUnderTheContentRootOnly) {
  EXPECT_EQ(vtr::ContentPath("Content/font1.fnt"), "Content/font1.fnt");
  vtr::SetContentRoot("/opt/games/share/vantor/");
  EXPECT_EQ(vtr::ContentPath("Content/font1.fnt"), "/opt/games/share/vantor/Content/font1.fnt");
  EXPECT_EQ(vtr::ContentPath("Contents.txt"), "Contents.txt");
  EXPECT_EQ(vtr::ContentPath("/tmp/Content/x.png"), "/tmp/Content/x.png");
  EXPECT_EQ(vtr::ContentPath(nullptr), "");
  vtr::SetContentRoot("");
}

TEST(Folders, ExecutableFolderIsWhereTheRunningProgramLives) {
  const fs::path executable = fs::read_symlink("/proc/self/exe");
  EXPECT_EQ(vtr::ExecutableFolder(), Folder(fs::canonical(executable.parent_path())));
}
