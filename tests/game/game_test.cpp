// Whole rounds of the real game on the real engine, headless: fixed frame
// times, input pushed as real events, the same start-up as the entry point.
#include "game/game.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "actors/actor_list.h"
#include "actors/explosion.h"
#include "actors/rocket.h"
#include "actors/text.h"
#include "app/app.h"
#include "audio/sound_manager.h"
#include "config/settings.h"
#include "menu/game_menu.h"
#include "platform/hge_headless.h"
#include "replay/replay_folder.h"
#include "tests/support/lock_holder.h"
#include "tests/support/settings_text.h"
#include "tests/support/temp_dir.h"

namespace vtr {
namespace {

constexpr float kDt = 1.0f / 60.0f;

class GameTest : public ::testing::Test {
 protected:
  // Starts the game as the entry point does, in a fresh folder.
  void Start(const std::string& settingsChanges, bool withContent = true, float dt = kDt) {
    dir_ = std::make_unique<testing_support::TempDir>(withContent);
    dir_->Write("Settings.vtr", testing_support::SettingsText("ShowSplash 0 " + settingsChanges));
    StartOptions options;
    options.folder = dir_->path().string();
    options.fixedFrameTime = dt;
    options.render = false;
    app_ = std::make_unique<App>(options);
    ASSERT_TRUE(app_->Start()) << app_->error();
    game = app_->game();
  }

  void TearDown() override { app_.reset(); }

  // Runs one frame; true when the game asked to quit.
  bool Frame() { return app_->Frame(); }
  void Frames(int n) {
    for (int i = 0; i < n; ++i) Frame();
  }

  void Click(float x, float y) {
    headless::PushMouseMove(x, y);
    headless::PushMouseButton(HGEK_LBUTTON, true, x, y);
    Frame();
    headless::PushMouseButton(HGEK_LBUTTON, false, x, y);
    Frame();
  }

  void TapEscape() {
    headless::PushKey(HGEK_ESCAPE, true);
    Frame();
    headless::PushKey(HGEK_ESCAPE, false);
    Frame();
  }

  // "New Game" from the main page, as a player clicks it.
  void StartRound() {
    Click(512.0f, 310.0f);
    ASSERT_TRUE(game->CurrentRound().roundRunning);
    ASSERT_FALSE(game->CurrentRound().menuShown);
  }

  static int Count(std::int32_t kind) {
    int n = 0;
    for (const auto& actor : ActorList::Instance()) n += actor->kind == kind ? 1 : 0;
    return n;
  }

  std::string ScoreFile() const { return dir_->Read("Scores.vtr"); }

  // Frames run from now on count the plays of the "warning" sound: each play
  // takes a channel handle of its own.
  int WarningPlays(int frames) {
    SoundEntry* warning = SoundManager::Instance().Find("warning");
    int plays = 0;
    for (int i = 0; i < frames; ++i) {
      const audio::Channel before = warning->channel;
      Frame();
      plays += warning->channel == before ? 0 : 1;
    }
    return plays;
  }

  // The colour of the quads drawn inside a box of the screen during one
  // rendered frame; 0 when none, 1 when they differ.
  DWORD ColourDrawnIn(float left, float top, float right, float bottom) {
    DWORD colour = 0;
    headless::SetQuadTap(app_->engine(), [&](const hgeQuad& quad) {
      const hgeVertex& corner = quad.v[0];
      if (corner.x < left || corner.x >= right || corner.y < top || corner.y >= bottom) return;
      colour = colour == 0 || colour == corner.col ? corner.col : 1;
    });
    headless::SetRenderEnabled(app_->engine(), true);
    Frame();
    headless::SetRenderEnabled(app_->engine(), false);
    headless::SetQuadTap(app_->engine(), {});
    return colour;
  }

