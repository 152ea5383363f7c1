// The real engine under SDL's dummy video driver: input pushed as SDL events,
// scenes drawn into the canvas and read back, textures, the loop's controls,
// random numbers, files and the log.
#include "platform/hge.h"

#include <SDL.h>  // only to push window events, which no game input makes
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/folders.h"
#include "platform/hge_headless.h"
#include "tests/support/headless_engine.h"
#include "tests/support/png_writer.h"
#include "tests/support/temp_dir.h"

namespace {

// A 3x2 PNG, every pixel opaque orange (255, 128, 0).
const unsigned char kOrangePng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00,
    0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x02, 0x08, 0x06, 0x00, 0x00, 0x00, 0x9d, 0x74, 0x66, 0x1a, 0x00,
    0x00, 0x00, 0x11, 0x49, 0x44, 0x41, 0x54, 0x78, 0xda, 0x63, 0xf8, 0xdf, 0xc0, 0xf0, 0x1f, 0x86, 0x19,
    0x90, 0x39, 0x00, 0xc3, 0xfe, 0x0e, 0xf5, 0x29, 0xa3, 0x48, 0x70, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45,
    0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

std::string OrangePng(std::size_t bytes = sizeof kOrangePng) {
  return std::string(reinterpret_cast<const char*>(kOrangePng), bytes);
}

std::function<bool()> g_frame;
std::function<bool()> g_render;
bool FrameFunc() { return g_frame ? g_frame() : false; }
bool RenderFunc() { return g_render ? g_render() : false; }

constexpr int kWidth = 64;
constexpr int kHeight = 48;

// One engine per test, initiated on a small screen, logging to engine.log in
// a fresh working directory.
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override { hge->System_SetState(HGE_TITLE, "Engine test"); }
  void TearDown() override {
    g_frame = nullptr;
    g_render = nullptr;
  }
  void Initiate() { ASSERT_TRUE(engine.Initiate()) << engine.error(); }
  std::string Log() const { return dir.Read("engine.log"); }

  testing_support::TempDir dir;
  testing_support::HeadlessEngine engine{testing_support::SmallEngine(FrameFunc, RenderFunc)};
  HGE* hge = engine.hge;
};

using testing_support::RectQuad;

// A window event as the window system would send it.
void PushWindowEvent(Uint8 what) {
  SDL_Event event{};
  event.type = SDL_WINDOWEVENT;
  event.window.event = what;
  SDL_PushEvent(&event);
}

// Channels of two ARGB colours differ by at most the tolerance.
::testing::AssertionResult NearColor(std::uint32_t actual, std::uint32_t expected, int tolerance = 2) {
  for (int shift = 0; shift < 32; shift += 8) {
    const int a = static_cast<int>((actual >> shift) & 0xFF);
    const int e = static_cast<int>((expected >> shift) & 0xFF);
    if (std::abs(a - e) > tolerance) {
      char text[64];
      std::snprintf(text, sizeof text, "0x%08X is not near 0x%08X", actual, expected);
      return ::testing::AssertionFailure() << text;
    }
  }
  return ::testing::AssertionSuccess();
}

// ---------------------------------------------------------------- life

TEST(EngineLife, CountedReferencesToOneEngine) {
  EXPECT_EQ(hgeCreate(0x170), nullptr);
  HGE* first = hgeCreate(HGE_VERSION);
  HGE* second = hgeCreate(HGE_VERSION);
  ASSERT_EQ(first, second);
  first->System_SetState(HGE_TITLE, "kept");
  first->Release();
  EXPECT_STREQ(second->System_GetState(HGE_TITLE), "kept");  // still alive
  second->Release();

  HGE* fresh = hgeCreate(HGE_VERSION);
  EXPECT_STRNE(fresh->System_GetState(HGE_TITLE), "kept");  // the last Release destroyed it
  fresh->Release();
}

TEST_F(EngineTest, FailuresToStartAreReported) {
  EXPECT_FALSE(hge->System_Start());
  EXPECT_STRNE(hge->System_GetErrorMessage(), "");

  const char* previous = std::getenv("SDL_VIDEODRIVER");
  const std::string saved = previous ? previous : "";
  setenv("SDL_VIDEODRIVER", "no-such-display", 1);
  EXPECT_FALSE(hge->System_Initiate());
  if (previous) setenv("SDL_VIDEODRIVER", saved.c_str(), 1); else unsetenv("SDL_VIDEODRIVER");
  EXPECT_EQ(std::string(hge->System_GetErrorMessage()).rfind("Cannot", 0), 0u) << hge->System_GetErrorMessage();
  hge->System_Shutdown();  // safe after a failed start
  Initiate();              // and the engine can still start afterwards
}

