#include "config/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/settings_text.h"
#include "tests/support/hostile_files.h"
#include "tests/support/temp_dir.h"

// Every test runs in a process of its own, so each starts from a fresh
// settings object holding the defaults.

namespace {

using testing_support::TempDir;
using vtr::Settings;

const std::string kDefaultsFile = testing_support::DefaultSettingsText();

// A value for every line, none of them a default, in file order.
std::vector<std::string> OtherValues() {
  return {"11",   "800",  "600",  "16",   "0.25", "1.5",  "2.5",        "8.5",
          "55",   "110",  "160",  "4",    "101",  "202",  "1003",       "45",
          "20",   "5",    "250",  "350",  "6",    "3",    "0.125",      "0.0625",
          "0.3",  "0.02", "High.vtr", "Settings.vtr", "0", "2.25", "0.75", "0.25"};
}

// A settings file of one "key value" line per value, with the real keys or
// with the one word given.
std::string FileOf(const std::vector<std::string>& values, const std::string& key = "") {
  std::istringstream defaults(kDefaultsFile);
  std::string text, realKey, ignored;
  for (const std::string& value : values) {
    defaults >> realKey >> ignored;
    text += (key.empty() ? realKey : key) + " " + value + "\n";
  }
  return text;
}

void ExpectOtherValues(const Settings& s) {
  EXPECT_EQ(s.StartingNumberRockets, 11);
  EXPECT_EQ(s.SystemScreenWidth, 800);
  EXPECT_EQ(s.SystemScreenHeight, 600);
  EXPECT_EQ(s.SystemColorDepth, 16);
  EXPECT_EQ(s.ExplosionAlphaStart, 0.25f);
  EXPECT_EQ(s.RocketSpawnDelay, 1.5f);
  EXPECT_EQ(s.BonusRocketSpawnDelay, 2.5f);
  EXPECT_EQ(s.DualRocketSpawnDelay, 8.5f);
  EXPECT_EQ(s.RocketVelocity, 55.0f);
  EXPECT_EQ(s.BonusRocketVelocity, 110.0f);
  EXPECT_EQ(s.DualRocketVelocity, 160.0f);
  EXPECT_EQ(s.ShowCombosAfterAmount, 4);
  EXPECT_EQ(s.RocketScore, 101);
  EXPECT_EQ(s.BonusRocketScore, 202);
  EXPECT_EQ(s.DualRocketScore, 1003);
  EXPECT_EQ(s.StartingTime, 45.0f);
  EXPECT_EQ(s.TimeWarning1, 20.0f);
  EXPECT_EQ(s.TimeWarning2, 5.0f);
  EXPECT_EQ(s.MultiplierHighlight1, 250u);
  EXPECT_EQ(s.MultiplierHighlight2, 350u);
  EXPECT_EQ(s.RocketsRemainingWarning1, 6u);
  EXPECT_EQ(s.RocketsRemainingWarning2, 3u);
  EXPECT_EQ(s.MultiplierAddition, 0.125f);
  EXPECT_EQ(s.MultiplierDecreasePerSecond, 0.0625f);
  EXPECT_EQ(s.MultiplierRocketFirePenalty, 0.3f);
  EXPECT_EQ(s.MultiplierPenaltyMin, 0.02f);
  EXPECT_EQ(s.ScoreFile, "High.vtr");
  EXPECT_EQ(s.SettingsFile, "Settings.vtr");
  EXPECT_FALSE(s.ShowSplash);
  EXPECT_EQ(s.SplashTime, 2.25f);
  EXPECT_EQ(s.VolumeMusic, 0.75f);
  EXPECT_EQ(s.VolumeSound, 0.25f);
}

TEST(Settings, MissingFileIsCreatedWithTheDefaults) {
  TempDir dir;
  Settings& s = Settings::Instance();
  s.Load();
  EXPECT_EQ(dir.Read("Settings.vtr"), kDefaultsFile);
  EXPECT_EQ(s.StartingTime, 60.0f);
  EXPECT_EQ(s.SettingsFile, "Settings.vtr");
}

TEST(Settings, FileIsReadByPositionWhateverTheKeys) {
  TempDir dir;
  dir.Write("Settings.vtr", FileOf(OtherValues(), "Misspelt"));
  Settings& s = Settings::Instance();
  s.Load();
  ExpectOtherValues(s);

  // Any whitespace separates the words; text after line 32 is ignored.
  std::string oneLine;
  for (const std::string& value : OtherValues()) oneLine += "k \t" + value + "  ";
  dir.Write("Settings.vtr", oneLine + "\n\nTrailing words 99\n");
  s.Load();
  ExpectOtherValues(s);
  EXPECT_EQ(dir.Read("Settings.vtr"), oneLine + "\n\nTrailing words 99\n") << "never rewritten";
}

TEST(Settings, UnreadableValueStopsTheLoadThere) {
  TempDir dir;
  Settings& s = Settings::Instance();
  dir.Write("Settings.vtr", FileOf(OtherValues()));
  s.Load();

  // Line 5 (ExplosionAlphaStart) is a word: lines 1-4 load, the rest keep
  // the previous load's values, the bad line's member included.
  std::vector<std::string> values(32, "7");
  values[4] = "abc";
  values[26] = "Other.vtr";
  dir.Write("Settings.vtr", FileOf(values));
  s.Load();
  EXPECT_EQ(s.StartingNumberRockets, 7);
  EXPECT_EQ(s.SystemScreenWidth, 7);
  EXPECT_EQ(s.SystemScreenHeight, 7);
  EXPECT_EQ(s.SystemColorDepth, 7);
  EXPECT_EQ(s.ExplosionAlphaStart, 0.25f);
  EXPECT_EQ(s.RocketSpawnDelay, 1.5f);
  EXPECT_EQ(s.ScoreFile, "High.vtr");
  EXPECT_FALSE(s.ShowSplash);
  EXPECT_EQ(s.VolumeMusic, 0.75f);
  EXPECT_EQ(s.VolumeSound, 0.25f);
}

TEST(Settings, IntegerOutOfRangeStopsTheLoadAndKeepsTheMember) {
  TempDir dir;
  Settings& s = Settings::Instance();
  std::vector<std::string> values = OtherValues();
  values[1] = "99999999999";  // SystemScreenWidth
  dir.Write("Settings.vtr", FileOf(values));
  s.Load();
  EXPECT_EQ(s.StartingNumberRockets, 11);
  EXPECT_EQ(s.SystemScreenWidth, 1024);
  EXPECT_EQ(s.SystemScreenHeight, 768);
}

TEST(Settings, UnsignedMembersTakeNegativeNumbersWrapped) {
  TempDir dir;
  Settings& s = Settings::Instance();
  std::vector<std::string> values = OtherValues();
  values[18] = "-5";  // MultiplierHighlight1: the stream's own rule wraps it
  dir.Write("Settings.vtr", FileOf(values));
  s.Load();
  EXPECT_EQ(s.MultiplierHighlight1, 4294967291u);
  EXPECT_EQ(s.VolumeSound, 0.25f) << "the load went on to the end";
}

TEST(Settings, ShowSplashAcceptsOnlyZeroOrOne) {
  TempDir dir;
  Settings& s = Settings::Instance();
  std::vector<std::string> values = OtherValues();
  values[28] = "true";
  dir.Write("Settings.vtr", FileOf(values));
  s.Load();
  EXPECT_EQ(s.SettingsFile, "Settings.vtr");
  EXPECT_EQ(s.ScoreFile, "High.vtr");
  EXPECT_TRUE(s.ShowSplash) << "keeps its own value";
  EXPECT_EQ(s.SplashTime, 1.5f);
  EXPECT_EQ(s.VolumeMusic, 0.5f);
  EXPECT_EQ(s.VolumeSound, 0.5f);

  values[28] = "2";
  dir.Write("Settings.vtr", FileOf(values));
  s.Load();
  EXPECT_TRUE(s.ShowSplash);
  EXPECT_EQ(s.SplashTime, 1.5f);
}

TEST(Settings, BlankInsideAValueShiftsTheRestOfTheFile) {
  TempDir dir;
  Settings& s = Settings::Instance();
  std::vector<std::string> values = OtherValues();
  values[26] = "My Scores.vtr";
  dir.Write("Settings.vtr", FileOf(values));
  s.Load();
  EXPECT_EQ(s.ScoreFile, "My");
  // Out of step: "Scores.vtr" is skipped as a key, the next key lands in
  // SettingsFile, and ShowSplash then meets a number-less word and stops.
  EXPECT_EQ(s.SettingsFile, "SettingsFile");
  EXPECT_TRUE(s.ShowSplash);
  EXPECT_EQ(s.SplashTime, 1.5f);
  EXPECT_EQ(s.VolumeMusic, 0.5f);

  // So the next load looks for a file called "SettingsFile" and makes it.
  s.Load();
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "SettingsFile"));
}

