#include "app/app.h"

#include "audio/sound_manager.h"
#include "game/game.h"
#include "platform/audio.h"
#include "platform/message_box.h"

namespace vtr {

HGE* g_engine = nullptr;
Game* g_game = nullptr;

bool FrameFunc() { return g_game->Update(g_engine->Timer_GetDelta()); }

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

}  // namespace vtr