TEST_F(EngineTest, ImpossibleScreenFallsBackTo1024x768x32) {
  hge->System_SetState(HGE_SCREENWIDTH, 0);
  hge->System_SetState(HGE_SCREENHEIGHT, 100000);
  hge->System_SetState(HGE_SCREENBPP, -8);
  Initiate();
  EXPECT_EQ(hge->System_GetState(HGE_SCREENWIDTH), 1024);
  EXPECT_EQ(hge->System_GetState(HGE_SCREENHEIGHT), 768);
  EXPECT_EQ(hge->System_GetState(HGE_SCREENBPP), 32);
  EXPECT_NE(Log().find("0x100000"), std::string::npos) << Log();
  EXPECT_NE(Log().find("-8"), std::string::npos) << Log();
  EXPECT_EQ(headless::ReadPixel(hge, 1023, 767), 0xFF000000u);  // the canvas has the fallback size
}

// ---------------------------------------------------------------- loop

TEST_F(EngineTest, FrameLimitAndFixedDelta) {
  Initiate();
  std::vector<float> deltas;
  int renders = 0;
  g_frame = [&] { deltas.push_back(hge->Timer_GetDelta()); return false; };
  g_render = [&] { ++renders; return false; };
  headless::SetFixedFrameTime(hge, 0.02f);
  headless::SetFrameLimit(hge, 5);
  EXPECT_TRUE(hge->System_Start());
  EXPECT_EQ(deltas, std::vector<float>(5, 0.02f));
  EXPECT_EQ(renders, 5);

  headless::SetRenderEnabled(hge, false);
  EXPECT_TRUE(hge->System_Start());
  EXPECT_EQ(deltas.size(), 10u);
  EXPECT_EQ(renders, 5);
}

TEST_F(EngineTest, LoopEndsWhenTheFrameFunctionSaysSo) {
  Initiate();
  int frames = 0, renders = 0;
  g_frame = [&] { return ++frames == 3; };
  g_render = [&] { ++renders; return false; };
  headless::SetFixedFrameTime(hge, 0.01f);
  EXPECT_TRUE(hge->System_Start());
  EXPECT_EQ(frames, 3);
  EXPECT_EQ(renders, 2);  // the last frame is not drawn
}

TEST_F(EngineTest, QuitEventAndSignalsEndTheLoop) {
  // As from a terminal, whatever started the tests (a background job starts
  // ignoring SIGINT, and the engine leaves an ignored signal alone).
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) std::signal(signal, SIG_DFL);
  Initiate();
  int frames = 0;
  g_frame = [&] { ++frames; return false; };
  headless::SetFixedFrameTime(hge, 0.01f);
  headless::PushQuit();
  EXPECT_TRUE(hge->System_Start());
  EXPECT_EQ(frames, 0);

  g_frame = [&] {
    if (++frames == 2) std::raise(SIGTERM);
    return false;
  };
  EXPECT_TRUE(hge->System_Start());
  EXPECT_EQ(frames, 2);

  g_frame = [&] {
    if (++frames == 4) std::raise(SIGINT);
    return false;
  };
  EXPECT_TRUE(hge->System_Start());
  EXPECT_EQ(frames, 4);

  g_frame = [&] {  // the terminal the game was started from closed
    if (++frames == 6) std::raise(SIGHUP);
    return false;
  };
  EXPECT_TRUE(hge->System_Start());
  EXPECT_EQ(frames, 6);
}

int g_framesIgnoring = 0;
bool EndAtFrameThree() { return ++g_framesIgnoring == 3; }

// `nohup vantor`: a SIGHUP the game was started ignoring does not end it.
TEST(EngineSignals, ASignalIgnoredAtStartStaysIgnored) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        std::signal(SIGHUP, SIG_IGN);
        HGE* hge = hgeCreate(HGE_VERSION);
        if (!hge->System_Initiate()) std::exit(1);
        hge->System_SetState(HGE_FRAMEFUNC, EndAtFrameThree);
        headless::SetFixedFrameTime(hge, 0.01f);
        std::raise(SIGHUP);
        hge->System_Start();
        std::exit(g_framesIgnoring);
      },
      ::testing::ExitedWithCode(3), "");
}

// A game that does not answer the first signal still ends on the second.
TEST(EngineSignals, ASecondSignalEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        HGE* hge = hgeCreate(HGE_VERSION);
        if (!hge->System_Initiate()) std::exit(1);
        std::raise(SIGTERM);  // noted, the process goes on
        std::fprintf(stderr, "still here\n");
        std::raise(SIGTERM);
        std::exit(2);
      },
      ::testing::KilledBySignal(SIGTERM), "still here");
}

TEST_F(EngineTest, RealDeltaIsCappedAtOneTenth) {
  Initiate();
  headless::SetRenderEnabled(hge, false);
  headless::RunFrame(hge);
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  headless::RunFrame(hge);
  EXPECT_EQ(hge->Timer_GetDelta(), 0.1f);
  headless::RunFrame(hge);
  EXPECT_GT(hge->Timer_GetDelta(), 0.0f);
  EXPECT_LT(hge->Timer_GetDelta(), 0.1f);
}

