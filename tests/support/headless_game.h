// A game session for tests of the actors and the round's rules: a fresh
// working folder with Content linked in, the game started by the entry
// point's own start-up on the dummy video driver (silent, with the settings
// in memory and no splash), reached through vtr::g_engine and vtr::g_game.
// The actor list starts empty.
#pragma once

#include "app/app.h"
#include "game/game.h"
#include "platform/hge.h"
#include "tests/support/temp_dir.h"

namespace testing_support {

class HeadlessGame {
 public:
  HeadlessGame();
  ~HeadlessGame();
  HeadlessGame(const HeadlessGame&) = delete;
  HeadlessGame& operator=(const HeadlessGame&) = delete;

  // Empties the actor list and its queue of waiting actors.
  static void ClearActors();

  TempDir dir{true};
  vtr::App app;
  HGE* hge = nullptr;
  vtr::Game* game = nullptr;
};

}  // namespace testing_support
