// The real engine for tests of the engine itself and of the helper classes:
// windowed, no splash, no engine sound, started on the dummy video driver the
// test main selects. What a test needs beyond that (a screen size, a log, a
// fixed frame time, no rendering, callbacks) it asks for in the options; the
// engine is shut down and released when the fixture goes.
#pragma once

#include <string>
#include <vector>

#include "platform/hge.h"

namespace testing_support {

struct EngineOptions {
  int width = 0;   // 0: the engine's default screen size
  int height = 0;
  const char* logFile = nullptr;  // the engine's log, in the working folder
  bool (*frameFunc)() = nullptr;  // nullptr: a frame function that never quits
  bool (*renderFunc)() = nullptr;
  bool render = true;             // off: frames skip rendering
  float fixedFrameTime = 0.0f;    // above 0: every frame lasts this long
  bool initiate = true;           // off: configured only; Initiate() later
};

// The engine's own tests: a 64 x 48 screen logging to engine.log in the
// working folder, configured but not initiated.
EngineOptions SmallEngine(bool (*frameFunc)() = nullptr, bool (*renderFunc)() = nullptr);

// A rectangle from (x0, y0) to (x1, y1) in one colour, spanning the texture
// corner to corner.
hgeQuad RectQuad(float x0, float y0, float x1, float y1, DWORD color, HTEXTURE tex = 0,
                 int blend = BLEND_DEFAULT);

class HeadlessEngine {
 public:
  explicit HeadlessEngine(const EngineOptions& options = {});
  ~HeadlessEngine();
  HeadlessEngine(const HeadlessEngine&) = delete;
  HeadlessEngine& operator=(const HeadlessEngine&) = delete;

  // System_Initiate, then the frame options; false (and ok false) on failure.
  bool Initiate();
  // Keeps every quad drawn from now on in quads.
  void WatchQuads();
  // The engine's error message.
  std::string error() const;

  HGE* hge = nullptr;
  bool ok = false;  // initiated
  std::vector<hgeQuad> quads;

 private:
  EngineOptions options_;
};

}  // namespace testing_support