// A minimised window runs no frames, and the time it spent minimised is not
// the next frame's delta.
TEST_F(EngineTest, MinimisedWindowSuspendsTheLoop) {
  Initiate();
  headless::SetRenderEnabled(hge, false);
  headless::SetFrameLimit(hge, 3);
  std::thread restorer;
  std::vector<std::chrono::steady_clock::time_point> times;
  std::vector<float> deltas;
  g_frame = [&] {
    times.push_back(std::chrono::steady_clock::now());
    deltas.push_back(hge->Timer_GetDelta());
    if (times.size() == 1) {
      PushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
      restorer = std::thread([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        PushWindowEvent(SDL_WINDOWEVENT_RESTORED);
      });
    }
    return false;
  };
  hge->System_Start();
  restorer.join();
  ASSERT_EQ(times.size(), 3u);
  EXPECT_GE(times[2] - times[1], std::chrono::milliseconds(250));  // nothing ran while minimised
  EXPECT_LT(deltas[2], 0.1f);  // the wait is not counted (the cap alone would give 0.1)
  // Neither the loop's first frame nor the one after the wait is a few
  // microseconds long: each counts as a refresh period at least.
  EXPECT_GE(deltas[0], 0.01f);
  EXPECT_GE(deltas[2], 0.01f);
}

// Focus lost suspends the loop only once the window has had focus: without a
// window manager a window may never get it, and must not freeze for that.
TEST_F(EngineTest, LostFocusSuspendsOnlyAWindowThatHadIt) {
  Initiate();
  headless::SetRenderEnabled(hge, false);
  headless::SetFrameLimit(hge, 5);
  // Gives focus after a while, noting that it did.
  std::atomic<int> focusGiven{0};
  auto giveFocusLater = [&] {
    return std::thread([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      ++focusGiven;
      PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    });
  };
  std::thread first;
  std::thread second;
  std::vector<int> seen;
  g_frame = [&] {
    seen.push_back(focusGiven);
    if (seen.size() == 1) {
      PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);  // the window never had focus
      first = giveFocusLater();
    } else if (seen.size() == 3) {
      first.join();
      PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);  // now it had
      second = giveFocusLater();
    }
    return false;
  };
  hge->System_Start();
  second.join();
  // The third frame ran without waiting for focus; the fifth only once it
  // was given back.
  EXPECT_EQ(seen, (std::vector<int>{0, 0, 0, 1, 2}));
}

// A host that calls the frames itself (the browser) steps the loop with the
// same standstill: a minimised or hidden window, or one that lost the focus
// it had, runs no frame until it is back, and the time it stood still is not
// the next frame's delta. A quit while it stands still ends the game.
TEST_F(EngineTest, SteppedLoopStandsStillWhileSuspended) {
  struct Case {
    const char* name;
    Uint8 suspend;
    Uint8 resume;
  };
  const Case cases[] = {
      {"minimised", SDL_WINDOWEVENT_MINIMIZED, SDL_WINDOWEVENT_RESTORED},
      {"hidden", SDL_WINDOWEVENT_HIDDEN, SDL_WINDOWEVENT_SHOWN},
      {"focus lost", SDL_WINDOWEVENT_FOCUS_LOST, SDL_WINDOWEVENT_FOCUS_GAINED},
  };
  Initiate();
  headless::SetRenderEnabled(hge, false);
  int frames = 0;
  g_frame = [&] {
    ++frames;
    return false;
  };
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);  // as a browser's window has at start
  ASSERT_FALSE(headless::StepFrame(hge));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    frames = 0;
    PushWindowEvent(c.suspend);
    EXPECT_FALSE(headless::StepFrame(hge));  // handles the event, runs this frame
    EXPECT_FALSE(headless::StepFrame(hge));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_FALSE(headless::StepFrame(hge));
    EXPECT_EQ(frames, 1);
    PushWindowEvent(c.resume);
    EXPECT_FALSE(headless::StepFrame(hge));
    EXPECT_EQ(frames, 2);
    EXPECT_LT(hge->Timer_GetDelta(), 0.1f);  // the cap alone would give 0.1
  }
  PushWindowEvent(SDL_WINDOWEVENT_HIDDEN);
  headless::StepFrame(hge);
  headless::PushQuit();
  EXPECT_TRUE(headless::StepFrame(hge));
}

