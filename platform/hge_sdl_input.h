// Inside the SDL2 engine core: keys and the per-frame input record.
#pragma once

#include <SDL.h>

namespace hge_sdl {

// Keys and buttons are tracked by their HGE (virtual-key) codes.
inline constexpr int kKeyCount = 256;

// HGE key code of an SDL keycode, 0 when the key has none.
int HgeKeyFromSdl(SDL_Keycode sym);
// SDL keycode of an HGE key code, SDLK_UNKNOWN when there is none.
SDL_Keycode SdlKeyFromHge(int key);
// The character a key types without a text event, 0 when none.
int CharFromSdl(SDL_Keycode sym, Uint16 mod);

struct InputState {
  bool held[kKeyCount] = {};
  bool wentDown[kKeyCount] = {};
  bool wentUp[kKeyCount] = {};
  // Released in the same frame as pressed: the release is held back one
  // frame, so a quick tap is seen as held by the frame that saw it go down.
  bool releaseNextFrame[kKeyCount] = {};
  int key = 0;
  int chr = 0;
  int wheel = 0;
  float mouseX = 0.0f;
  float mouseY = 0.0f;

  // Forgets the edges, key, character and wheel of the previous frame, and
  // lets go of the keys whose release was held back.
  void BeginFrame();
  // Records one input event (other events are ignored).
  void Handle(const SDL_Event& event);
  // A key or button went down or up.
  void Press(int code, bool down);
  // Lets go of every held key and button, without edges.
  void ReleaseAll();
};

}  // namespace hge_sdl
