// A game session for tests of the actors and the round's rules: a fresh
// working folder with Content linked in, the real engine started on the dummy
// video driver, and one loaded Game reached through vtr::g_engine and
// vtr::g_game as the entry point sets them up. The actor list starts empty.
#pragma once

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
  HGE* hge = nullptr;
  vtr::Game* game = nullptr;
};

}  // namespace testing_support
