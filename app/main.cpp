// Vantor: the desktop game, its Content and files found from where it lives.
#include "app/app.h"

int main(int, char**) {
  vtr::StartOptions options;  // folders found from the executable, audio, real time, a window
  return vtr::RunGame(options);
}
