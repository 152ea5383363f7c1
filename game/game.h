// The one object that holds a playing session together: the pictures, the
// texture registry, the sounds, the HUD, the menu, the rocket spawner, the
// round (game/round.h) and the high-score table. The moving objects of a
// round live in the ActorList.
//
// The session's states are the round's flags (game/round.h) and the splash,
// which comes first and takes every frame while it shows. Only the game
// changes its state; the rest of the program reads it, and acts on it
// through the operations below.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "actors/stage.h"
#include "config/online_settings.h"
#include "game/hud.h"
#include "game/notice.h"
#include "game/round.h"
#include "graphics/texture_registry.h"
#include "platform/hge.h"
#include "replay/replay_file.h"
#include "replay/spawner_clocks.h"
#include "scores/score_table.h"
#include "scores/world_page.h"

class hgeSprite;
class hgeAnimatedSprite;
class hgeFont;

namespace vtr {

namespace online {
class RoundSender;
class WorldTable;
}  // namespace online

class Actor;
class RocketSpawner;
class GameMenu;
struct MenuChoice;
class RoundRecorder;
class Playback;
struct LiveSession;
struct Replay;
struct RoundStart;
struct SoundEntry;

class Game final : public Stage {
 public:
  // Copies the process-wide engine reference; the Hud loads its font.
  Game();
  // Enters and saves a finished round's score that is not yet in the table
  // (the window closed or a stop signal came while the last bursts played),
  // then frees the spawner, the menu and every texture of the registry.
  ~Game();
  Game(const Game&) = delete;
  Game& operator=(const Game&) = delete;

  // Loads textures, sounds and scores, builds the menu, spawner, font,
  // sprites and the five particle descriptions, and seeds the generators.
  void Init();
  void LoadTextures();
  void LoadSounds();

  // One frame of logic; true only when the player chose "Quit".
  bool Update(float dt);
  // One frame of drawing; always false.
  bool Render();

  // "New Game": reloads the settings and starts a fresh round.
  void NewRound();
  // Today's challenge (replay/daily.h) for the UTC day of the moment given
  // (seconds since 1970): the settings file's values for the round set
  // aside for the defaults, the generators and spawner from the day's
  // start, recorded as the day's. The player's settings and spawner clocks
  // come back once the round's score is entered, or with the next round.
  void NewDailyRound(std::int64_t unixSeconds);
  bool PlayingDaily() const { return daily_ != nullptr; }
  // The time has run out: every rocket in the sky bursts.
  void EndRound();
  // The finished round's score joins the table, marked new; returns the
  // entry's time.
  std::int64_t EnterScore();

  // Replays. Every round from "New Game" is recorded, and stored beside the
  // score file once its score is saved there. A replayed round starts from its
  // recorded state instead of the settings file; it records nothing, saves
  // nothing, and its score is entered at the recorded time.
  // Starts the recorded round: its settings, generators and spawner clocks.
  void BeginReplayedRound(const Replay& replay);
  // Leaves replay mode (the next "New Game" plays and records again); the
  // replayed round is closed with it, nothing of it left to finish.
  void EndReplay();
  bool Replaying() const { return replaying_; }
  // Whether this round's score is in the table.
  bool ScoreEntered() const { return round_.scoreEntered; }
  // The state a round starting now begins from, besides its settings.
  RoundStart CaptureRoundStart() const;
  // Puts the generators and the spawner's clocks where start has them.
  void ApplyRoundStart(const RoundStart& start);