// While the loop stands still no frame is drawn, but a window uncovered in
// the meantime (another window closed over it) gets the picture it showed
// again: without a compositor the window system kept no copy of it. A
// minimised window is shown nothing.
TEST_F(EngineTest, WindowUncoveredWhileSuspendedIsShownItsPictureAgain) {
  Initiate();
  headless::SetRenderEnabled(hge, false);  // only the engine itself presents
  headless::SetFrameLimit(hge, 3);
  std::thread windowSystem;
  std::vector<int> presents;
  g_frame = [&] {
    presents.push_back(headless::PresentCount(hge));
    if (presents.size() == 1) {
      PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
      PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);  // the loop stands still after the next frame
    } else if (presents.size() == 2) {
      windowSystem = std::thread([] {
        const auto pause = std::chrono::milliseconds(100);
        std::this_thread::sleep_for(pause);
        PushWindowEvent(SDL_WINDOWEVENT_EXPOSED);
        PushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
        PushWindowEvent(SDL_WINDOWEVENT_EXPOSED);
        std::this_thread::sleep_for(pause);
        PushWindowEvent(SDL_WINDOWEVENT_RESTORED);
        PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
      });
    }
    return false;
  };
  hge->System_Start();
  windowSystem.join();
  ASSERT_EQ(presents.size(), 3u);
  EXPECT_EQ(presents[1], presents[0]);  // nothing drawn, nothing presented
  EXPECT_EQ(presents[2] - presents[1], 1);
}

// ---------------------------------------------------------------- input

TEST_F(EngineTest, KeyEdgesLastOneFrame) {
  Initiate();
  headless::PushKey(HGEK_ENTER, true);
  headless::RunFrame(hge);
  EXPECT_TRUE(hge->Input_KeyDown(HGEK_ENTER));
  EXPECT_FALSE(hge->Input_KeyUp(HGEK_ENTER));
  EXPECT_TRUE(hge->Input_GetKeyState(HGEK_ENTER));
  EXPECT_EQ(hge->Input_GetKey(), HGEK_ENTER);
  EXPECT_EQ(hge->Input_GetChar(), '\r');

  headless::RunFrame(hge);  // still held, no new edge
  EXPECT_FALSE(hge->Input_KeyDown(HGEK_ENTER));
  EXPECT_TRUE(hge->Input_GetKeyState(HGEK_ENTER));
  EXPECT_EQ(hge->Input_GetKey(), 0);
  EXPECT_EQ(hge->Input_GetChar(), 0);

  headless::PushKey(HGEK_ENTER, false);
  headless::RunFrame(hge);
  EXPECT_TRUE(hge->Input_KeyUp(HGEK_ENTER));
  EXPECT_FALSE(hge->Input_GetKeyState(HGEK_ENTER));
  headless::RunFrame(hge);
  EXPECT_FALSE(hge->Input_KeyUp(HGEK_ENTER));

  // Pressed and released between two frames: a quick tap is still seen as
  // held in the frame of its press, and released in the next.
  headless::PushKey(HGEK_SPACE, true);
  headless::PushKey(HGEK_SPACE, false);
  headless::RunFrame(hge);
  EXPECT_TRUE(hge->Input_KeyDown(HGEK_SPACE));
  EXPECT_FALSE(hge->Input_KeyUp(HGEK_SPACE));
  EXPECT_TRUE(hge->Input_GetKeyState(HGEK_SPACE));
  headless::RunFrame(hge);
  EXPECT_FALSE(hge->Input_KeyDown(HGEK_SPACE));
  EXPECT_TRUE(hge->Input_KeyUp(HGEK_SPACE));
  EXPECT_FALSE(hge->Input_GetKeyState(HGEK_SPACE));
  EXPECT_FALSE(hge->Input_KeyDown(-1));
  EXPECT_FALSE(hge->Input_GetKeyState(100000));
}

TEST_F(EngineTest, KeysMapToTheirCodesAndCharacters) {
  Initiate();
  struct Case { int key; int chr; };
  const Case cases[] = {{'A', 'a'},         {'7', '7'},        {HGEK_SPACE, ' '},   {HGEK_ESCAPE, 27},
                        {HGEK_LEFT, 0},     {HGEK_UP, 0},      {HGEK_RIGHT, 0},     {HGEK_DOWN, 0},
                        {HGEK_ADD, '+'},    {HGEK_SUBTRACT, '-'}};
  for (const Case& c : cases) {
    headless::PushKey(c.key, true);
    headless::RunFrame(hge);
    EXPECT_EQ(hge->Input_GetKey(), c.key);
    EXPECT_EQ(hge->Input_GetChar(), c.chr) << "key " << c.key;
    EXPECT_TRUE(hge->Input_KeyDown(c.key)) << "key " << c.key;
    headless::PushKey(c.key, false);
    headless::RunFrame(hge);
  }
}

