#include "tests/support/headless_game.h"

#include <gtest/gtest.h>

#include "actors/actor_list.h"
#include "config/settings.h"

namespace testing_support {

HeadlessGame::HeadlessGame() {
  vtr::Settings& settings = vtr::Settings::Instance();
  settings.ShowSplash = false;
  hge = hgeCreate(HGE_VERSION);
  hge->System_SetState(HGE_WINDOWED, true);
  hge->System_SetState(HGE_SHOWSPLASH, false);
  hge->System_SetState(HGE_USESOUND, false);
  hge->System_SetState(HGE_SCREENWIDTH, settings.SystemScreenWidth);
  hge->System_SetState(HGE_SCREENHEIGHT, settings.SystemScreenHeight);
  EXPECT_TRUE(hge->System_Initiate()) << hge->System_GetErrorMessage();
  vtr::g_engine = hge;
  game = new vtr::Game();
  vtr::g_game = game;
  game->Init();
  ClearActors();
}

HeadlessGame::~HeadlessGame() {
  ClearActors();
  delete game;
  vtr::g_game = nullptr;
  vtr::g_engine = nullptr;
  hge->System_Shutdown();
  hge->Release();
}

void HeadlessGame::ClearActors() {
  vtr::ActorList& list = vtr::ActorList::Instance();
  list.Clear();
  list.Update(0.0f);  // lets the queued actors in, to be cleared with the rest
  list.Clear();
}

}  // namespace testing_support