TEST(Settings, SettingsFileLineNamesTheFileOfTheNextLoad) {
  TempDir dir;
  Settings& s = Settings::Instance();
  std::vector<std::string> values = OtherValues();
  values[27] = "Other.vtr";
  dir.Write("Settings.vtr", FileOf(values));
  s.Load();
  EXPECT_EQ(s.SettingsFile, "Other.vtr");

  // The other file does not exist: it is made from the values in memory.
  s.Load();
  EXPECT_EQ(dir.Read("Other.vtr"), FileOf(values));

  // From now on the other file is the one read.
  values[0] = "42";
  values[27] = "Other.vtr";
  dir.Write("Other.vtr", FileOf(values));
  s.Load();
  EXPECT_EQ(s.StartingNumberRockets, 42);
}

TEST(Settings, MembersOutsideTheFileSurviveReloads) {
  TempDir dir;
  Settings& s = Settings::Instance();
  int fontStandIn = 0;
  hgeFont* font = reinterpret_cast<hgeFont*>(&fontStandIn);
  s.TextFont = font;
  s.TargetRocketVelocity = 321.0f;
  s.RocketParticles.nEmission = 77;
  s.ExplosionParticles.fLifetime = 0.2f;
  s.DualRocketColorEnd = {0.25f, 0.5f, 0.75f, 1.0f};

  dir.Write("Settings.vtr", FileOf(OtherValues()));
  s.Load();
  s.Load();
  EXPECT_EQ(s.TextFont, font);
  EXPECT_EQ(s.TargetRocketVelocity, 321.0f);
  EXPECT_EQ(s.RocketParticles.nEmission, 77);
  EXPECT_EQ(s.ExplosionParticles.fLifetime, 0.2f);
  EXPECT_EQ(s.DualRocketColorEnd.b, 0.75f);
  EXPECT_EQ(s.RocketColorStart.b, 1.0f);
}

