// Vantor: start-up, the engine's loop, teardown.
#include "app/app.h"
#include "config/settings.h"
#include "game/game.h"
#include "platform/hge.h"
#include "platform/process.h"

using namespace vtr;

int main(int, char**) {
  ChangeToExecutableFolder();  // Content/, settings, scores and log live beside the game

  Settings& settings = Settings::Instance();
  settings.Load();

  g_engine = hgeCreate(HGE_VERSION);
  g_engine->System_SetState(HGE_LOGFILE, "VTR.log");
  g_engine->System_SetState(HGE_FRAMEFUNC, FrameFunc);
  g_engine->System_SetState(HGE_RENDERFUNC, RenderFunc);
  g_engine->System_SetState(HGE_WINDOWED, true);
  g_engine->System_SetState(HGE_SCREENWIDTH, settings.SystemScreenWidth);
  g_engine->System_SetState(HGE_SCREENHEIGHT, settings.SystemScreenHeight);
  g_engine->System_SetState(HGE_SCREENBPP, settings.SystemColorDepth);
  g_engine->System_SetState(HGE_USESOUND, false);
  g_engine->System_SetState(HGE_TITLE, "Vantor");
  g_engine->System_SetState(HGE_HIDEMOUSE, false);
  if (!settings.ShowSplash) g_engine->System_SetState(HGE_SHOWSPLASH, false);

  if (g_engine->System_Initiate()) {
    StartAudio();
    g_game = new Game();
    g_game->Init();
    g_engine->System_Start();
  } else {
    ReportStartupMessage("Error", g_engine->System_GetErrorMessage(), true);
  }

  delete g_game;
  g_game = nullptr;
  g_engine->System_Shutdown();
  g_engine->Release();
  return 0;
}