TEST_F(EngineTest, MouseButtonsPositionAndWheel) {
  Initiate();
  headless::PushMouseMove(12.0f, 34.0f);
  headless::RunFrame(hge);
  float x = 0, y = 0;
  hge->Input_GetMousePos(&x, &y);
  EXPECT_EQ(x, 12.0f);
  EXPECT_EQ(y, 34.0f);

  headless::PushMouseButton(HGEK_LBUTTON, true, 40.0f, 20.0f);
  headless::RunFrame(hge);
  hge->Input_GetMousePos(&x, &y);
  EXPECT_EQ(x, 40.0f);
  EXPECT_EQ(y, 20.0f);
  EXPECT_TRUE(hge->Input_KeyDown(HGEK_LBUTTON));
  EXPECT_TRUE(hge->Input_GetKeyState(HGEK_LBUTTON));
  EXPECT_FALSE(hge->Input_GetKeyState(HGEK_RBUTTON));
  EXPECT_EQ(hge->Input_GetKey(), HGEK_LBUTTON);

  headless::RunFrame(hge);
  headless::PushMouseButton(HGEK_RBUTTON, true, 41.0f, 21.0f);
  headless::PushMouseButton(HGEK_LBUTTON, false, 41.0f, 21.0f);
  headless::PushWheel(2);
  headless::PushWheel(-5);
  headless::RunFrame(hge);
  EXPECT_TRUE(hge->Input_KeyUp(HGEK_LBUTTON));
  EXPECT_FALSE(hge->Input_GetKeyState(HGEK_LBUTTON));
  EXPECT_TRUE(hge->Input_GetKeyState(HGEK_RBUTTON));
  EXPECT_EQ(hge->Input_GetKey(), HGEK_RBUTTON);
  EXPECT_EQ(hge->Input_GetMouseWheel(), -3);

  headless::RunFrame(hge);  // position is kept, the wheel is per frame
  hge->Input_GetMousePos(&x, &y);
  EXPECT_EQ(x, 41.0f);
  EXPECT_EQ(hge->Input_GetMouseWheel(), 0);
}

// ---------------------------------------------------------------- drawing

TEST_F(EngineTest, QuadsBatchByTextureAndBlend) {
  Initiate();
  dir.Write("orange.png", OrangePng());
  const HTEXTURE a = hge->Texture_Load("orange.png");
  const HTEXTURE b = hge->Texture_Load("orange.png");
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  ASSERT_NE(a, b);

  auto scene = [&](const std::vector<hgeQuad>& quads) {
    hge->Gfx_BeginScene();
    for (const hgeQuad& q : quads) hge->Gfx_RenderQuad(&q);
    hge->Gfx_EndScene();
    return headless::LastSceneDrawCalls(hge);
  };
  const hgeQuad qa = RectQuad(1, 1, 9, 9, 0xFFFFFFFF, a);
  const hgeQuad qb = RectQuad(1, 1, 9, 9, 0xFFFFFFFF, b);
  const hgeQuad qaAdd = RectQuad(1, 1, 9, 9, 0xFFFFFFFF, a, BLEND_COLORMUL | BLEND_ALPHAADD);
  const hgeQuad offScreen = RectQuad(-20, 5, -2, 9, 0xFFFFFFFF, b);
  const hgeQuad invisible = RectQuad(1, 1, 9, 9, 0x00FFFFFF, b, BLEND_ALPHAADD);
  // No area: a letter 0 pixels wide and two million tall, which SDL's
  // software renderer would spend minutes on, and corners along one line.
  const hgeQuad noWidth = RectQuad(5, -1e6f, 5, 1e6f, 0xFFFFFFFF, b);
  hgeQuad alongALine = qb;
  for (int i = 0; i < 4; ++i) alongALine.v[i].x = alongALine.v[i].y = 2.0f + 2.0f * static_cast<float>(i);

  EXPECT_EQ(scene({qa, qa, qa, qa, qa}), 1);
  EXPECT_EQ(headless::LastSceneQuads(hge), 5);
  EXPECT_EQ(scene({qa, qa, qb, qb, qa}), 3);
  EXPECT_EQ(scene({qa, qaAdd, qaAdd, qa}), 3);
  // Depth and colour-add flags do not change how SDL draws, so no split.
  EXPECT_EQ(scene({qa, RectQuad(1, 1, 9, 9, 0xFFFFFFFF, a, BLEND_DEFAULT | BLEND_ZWRITE)}), 1);
  // Quads that cannot change a pixel are counted but neither drawn nor splitting.
  EXPECT_EQ(scene({qa, offScreen, invisible, noWidth, alongALine, qa}), 1);
  EXPECT_EQ(headless::LastSceneQuads(hge), 6);
  EXPECT_EQ(scene({offScreen, invisible}), 0);
  EXPECT_EQ(scene({}), 0);

  std::vector<hgeQuad> tapped;
  headless::SetQuadTap(hge, [&](const hgeQuad& q) { tapped.push_back(q); });
  scene({qa, offScreen});
  headless::SetQuadTap(hge, nullptr);
  scene({qa});
  ASSERT_EQ(tapped.size(), 2u);
  EXPECT_EQ(tapped[1].v[0].x, -20.0f);
}

