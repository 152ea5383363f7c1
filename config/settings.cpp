// The settings file holds 32 lines of "Key value" in a fixed order. It is
// read by position only: the first word of a line is skipped whatever it
// says, and the value goes to the member of that line, so any whitespace
// separates the words. The first value that cannot be read puts the stream
// in its failed state, and from there on nothing more is read: that member
// and all later ones keep the values they had before (the defaults at
// start-up, the previous load's values later). The file is written only when
// it cannot be opened for reading, so a missing file is re-created from the
// values in memory.
#include "config/settings.h"

#include <fstream>
#include <istream>
#include <ostream>

namespace vtr {
namespace {

// The 32 file lines in file order (which differs from the member order).
// One list serves both reading and writing so the two can never disagree.
template <typename Visit>
void ForEachFileEntry(Settings& s, Visit&& visit) {
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

// Skips the key word, then reads the value with the stream's own extraction
// for the member's type (a bool as 0 or 1). The value goes through a scratch
// variable: a failed extraction stores 0 or a limit by the stream's rules,
// and the member must keep its old value instead.
template <typename T>
void ReadEntry(std::istream& in, T& member) {
  std::string key;
  T value{};
  if (in >> key >> value) member = value;
}

}  // namespace

Settings& Settings::Instance() {
  static Settings* instance = new Settings();
  return *instance;
}

void Settings::Load() {
  std::ifstream in(SettingsFile);
  if (!in.is_open()) {
    Save();
    return;
  }
  ForEachFileEntry(*this, [&in](const char*, auto& member) { ReadEntry(in, member); });
}

void Settings::Save() {
  std::ofstream out(SettingsFile);
  if (!out.is_open()) return;
  ForEachFileEntry(*this, [&out](const char* key, const auto& member) {
    out << key << ' ' << member << std::endl;
  });
}

}  // namespace vtr
