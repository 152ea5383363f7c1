// Vantor: the desktop game, started with its files beside the executable.
#include "app/app.h"

int main(int, char**) {
  vtr::StartOptions options;  // the executable's folder, audio, real time, a window
  return vtr::RunGame(options);
}
