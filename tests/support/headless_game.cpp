#include "tests/support/headless_game.h"

#include <gtest/gtest.h>

#include "actors/actor_list.h"
#include "config/settings.h"

namespace testing_support {

namespace {

vtr::StartOptions SessionOptions(const TempDir& dir) {
  vtr::Settings::Instance().ShowSplash = false;
  vtr::StartOptions options;
  options.folder = dir.path().string();
  options.loadSettings = false;  // a test may have set values before
  options.audio = false;
  return options;
}

}  // namespace

HeadlessGame::HeadlessGame() : app(SessionOptions(dir)) {
  EXPECT_TRUE(app.Start()) << app.error();
  hge = app.engine();
  game = app.game();
  ClearActors();
}

HeadlessGame::~HeadlessGame() {
  ClearActors();
  app.Shutdown();
}

void HeadlessGame::ClearActors() {
  vtr::ActorList& list = vtr::ActorList::Instance();
  list.Clear();
  list.Update(0.0f);  // lets the queued actors in, to be cleared with the rest
  list.Clear();
}

}  // namespace testing_support
