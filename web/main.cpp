// Vantor in the browser (the entry point, beside app/main.cpp for the
// desktop; it lives with the page because it calls into the game from above
// every layer): the page (web/index.html) calls main once the player
// has clicked, so the audio starts inside that gesture. The game runs the
// same start-up and the same frame as on the desktop; only the loop differs:
// the browser calls one frame per animation frame instead of the engine's
// own loop, and stops calling while the tab is hidden. The round stands still
// while the tab is hidden or the page out of focus, as the desktop game does
// with its window minimised or out of focus (App::Frame).
//
// The game's files live in /vantor, a folder the page keeps in IndexedDB
// (web/pre.js), and Content is packed with the page at /Content.
//
// Online play is the page's to turn on (vantor_online), for the world table
// of the site that serves it: the game's exchanges are the browser's fetches.
//
// A replay dropped on the page is written into the module's file system and
// handed to vantor_watch_replay, which reads it as `vantor --verify` does and
// plays it from the next frame on, the live round set aside meanwhile as the
// high-score page's watching does.
#include <emscripten.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include "app/app.h"
#include "config/online_settings.h"
#include "game/game.h"
#include "replay/replay_file.h"

namespace {

vtr::App* g_app = nullptr;
// The game's folder is /vantor (main's options below).
constexpr const char* kOnlinePath = "/vantor/Online.vtr";
// A replay read and waiting for the next frame.
std::optional<vtr::Replay> g_pendingWatch;

void BrowserFrame() {
  if (g_pendingWatch) {
    g_app->game()->Watch(std::move(*g_pendingWatch), false);
    g_pendingWatch.reset();
  }
  if (!g_app->Frame()) return;
  // "Quit": the game tears down as on the desktop, and the page says so.
  emscripten_cancel_main_loop();
  // A watched round (main's --replay) ends with its outcome line, as on the
  // desktop.
  if (!g_app->game()->LastWatchOutcome().empty()) {
    std::printf("%s\n", g_app->game()->LastWatchOutcome().c_str());
  }
  g_app->Shutdown();
  g_app = nullptr;
  EM_ASM({ if (Module.onGameQuit) Module.onGameQuit(); });
}

}  // namespace

// Reads the replay at path and plays it from the next frame. Returns "" when
// it will play, else the one line saying why not: the reader's refusal,
// word for word as `vantor --verify` prints it, or why the game cannot play
// it now. The text stays valid until the next call.
extern "C" EMSCRIPTEN_KEEPALIVE const char* vantor_watch_replay(const char* path) {
  static std::string answer;
  answer.clear();
  vtr::Replay replay;
  if (vtr::ReadReplayFile(path, &replay, &answer) != vtr::ReplayError::None) return answer.c_str();
  if (g_app == nullptr) {
    answer = "The game has not started yet: click to play, then choose the replay again.";
  } else if (g_app->game()->Replaying() || g_app->game()->Watching() || g_pendingWatch) {
    // As the high-score page: one playback at a time.
    answer = "A replay is playing already: choose this one again once it has ended.";
  } else {
    g_pendingWatch = std::move(replay);
  }
  return answer.c_str();
}

// Online play in the browser: the page turns it on for the world table of
// the site that serves it (server: the page's origin) under name, and off
// again. Written to the game's folder as `vantor --online` and `--offline`
// write it; a game already started sends from its next daily round on.
// Each returns "" when done, else the one line saying why not.
extern "C" EMSCRIPTEN_KEEPALIVE const char* vantor_online(const char* server, const char* name) {
  static std::string answer;
  vtr::OnlineSettings settings;
  answer = vtr::TurnOnline(kOnlinePath, server, name, &settings);
  if (answer.empty() && g_app != nullptr) g_app->game()->UseOnline(std::move(settings));
  return answer.c_str();
}

extern "C" EMSCRIPTEN_KEEPALIVE const char* vantor_offline() {
  static std::string answer;
  answer.clear();
  if (std::remove(kOnlinePath) != 0 && errno != ENOENT) answer = std::string("Online.vtr cannot be removed: ") + std::strerror(errno);
  if (answer.empty() && g_app != nullptr) g_app->game()->UseOnline({});
  return answer.c_str();
}

// The name online play is on for, "" while it is off.
extern "C" EMSCRIPTEN_KEEPALIVE const char* vantor_online_name() {
  static std::string answer;
  answer = vtr::LoadOnlineSettings(kOnlinePath).name;
  return answer.c_str();
}

// Whether a replay is playing in the canvas (the page's "Watch" control and
// its test look at it).
extern "C" EMSCRIPTEN_KEEPALIVE int vantor_watching() {
  return g_app != nullptr && (g_pendingWatch || g_app->game()->Watching()) ? 1 : 0;
}

// main(["--replay", FILE]) plays a recorded round from the page's file
// system instead of the menu, as `vantor --replay FILE` does (the timing of
// the browser build against the native one plays the same round in both);
// main(["--replay-hold", N, FILE]) stays at its recorded frame N, as
// `vantor --replay-hold N FILE` does (the two builds' pictures of one frame
// are compared).
int main(int argc, char** argv) {
  vtr::StartOptions options;
  options.folder = "/vantor/";
  options.contentFolder = "/";
  vtr::Replay replay;
  const bool hold = argc == 4 && std::strcmp(argv[1], "--replay-hold") == 0;
  if ((argc == 3 && std::strcmp(argv[1], "--replay") == 0) || hold) {
    std::string error;
    if (hold && !vtr::ParseHoldFrame(argv[2], &options.replayHold)) {
      error = std::string("--replay-hold takes a recorded frame from 1 on, not \"") + argv[2] + "\"";
    } else if (vtr::ReadReplayFile(argv[argc - 1], &replay, &error) == vtr::ReplayError::None && hold) {
      error = vtr::HoldFrameProblem(replay, options.replayHold);
    }
    if (!error.empty()) {
      EM_ASM({ if (Module.onGameFailed) Module.onGameFailed(UTF8ToString($0)); }, error.c_str());
      return 2;
    }
    options.replayFile = argv[argc - 1];
  }
  static vtr::App app(options);
  if (!app.Start()) {
    EM_ASM({ if (Module.onGameFailed) Module.onGameFailed(UTF8ToString($0)); }, app.error().c_str());
    return 1;
  }
  if (!options.replayFile.empty()) app.game()->Watch(std::move(replay), true, options.replayHold);
  g_app = &app;
  // 0 frames per second: the browser's animation frame paces the loop. The
  // last argument unwinds main here, leaving the game running.
  emscripten_set_main_loop(BrowserFrame, 0, 1);
  return 0;
}
