// `--online SERVER NAME` and `--offline`: the key stays with its name, a
// server or name the world table would refuse leaves the file as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/online_command.h"
#include "config/online_settings.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(OnlineCommand, KeepsTheKeyWithItsNameAndRefusesWhatTheTableWouldNot) {
  testing_support::TempDir dir;
  const std::string folder = dir.path().string();
  const std::string file = (dir.path() / vtr::kOnlineFile).string();
  const std::string key(32, 'c');
  const std::string longName(33, 'a');
  std::ofstream(file) << "Server http://old.example\nName alice\nKey " << key << "\n";
  const struct {
    const char* server;
    const char* name;
    int status;
    const char* serverAfter;
    const char* nameAfter;
    bool keyKept;
  } steps[] = {
      {"http://127.0.0.1:8470/", "alice", 0, "http://127.0.0.1:8470", "alice", true},  // same name: same key
      {"ftp://127.0.0.1", "alice", 2, "http://127.0.0.1:8470", "alice", true},
      {"http://127.0.0.1:8470", " alice", 2, "http://127.0.0.1:8470", "alice", true},
      {"http://127.0.0.1:8470", longName.c_str(), 2, "http://127.0.0.1:8470", "alice", true},
      {"https://world.example", "bob", 0, "https://world.example", "bob", false},  // another name: a new key later
  };
  for (const auto& step : steps) {
    EXPECT_EQ(vtr::OnlineCommand(step.server, step.name, folder), step.status) << step.server << " " << step.name;
    const vtr::OnlineSettings now = vtr::LoadOnlineSettings(file);
    EXPECT_EQ(now.server, step.serverAfter) << step.name;
    EXPECT_EQ(now.name, step.nameAfter) << step.name;
    EXPECT_EQ(now.key, step.keyKept ? key : "") << step.name;
  }
  EXPECT_EQ(vtr::OfflineCommand(folder), 0);
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_FALSE(vtr::LoadOnlineSettings(file).On());
  EXPECT_EQ(vtr::OfflineCommand(folder), 0) << "already off";
}

}  // namespace