TEST_F(EngineTest, CanvasHoldsWhatWasDrawnAcrossFrames) {
  Initiate();
  hge->Gfx_BeginScene();
  hge->Gfx_Clear(0xFF000000);
  const hgeQuad red = RectQuad(10, 10, 30, 30, 0xFFFF0000, 0);
  hge->Gfx_RenderQuad(&red);
  hge->Gfx_EndScene();
  EXPECT_EQ(headless::ReadPixel(hge, 20, 20), 0xFFFF0000u);
  EXPECT_EQ(headless::ReadPixel(hge, 5, 5), 0xFF000000u);
  EXPECT_EQ(headless::ReadPixel(hge, -1, 5), 0u);
  EXPECT_EQ(headless::ReadPixel(hge, kWidth, 5), 0u);

  // The next frames draw elsewhere without clearing: the red square stays.
  for (int frame = 0; frame < 2; ++frame) {
    hge->Gfx_BeginScene();
    const hgeQuad green = RectQuad(40, 10, 60, 30, 0xFF00FF00, 0);
    hge->Gfx_RenderQuad(&green);
    hge->Gfx_EndScene();
  }
  EXPECT_EQ(headless::ReadPixel(hge, 20, 20), 0xFFFF0000u);
  EXPECT_EQ(headless::ReadPixel(hge, 50, 20), 0xFF00FF00u);

  hge->Gfx_BeginScene();
  hge->Gfx_Clear(0xFF102030);
  hge->Gfx_EndScene();
  EXPECT_EQ(headless::ReadPixel(hge, 20, 20), 0xFF102030u);
}

TEST_F(EngineTest, BlendModesAndColourMultiply) {
  Initiate();
  dir.Write("orange.png", OrangePng());
  const HTEXTURE orange = hge->Texture_Load("orange.png");
  ASSERT_NE(orange, 0u);

  auto drawOver = [&](DWORD background, const hgeQuad& quad) {
    hge->Gfx_BeginScene();
    hge->Gfx_Clear(background);
    hge->Gfx_RenderQuad(&quad);
    hge->Gfx_EndScene();
    return headless::ReadPixel(hge, 20, 20);
  };
  EXPECT_TRUE(NearColor(drawOver(0xFF000000, RectQuad(0, 0, 40, 40, 0xFFFFFFFF, orange)), 0xFFFF8000));
  // The vertex colour multiplies the texel.
  EXPECT_TRUE(NearColor(drawOver(0xFF000000, RectQuad(0, 0, 40, 40, 0xFF00FFFF, orange)), 0xFF008000));
  // Alpha blend: half red over blue.
  EXPECT_TRUE(NearColor(drawOver(0xFF0000FF, RectQuad(0, 0, 40, 40, 0x80FF0000, 0)) & 0xFFFFFF, 0x80007F, 3));
  // Additive: grey adds to grey.
  EXPECT_TRUE(NearColor(drawOver(0xFF202020, RectQuad(0, 0, 40, 40, 0xFF404040, 0, BLEND_ALPHAADD)) & 0xFFFFFF,
                        0x606060));
}

// ---------------------------------------------------------------- textures

TEST_F(EngineTest, TexturesLoadWithTheirSize) {
  EXPECT_EQ(hge->Texture_Load("orange.png"), 0u);  // not before System_Initiate
  EXPECT_NE(Log().find("orange.png"), std::string::npos);
  Initiate();
  dir.Write("orange.png", OrangePng());
  const HTEXTURE tex = hge->Texture_Load("orange.png");
  ASSERT_NE(tex, 0u);
  for (bool original : {false, true}) {
    EXPECT_EQ(hge->Texture_GetWidth(tex, original), 3);
    EXPECT_EQ(hge->Texture_GetHeight(tex, original), 2);
  }
  const HTEXTURE fromMemory =
      hge->Texture_Load(reinterpret_cast<const char*>(kOrangePng), sizeof kOrangePng);
  EXPECT_NE(fromMemory, 0u);
  EXPECT_EQ(hge->Texture_GetWidth(fromMemory), 3);

  hge->Texture_Free(tex);
  EXPECT_EQ(hge->Texture_GetWidth(tex), 0);
  hge->Texture_Free(tex);  // twice, 0 and unknown handles are harmless
  hge->Texture_Free(0);
  hge->Texture_Free(12345);
  EXPECT_EQ(hge->Texture_GetWidth(12345), 0);
}

TEST_F(EngineTest, BrokenImagesGiveNoTextureAndALogLine) {
  Initiate();
  dir.Write("cut.png", OrangePng(50));
  const char noise[] = "\x13\x37 not an image at all \xff\xfe\x00\x01";
  dir.Write("noise.png", std::string(noise, sizeof noise - 1));
  dir.Write("empty.png", "");
  for (const char* name : {"missing.png", "cut.png", "noise.png", "empty.png"}) {
    EXPECT_EQ(hge->Texture_Load(name), 0u) << name;
    EXPECT_NE(Log().find(name), std::string::npos) << name << " not in the log:\n" << Log();
  }
  // A quad naming a texture that does not exist draws untextured.
  hge->Gfx_BeginScene();
  const hgeQuad quad = RectQuad(0, 0, 40, 40, 0xFF0000FF, 77);
  hge->Gfx_RenderQuad(&quad);
  hge->Gfx_EndScene();
  EXPECT_EQ(headless::ReadPixel(hge, 20, 20), 0xFF0000FFu);
}

