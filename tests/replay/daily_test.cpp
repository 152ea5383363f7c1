// Today's challenge: the date of a moment, the day's start by the documented
// rule (the expected numbers computed apart from this code, from the rule as
// written), and the replay's mark read back.
#include "replay/daily.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "config/settings.h"

TEST(Daily, TheUtcDayOfAMoment) {
  const struct {
    std::int64_t seconds;
    const char* date;
  } cases[] = {
      {0, "1970-01-01"},          {86399, "1970-01-01"},         {86400, "1970-01-02"},
      {-1, "1969-12-31"},         {951782400, "2000-02-29"},     {1796688000, "2026-12-08"},
      {253402300799, "9999-12-31"},
  };
  for (const auto& c : cases) EXPECT_EQ(vtr::DailyDateText(vtr::DailyDateAt(c.seconds)), c.date) << c.seconds;
}

TEST(Daily, TheDaysStartFollowsTheWrittenRule) {
  const vtr::RoundStart today = vtr::DailyRoundStart({2026, 12, 8});
  EXPECT_EQ(today.launchState, 0xa4c8f3b7u);
  EXPECT_EQ(today.engineRandomState, 0x4ff48fe178591b02ull);
  EXPECT_TRUE(today.daily);
  const vtr::Settings& defaults = vtr::Settings::Defaults();
  EXPECT_EQ(today.clocks, (vtr::SpawnerClocks{0.0f, defaults.RocketSpawnDelay, 0.0f, defaults.BonusRocketSpawnDelay,
                                               0.0f, defaults.DualRocketSpawnDelay}));
  const vtr::RoundStart tomorrow = vtr::DailyRoundStart({2026, 12, 9});
  EXPECT_EQ(tomorrow.launchState, 0x6ac21849u);
  EXPECT_EQ(tomorrow.engineRandomState, 0x218ca37c343ec672ull);
}

// The mark and the Escape flag share a byte; a bit beyond them is refused.
TEST(Daily, TheMarkIsReadBackBesideTheEscapeFlag) {
  vtr::Replay replay;
  replay.settings = vtr::CaptureSettings();
  replay.start = vtr::DailyRoundStart({2026, 12, 8});
  replay.frames = {0x20, 0x02};
  replay.frameCount = 1;
  for (const bool escape : {false, true}) {
    replay.start.escapeHeld = escape;
    std::vector<std::uint8_t> bytes = vtr::SerializeReplay(replay);
    vtr::Replay read;
    std::string error;
    ASSERT_EQ(vtr::ParseReplay(bytes.data(), bytes.size(), &read, &error), vtr::ReplayError::None) << error;
    EXPECT_EQ(read.start, replay.start);
    EXPECT_TRUE(vtr::IsDailyRoundOf(read, {2026, 12, 8}));
    EXPECT_FALSE(vtr::IsDailyRoundOf(read, {2026, 12, 9}));
  }
  replay.start.daily = false;
  EXPECT_FALSE(vtr::IsDailyRoundOf(replay, {2026, 12, 8}));
}
