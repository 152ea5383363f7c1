// Replays built to cost without end, from a real round (a golden one) by
// changing its settings, clocks and frames and writing it with the game's own
// writer, as they were found: the reader refuses what no round could have
// been, and what it must take (settings a player may set, however absurd)
// plays within the sky's capacity.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "actors/actor_list.h"
#include "game/replay_driver.h"
#include "game/rocket_spawner.h"
#include "replay/replay_file.h"
#include "tests/support/headless_game.h"
#include "tests/support/hostile_replay.h"

namespace {

using testing_support::GoldenReplay;
using testing_support::MakeSettingsAbsurd;

vtr::ReplayError Reread(const vtr::Replay& replay, std::string* error) {
  const std::vector<std::uint8_t> bytes = vtr::SerializeReplay(replay);
  vtr::Replay read;
  return vtr::ParseReplay(bytes.data(), bytes.size(), &read, error);
}

}  // namespace

TEST(HostileReplay, WhatNoRoundCouldHaveBeenIsRefusedByName) {
  struct Case {
    const char* field;
    std::function<void(vtr::Replay&)> change;
  };
  const std::vector<Case> cases = {
      {"frame time", [](vtr::Replay& r) {  // the file found: a million frames of no time
         MakeSettingsAbsurd(r);
         r.frames.assign(8192, 0xFF);
         r.frameCount = 1u << 20;
       }},
      {"StartingTime", [](vtr::Replay& r) { r.settings[15] = 1.0e9f; }},
      {"MultiplierAddition", [](vtr::Replay& r) { r.settings[22] = 1.0e30f; }},
      {"spawner clock", [](vtr::Replay& r) { r.start.clocks.ordinaryTimer = -5.0f; }},
      {"spawner clock", [](vtr::Replay& r) { r.start.clocks.dualTimer = r.start.clocks.dualDelay + 1.0f; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    vtr::Replay replay = GoldenReplay("chains");
    c.change(replay);
    std::string error;
    EXPECT_EQ(Reread(replay, &error), vtr::ReplayError::Malformed);
    EXPECT_EQ(error.rfind(c.field, 0), 0u) << error;
  }
}

// The most a file may ask within the reader's bounds fills the sky to its
// capacity and no further; the check ends, gives the game back as it was,
// and names the settings it was played with.
TEST(HostileReplay, AbsurdPlayableSettingsFillTheSkyOnlyToItsCapacity) {
  // Three rockets a frame: the capacity is reached long before the last.
  // Frames of 1 us keep the trails short: the test is of the count.
  vtr::Replay replay = testing_support::CostliestReplay(1500, 1);
  std::string error;
  ASSERT_EQ(Reread(replay, &error), vtr::ReplayError::None) << error;

  testing_support::HeadlessGame session;
  const std::vector<vtr::SettingValue> before = vtr::CaptureSettings();
  vtr::ReplayDriver driver(session.game, replay);
  driver.Start();
  std::size_t most = 0;
  while (driver.Step()) {
    const vtr::ActorList& actors = vtr::ActorList::Instance();
    most = std::max(most, actors.size() + actors.PendingCount());
  }
  EXPECT_GE(most, vtr::kSkyCapacity);
  EXPECT_LE(most, vtr::kSkyCapacity + 3);  // a frame's three launches past the check
  driver.Stop();
  EXPECT_EQ(vtr::ActorList::Instance().size(), 0u);
  EXPECT_EQ(vtr::CaptureSettings(), before);

  const std::vector<std::string> named = vtr::SettingsOtherThanDefaults(replay.settings);
  EXPECT_NE(std::find(named.begin(), named.end(), "RocketVelocity 0"), named.end());
  EXPECT_TRUE(vtr::SettingsOtherThanDefaults(GoldenReplay("chains").settings).empty());
}

// What "ok" says: the settings that decide a round are named when they are
// not the defaults; the ones that do not (volumes, file names) never are.
TEST(HostileReplay, OnlySettingsThatDecideARoundAreNamed) {
  struct Case {
    int index;
    vtr::SettingValue value;
    const char* named;  // nullptr: not named
  };
  const std::vector<Case> cases = {
      {12, std::int32_t{2147483647}, "RocketScore 2147483647"},
      {1, std::int32_t{1280}, "SystemScreenWidth 1280"},
      {23, 0.0f, "MultiplierDecreasePerSecond 0"},
      {30, 0.0f, nullptr},  // VolumeMusic
      {26, std::string("Other.vtr"), nullptr},
      {0, std::int32_t{99}, nullptr},  // StartingNumberRockets, carried unused
  };
  for (const Case& c : cases) {
    vtr::Replay replay = GoldenReplay("chains");
    replay.settings[static_cast<std::size_t>(c.index)] = c.value;
    const std::vector<std::string> named = vtr::SettingsOtherThanDefaults(replay.settings);
    if (c.named == nullptr) {
      EXPECT_TRUE(named.empty()) << c.index;
    } else {
      EXPECT_EQ(named, std::vector<std::string>{c.named}) << c.index;
    }
  }
}
