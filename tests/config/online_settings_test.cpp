#include "config/online_settings.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace {

struct Case {
  std::string text;
  bool on;
  std::string server, name, key;
};

// Online play is on only for a file that names a usable server and name; the
// key is kept only as the game makes it, and nothing else turns it on.
TEST(OnlineSettingsFile, OnOnlyForAServerAndAnAllowedName) {
  testing_support::TempDir dir;
  const std::string key(32, 'a');
  const Case cases[] = {
      {"Server http://127.0.0.1:8470/\nName Ann\nKey " + key + "\n", true, "http://127.0.0.1:8470", "Ann", key},
      {"Name Ann\r\nServer https://w.example\r\n", true, "https://w.example", "Ann", ""},
      {"Server http://h\nName Ann\nKey " + std::string(32, 'G') + "\n", true, "http://h", "Ann", ""},
      {"Server http://h\nName " + std::string(32, 'n') + "\n", true, "http://h", std::string(32, 'n'), ""},
      {"Server http://h\nName " + std::string(33, 'n') + "\n", false, "", "", ""},
      {"Server http://h\nName  Ann\n", false, "", "", ""},   // a space at the name's start
      {"Server http://h\nName A;n\n", false, "", "", ""},
      {"Server ftp://h\nName Ann\n", false, "", "", ""},
      {"Server http://\nName Ann\n", false, "", "", ""},
      {"Server http://h x\nName Ann\n", false, "", "", ""},
      {"Server http://h\n", false, "", "", ""},
      {"Server http://h\nName Ann\n" + std::string(5000, '#'), false, "", "", ""},  // past the read's bound
  };
  for (const Case& c : cases) {
    dir.Write("Online.vtr", c.text);
    const vtr::OnlineSettings read = vtr::LoadOnlineSettings("Online.vtr");
    EXPECT_EQ(read.On(), c.on) << c.text.substr(0, 60);
    EXPECT_EQ(read.server, c.server) << c.text.substr(0, 60);
    EXPECT_EQ(read.name, c.name) << c.text.substr(0, 60);
    EXPECT_EQ(read.key, c.key) << c.text.substr(0, 60);
  }
  EXPECT_FALSE(vtr::LoadOnlineSettings("Missing.vtr").On());
}

TEST(OnlineSettingsFile, WhatIsSavedReadsBack) {
  testing_support::TempDir dir;
  const vtr::OnlineSettings settings{"http://127.0.0.1:8470", "Ann B_2.-", std::string(32, '7')};
  ASSERT_TRUE(vtr::SaveOnlineSettings("Online.vtr", settings));
  const vtr::OnlineSettings read = vtr::LoadOnlineSettings("Online.vtr");
  EXPECT_EQ(read.server, settings.server);
  EXPECT_EQ(read.name, settings.name);
  EXPECT_EQ(read.key, settings.key);
  EXPECT_FALSE(vtr::SaveOnlineSettings("Off.vtr", vtr::OnlineSettings{}));
}

}  // namespace
