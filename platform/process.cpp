#include "platform/process.h"

#include <SDL.h>
#include <unistd.h>

void ChangeToExecutableFolder() {
  char* base = SDL_GetBasePath();
  if (!base) return;
  if (chdir(base) != 0) {
    // Nothing to do: the game runs from where it was started.
  }
  SDL_free(base);
}