  // Watching recorded rounds. While one plays, the live session is set
  // aside, and it comes back exactly as it was: the round and its flags, the
  // score table, the settings, the menu with its pages, the HUD, the actors
  // and the recording of a round in progress. A watched round saves nothing.
  // The frame callback's entry: a frame of the playback while one runs,
  // otherwise Update, after which a watch the high-score page asked for starts.
  bool Frame(float dt);
  // The high-score page's keys: the replay of the table's entry at index
  // plays from the end of this frame; an entry without a replay does nothing,
  // one that cannot be played leaves a WatchMessage.
  void RequestWatch(std::size_t index);
  // Plays a replay that has been read, from now on. quitAtEnd: Frame returns
  // true once it is over (the run that only plays one file). holdFrame above
  // 0: the playback stays at that recorded frame (Playback::HoldAt).
  void Watch(Replay replay, bool quitAtEnd, std::uint32_t holdFrame = 0);
  bool Watching() const { return playback_ != nullptr; }
  // Ends a playback now and gives the live session back (the game's
  // teardown does it first, so the player's mute is what is remembered).
  void StopWatching();
  const Playback* CurrentPlayback() const { return playback_.get(); }
  // Path of the replay of the table's entry at index; "" when it has none.
  std::string ReplayOfEntry(std::size_t index) const;
  // Shown on the high-score page for a while after a replay could not be
  // played; "" when there is nothing to say.
  const std::string& WatchMessage() const { return watchMessage_; }
  // How the last watched round came out (Playback::OutcomeLine), and whether
  // it played to its end exactly as recorded.
  const std::string& LastWatchOutcome() const { return lastWatchOutcome_; }
  bool LastWatchFaithful() const { return lastWatchFaithful_; }
  // The watcher left it with Escape.
  bool LastWatchLeftEarly() const { return lastWatchLeft_; }

  void LoadScores();
  // Merges the table into the score file, waiting for its lock only a
  // moment (kSaveLockWait); Busy leaves the entries waiting in the pending
  // file, saved by a later frame as soon as the lock is free.
  SaveOutcome SaveScores();
  // A score file lock held by another process is waited for this long in a
  // frame that ends a round or the game; later frames only try it.
  static constexpr double kSaveLockWait = 0.2;
  // How often a frame tries again to save entries that wait for the lock.
  static constexpr float kSaveRetrySeconds = 0.25f;
  // Entries wait for the score file's lock (this run's, or left by a run
  // that ended before it could save them).
  bool ScoresWaiting() const { return scoresWaiting_; }
  std::vector<ScoreEntry> GetScores() const { return scores.Entries(); }

  // The round's scoring (Round's operations, on the current round).
  void AddScore(std::int32_t points) { round_.AddScore(points); }
  void ScoreCatch(std::uint32_t link, std::int32_t points) { round_.ScoreCatch(link, points); }
  void ChargeShot(float dt) { round_.ChargeShot(dt); }

  void PlayLaunchSound();
  void PlayExplosionSound() override;
  HTEXTURE ParticleTexture() const override { return FindTexture("particles"); }

  HTEXTURE& TextureFor(const std::string& name) { return textures.TextureFor(name); }
  HTEXTURE FindTexture(const std::string& name) const { return textures.FindTexture(name); }

  // The round as it stands; only the game's operations change it.
  const Round& CurrentRound() const { return round_; }
  // This round's score could not be saved (shown on the results page).
  bool ScoreSaveFailed() const { return scoreSaveFailed_; }
  // This round's score waits for another process to free the score file's
  // lock (the results page says it could not be saved yet).
  bool ScoreSaveWaiting() const { return scoreSaveWaiting_; }
  float MusicVolume() const { return musicVolume_; }
  // The main menu's line of help shows until a round of the player's own is
  // finished (a watched or replayed one does not count), remembered in the
  // file at path; "" shows no hint and writes nothing.
  void UseFirstRoundFile(std::string path);
  bool ShowsFirstTimeHint() const { return firstTimeHint_; }
  // Online play (config/online_settings.h): the world table's server, the
  // player's name and key. Off (the default, and in a read-only run) sends
  // nothing, fetches nothing and writes nothing of online play.
  // On, today's challenge rounds are sent to the world table in the
  // background (online/round_sender.h), and the results page says how.
  void UseOnline(OnlineSettings settings);
  const OnlineSettings& Online() const { return online_; }
  // The world table's fetches (game/game_world.cpp): made when the player
  // first turns the high-score page to it with online play on; nullptr
  // before, and always with online play off.
  const online::WorldTable* WorldTableFetches() const { return world_.get(); }
  // The sender of this session's daily rounds; null while online play is off.
  online::RoundSender* Sender() const { return sender_.get(); }
  // Shows the splash from its start, as a game that starts with it does.
  void ShowSplash();
  bool SplashShowing() const { return splashShowing_; }
  float SplashAlpha() const { return splashAlpha_; }

