// The frame around the game: the one start-up routine shared by the entry
// point, the tests and the benchmarks, and the two callbacks the engine calls
// once per frame, which only forward to the Game object.
//
// Start-up runs in a fixed order: the settings file is read, the engine's
// states are set from it, the engine is initiated, the audio system started,
// the Game created and loaded; then the engine's loop runs, and teardown
// destroys the Game and shuts the engine down. Every caller goes through
// App, so no copy of this order can drift from the others.
#pragma once

#include <cstdint>
#include <string>

#include "config/window_mode.h"
#include "platform/folders.h"
#include "platform/hge.h"

namespace vtr {

class Game;
struct Replay;

// The window mode's file, beside the settings.
inline constexpr const char* kWindowModeFile = "Window.vtr";

// Frame callback: Game::Frame (a frame of the round, or of a watched replay)
// with the engine's frame time.
bool FrameFunc();
// Render callback: Game::Render.
bool RenderFunc();

// How to start. The defaults are those of the desktop game.
struct StartOptions {
  // Folder holding Settings.vtr, Scores.vtr, Window.vtr and VTR.log; it
  // becomes the working directory, so relative ScoreFile and SettingsFile
  // values resolve there. Empty: chosen from where the executable lives
  // (beside it in a portable game folder, else the player's data folder).
  std::string folder;
  // Folder holding Content/. Empty: `folder` when that is given, else found
  // from the executable (beside it, or <prefix>/share/vantor when installed).
  std::string contentFolder;
  // Read the settings file before the engine starts (off: the settings in
  // memory are used as they are).
  bool loadSettings = true;
  // Write no file at all: a missing settings or window mode file is not
  // made again (the checks of recorded rounds only read).
  bool readOnly = false;
  // Start the audio system; off plays silently and shows no audio message.
  bool audio = true;
  // Above 0: every frame lasts exactly this long instead of the real time.
  float fixedFrameTime = 0.0f;
  // Off: frames skip the render callback and present nothing.
  bool render = true;
  // No window: SDL's dummy video driver, whatever the display (set audio off
  // too for a run that neither shows nor plays anything).
  bool headless = false;
  // The engine's log, started fresh; empty keeps no log (and leaves the
  // game's own log alone).
  std::string logFile = "VTR.log";
  // A recorded round to play in the window instead of the menu; the run ends
  // when it does (no splash). Give an absolute path: Start changes folder.
  std::string replayFile;
  // Above 0: the replay stays at this recorded frame once it gets there, and
  // the run lasts until Escape or a stop (a still picture of that moment).
  std::uint32_t replayHold = 0;
  // Start today's challenge at once (no splash, no menu).
  bool daily = false;
  // A stop signal (SIGINT, SIGTERM, SIGHUP) ends the process at once instead
  // of asking the loop to end: for a check that writes nothing and runs no
  // loop of the engine's.
  bool endOnSignal = false;
  // The engine's callbacks; a caller may wrap the real ones (to time them).
  bool (*frameFunc)() = FrameFunc;
  bool (*renderFunc)() = RenderFunc;
};

// One run of the game. Start, then either Run (the engine's own loop) or
// Frame as often as the caller likes; Shutdown (or the destructor) ends it.
class App {
 public:
  explicit App(StartOptions options);
  // Shuts down what is still running.
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // Settings, engine states, System_Initiate, audio, Game, Game::Init. False
  // when the engine could not start: the "Error" box has been shown, error()
  // holds the engine's message, and no Game exists.
  bool Start();
  // The engine's loop; returns once the player has chosen "Quit".
  void Run();
  // One pass of the loop (input, update, render unless off), standing still
  // as Run does while the window is minimised, hidden or out of focus; true
  // when the game asked to stop.
  bool Frame();
  // Destroys the Game, shuts the engine down and releases it; once only.
  void Shutdown();

  HGE* engine() const { return engine_; }
  Game* game() const { return game_; }
  const std::string& error() const { return error_; }
  // The folders in use once Start has run.
  const GameFolders& folders() const { return folders_; }

 private:
  void RememberWindowMode();

  StartOptions options_;
  WindowMode windowMode_;  // as read at start, then as last written
  HGE* engine_ = nullptr;
  Game* game_ = nullptr;
  bool initiated_ = false;
  std::string error_;
  GameFolders folders_;
};

// Exit statuses of the game besides 0 (played, then quit or stopped by a
// signal) and the replay's 1 and 2 (see RunGame).
inline constexpr int kExitCannotStart = 3;  // no window could be opened: the "Error" box told why
inline constexpr int kExitDisplayLost = 4;  // the display went away under the game; the teardown ran

// The whole run of the desktop game: Start, Run, Shutdown. Returns the exit
// status: kExitCannotStart when the engine could not start, kExitDisplayLost
// when the display went away, else 0, except with a replayFile: 2 (and one
// line on standard error) when it cannot be read or played back, 1 when it
// did not play as recorded (its outcome line is printed either way).
int RunGame(const StartOptions& options);

// The N of `--replay-hold N`: decimal digits alone, from 1 to 2^32 - 1;
// false for anything else (0, a sign, a space, too many digits).
bool ParseHoldFrame(const char* text, std::uint32_t* frame);

// Why replay cannot be held at frame, in one line; "" when it can (frame 1
// to the replay's last).
std::string HoldFrameProblem(const Replay& replay, std::uint32_t frame);

// Creates and initialises the audio system inside the SoundManager with 100
// channels. A failure is shown to the player and start-up goes on silent.
void StartAudio();

// Shows a start-up message in a box, or on standard error where no box can be
// shown, and always writes it to the engine log.
void ReportStartupMessage(const char* caption, const char* text, bool errorIcon);

}  // namespace vtr
