// Construction, start-up and teardown of the session object.
#include "game/game.h"

#include <ctime>

#include "audio/sound_manager.h"
#include "config/settings.h"
#include "game/live_session.h"
#include "game/playback.h"
#include "game/rocket_spawner.h"
#include "helpers/font.h"
#include "helpers/sprite.h"
#include "menu/game_menu.h"
#include "online/round_sender.h"
#include "online/world_table.h"
#include "replay/replay_file.h"
#include "replay/round_recorder.h"

namespace vtr {

Game::Game() : engine(g_engine), recorder_(std::make_unique<RoundRecorder>()) {}

Game::~Game() {
  StopWatching();  // the live session comes back before anything is freed
  // A finished round is final: its score is kept however the game ends.
  if (round_.roundOver) KeepRoundScore();
  // A last, short try for scores that wait for the lock; when it is still
  // taken they stay in the pending file for the next start.
  if (scoresWaiting_ && !replaying_) scores.Save(Settings::Instance().ScoreFile, kSaveLockWait);
  spawner_.reset();
  menu.reset();
  textures.FreeAll(engine);
  Settings& settings = Settings::Instance();
  if (settings.TextFont == textFont_.get()) settings.TextFont = nullptr;
}

void Game::Init() {
  // The game lays out for the window the engine opened, whatever was asked.
  Settings::Instance().UseScreenSize(engine->System_GetState(HGE_SCREENWIDTH),
                                     engine->System_GetState(HGE_SCREENHEIGHT));
  LoadTextures();
  LoadSounds();
  LoadScores();
  menu = MakeMenu();

  Settings& settings = Settings::Instance();
  spawner_ = std::make_unique<RocketSpawner>(this, settings.RocketSpawnDelay, settings.BonusRocketSpawnDelay,
                                            settings.DualRocketSpawnDelay);
  round_.timeLeft = settings.StartingTime;
  splashTime_ = settings.SplashTime;
  if (settings.ShowSplash) ShowSplash();
  musicVolume_ = settings.VolumeMusic;
  soundVolume_ = settings.VolumeSound;

  music_ = SoundManager::Instance().Find("music");
  music_->SetVolume(musicVolume_);

  LoadPictures();

  // Both generators start from the calendar time, truncated to 32 bits.
  SeedLaunchGenerator(static_cast<std::uint32_t>(std::time(nullptr)));
  engine->Random_Seed(static_cast<int>(static_cast<std::uint32_t>(std::time(nullptr))));
}

void Game::ShowSplash() {
  splashTime_ = Settings::Instance().SplashTime;
  splashElapsed_ = 0.0f;
  splashAlpha_ = 0.0f;
  splashShowing_ = true;
}

}  // namespace vtr