  // The session's parts, used directly by its drawing, the replay driver and
  // the start-up.
  HGE* engine = nullptr;  // not owned
  TextureRegistry textures;
  Hud hud;
  Notice notice;  // a line for the player near the bottom, drawn over everything
  std::unique_ptr<GameMenu> menu;
  ScoreTable scores;

 private:
  // Acts on the menu's choice of this frame; true for "Quit".
  bool Choose(const MenuChoice& choice);
  std::unique_ptr<GameMenu> MakeMenu();
  void Fire(float dt);
  void UpdateSplash(float dt);
  void FinishRound();
  void StartRound();
  void StartRequestedWatch();
  void ExchangeRound(LiveSession& live);
  void SetWatchMessage(std::string message);
  // The world table: fetched afresh as the page turns to it, its state given
  // to the menu each frame, a line's round fetched and then watched.
  void ShowWorld();
  void RequestWorldWatch(std::size_t line);
  void GiveMenuTheWorld();
  void StartFetchedWorldRound();
  void StoreRoundReplay(std::int64_t entryTime);
  void KeepRoundScore();
  void SaveWaitingScores(float dt);
  void BurstLateRockets();
  void BurstRocket(Actor& rocket);
  void RefreshHud();
  void StartSending();
  void SendDailyRound(const Replay& replay);
  void ShowWorldAnswers();
  void RenderSplash(float width, float height);
  void LoadPictures();

  // Pictures.
  std::unique_ptr<hgeSprite> background_;
  std::unique_ptr<hgeSprite> leftPanel_;
  std::unique_ptr<hgeSprite> rightPanel_;
  std::unique_ptr<hgeSprite> logo_;
  std::unique_ptr<hgeSprite> splash_;
  std::unique_ptr<hgeAnimatedSprite> particleSprite_;
  std::unique_ptr<hgeFont> textFont_;  // the combo texts' font, lent to Settings

  // Sounds, owned by the SoundManager.
  SoundEntry* music_ = nullptr;
  std::vector<SoundEntry*> explosionSounds_;
  std::vector<SoundEntry*> rocketSounds_;
  float musicVolume_ = 0.0f;
  float soundVolume_ = 0.0f;

  std::unique_ptr<RocketSpawner> spawner_;
  Round round_;
  bool scoreSaveFailed_ = false;  // this round's score could not be saved
  bool scoreSaveWaiting_ = false;  // this round's score waits for the lock
  bool scoresWaiting_ = false;     // some entries wait for the lock
  float saveRetryIn_ = 0.0f;
  // The replays of rounds whose score waits for the lock: stored once it is
  // saved (lost, unlike the score, when the game ends first).
  std::vector<std::unique_ptr<Replay>> waitingReplays_;
  bool escapeWasDown_ = false;
  std::string firstRoundFile_;
  bool firstTimeHint_ = false;
  OnlineSettings online_;
  std::unique_ptr<online::WorldTable> world_;
  WorldLine worldWatch_;  // the line whose round is being fetched
  std::unique_ptr<online::RoundSender> sender_;
  bool worldRound_ = false;  // the last round ended was sent: its page says how

  // The splash screen.
  float splashTime_ = 0.0f;
  float splashElapsed_ = 0.0f;
  float splashAlpha_ = 0.0f;
  bool splashShowing_ = false;

  std::unique_ptr<RoundRecorder> recorder_;
  // What today's challenge set aside of the player's while it plays.
  struct DailySetAside {
    std::vector<SettingValue> settings;
    SpawnerClocks clocks;
  };
  std::unique_ptr<DailySetAside> daily_;
  void GiveBackDailySetAside();
  bool replaying_ = false;
  std::int64_t replayEntryTime_ = 0;

  static constexpr std::size_t kNoWatch = static_cast<std::size_t>(-1);
  std::unique_ptr<Playback> playback_;
  std::unique_ptr<LiveSession> live_;  // what the playback set aside
  std::size_t watchRequest_ = kNoWatch;
  bool quitAfterWatch_ = false;
  bool waitForEscapeUp_ = false;
  std::string watchMessage_;
  float watchMessageLeft_ = 0.0f;
  std::string lastWatchOutcome_;
  bool lastWatchFaithful_ = false;
  bool lastWatchLeft_ = false;
};

// Process-wide references set by the entry point.
extern HGE* g_engine;
extern Game* g_game;

}  // namespace vtr