TEST(Settings, SavedValuesLoadBack) {
  TempDir dir;
  Settings& s = Settings::Instance();
  dir.Write("Settings.vtr", FileOf(OtherValues()));
  s.Load();
  std::filesystem::remove(dir.path() / "Settings.vtr");
  s.Save();
  EXPECT_EQ(dir.Read("Settings.vtr"), FileOf(OtherValues()));

  // Spoil everything in memory, then read the saved file back.
  dir.Write("Spoilt.vtr", FileOf(std::vector<std::string>(32, "9")));
  s.SettingsFile = "Spoilt.vtr";
  s.Load();
  EXPECT_EQ(s.StartingNumberRockets, 9);
  s.SettingsFile = "Settings.vtr";
  s.Load();
  ExpectOtherValues(s);
}

TEST(Settings, UnwritableFileIsSilent) {
  TempDir dir;
  Settings& s = Settings::Instance();
  s.SettingsFile = "no-such-folder/Settings.vtr";
  s.Load();
  s.Save();
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "no-such-folder"));
  EXPECT_EQ(s.StartingTime, 60.0f);
  EXPECT_EQ(s.SettingsFile, "no-such-folder/Settings.vtr");
}

TEST(Settings, NamesThatAreNoRegularFileAreNeitherReadNorReplaced) {
  TempDir dir;
  testing_support::LogCapture log;
  Settings& s = Settings::Instance();
  for (const std::string& name : testing_support::MakeHostileFiles()) {
    s.SettingsFile = name;
    s.Load();  // neither waits for a writer nor reads for ever
    EXPECT_EQ(s.StartingTime, 60.0f) << name;
    EXPECT_EQ(s.SettingsFile, name);
  }
  // One line for each refusal; the sparse file is a regular file, read up to
  // the bound: its first "word" of zero bytes leaves nothing to take.
  EXPECT_EQ(log.Count("Refused fifo: it is a FIFO"), 1);
  EXPECT_EQ(log.Count("Refused /dev/zero"), 1);
  EXPECT_EQ(log.Count("Refused folder: it is a folder"), 1);
  EXPECT_EQ(log.Count("sparse"), 0);
  EXPECT_TRUE(std::filesystem::is_fifo("fifo"));
  EXPECT_TRUE(std::filesystem::is_empty("folder"));
  EXPECT_EQ(std::filesystem::file_size("sparse"), testing_support::kSparseBytes);
}

