// One frame of drawing: the splash alone, or the play field (background,
// live actors, side panels) under the menu and logo or the HUD.
#include "actors/actor_list.h"
#include "config/settings.h"
#include "game/game.h"
#include "game/playback.h"
#include "helpers/color.h"
#include "helpers/sprite.h"
#include "menu/game_menu.h"

namespace vtr {

bool Game::Render() {
  const Settings& settings = Settings::Instance();
  const float width = static_cast<float>(settings.SystemScreenWidth);
  const float height = static_cast<float>(settings.SystemScreenHeight);

  engine->Gfx_BeginScene(0);
  if (splashShowing_) {
    RenderSplash(width, height);
  } else {
    background_->Render(0.0f, 0.0f);
    for (const std::shared_ptr<Actor>& actor : ActorList::Instance().Actors()) {
      if (actor->alive) actor->Render();
    }
    const float screenWidth = static_cast<float>(engine->System_GetState(HGE_SCREENWIDTH));
    leftPanel_->Render(0.0f, 0.0f);
    rightPanel_->Render(screenWidth - rightPanel_->GetWidth(), 0.0f);
    if (round_.menuShown) {
      menu->Render(scoreSaveFailed_, watchMessage_, scoreSaveWaiting_);
      logo_->Render(width * 0.5f, 100.0f);
    } else {
      hud.Draw();
    }
    notice.Draw(*hud.font, width * 0.5f, height - 40.0f);
  }
  if (playback_) {
    if (!splashShowing_) playback_->DrawLabel(*hud.font);
    playback_->DrawCursor(engine);
  }
  engine->Gfx_EndScene();
  return false;
}

// The canvas is never cleared between frames, so the splash starts from
// black or its fade would leave the previous frame showing through.
void Game::RenderSplash(float width, float height) {
  engine->Gfx_Clear(0xFF000000);
  splash_->SetColor((PackChannel(splashAlpha_) << 24) | (splash_->GetColor() & 0x00FFFFFFu), -1);
  splash_->RenderTransformed(width * 0.5f, height * 0.5f, 0.0f, 0.75f, 0.0f);
}

}  // namespace vtr