  Game* game = nullptr;
  std::unique_ptr<testing_support::TempDir> dir_;
  std::unique_ptr<App> app_;
};

// Long delays: no rocket of the spawner disturbs the scene.
const char* kQuietSky = "RocketSpawnDelay 1000 BonusRocketSpawnDelay 1000 DualRocketSpawnDelay 1000";

TEST_F(GameTest, ClickFiresATargetRocketThatBurstsOneFramePastTheCursor) {
  Start(kQuietSky);
  StartRound();
  const float multiplierBefore = game->CurrentRound().multiplier;

  headless::PushMouseMove(512.0f, 468.0f);
  headless::PushMouseButton(HGEK_LBUTTON, true, 512.0f, 468.0f);
  Frame();
  ASSERT_EQ(ActorList::Instance().size(), 1u);
  const auto& rocket = *ActorList::Instance().Actors().front();
  EXPECT_EQ(rocket.kind, kRocket);
  EXPECT_FALSE(rocket.collidable);
  EXPECT_FLOAT_EQ(rocket.x, 512.0f);
  EXPECT_NEAR(rocket.y, 768.0f - 200.0f * kDt, 0.01f);  // joined and moved in the frame of the click
  EXPECT_FLOAT_EQ(game->CurrentRound().multiplier, multiplierBefore - 0.2f);
  headless::PushMouseButton(HGEK_LBUTTON, false, 512.0f, 468.0f);

  int frames = 1;
  while (Count(kExplosion) == 0 && frames < 200) {
    Frame();
    ++frames;
  }
  ASSERT_EQ(Count(kExplosion), 1);
  const auto* burst = [] {
    for (const auto& actor : ActorList::Instance())
      if (actor->kind == kExplosion) return static_cast<const Explosion*>(actor.get());
    return static_cast<const Explosion*>(nullptr);
  }();
  EXPECT_EQ(burst->chain, 0u);
  // Past the target by less than one frame's travel, never on it.
  EXPECT_LT(burst->y, 468.0f);
  EXPECT_GT(burst->y, 468.0f - 200.0f * kDt - 0.01f);
  EXPECT_FLOAT_EQ(burst->x, 512.0f);
}

TEST_F(GameTest, ChainsScoreLinkByLinkAndShowComboTextsFromTheThirdLink) {
  Start(kQuietSky);
  StartRound();
  const hgeEmitterInfo& trail = Settings::Instance().RocketParticles;
  // A zigzag of resting rockets 80 pixels apart: each burst reaches the next
  // rocket first and nothing further on. The first burst is 30 pixels behind.
  const hgeVector2 spots[] = {{300, 300}, {380, 300}, {420, 369}, {500, 369}};
  for (const hgeVector2& spot : spots) {
    ActorList::Instance().Add(std::make_shared<Rocket>(game, spot, hgeVector2(0, 0), 100, trail));
  }
  SpawnExplosion(game, 0, 100.0f, 270.0f, 300.0f);

  std::int32_t scores[4] = {};
  int texts[4] = {};
  std::uint32_t links = 0;
  for (int frame = 0; frame < 240 && links < 4; ++frame) {
    Frame();
    if (game->CurrentRound().chain > links) {
      links = game->CurrentRound().chain;
      scores[links - 1] = game->CurrentRound().score;
      texts[links - 1] = Count(kText);
    }
  }
  ASSERT_EQ(links, 4u);
  // trunc(link x 100 x multiplier), the multiplier rising 0.1 per catch.
  EXPECT_EQ(scores[0], 100);
  EXPECT_EQ(scores[1], 100 + 220);
  EXPECT_EQ(scores[2], 100 + 220 + 360);
  EXPECT_EQ(scores[3], 100 + 220 + 360 + 520);
  EXPECT_NEAR(game->CurrentRound().multiplier, 1.4f, 1e-5f);
  EXPECT_EQ(game->CurrentRound().highestCombo, 4u);
  EXPECT_EQ(game->CurrentRound().catches, 4u);
  // Combo texts from the third link on, joining the list in the frame of
  // their catch.
  EXPECT_EQ(texts[0], 0);
  EXPECT_EQ(texts[1], 0);
  EXPECT_EQ(texts[2], 1);
  EXPECT_EQ(texts[3], 2);
}

TEST_F(GameTest, RoundEndsInABurstAndTheResultsOpenOnceTheSkyIsEmpty) {
  Start("StartingTime 2 RocketSpawnDelay 0.3 BonusRocketSpawnDelay 0.7 DualRocketSpawnDelay 1");
  StartRound();
  // Up to the frame before the time-out, then note every rocket in the sky.
  int frames = 0;
  while (game->CurrentRound().timeLeft > kDt && frames < 200) {
    Frame();
    ++frames;
  }
  std::vector<std::int32_t> rockets;
  for (const auto& actor : ActorList::Instance()) {
    if (actor->kind == kRocket) rockets.push_back(actor->id);
  }
  ASSERT_FALSE(rockets.empty());
  Frame();  // the time-out: the bursts join the list in this same frame
  ++frames;
  // Each of them has burst into a fresh explosion and left the list.
  int fresh = 0;
  for (const auto& actor : ActorList::Instance()) {
    EXPECT_EQ(std::count(rockets.begin(), rockets.end(), actor->id), 0);
    if (actor->kind == kExplosion && static_cast<const Explosion&>(*actor).age < 1.5f * kDt) ++fresh;
  }
  EXPECT_EQ(fresh, static_cast<int>(rockets.size()));
  ASSERT_TRUE(game->CurrentRound().roundOver);
  EXPECT_NEAR(frames * kDt, 2.0f, 2.5f * kDt);
  EXPECT_EQ(game->CurrentRound().timeLeft, 0.0f);
  EXPECT_FALSE(game->CurrentRound().menuShown);
  while (!game->CurrentRound().menuShown && frames < 3000) {
    Frame();
    ++frames;
  }
  ASSERT_TRUE(game->CurrentRound().menuShown);
  EXPECT_TRUE(ActorList::Instance().empty());
  EXPECT_TRUE(game->menu->highScoresShown);
  ASSERT_EQ(game->scores.Entries().size(), 2u);

  std::istringstream file(ScoreFile());
  int count = 0;
  file >> count;
  EXPECT_EQ(count, 2);
  std::uint32_t first = 0;
  std::uint32_t second = 0;
  std::int64_t time = 0;
  file >> first >> time >> second >> time;
  EXPECT_GE(first, second);
  EXPECT_TRUE(first == 100 || second == 100);

  // Later frames leave the table alone.
  Frames(30);
  EXPECT_EQ(game->scores.Entries().size(), 2u);
}

// The results page of a finished round sums it up; the first-time hint shows
// until then, and stays gone in the next run.
TEST_F(GameTest, TheResultsSumUpTheRoundAndTheHintLastsUntilItsEnd) {
  Start(std::string("StartingTime 1 ") + kQuietSky);
  Frame();
  EXPECT_TRUE(game->menu->firstTimeHint);
  StartRound();
  game->ScoreCatch(1, 5000);  // beats the starting entry of 100
  Click(512.0f, 200.0f);
  Click(300.0f, 200.0f);
  for (int i = 0; i < 900 && !game->CurrentRound().menuShown; ++i) Frame();
  ASSERT_TRUE(game->menu->roundSummary.has_value());
  EXPECT_EQ(*game->menu->roundSummary, (RoundSummary{true, 1, 2, 1, game->hud.multiplier, ""}));
  EXPECT_FALSE(game->ShowsFirstTimeHint());
  EXPECT_EQ(dir_->Read("FirstRound.vtr"), "FirstRoundFinished 1\n");

  Click(512.0f, 510.0f);  // "Back"
  EXPECT_FALSE(game->menu->firstTimeHint);
  Click(512.0f, 360.0f);  // "High Scores"
  ASSERT_TRUE(game->menu->highScoresShown);
  EXPECT_FALSE(game->menu->roundSummary.has_value());

  StartOptions options;
  options.folder = dir_->path().string();
  options.fixedFrameTime = kDt;
  options.render = false;
  app_ = std::make_unique<App>(options);
  ASSERT_TRUE(app_->Start()) << app_->error();
  game = app_->game();
  EXPECT_FALSE(game->ShowsFirstTimeHint());
}

TEST_F(GameTest, EscapePausesAndResumesInTheSameFrame) {
  Start("");
  StartRound();
  Frames(90);
  ASSERT_FALSE(ActorList::Instance().empty());
  const Actor& first = *ActorList::Instance().Actors().front();
  const float timeLeft = game->CurrentRound().timeLeft;
  const float y = first.y;

  headless::PushKey(HGEK_ESCAPE, true);
  Frame();
  EXPECT_TRUE(game->CurrentRound().menuShown);
  EXPECT_FALSE(game->menu->highScoresShown);
  Frames(5);  // held down: it toggles once
  headless::PushKey(HGEK_ESCAPE, false);
  Frames(3);
  EXPECT_TRUE(game->CurrentRound().menuShown);
  EXPECT_EQ(game->CurrentRound().timeLeft, timeLeft);  // frozen
  EXPECT_EQ(first.y, y);

  headless::PushKey(HGEK_ESCAPE, true);
  Frame();
  EXPECT_FALSE(game->CurrentRound().menuShown);
  EXPECT_EQ(game->CurrentRound().timeLeft, timeLeft - kDt);  // the round moved on in that frame
  EXPECT_LT(first.y, y);
}

TEST_F(GameTest, EscapeDuringTheLastBurstsStillKeepsTheRoundsScoreOnce) {
  Start("StartingTime 0.5 RocketSpawnDelay 0.1");
  StartRound();
  game->ScoreCatch(1, 4321);  // a catch worth 4321 at the round's first multiplier
  while (!game->CurrentRound().roundOver) Frame();
  ASSERT_FALSE(game->CurrentRound().menuShown);

  TapEscape();
  EXPECT_TRUE(game->CurrentRound().menuShown);
  ASSERT_EQ(game->scores.Entries().size(), 2u);
  EXPECT_EQ(game->scores.Entries().front().score, 4321u);
  EXPECT_TRUE(game->scores.Entries().front().isNew);
  EXPECT_EQ(ScoreFile().substr(0, 2), "2\n");

  Frames(600);
  TapEscape();  // cannot close the menu again
  EXPECT_TRUE(game->CurrentRound().menuShown);
  EXPECT_EQ(game->scores.Entries().size(), 2u);
}

TEST_F(GameTest, QuitEndsTheLoop) {
  Start("");
  EXPECT_EQ(dir_->Read("VTR.log").find("window icon"), std::string::npos) << "the game's own icon loads";
  Frame();
  headless::PushMouseMove(512.0f, 410.0f);
  headless::PushMouseButton(HGEK_LBUTTON, true, 512.0f, 410.0f);
  EXPECT_FALSE(Frame());
  headless::PushMouseButton(HGEK_LBUTTON, false, 512.0f, 410.0f);
  EXPECT_TRUE(Frame());
}

TEST_F(GameTest, SplashFadesInAndOutThenGivesWayToTheMenu) {
  Start("ShowSplash 1");
  ASSERT_TRUE(game->SplashShowing());
  float previous = 0.0f;
  float highest = 0.0f;
  int frames = 0;
  while (game->SplashShowing() && frames < 200) {
    TapEscape();  // no effect while the splash is up
    frames += 2;
    EXPECT_GE(game->SplashAlpha(), 0.0f);
    EXPECT_LE(game->SplashAlpha(), 1.0f);
    highest = std::max(highest, game->SplashAlpha());
    previous = game->SplashAlpha();
  }
  EXPECT_FALSE(game->SplashShowing());
  EXPECT_TRUE(game->CurrentRound().menuShown);
  EXPECT_FALSE(game->CurrentRound().roundRunning);
  EXPECT_GT(highest, 0.4f);
  EXPECT_LT(previous, 0.05f);  // faded out by the end
  EXPECT_NEAR(static_cast<float>(frames) * kDt, 1.5f, 3.0f * kDt);  // the splash lasted SplashTime
}

// Without the font the captions are invisible and cannot be clicked, but
// the keyboard still works the menus.
TEST_F(GameTest, WithoutContentTheGamePlaysSilentlyAndQuits) {
  Start("StartingTime 1 RocketSpawnDelay 0.2", /*withContent=*/false);
  EXPECT_NE(dir_->Read("VTR.log").find("window icon Content/icon/vantor_64.png"), std::string::npos);
  headless::SetRenderEnabled(g_engine, true);
  auto press = [this](int key) {
    headless::PushKey(key, true);
    const bool quit = Frame();
    headless::PushKey(key, false);
    Frame();
    return quit;
  };
  press(HGEK_ENTER);  // "New Game"
  ASSERT_TRUE(game->CurrentRound().roundRunning);
  Click(400.0f, 300.0f);
  int frames = 0;
  while (!game->CurrentRound().menuShown && frames++ < 3000) Frame();
  EXPECT_EQ(game->scores.Entries().size(), 2u);
  EXPECT_EQ(game->FindTexture("particles"), 0u);
  EXPECT_TRUE(game->menu->highScoresShown);
  press(HGEK_ENTER);  // "Back"
  EXPECT_FALSE(game->menu->highScoresShown);
  press(HGEK_UP);  // wraps to "Quit"
  EXPECT_TRUE(press(HGEK_ENTER));
}

TEST_F(GameTest, FiveShotsReadEightyDownToZeroOnTheHud) {
  Start(kQuietSky);
  StartRound();
  std::vector<std::uint32_t> readouts;
  for (int shot = 0; shot < 7; ++shot) {
    Click(512.0f, 300.0f);
    readouts.push_back(game->hud.multiplier);
  }
  EXPECT_EQ(readouts, (std::vector<std::uint32_t>{80, 60, 40, 20, 0, 0, 0}));
  EXPECT_EQ(game->CurrentRound().multiplier, 0.01f);
}

TEST_F(GameTest, KeypadPlusAndMinusTurnTheMusicUpAndDownInEveryState) {
  Start("");
  SoundEntry* music = SoundManager::Instance().Find("music");
  auto press = [this](int key) {
    headless::PushKey(key, true);
    Frame();
    headless::PushKey(key, false);
    Frame();
  };
  press(HGEK_ADD);  // in the menu
  EXPECT_FLOAT_EQ(game->MusicVolume(), 0.55f);
  EXPECT_FLOAT_EQ(music->volume, 0.55f);
  StartRound();
  press(HGEK_SUBTRACT);
  press(HGEK_SUBTRACT);
  EXPECT_FLOAT_EQ(game->MusicVolume(), 0.45f);
  EXPECT_FLOAT_EQ(music->volume, 0.45f);
  // Not clamped: it goes below silence and takes as many presses back.
  for (int i = 0; i < 10; ++i) press(HGEK_SUBTRACT);
  EXPECT_NEAR(game->MusicVolume(), -0.05f, 1e-5f);
}

TEST_F(GameTest, MMutesAndUnmutesWhileTheVolumeKeysKeepWorking) {
  Start("");
  SoundManager& sounds = SoundManager::Instance();
  SoundEntry* music = sounds.Find("music");
  auto press = [this](int key) {
    headless::PushKey(key, true);
    Frame();
    headless::PushKey(key, false);
    Frame();
  };
  press('M');
  EXPECT_TRUE(sounds.Muted());
  EXPECT_EQ(game->notice.Text(), "Sound off (M)");
  EXPECT_TRUE(game->notice.Showing());
  StartRound();
  press(HGEK_ADD);  // muted, the music's volume still moves
  EXPECT_FLOAT_EQ(music->volume, 0.55f);
  EXPECT_TRUE(sounds.Muted());
  press('M');
  EXPECT_FALSE(sounds.Muted());
  EXPECT_EQ(game->notice.Text(), "Sound on");
  EXPECT_FLOAT_EQ(music->volume, 0.55f);
  for (int i = 0; i < 120; ++i) Frame();  // the line goes after a moment
  EXPECT_FALSE(game->notice.Showing());
}

TEST_F(GameTest, ASecondRoundStartsAfreshAndItsWarningSoundsOnceAgain) {
  Start(std::string(kQuietSky) + " StartingTime 10.5");
  StartRound();
  // The warning sounds once, in the round's 31st frame (10 s left).
  EXPECT_EQ(WarningPlays(29), 0);
  EXPECT_EQ(WarningPlays(90), 1);
  ASSERT_TRUE(game->CurrentRound().warningPlayed);

  // Shots and a two-link chain: score, chain, highest combo and multiplier
  // all move away from their start.
  Click(512.0f, 200.0f);
  Click(512.0f, 200.0f);
  const hgeEmitterInfo& trail = Settings::Instance().RocketParticles;
  ActorList::Instance().Add(std::make_shared<Rocket>(game, hgeVector2(300, 300), hgeVector2(0, 0), 100, trail));
  ActorList::Instance().Add(std::make_shared<Rocket>(game, hgeVector2(380, 300), hgeVector2(0, 0), 100, trail));
  SpawnExplosion(game, 0, kExplosionRadius, 270.0f, 300.0f);
  for (int frame = 0; frame < 240 && game->CurrentRound().highestCombo < 2; ++frame) Frame();
  ASSERT_EQ(game->CurrentRound().highestCombo, 2u);
  ASSERT_GT(game->CurrentRound().score, 0);
  ASSERT_NE(game->CurrentRound().multiplier, 1.0f);

  TapEscape();  // paused: "New Game" discards the round
  StartRound();
  EXPECT_EQ(game->CurrentRound().score, 0);
  EXPECT_EQ(game->CurrentRound().chain, 0u);
  EXPECT_EQ(game->CurrentRound().highestCombo, 0u);
  EXPECT_EQ(game->CurrentRound().multiplier, 1.0f);
  EXPECT_FALSE(game->CurrentRound().warningPlayed);
  EXPECT_EQ(game->CurrentRound().timeLeft, 10.5f);
  EXPECT_EQ(WarningPlays(29), 0);
  EXPECT_EQ(WarningPlays(90), 1);
  // The HUD shows the fresh round.
  EXPECT_EQ(game->hud.score, 0u);
  EXPECT_EQ(game->hud.highestCombo, 0u);
  EXPECT_EQ(game->hud.multiplier, 100u);
}

// The time readout (left column, 20 pixels under its caption at y 260)
// turns yellow below TimeWarning1 and red below TimeWarning2.
TEST_F(GameTest, TimeReadoutTurnsYellowBelowThirtyAndRedBelowTen) {
  Start(std::string(kQuietSky) + " StartingTime 30.5", true, 0.25f);
  StartRound();
  auto timeColour = [this] { return ColourDrawnIn(15.0f, 276.0f, 150.0f, 300.0f); };
  Frame();
  ASSERT_EQ(game->CurrentRound().timeLeft, 30.25f);
  EXPECT_EQ(timeColour(), 0xFFFFFFFFu);  // 30
  EXPECT_EQ(game->hud.time, 30.0f);
  EXPECT_EQ(timeColour(), 0xFFFFFF00u);  // 29.75
  while (game->CurrentRound().timeLeft > 10.25f) Frame();
  EXPECT_EQ(timeColour(), 0xFFFFFF00u);  // 10
  EXPECT_EQ(game->hud.time, 10.0f);
  EXPECT_EQ(timeColour(), 0xFFFF0000u);  // 9.75
  EXPECT_EQ(game->hud.time, 9.75f);
}

// The multiplier readout (right column, y 340) turns blue above
// MultiplierHighlight1 and green above MultiplierHighlight2, in per cent.
TEST_F(GameTest, MultiplierReadoutHighlightsAboveTwoAndThreeHundred) {
  Start(kQuietSky);
  StartRound();
  // A catch raises the multiplier by the addition, here set to land on the
  // value wanted (the differences are exact in single precision).
  auto colourAt = [this](float multiplier) {
    vtr::Settings::Instance().MultiplierAddition = multiplier - game->CurrentRound().multiplier;
    game->ScoreCatch(1, 0);
    EXPECT_EQ(game->CurrentRound().multiplier, multiplier);
    return ColourDrawnIn(885.0f, 336.0f, 1024.0f, 360.0f);
  };
  // The readout truncates the float's product: the float nearest 2.01 reads
  // 200, the next one up 201.
  EXPECT_EQ(colourAt(2.0f), 0xFFFFFFFFu);
  EXPECT_EQ(game->hud.multiplier, 200u);
  EXPECT_EQ(colourAt(2.01f), 0xFFFFFFFFu);
  EXPECT_EQ(game->hud.multiplier, 200u);
  EXPECT_EQ(colourAt(std::nextafter(2.01f, 3.0f)), 0xFF007FFFu);
  EXPECT_EQ(game->hud.multiplier, 201u);
  EXPECT_EQ(colourAt(3.0f), 0xFF007FFFu);
  EXPECT_EQ(game->hud.multiplier, 300u);
  EXPECT_EQ(colourAt(std::nextafter(3.01f, 4.0f)), 0xFF00FF00u);
  EXPECT_EQ(game->hud.multiplier, 301u);
}

// A rocket that joins the list after the time-out burst, in the same frame,
// bursts in the next one: the player's shot with zero velocity (as from the
// launch point itself: it never reaches its target) and the spawner's
// rockets with RocketVelocity 0. The results open within a few seconds of game time.
TEST_F(GameTest, RocketsLaunchedInTheLastFrameBurstAndTheResultsOpenSoon) {
  Start("StartingTime 1 RocketSpawnDelay 0 RocketVelocity 0 BonusRocketSpawnDelay 1000 "
        "DualRocketSpawnDelay 1000");
  Settings::Instance().TargetRocketVelocity = 0.0f;  // the shot stays where it starts
  StartRound();
  while (game->CurrentRound().timeLeft - kDt > 0.0f) Frame();
  headless::PushMouseMove(400.0f, 300.0f);
  headless::PushMouseButton(HGEK_LBUTTON, true, 400.0f, 300.0f);
  Frame();  // the time-out, with the last shot
  ASSERT_TRUE(game->CurrentRound().roundOver);
  int standing = 0;
  for (const auto& actor : ActorList::Instance()) {
    if (actor->kind == kRocket && !actor->dying) {
      EXPECT_EQ(actor->vx, 0.0f);
      EXPECT_EQ(actor->vy, 0.0f);
      ++standing;
    }
  }
  ASSERT_GE(standing, 2);  // the shot and at least one of the spawner's
  Frame();
  for (const auto& actor : ActorList::Instance()) EXPECT_NE(actor->kind, kRocket);
  EXPECT_GE(Count(kExplosion), standing);  // each kept its burst

  int frames = 1;
  while (!game->CurrentRound().menuShown && frames < 3000) {
    Frame();
    ++frames;
  }
  EXPECT_TRUE(game->menu->highScoresShown);
  EXPECT_LT(frames * kDt, 4.0f);
  EXPECT_EQ(ScoreFile().substr(0, 2), "2\n");
}

// Closing the window or a stop signal while the last bursts play: the
// finished round's score is entered and saved, once, before the end.
TEST_F(GameTest, CloseOrStopSignalDuringTheLastBurstsKeepsTheRoundsScore) {
  // Each ending in a game of its own, as each comes to a process of its own.
  for (const bool bySignal : {false, true}) {
    Start("StartingTime 0.5 RocketSpawnDelay 0.1");
    StartRound();
    game->ScoreCatch(1, bySignal ? 1234 : 4321);
    for (int frames = 0; !game->CurrentRound().roundOver && frames < 600; ++frames) Frame();
    ASSERT_FALSE(game->CurrentRound().menuShown);
    if (bySignal) {
      std::raise(SIGTERM);
    } else {
      headless::PushQuit();
    }
    ASSERT_TRUE(Frame());  // the loop ends
    EXPECT_EQ(game->scores.Entries().size(), 1u);
    app_.reset();  // the teardown of the entry point
    EXPECT_EQ(ScoreFile().substr(0, 7), bySignal ? "2\n1234 " : "2\n4321 ");
  }
}

TEST_F(GameTest, FailedSaveIsLoggedAndToldUnderTheTable) {
  const std::string longName(300, 'n');  // longer than a file name may be
  Start("StartingTime 0.5 ScoreFile " + longName);
  StartRound();
  while (!game->CurrentRound().menuShown) Frame();
  ASSERT_TRUE(game->menu->highScoresShown);
  EXPECT_TRUE(game->ScoreSaveFailed());
  EXPECT_NE(dir_->Read("VTR.log").find("Cannot save the scores to " + longName + ": File name too long"),
            std::string::npos);

  // The message: letters drawn under the table, only for that round.
  auto quadsOfResults = [this](bool saveFailed) {
    int quads = 0;
    headless::SetQuadTap(app_->engine(), [&quads](const hgeQuad&) { ++quads; });
    app_->engine()->Gfx_BeginScene(0);
    game->menu->Render(saveFailed, "");
    app_->engine()->Gfx_EndScene();
    headless::SetQuadTap(app_->engine(), {});
    return quads;
  };
  const int withMessage = quadsOfResults(game->ScoreSaveFailed());
  EXPECT_GE(withMessage - quadsOfResults(false), 20);  // "Score could not be saved"
  game->NewRound();
  EXPECT_FALSE(game->ScoreSaveFailed());
  // A round whose score was not kept keeps no replay either.
  EXPECT_FALSE(std::filesystem::exists(dir_->path() / "Replays"));
}

// A score file lock held by another process (running, or stopped with
// SIGSTOP) never holds a frame: the results page says the score could not
// be saved yet, and it is saved, with its replay, as soon as the lock is
// free; a game that ends first leaves it for the next start.
TEST_F(GameTest, ALockedScoreFileNeverHoldsAFrameAndTheScoreWaitsForIt) {
  for (const bool stopped : {false, true}) {
    SCOPED_TRACE(stopped ? "stopped holder" : "running holder");
    Start("StartingTime 0.5");
    auto holder = std::make_unique<testing_support::LockHolder>("Scores.vtr.lock", stopped);
    StartRound();
    game->ScoreCatch(1, 777);
    double slowest = 0.0;
    for (int frames = 0; !game->CurrentRound().menuShown && frames < 600; ++frames) {
      const auto start = std::chrono::steady_clock::now();
      Frame();
      slowest = std::max(slowest, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    ASSERT_TRUE(game->menu->highScoresShown);
    EXPECT_LT(slowest, 1.0);
    EXPECT_TRUE(game->ScoreSaveWaiting());
    EXPECT_FALSE(game->ScoreSaveFailed());
    EXPECT_EQ(dir_->Read("Scores.vtr.pending").substr(0, 4), "777 ");
    Frames(30);
    EXPECT_TRUE(game->ScoreSaveWaiting());
    EXPECT_FALSE(std::filesystem::exists("Replays"));

    holder.reset();
    Frames(30);
    EXPECT_FALSE(game->ScoreSaveWaiting());
    EXPECT_EQ(ScoreFile().substr(0, 6), "2\n777 ");
    EXPECT_FALSE(std::filesystem::exists("Scores.vtr.pending"));
    EXPECT_EQ(ListReplays(ReplayFolderFor("Scores.vtr")).size(), 1u);

    // The game ends (a window close or a signal's teardown) while the lock
    // is taken: within a moment, with the entry waiting for the next start.
    holder = std::make_unique<testing_support::LockHolder>("Scores.vtr.lock", stopped);
    game->NewRound();
    game->ScoreCatch(1, 555);
    for (int frames = 0; !game->CurrentRound().roundOver && frames < 600; ++frames) Frame();
    const auto start = std::chrono::steady_clock::now();
    app_.reset();
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 2.0);
    EXPECT_EQ(dir_->Read("Scores.vtr.pending").substr(0, 4), "555 ");
    holder.reset();
    StartOptions options;
    options.folder = dir_->path().string();
    options.fixedFrameTime = kDt;
    options.render = false;
    options.audio = false;  // the sound system lives as long as the process: one is enough
    app_ = std::make_unique<App>(options);
    ASSERT_TRUE(app_->Start());
    Frames(2);
    EXPECT_EQ(ScoreFile().substr(0, 2), "3\n");
    EXPECT_NE(ScoreFile().find("\n555 "), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists("Scores.vtr.pending"));
    app_.reset();
  }
}

// Score files the save refuses or cannot reach: nothing is made beside them
// or on the way to them, and the round keeps no replay there.
TEST_F(GameTest, ARefusedOrUnreachableScoreFileGetsNoReplaysFolder) {
  for (const std::string scoreFile : {"box/inner", "missing/Scores.vtr"}) {
    SCOPED_TRACE(scoreFile);
    Start("StartingTime 0.5 ScoreFile " + scoreFile);
    std::filesystem::create_directories(dir_->path() / "box" / "inner");  // a folder, not a file
    StartRound();
    while (!game->CurrentRound().menuShown) Frame();
    EXPECT_TRUE(game->ScoreSaveFailed());
    EXPECT_FALSE(std::filesystem::exists(dir_->path() / "box" / "Replays"));
    EXPECT_FALSE(std::filesystem::exists(dir_->path() / "missing"));
    app_.reset();
  }
}

// Two copies of the game in one folder, each in a process of its own, taking
// turns at rounds: every round's score ends up in the shared file.
TEST(TwoCopies, RoundsTakingTurnsInTwoProcessesAllReachTheScoreFile) {
  testing_support::TempDir dir(true);
  dir.Write("Settings.vtr", testing_support::SettingsText(std::string("ShowSplash 0 StartingTime 0.5 ") + kQuietSky));
  struct Copy {
    pid_t pid = 0;
    int go = -1;    // parent to child: play a round with this score
    int done = -1;  // child to parent: the round's results are up
  };
  // A copy plays `rounds` rounds when told to, then ends.
  auto spawn = [&dir](int rounds) {
    int go[2];
    int done[2];
    EXPECT_EQ(::pipe(go), 0);
    EXPECT_EQ(::pipe(done), 0);
    Copy copy{::fork(), go[1], done[0]};
    if (copy.pid == 0) {
      StartOptions options;
      options.folder = dir.path().string();
      options.fixedFrameTime = kDt;
      options.render = false;
      App app(options);
      bool ok = app.Start();
      std::int32_t score = 0;
      for (int round = 0; ok && round < rounds && ::read(go[0], &score, sizeof score) == sizeof score; ++round) {
        Game* game = app.game();
        game->NewRound();
        game->ScoreCatch(1, score);
        for (int frame = 0; frame < 3000 && !game->CurrentRound().menuShown; ++frame) app.Frame();
        const char result = game->ScoreSaveFailed() || !game->CurrentRound().menuShown ? 'F' : 'S';
        ok = ::write(done[1], &result, 1) == 1;
      }
      ::_exit(0);
    }
    ::close(go[0]);
    ::close(done[1]);
    return copy;
  };
  auto play = [](const Copy& copy, std::int32_t score) {
    char result = 0;
    EXPECT_EQ(::write(copy.go, &score, sizeof score), static_cast<ssize_t>(sizeof score));
    EXPECT_EQ(::read(copy.done, &result, 1), 1);
    EXPECT_EQ(result, 'S');
  };
  const Copy first = spawn(2);
  const Copy second = spawn(1);
  play(first, 1111);
  play(second, 2222);  // its table was loaded before the first copy's save
  play(first, 3333);
  for (const Copy& copy : {first, second}) {
    ::close(copy.go);
    int status = 0;
    ::waitpid(copy.pid, &status, 0);
  }
  ScoreTable table;
  ASSERT_EQ(table.Load("Scores.vtr", 0), ScoreLoad::Read);
  std::vector<std::uint32_t> scores;
  for (const ScoreEntry& entry : table.Entries()) scores.push_back(entry.score);
  EXPECT_EQ(scores, (std::vector<std::uint32_t>{3333, 2222, 1111, 100}));
  // Each copy's rounds keep their replays: neither copy takes the other's
  // rounds for entries that left the page.
  for (const ScoreEntry& entry : table.Entries()) {
    if (entry.score == 100) continue;  // the starting entry, from before any round
    EXPECT_NE(FindReplay("Scores.vtr", entry), "") << entry.score;
  }
}

}  // namespace
}  // namespace vtr