TEST(Settings, UnplayableValuesAreHeldToAPlayableRangeAndLogged) {
  TempDir dir;
  testing_support::LogCapture log;
  Settings& s = Settings::Instance();
  const std::string file = testing_support::SettingsText(
      "MultiplierAddition 1e30 MultiplierDecreasePerSecond -0.5 MultiplierRocketFirePenalty 100.5 "
      "MultiplierPenaltyMin -1 StartingTime 262145 SplashTime 1e30");
  dir.Write("Settings.vtr", file);
  s.Load();
  EXPECT_EQ(s.MultiplierAddition, 100.0f);
  EXPECT_EQ(s.MultiplierDecreasePerSecond, 0.0f);
  EXPECT_EQ(s.MultiplierRocketFirePenalty, 100.0f);
  EXPECT_EQ(s.MultiplierPenaltyMin, 0.0f);
  EXPECT_EQ(s.StartingTime, 86400.0f);
  EXPECT_EQ(s.SplashTime, 86400.0f);
  EXPECT_EQ(log.Count("Settings: MultiplierAddition 1e+30 read, 100 used"), 1);
  EXPECT_EQ(log.Count("Settings: MultiplierDecreasePerSecond -0.5 read, 0 used"), 1);
  EXPECT_EQ(log.Count("Settings: MultiplierRocketFirePenalty 100.5 read, 100 used"), 1);
  EXPECT_EQ(log.Count("Settings: MultiplierPenaltyMin -1 read, 0 used"), 1);
  EXPECT_EQ(log.Count("Settings: StartingTime 262145 read, 86400 used"), 1);
  EXPECT_EQ(log.Count("Settings: SplashTime 1e+30 read, 86400 used"), 1);
  EXPECT_EQ(log.Lines().size(), 6u);
  EXPECT_EQ(dir.Read("Settings.vtr"), file);  // the file stays as the player wrote it
}

TEST(Settings, BoundaryValuesAndEveryValueAPlayerWouldChooseStayAsRead) {
  TempDir dir;
  testing_support::LogCapture log;
  Settings& s = Settings::Instance();
  dir.Write("Settings.vtr", testing_support::SettingsText(
                                "RocketSpawnDelay 0 BonusRocketSpawnDelay 0 DualRocketSpawnDelay 0 RocketVelocity 0 "
                                "BonusRocketVelocity 5000 MultiplierAddition 100 MultiplierDecreasePerSecond 0 "
                                "MultiplierRocketFirePenalty 0 MultiplierPenaltyMin 0 StartingTime 86400 "
                                "SplashTime -3 SystemScreenWidth 0"));
  s.Load();
  EXPECT_EQ(s.RocketSpawnDelay, 0.0f);
  EXPECT_EQ(s.DualRocketSpawnDelay, 0.0f);
  EXPECT_EQ(s.RocketVelocity, 0.0f);
  EXPECT_EQ(s.BonusRocketVelocity, 5000.0f);
  EXPECT_EQ(s.MultiplierAddition, 100.0f);
  EXPECT_EQ(s.MultiplierPenaltyMin, 0.0f);
  EXPECT_EQ(s.StartingTime, 86400.0f);
  EXPECT_EQ(s.SplashTime, -3.0f);     // a splash that is over at once
  EXPECT_EQ(s.SystemScreenWidth, 0);  // up to the engine, until it has a window
  EXPECT_TRUE(log.Lines().empty());
}

TEST(Settings, TheGameLaysOutForTheWindowTheEngineOpened) {
  TempDir dir;
  testing_support::LogCapture log;
  Settings& s = Settings::Instance();
  dir.Write("Settings.vtr", testing_support::SettingsText("SystemScreenWidth 0"));
  s.Load();
  s.UseScreenSize(1024, 768);
  EXPECT_EQ(s.SystemScreenWidth, 1024);
  EXPECT_EQ(s.SystemScreenHeight, 768);
  EXPECT_EQ(log.Count("Settings: SystemScreenWidth 0 read, 1024 used"), 1);
  EXPECT_EQ(log.Count("SystemScreenHeight"), 0);

  // Every later load ("New Game") keeps the window's size.
  dir.Write("Settings.vtr", testing_support::SettingsText("SystemScreenWidth 800 SystemScreenHeight 600"));
  s.Load();
  EXPECT_EQ(s.SystemScreenWidth, 1024);
  EXPECT_EQ(s.SystemScreenHeight, 768);
  EXPECT_EQ(log.Count("Settings: SystemScreenHeight 600 read, 768 used"), 1);
}

}  // namespace
