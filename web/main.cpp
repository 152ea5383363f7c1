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
#include <emscripten.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "app/app.h"
#include "game/game.h"
#include "replay/replay_file.h"

namespace {

vtr::App* g_app = nullptr;

void BrowserFrame() {
  if (!g_app->Frame()) return;
  // "Quit": the game tears down as on the desktop, and the page says so.
  emscripten_cancel_main_loop();
  // A watched round (main's --replay) ends with its outcome line, as on the
  // desktop.
  if (!g_app->game()->LastWatchOutcome().empty()) {
    std::printf("%s\n", g_app->game()->LastWatchOutcome().c_str());
  }
  g_app->Shutdown();
  EM_ASM({ if (Module.onGameQuit) Module.onGameQuit(); });
}

}  // namespace

// main(["--replay", FILE]) plays a recorded round from the page's file
// system instead of the menu, as `vantor --replay FILE` does (the timing of
// the browser build against the native one plays the same round in both).
int main(int argc, char** argv) {
  vtr::StartOptions options;
  options.folder = "/vantor/";
  options.contentFolder = "/";
  vtr::Replay replay;
  if (argc == 3 && std::strcmp(argv[1], "--replay") == 0) {
    std::string error;
    if (vtr::ReadReplayFile(argv[2], &replay, &error) != vtr::ReplayError::None) {
      EM_ASM({ if (Module.onGameFailed) Module.onGameFailed(UTF8ToString($0)); }, error.c_str());
      return 2;
    }
    options.replayFile = argv[2];
  }
  static vtr::App app(options);
  if (!app.Start()) {
    EM_ASM({ if (Module.onGameFailed) Module.onGameFailed(UTF8ToString($0)); }, app.error().c_str());
    return 1;
  }
  if (!options.replayFile.empty()) app.game()->Watch(std::move(replay), true);
  g_app = &app;
  // 0 frames per second: the browser's animation frame paces the loop. The
  // last argument unwinds main here, leaving the game running.
  emscripten_set_main_loop(BrowserFrame, 0, 1);
  return 0;
}
