// The tests' entry point: every test drives the real engine and audio layer
// headless unless the environment says otherwise.
#include <cstdlib>

#include <gtest/gtest.h>

// Leaks inside the system's graphics and audio drivers, not ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libSDL2\nleak:libX11\nleak:libdbus\nleak:libGLX\nleak:libGL\nleak:libasound\n"
         "leak:libpulse\nleak:libmpg123\nleak:libfontconfig\nleak:libLLVM\nleak:swrast\n";
}

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