// The window's icon: a PNG file named before or after the start. One that
// cannot be read leaves the generic icon, one log line, and a running engine.
TEST_F(EngineTest, WindowIconLoadsOrLeavesOneLogLine) {
  dir.Write("icon.png", OrangePng());
  dir.Write("cut.png", OrangePng(50));
  dir.Write("noise.png", "not a picture");
  hge->System_SetState(HGE_ICON, "icon.png");
  Initiate();
  EXPECT_STREQ(hge->System_GetState(HGE_ICON), "icon.png");
  EXPECT_EQ(Log().find("icon"), std::string::npos) << Log();

  for (const char* name : {"missing.png", "cut.png", "noise.png"}) {
    const std::size_t before = Log().size();
    hge->System_SetState(HGE_ICON, name);
    const std::string added = Log().substr(before);
    EXPECT_NE(added.find(std::string("window icon ") + name), std::string::npos) << added;
    EXPECT_EQ(std::count(added.begin(), added.end(), '\n'), 1) << added;
  }

  // An installed game reads its Content from elsewhere: so does the icon.
  std::filesystem::create_directories(dir.path() / "share" / "Content");
  dir.Write("share/Content/icon.png", OrangePng());
  vtr::SetContentRoot((dir.path() / "share").string() + "/");
  const std::size_t before = Log().size();
  hge->System_SetState(HGE_ICON, "Content/icon.png");
  vtr::SetContentRoot("");
  EXPECT_EQ(Log().substr(before), "");

  g_frame = [] { return true; };
  EXPECT_TRUE(hge->System_Start());
}

// A sprite over a texture that failed to load keeps its texture coordinates
// in pixels; its quads must still draw untextured, not be refused whole.
TEST_F(EngineTest, UntexturedQuadsDrawWhateverTheirTextureCoordinates) {
  Initiate();
  hgeQuad missing = RectQuad(0, 0, 30, 40, 0xFF00FF00, 0);
  hgeQuad freed = RectQuad(32, 0, 62, 40, 0xFFFF0000, 77);
  for (hgeQuad* quad : {&missing, &freed}) {
    for (hgeVertex& v : quad->v) {
      v.tx *= 1024.0f;
      v.ty *= 768.0f;
    }
  }
  hge->Gfx_BeginScene();
  hge->Gfx_Clear(0xFF000000);
  hge->Gfx_RenderQuad(&missing);
  hge->Gfx_RenderQuad(&freed);
  hge->Gfx_EndScene();
  EXPECT_EQ(headless::ReadPixel(hge, 15, 20), 0xFF00FF00u);
  EXPECT_EQ(headless::ReadPixel(hge, 47, 20), 0xFFFF0000u);

  // The benchmark's replay of the same quads draws them too.
  for (hgeVertex& v : missing.v) v.col = 0xFF0000FF;
  headless::ReplayQuads(hge, {missing});
  EXPECT_EQ(headless::ReadPixel(hge, 15, 20), 0xFF0000FFu);
  EXPECT_EQ(Log().find("failed"), std::string::npos) << Log();
}

// A quad stretched far past the screen: the software renderer would draw it
// through a picture the size of the whole quad (terabytes here), fail, and
// draw nothing. It draws the part of its picture that falls on the screen,
// whichever way round its corners and texture coordinates go.
TEST_F(EngineTest, QuadsFarLargerThanTheScreenDrawTheirVisiblePart) {
  Initiate();
  auto drawn = [&](const hgeQuad& q, int x) {
    hge->Gfx_BeginScene();
    hge->Gfx_Clear(0xFF000000);
    hge->Gfx_RenderQuad(&q);
    hge->Gfx_EndScene();
    return headless::ReadPixel(hge, x, 20);
  };
  // Untextured, as a font without its picture draws a letter a million
  // pixels wide.
  EXPECT_TRUE(NearColor(drawn(RectQuad(-1e6f, 10, 1e6f, 23, 0xFF0000FF), 20), 0xFF0000FF));

  // 64x64 texels: the left half red, the right half green.
  std::vector<std::uint32_t> pixels;
  for (int i = 0; i < 64 * 64; ++i) pixels.push_back(i % 64 < 32 ? 0xFFFF0000u : 0xFF00FF00u);
  ASSERT_TRUE(testing_support::WritePng(dir.path() / "halves.png", 64, 64, pixels));
  const HTEXTURE halves = hge->Texture_Load("halves.png");
  ASSERT_NE(halves, 0u);
  // Ten screens wide, the colour change at x 32, ten pixels a texel (the
  // software renderer may move a cut edge by up to a texel).
  const hgeQuad wide = RectQuad(32 - 320, -500, 32 + 320, 500, 0xFFFFFFFF, halves);
  EXPECT_TRUE(NearColor(drawn(wide, 10), 0xFFFF0000));
  EXPECT_TRUE(NearColor(drawn(wide, 54), 0xFF00FF00));
  // Mirrored: the picture runs right to left.
  hgeQuad mirrored = wide;
  for (hgeVertex& v : mirrored.v) v.tx = 1.0f - v.tx;
  EXPECT_TRUE(NearColor(drawn(mirrored, 10), 0xFF00FF00));
  EXPECT_TRUE(NearColor(drawn(mirrored, 54), 0xFFFF0000));
  // Corners listed down the left side first; the picture still runs left to right.
  hgeQuad turned = wide;
  std::swap(turned.v[1], turned.v[3]);
  EXPECT_TRUE(NearColor(drawn(turned, 10), 0xFFFF0000));
  EXPECT_TRUE(NearColor(drawn(turned, 54), 0xFF00FF00));
  // Far off one side only: the change moves with the quad, to x 0.
  const hgeQuad shifted = RectQuad(-640, 0, 640, kHeight, 0xFFFFFFFF, halves);
  EXPECT_TRUE(NearColor(drawn(shifted, 30), 0xFF00FF00));
  EXPECT_EQ(Log().find("failed"), std::string::npos) << Log();
}

