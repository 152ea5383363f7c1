// The start-up's folders: Content read from a root of its own, the game's
// files written in the data folder, which the log's first line names; the
// window mode kept between runs.
#include "app/app.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "audio/sound_manager.h"
#include "config/window_mode.h"
#include "game/game.h"
#include "helpers/font.h"
#include "platform/hge_headless.h"
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

// The window mode and the mute, as the player left them, come back at the
// next start; a broken file is written again whole at once.
TEST(AppWindowMode, RememberedBetweenRunsAndABrokenFileRewritten) {
  testing_support::TempDir data;
  {
    std::ofstream(data.path() / "Window.vtr") << "Fullscreen 1\nWindowWidth 7";
  }
  vtr::StartOptions options;
  options.folder = data.path().string() + "/";
  options.contentFolder = std::string(VANTOR_SOURCE_DIR) + "/";
  options.audio = false;
  options.render = false;
  options.fixedFrameTime = 1.0f / 60.0f;
  {
    vtr::App app(options);
    ASSERT_TRUE(app.Start()) << app.error();
    const vtr::WindowModeFile rewritten = vtr::LoadWindowMode((data.path() / "Window.vtr").string());
    EXPECT_TRUE(rewritten.whole);
    EXPECT_TRUE(rewritten.mode.fullscreen);  // what could be read is kept
    EXPECT_FALSE(app.engine()->System_GetState(HGE_WINDOWED));

    headless::PushKey(122, true);  // F11: back to a window
    headless::PushKey(122, false);
    app.Frame();
    headless::PushKey('M', true);
    app.Frame();
    EXPECT_TRUE(vtr::SoundManager::Instance().Muted());
    EXPECT_EQ(app.game()->notice.Text(), "Sound off (M)");
    app.Shutdown();
  }
  const vtr::WindowModeFile saved = vtr::LoadWindowMode((data.path() / "Window.vtr").string());
  EXPECT_TRUE(saved.whole);
  EXPECT_FALSE(saved.mode.fullscreen);
  EXPECT_TRUE(saved.mode.muted);
  EXPECT_GT(saved.mode.width, 0);

  vtr::SoundManager::Instance().SetMuted(false);
  std::ofstream(data.path() / "Window.vtr") << "Fullscreen 1\nWindowWidth 640\nWindowHeight 360\nMuted 1\n";
  vtr::App again(options);
  ASSERT_TRUE(again.Start()) << again.error();
  EXPECT_FALSE(again.engine()->System_GetState(HGE_WINDOWED));
  EXPECT_EQ(again.engine()->System_GetState(HGE_WINDOWWIDTH), 640);
  EXPECT_EQ(again.engine()->System_GetState(HGE_WINDOWHEIGHT), 360);
  EXPECT_TRUE(vtr::SoundManager::Instance().Muted());
  again.Shutdown();
}
