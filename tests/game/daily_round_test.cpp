// Today's challenge played in the real game, headless: the same sky for
// everyone that day whatever their settings file says, recorded as the day's,
// and the player's own settings given back after it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "actors/actor_list.h"
#include "app/app.h"
#include "config/settings.h"
#include "game/game.h"
#include "game/replay_driver.h"
#include "replay/daily.h"
#include "replay/replay_folder.h"
#include "tests/support/settings_text.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr std::int64_t kMorning = 1796688000 + 9 * 3600;  // 2026-12-08, 09:00 UTC
constexpr std::int64_t kEvening = 1796688000 + 21 * 3600;

// Where every actor stands: two skies are the same when these are.
std::vector<float> Sky() {
  std::vector<float> places;
  for (const auto& actor : vtr::ActorList::Instance()) {
    places.push_back(actor->x);
    places.push_back(actor->y);
  }
  return places;
}

}  // namespace

TEST(DailyRound, SameSkyForEveryoneThatDayAndThePlayersSettingsComeBack) {
  testing_support::TempDir dir(true);
  dir.Write("Settings.vtr", testing_support::SettingsText(
                                "ShowSplash 0 StartingTime 5 RocketScore 999 RocketSpawnDelay 0.2 VolumeMusic 0.3"));
  vtr::StartOptions options;
  options.folder = dir.path().string();
  options.fixedFrameTime = 0.1f;
  options.render = false;
  options.audio = false;
  vtr::App app(options);
  ASSERT_TRUE(app.Start()) << app.error();
  vtr::Game* game = app.game();

  game->NewDailyRound(kMorning);
  const vtr::Settings& settings = vtr::Settings::Instance();
  EXPECT_EQ(settings.RocketScore, vtr::Settings::Defaults().RocketScore);
  EXPECT_EQ(settings.StartingTime, vtr::Settings::Defaults().StartingTime);
  EXPECT_EQ(settings.VolumeMusic, 0.3f);  // the player's: it decides nothing
  for (int i = 0; i < 100; ++i) app.Frame();
  const std::vector<float> first = Sky();
  ASSERT_FALSE(first.empty());

  // A round of the player's own in between changes nothing of the next
  // daily round's sky.
  game->NewRound();
  EXPECT_EQ(settings.RocketScore, 999);
  for (int i = 0; i < 30; ++i) app.Frame();
  game->NewDailyRound(kEvening);
  for (int i = 0; i < 100; ++i) app.Frame();
  EXPECT_EQ(Sky(), first);

  // Played to its end (60 s, then the last bursts): the score is kept, the
  // replay is the day's and checks ok, the player's settings are back.
  for (int i = 0; i < 700 && !game->ScoreEntered(); ++i) app.Frame();
  ASSERT_TRUE(game->ScoreEntered());
  EXPECT_EQ(settings.RocketScore, 999);
  EXPECT_EQ(settings.StartingTime, 5.0f);
  const std::vector<vtr::StoredReplay> stored = vtr::ListReplays(vtr::ReplayFolderFor(settings.ScoreFile));
  ASSERT_EQ(stored.size(), 1u);
  vtr::Replay replay;
  std::string error;
  ASSERT_EQ(vtr::ReadReplayFile(stored[0].path, &replay, &error), vtr::ReplayError::None) << error;
  EXPECT_TRUE(vtr::IsDailyRoundOf(replay, {2026, 12, 8}));
  EXPECT_TRUE(vtr::VerifyReplay(game, replay).ok());
}