// ---------------------------------------------------------------- random

TEST_F(EngineTest, RandomIntCoversBothBounds) {
  hge->Random_Seed(12345);
  std::set<int> seen;
  for (int i = 0; i < 2000; ++i) {
    const int value = hge->Random_Int(-3, 3);
    ASSERT_GE(value, -3);
    ASSERT_LE(value, 3);
    seen.insert(value);
  }
  EXPECT_EQ(seen.size(), 7u);
  EXPECT_EQ(hge->Random_Int(5, 5), 5);
  for (int i = 0; i < 100; ++i) {
    const int swapped = hge->Random_Int(2, -2);
    EXPECT_TRUE(swapped >= -2 && swapped <= 2) << swapped;
    hge->Random_Int(INT_MIN, INT_MAX);  // the widest range has no overflow
  }
}

TEST_F(EngineTest, RandomFloatStaysInRangeAndRepeatsWithTheSeed) {
  hge->Random_Seed(99);
  std::vector<float> first;
  float low = 10.0f, high = 0.0f;
  for (int i = 0; i < 2000; ++i) {
    const float value = hge->Random_Float(2.0f, 3.0f);
    ASSERT_GE(value, 2.0f);
    ASSERT_LE(value, 3.0f);
    low = std::min(low, value);
    high = std::max(high, value);
    if (i < 10) first.push_back(value);
  }
  EXPECT_LT(low, 2.01f);
  EXPECT_GT(high, 2.99f);
  EXPECT_EQ(hge->Random_Float(-1.5f, -1.5f), -1.5f);

  hge->Random_Seed(99);
  for (float expected : first) EXPECT_EQ(hge->Random_Float(2.0f, 3.0f), expected);
  hge->Random_Seed(100);
  EXPECT_NE(hge->Random_Float(2.0f, 3.0f), first[0]);
}

// ---------------------------------------------------------------- files and log

TEST_F(EngineTest, ResourceLoadReadsWholeFiles) {
  const std::string bytes("head\0tail\xff", 10);
  dir.Write("data.bin", bytes);
  dir.Write("empty.txt", "");
  DWORD size = 99;
  void* data = hge->Resource_Load("data.bin", &size);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(std::string(static_cast<const char*>(data), size), bytes);
  hge->Resource_Free(data);

  data = hge->Resource_Load("empty.txt", &size);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(size, 0u);
  hge->Resource_Free(data);

  size = 99;
  EXPECT_EQ(hge->Resource_Load("absent.txt", &size), nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_NE(Log().find("absent.txt"), std::string::npos);
  hge->Resource_Free(nullptr);
}

TEST(EngineLog, LinesGoToTheLogFileOnlyOnceItIsNamed) {
  testing_support::TempDir dir;
  dir.Write("old.log", "left from the last run\n");
  HGE* hge = hgeCreate(HGE_VERSION);
  hge->System_Log("nowhere %d", 1);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "old.log") == false);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

  hge->System_SetState(HGE_LOGFILE, "old.log");  // a new run starts a new log
  hge->System_Log("first %s", "line");
  hge->System_Log("second %d", 2);
  hge->System_Log("%s", std::string(5000, 'x').c_str());  // bounded, not overflowing
  const std::string log = dir.Read("old.log");
  EXPECT_EQ(log.rfind("first line\nsecond 2\nxxx", 0), 0u) << log;
  EXPECT_LT(log.size(), 2000u);
  EXPECT_EQ(log.find("left from"), std::string::npos);
  hge->Release();
}

}  // namespace
