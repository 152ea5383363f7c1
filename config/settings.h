// Every tuning value of the game in one process-wide object: screen size,
// spawn rates, rocket speeds and scores, round length, multiplier rules,
// warning thresholds, file names, splash and volumes. Filled from the
// settings file at start-up and at every "New Game"; parts of the game read
// the members directly when they need them.
//
// The object also carries a few shared values that never go to the file:
// the five particle descriptions, the eight trail colours, the speed of the
// player's rocket and the font of the floating texts. Loading leaves them
// alone, so they survive every reload.
#pragma once

#include <cstdint>
#include <string>

#include "helpers/emitter_info.h"

class hgeFont;

namespace vtr {

class Settings {
 public:
  // The one settings object, made with the defaults on first use and never
  // destroyed.
  static Settings& Instance();

  // Reads the 32 file members, by position, from the file named by
  // SettingsFile; writes that file with Save() when it cannot be opened.
  // A value that cannot be read stops the load there: it and every later
  // member keep the values they had. Silent.
  void Load();
  // Writes the 32 file members to the file named by SettingsFile, one
  // "Key value" line each, replacing it whole through the durable write
  // (platform/atomic_file.h). Silent when the file cannot be written.
  void Save();

  // The size of the window the engine really opened: from now on every load
  // keeps SystemScreenWidth and SystemScreenHeight at it (logging a file
  // value that differs), so the game lays out for the window it has.
  void UseScreenSize(std::int32_t width, std::int32_t height);

  // The values a round cannot be played with are held to these ranges after
  // each load, with one log line per value changed; the file is not touched.
  static constexpr float kMaxMultiplierStep = 100.0f;  // the four Multiplier* values, from 0
  static constexpr float kMaxSeconds = 86400.0f;       // StartingTime and SplashTime

  std::int32_t SystemScreenWidth = 1024;
  std::int32_t SystemScreenHeight = 768;
  std::int32_t SystemColorDepth = 32;

  // Filled at resource loading; not in the file.
  hgeEmitterInfo RocketParticles;
  hgeEmitterInfo BonusRocketParticles;
  hgeEmitterInfo TargetRocketParticles;
  hgeEmitterInfo ExplosionParticles;
  hgeEmitterInfo DualRocketParticles;

  std::int32_t StartingNumberRockets = 10;  // carried in the file, unused
  float ExplosionAlphaStart = 0.2f;         // carried in the file, unused
  float RocketSpawnDelay = 1.0f;
  float BonusRocketSpawnDelay = 3.0f;
  float DualRocketSpawnDelay = 9.0f;
  float RocketVelocity = 50.0f;
  float BonusRocketVelocity = 100.0f;
  float TargetRocketVelocity = 200.0f;  // not in the file
  float DualRocketVelocity = 150.0f;
  float StartingTime = 60.0f;
  float TimeWarning1 = 30.0f;
  float TimeWarning2 = 10.0f;
  std::uint32_t MultiplierHighlight1 = 200;  // hundredths
  std::uint32_t MultiplierHighlight2 = 300;  // hundredths
  std::uint32_t RocketsRemainingWarning1 = 5;  // carried in the file, unused
  std::uint32_t RocketsRemainingWarning2 = 2;  // carried in the file, unused
  hgeFont* TextFont = nullptr;  // floating texts' font; not owned, not in the file
  std::int32_t ShowCombosAfterAmount = 3;
  std::int32_t RocketScore = 100;
  std::int32_t BonusRocketScore = 200;
  std::int32_t DualRocketScore = 1000;
  float MultiplierAddition = 0.1f;
  float MultiplierDecreasePerSecond = 0.05f;
  float MultiplierRocketFirePenalty = 0.2f;
  float MultiplierPenaltyMin = 0.01f;
  bool ShowSplash = true;
  float SplashTime = 1.5f;
  std::string ScoreFile = "Scores.vtr";
  std::string SettingsFile = "Settings.vtr";
  float VolumeMusic = 0.5f;
  float VolumeSound = 0.5f;

  // Trail colours (r, g, b, a); not in the file.
  hgeColor RocketColorStart{0.1f, 0.0f, 1.0f, 1.0f};
  hgeColor RocketColorEnd{0.5f, 0.5f, 1.0f, 0.1f};
  hgeColor TargetRocketColorStart{1.0f, 0.2f, 0.0f, 1.0f};
  hgeColor TargetRocketColorEnd{0.7f, 0.7f, 1.0f, 0.0f};
  hgeColor BonusRocketColorStart{0.1f, 0.9f, 0.3f, 1.0f};
  hgeColor BonusRocketColorEnd{0.6f, 0.9f, 0.1f, 1.0f};
  hgeColor DualRocketColorStart{1.0f, 0.2f, 0.2f, 1.0f};
  hgeColor DualRocketColorEnd{1.0f, 0.5f, 0.2f, 1.0f};

  Settings(const Settings&) = delete;
  Settings& operator=(const Settings&) = delete;

 private:
  Settings() = default;
  void HoldPlayableRanges();

  std::int32_t windowWidth_ = 0;  // 0 until the engine has opened its window
  std::int32_t windowHeight_ = 0;
};

// The 32 file lines in file order (which differs from the member order).
// One list serves reading, writing and the replays' copy of the settings, so
// they can never disagree. S is Settings or const Settings; visit(key, member)
// sees an int32, uint32, float, bool or string member.
template <typename S, typename Visit>
void ForEachSettingsEntry(S& s, Visit&& visit) {
  visit("StartingNumberRockets", s.StartingNumberRockets);
  visit("SystemScreenWidth", s.SystemScreenWidth);
  visit("SystemScreenHeight", s.SystemScreenHeight);
  visit("SystemColorDepth", s.SystemColorDepth);
  visit("ExplosionAlphaStart", s.ExplosionAlphaStart);
  visit("RocketSpawnDelay", s.RocketSpawnDelay);
  visit("BonusRocketSpawnDelay", s.BonusRocketSpawnDelay);
  visit("DualRocketSpawnDelay", s.DualRocketSpawnDelay);
  visit("RocketVelocity", s.RocketVelocity);
  visit("BonusRocketVelocity", s.BonusRocketVelocity);
  visit("DualRocketVelocity", s.DualRocketVelocity);
  visit("ShowCombosAfterAmount", s.ShowCombosAfterAmount);
  visit("RocketScore", s.RocketScore);
  visit("BonusRocketScore", s.BonusRocketScore);
  visit("DualRocketScore", s.DualRocketScore);
  visit("StartingTime", s.StartingTime);
  visit("TimeWarning1", s.TimeWarning1);
  visit("TimeWarning2", s.TimeWarning2);
  visit("MultiplierHighlight1", s.MultiplierHighlight1);
  visit("MultiplierHighlight2", s.MultiplierHighlight2);
  visit("RocketsRemainingWarning1", s.RocketsRemainingWarning1);
  visit("RocketsRemainingWarning2", s.RocketsRemainingWarning2);
  visit("MultiplierAddition", s.MultiplierAddition);
  visit("MultiplierDecreasePerSecond", s.MultiplierDecreasePerSecond);
  visit("MultiplierRocketFirePenalty", s.MultiplierRocketFirePenalty);
  visit("MultiplierPenaltyMin", s.MultiplierPenaltyMin);
  visit("ScoreFile", s.ScoreFile);
  visit("SettingsFile", s.SettingsFile);
  visit("ShowSplash", s.ShowSplash);
  visit("SplashTime", s.SplashTime);
  visit("VolumeMusic", s.VolumeMusic);
  visit("VolumeSound", s.VolumeSound);
}

}  // namespace vtr
