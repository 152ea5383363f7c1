// The start-up's folders: Content read from a root of its own, the game's
// files written in the data folder, which the log's first line names.
#include "app/app.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "game/game.h"
#include "helpers/font.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

TEST(AppFolders, ContentComesFromItsRootAndTheFilesGoToTheDataFolder) {
  testing_support::TempDir data;  // no Content here
  const std::string content = std::string(VANTOR_SOURCE_DIR) + "/";
  vtr::StartOptions options;
  options.folder = data.path().string() + "/";
  options.contentFolder = content;
  options.audio = false;
  options.render = false;
  options.fixedFrameTime = 1.0f / 60.0f;
  vtr::App app(options);
  ASSERT_TRUE(app.Start()) << app.error();

  // Pictures and fonts were found under the content root.
  EXPECT_NE(app.game()->FindTexture("background"), 0u);
  EXPECT_GT(app.game()->hud.font->GetHeight(), 0.0f);
  EXPECT_FALSE(app.game()->notice.Showing()) << "a writable data folder needs no warning";
  for (int i = 0; i < 10; ++i) app.Frame();
  app.Shutdown();

  // The settings file and the log are the data folder's, never the content's.
  EXPECT_TRUE(fs::exists(data.path() / "Settings.vtr"));
  EXPECT_FALSE(fs::exists(fs::path(content) / "Content" / "Settings.vtr"));
  std::ifstream log(data.path() / "VTR.log");
  std::string first, second;
  std::getline(log, first);
  std::getline(log, second);
  EXPECT_EQ(first, "Data folder: " + options.folder);
  EXPECT_EQ(second, "Content folder: " + content);
}
