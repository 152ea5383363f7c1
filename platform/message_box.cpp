#include "platform/message_box.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>

namespace {

// The dummy and offscreen drivers have no screen to show a box on; asking
// SDL anyway could open one on a display the run never meant to use.
bool HeadlessVideo() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver) driver = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  if (!driver) return false;
  return std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0;
}

}  // namespace

bool ShowMessageBox(const char* caption, const char* text, bool errorIcon) {
  caption = caption ? caption : "";
  text = text ? text : "";
  const Uint32 flags = errorIcon ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
  if (!HeadlessVideo() && SDL_ShowSimpleMessageBox(flags, caption, text, nullptr) == 0) return true;
  std::fprintf(stderr, "%s: %s\n", caption, text);
  return false;
}
