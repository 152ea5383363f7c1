#include "app/app.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <utility>

#include "audio/sound_manager.h"
#include "config/first_round.h"
#include "config/online_settings.h"
#include "config/settings.h"
#include "config/window_mode.h"
#include "game/game.h"
#include "platform/audio.h"
#include "platform/hge_headless.h"
#include "platform/message_box.h"
#include "platform/x11_window_guard.h"
#include "replay/replay_file.h"

namespace vtr {

HGE* g_engine = nullptr;
Game* g_game = nullptr;

bool FrameFunc() { return g_game->Frame(g_engine->Timer_GetDelta()); }

bool RenderFunc() { return g_game->Render(); }

// The log keeps the message even when a box shows it: the box is gone once
// the player closes it, and the log is what a bug report comes with.
void ReportStartupMessage(const char* caption, const char* text, bool errorIcon) {
  if (g_engine != nullptr) g_engine->System_Log("%s: %s", caption, text);
  ShowMessageBox(caption, text, errorIcon);
}

void StartAudio() {
  SoundManager& sounds = SoundManager::Instance();
  if (audio::System_Create(&sounds.system) != audio::kOk) {
    ReportStartupMessage("FMOD", "Failed to create FMOD system device!", false);
    return;
  }
  if (sounds.system->init(100, 0, nullptr) != audio::kOk) {
    ReportStartupMessage("FMOD", "Failed to initialize FMOD!", false);
  }
}

App::App(StartOptions options) : options_(std::move(options)) {}

App::~App() { Shutdown(); }

bool App::Start() {
  // The game's own files are opened by relative names in the data folder;
  // Content is read from its own root, which may lie elsewhere.
  if (options_.folder.empty()) {
    folders_ = ChooseGameFolders(ExecutableFolder());
  } else {
    folders_.data = options_.folder;
    folders_.writable = true;
    folders_.portable = true;
  }
  if (!options_.contentFolder.empty()) folders_.content = options_.contentFolder;
  if (!folders_.data.empty()) {
    std::error_code ignored;  // a folder that cannot be entered leaves the current one
    std::filesystem::current_path(folders_.data, ignored);
  }
  SetContentRoot(folders_.content);

  Settings& settings = Settings::Instance();
  if (options_.loadSettings) {
    if (options_.readOnly) {
      settings.LoadWithoutWriting();
    } else {
      settings.Load();
    }
  }

  engine_ = hgeCreate(HGE_VERSION);
  g_engine = engine_;
  if (options_.headless) headless::SelectDummyVideo();
  engine_->System_SetState(HGE_LOGFILE, options_.logFile.c_str());
  engine_->System_Log("Data folder: %s%s", folders_.data.c_str(),
                      folders_.writable ? "" : " (cannot be written: scores cannot be saved)");
  engine_->System_Log("Content folder: %s", folders_.content.empty() ? "./" : folders_.content.c_str());
  engine_->System_SetState(HGE_FRAMEFUNC, options_.frameFunc);
  engine_->System_SetState(HGE_RENDERFUNC, options_.renderFunc);
  engine_->System_SetState(HGE_WINDOWED, true);
  const WindowModeFile remembered = LoadWindowMode(kWindowModeFile);
  windowMode_ = remembered.mode;
  if (!remembered.whole && !options_.readOnly) {
    engine_->System_Log("%s is missing or could not be read whole: the window mode takes its defaults where "
                        "needed, and the file is written again",
                        kWindowModeFile);
    SaveWindowMode(kWindowModeFile, windowMode_);
  }
  if (windowMode_.fullscreen) engine_->System_SetState(HGE_WINDOWED, false);
  engine_->System_SetState(HGE_WINDOWWIDTH, windowMode_.width);
  engine_->System_SetState(HGE_WINDOWHEIGHT, windowMode_.height);
  engine_->System_SetState(HGE_SCREENWIDTH, settings.SystemScreenWidth);
  engine_->System_SetState(HGE_SCREENHEIGHT, settings.SystemScreenHeight);
  engine_->System_SetState(HGE_SCREENBPP, settings.SystemColorDepth);
  engine_->System_SetState(HGE_USESOUND, false);
  engine_->System_SetState(HGE_TITLE, "Vantor");
  engine_->System_SetState(HGE_ICON, "Content/icon/vantor_64.png");
  engine_->System_SetState(HGE_HIDEMOUSE, false);
  if (!settings.ShowSplash || !options_.replayFile.empty() || options_.daily) {
    engine_->System_SetState(HGE_SHOWSPLASH, false);
  }

  if (!engine_->System_Initiate()) {
    error_ = engine_->System_GetErrorMessage();
    ReportStartupMessage("Error", error_.c_str(), true);
    return false;
  }
  initiated_ = true;
  if (options_.fixedFrameTime > 0.0f) headless::SetFixedFrameTime(engine_, options_.fixedFrameTime);
  if (!options_.render) headless::SetRenderEnabled(engine_, false);
  if (options_.endOnSignal) headless::EndOnStopSignals(engine_);

  if (options_.audio) StartAudio();
  game_ = new Game();
  g_game = game_;  // Init reaches the game through the process-wide reference
  game_->Init();
  game_->UseFirstRoundFile(options_.readOnly ? "" : kFirstRoundFile);
  if (!options_.readOnly) game_->UseOnline(LoadOnlineSettings(kOnlineFile));
  SoundManager::Instance().SetMuted(windowMode_.muted);
  if (!folders_.writable) {
    game_->notice.Show("Scores cannot be saved: no folder for them can be written", 6.0f);
  }
  return true;
}

void App::Run() {
  if (initiated_) engine_->System_Start();
}

bool App::Frame() { return initiated_ ? headless::StepFrame(engine_) : true; }

// The window mode as the player leaves it, for the next run; written only
// when it changed, so a game folder nobody plays in is left alone.
void App::RememberWindowMode() {
  if (!initiated_ || options_.readOnly) return;
  WindowMode mode;
  mode.fullscreen = !engine_->System_GetState(HGE_WINDOWED);
  mode.width = engine_->System_GetState(HGE_WINDOWWIDTH);
  mode.height = engine_->System_GetState(HGE_WINDOWHEIGHT);
  mode.muted = SoundManager::Instance().Muted();
  if (mode == windowMode_) return;
  if (!SaveWindowMode(kWindowModeFile, mode)) engine_->System_Log("Cannot write %s", kWindowModeFile);
  windowMode_ = mode;
}

void App::Shutdown() {
  // A round being watched gives the player's own session back first: the
  // mute remembered is the player's, never the watched round's.
  if (game_ != nullptr) game_->StopWatching();
  RememberWindowMode();
  delete game_;
  game_ = nullptr;
  g_game = nullptr;
  if (engine_ != nullptr) {
    engine_->System_Shutdown();
    engine_->Release();
    engine_ = nullptr;
  }
  g_engine = nullptr;
  initiated_ = false;
  SetContentRoot("");
}

bool ParseHoldFrame(const char* text, std::uint32_t* frame) {
  const char* end = text + std::strlen(text);
  if (text == end || *text < '0' || *text > '9') return false;  // from_chars would take a '-'
  std::uint32_t value = 0;
  const std::from_chars_result parsed = std::from_chars(text, end, value);
  if (parsed.ec != std::errc() || parsed.ptr != end || value == 0) return false;
  *frame = value;
  return true;
}

std::string HoldFrameProblem(const Replay& replay, std::uint32_t frame) {
  if (frame >= 1 && frame <= replay.frameCount) return "";
  return "cannot be held at frame " + std::to_string(frame) + ": it has frames 1 to " +
         std::to_string(replay.frameCount);
}

int RunGame(const StartOptions& options) {
  // A replay is read before anything starts, so a bad file opens no window.
  Replay replay;
  if (!options.replayFile.empty()) {
    std::string error;
    if (ReadReplayFile(options.replayFile, &replay, &error) != ReplayError::None) {
      std::fprintf(stderr, "%s: %s\n", options.replayFile.c_str(), error.c_str());
      return 2;
    }
    if (options.replayHold != 0) error = HoldFrameProblem(replay, options.replayHold);
    if (!error.empty()) {
      std::fprintf(stderr, "%s: %s\n", options.replayFile.c_str(), error.c_str());
      return 2;
    }
  }
  App app(options);
  int status = kExitCannotStart;
  if (app.Start()) {
    status = 0;
    if (!options.replayFile.empty()) app.game()->Watch(std::move(replay), true, options.replayHold);
    if (options.daily) app.game()->NewDailyRound(static_cast<std::int64_t>(std::time(nullptr)));
    app.Run();
    if (!options.replayFile.empty()) {
      const Game& game = *app.game();
      std::printf("%s\n", game.LastWatchOutcome().c_str());
      if (!game.LastWatchFaithful() && !game.LastWatchLeftEarly()) status = 1;
    }
  }
  app.Shutdown();
  if (status == 0 && platform::X11DisplayGone()) status = kExitDisplayLost;
  return status;
}

}  // namespace vtr
