// The engine's window around the game's picture, under SDL's dummy video
// driver: the picture scaled to a resized window between bars, the mouse in
// logical coordinates.
#include "platform/hge.h"

#include <SDL.h>  // only to push a window event, which no game input makes
#include <gtest/gtest.h>

#include <functional>

#include "platform/hge_headless.h"
#include "tests/support/headless_engine.h"
#include "tests/support/temp_dir.h"

namespace {

std::function<void()> g_render;
bool FrameFunc() { return false; }
bool RenderFunc() {
  if (g_render) g_render();
  return false;
}

constexpr int kWidth = 64;
constexpr int kHeight = 48;

// The engine's test screen, with frames of 0.02 s.
testing_support::EngineOptions WindowEngine() {
  testing_support::EngineOptions options = testing_support::SmallEngine(FrameFunc, RenderFunc);
  options.fixedFrameTime = 0.02f;
  return options;
}

class WindowTest : public ::testing::Test {
 protected:
  void TearDown() override { g_render = nullptr; }
  void Initiate() { ASSERT_TRUE(engine.Initiate()) << engine.error(); }

  testing_support::TempDir dir;
  testing_support::HeadlessEngine engine{WindowEngine()};
  HGE* hge = engine.hge;
};

using testing_support::RectQuad;

// A black screen with a white rectangle, by default one logical pixel at (10, 20).
void DrawOnePixel(HGE* hge, float x0 = 10, float y0 = 20, float x1 = 11, float y1 = 21) {
  hge->Gfx_BeginScene(0);
  const hgeQuad black = RectQuad(0, 0, kWidth, kHeight, 0xFF000000);
  const hgeQuad white = RectQuad(x0, y0, x1, y1, 0xFFFFFFFF);
  hge->Gfx_RenderQuad(&black);
  hge->Gfx_RenderQuad(&white);
  hge->Gfx_EndScene();
}

TEST_F(WindowTest, WindowOpensAtTheLogicalSizeWhenItFits) {
  Initiate();
  const headless::WindowSize size = headless::GetWindowSize(hge);
  EXPECT_EQ(size.width, kWidth);
  EXPECT_EQ(size.height, kHeight);
  EXPECT_EQ(hge->System_GetState(HGE_SCREENWIDTH), kWidth);
}

TEST_F(WindowTest, ScreenLargerThanTheDisplayOpensShrunkWithItsAspect) {
  // The dummy driver's display is 1024x768.
  hge->System_SetState(HGE_SCREENWIDTH, 4000);
  hge->System_SetState(HGE_SCREENHEIGHT, 1000);
  Initiate();
  const headless::WindowSize size = headless::GetWindowSize(hge);
  EXPECT_EQ(size.width, 1024);
  EXPECT_EQ(size.height, 256);
  EXPECT_EQ(hge->System_GetState(HGE_SCREENWIDTH), 4000);  // the game still lays out for its own size
}

TEST_F(WindowTest, PictureIsRedrawnAtTheResizedWindowsResolution) {
  Initiate();
  g_render = [this] { DrawOnePixel(hge); };
  headless::SetWindowSize(hge, 200, 120);  // picture 160x120 between bars of 20
  headless::RunFrame(hge);
  // Each logical pixel is 2.5 canvas pixels: the white one covers its own
  // centre and none of its neighbours'.
  EXPECT_EQ(headless::ReadPixel(hge, 10, 20), 0xFFFFFFFFu);
  EXPECT_EQ(headless::ReadPixel(hge, 11, 20), 0xFF000000u);
  EXPECT_EQ(headless::ReadPixel(hge, 9, 20), 0xFF000000u);
  EXPECT_EQ(headless::ReadPixel(hge, 10, 21), 0xFF000000u);
  EXPECT_EQ(headless::ReadPixel(hge, 10, 19), 0xFF000000u);
}

TEST_F(WindowTest, ResizedCanvasKeepsItsPictureUntilTheNextFrameDraws) {
  Initiate();
  hge->Gfx_BeginScene(0);
  const hgeQuad red = RectQuad(0, 0, kWidth, kHeight, 0xFFFF0000);
  hge->Gfx_RenderQuad(&red);
  hge->Gfx_EndScene();
  headless::SetWindowSize(hge, 128, 96);
  headless::RunFrame(hge);  // draws nothing
  EXPECT_EQ(headless::ReadPixel(hge, 30, 30), 0xFFFF0000u);
}

TEST_F(WindowTest, MouseReachesTheGameInLogicalCoordinates) {
  Initiate();
  headless::SetWindowSize(hge, 200, 120);  // scale 2.5, bars of 20 left and right
  headless::RunFrame(hge);
  float x = -1.0f, y = -1.0f;
  headless::PushMouseMove(20 + 25, 50);
  headless::RunFrame(hge);
  hge->Input_GetMousePos(&x, &y);
  EXPECT_EQ(x, 10.0f);
  EXPECT_EQ(y, 20.0f);

  headless::PushMouseButton(HGEK_LBUTTON, true, 5, 119);  // in the left bar
  headless::RunFrame(hge);
  EXPECT_TRUE(hge->Input_KeyDown(HGEK_LBUTTON));
  hge->Input_GetMousePos(&x, &y);
  EXPECT_EQ(x, 0.0f);
  EXPECT_EQ(y, 47.6f);

  headless::PushMouseMove(199, 0);  // in the right bar
  headless::RunFrame(hge);
  hge->Input_GetMousePos(&x, &y);
  EXPECT_EQ(x, kWidth - 1.0f);
  EXPECT_EQ(y, 0.0f);
}

}  // namespace

// ---------------------------------------------------------------- repeated scenes

class RepeatedSceneTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Initiate();
    // A new window is drawn for a few frames whatever they hold.
    const int settling = PresentedBeforeARepeat(RectQuad(0, 0, 1, 1, 0xFF000000));
    EXPECT_GE(settling, 1);
    EXPECT_LE(settling, 30);
  }
  // How many times the same scene is presented before one is skipped.
  int PresentedBeforeARepeat(const hgeQuad& quad) {
    int presented = 0;
    while (presented < 100 && Scene(quad)) ++presented;
    return presented;
  }
  // One scene: a clear, a backdrop and the quad; true when it was presented.
  bool Scene(const hgeQuad& quad, DWORD clear = 0xFF000000) {
    hge->Gfx_BeginScene(0);
    hge->Gfx_Clear(clear);
    const hgeQuad backdrop = RectQuad(0, 0, kWidth, kHeight, 0xFF202020);
    hge->Gfx_RenderQuad(&backdrop);
    hge->Gfx_RenderQuad(&quad);
    hge->Gfx_EndScene();
    return headless::LastScenePresented(hge);
  }
};

TEST_F(RepeatedSceneTest, SameSceneAgainDrawsNothingAndKeepsThePicture) {
  const hgeQuad quad = RectQuad(10, 10, 20, 20, 0xFFFF0000);
  EXPECT_TRUE(Scene(quad));
  EXPECT_GT(headless::LastSceneDrawCalls(hge), 0);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(Scene(quad));
    EXPECT_EQ(headless::LastSceneDrawCalls(hge), 0);
    EXPECT_EQ(headless::LastSceneQuads(hge), 2);
  }
  EXPECT_EQ(headless::ReadPixel(hge, 15, 15), 0xFFFF0000u);
  EXPECT_EQ(headless::ReadPixel(hge, 5, 5), 0xFF202020u);
}

// A scene of clears alone (a font that failed to load draws nothing else)
// repeats like any other, with nothing to compare quad by quad.
TEST_F(RepeatedSceneTest, SceneWithoutQuadsRepeatsToo) {
  for (int i = 0; i < 2; ++i) {
    hge->Gfx_BeginScene(0);
    hge->Gfx_Clear(0xFF102030);
    hge->Gfx_EndScene();
    EXPECT_EQ(headless::LastScenePresented(hge), i == 0);
  }
  EXPECT_EQ(headless::ReadPixel(hge, 5, 5), 0xFF102030u);
}

TEST_F(RepeatedSceneTest, OneDifferenceInAQuadDrawsAgain) {
  const hgeQuad quad = RectQuad(10, 10, 20, 20, 0xFFFF0000);
  hgeQuad moved = quad;
  moved.v[2].x += 0.25f;
  hgeQuad recoloured = quad;
  recoloured.v[3].col = 0xFFFF0001;
  hgeQuad retextured = quad;
  retextured.tex = 7;  // an unknown handle: drawn untextured, but another quad
  hgeQuad reblended = quad;
  reblended.blend = BLEND_COLORADD | BLEND_ALPHABLEND;
  ASSERT_TRUE(Scene(quad));
  for (const hgeQuad& changed : {moved, recoloured, retextured, reblended}) {
    ASSERT_FALSE(Scene(quad));
    EXPECT_TRUE(Scene(changed));
    EXPECT_GT(headless::LastSceneDrawCalls(hge), 0);
    EXPECT_FALSE(Scene(changed));
    EXPECT_TRUE(Scene(quad));
  }
  ASSERT_FALSE(Scene(quad));
  EXPECT_TRUE(Scene(quad, 0xFF000001));  // another clear colour
  hge->Gfx_BeginScene(0);                // one quad fewer
  const hgeQuad backdrop = RectQuad(0, 0, kWidth, kHeight, 0xFF202020);
  hge->Gfx_RenderQuad(&backdrop);
  hge->Gfx_EndScene();
  EXPECT_TRUE(headless::LastScenePresented(hge));
}

TEST_F(RepeatedSceneTest, WindowThatNeedsItsPictureGetsItDrawnAgain) {
  const hgeQuad quad = RectQuad(10, 10, 20, 20, 0xFFFF0000);
  ASSERT_TRUE(Scene(quad));
  ASSERT_FALSE(Scene(quad));

  SDL_Event exposed{};
  exposed.type = SDL_WINDOWEVENT;
  exposed.window.event = SDL_WINDOWEVENT_EXPOSED;
  SDL_PushEvent(&exposed);
  headless::RunFrame(hge);
  // Drawn again for a few frames: the window's new state may reach the
  // drawing a frame or two late.
  const int afterExposure = PresentedBeforeARepeat(quad);
  EXPECT_GE(afterExposure, 1);
  EXPECT_LE(afterExposure, 30);

  headless::SetWindowSize(hge, 128, 96);
  headless::RunFrame(hge);
  EXPECT_TRUE(Scene(quad));
  EXPECT_EQ(headless::ReadPixel(hge, 12, 18), 0xFFFF0000u);
  EXPECT_LE(PresentedBeforeARepeat(quad), 30);

  // A texture loaded or freed may change what a handle draws.
  hge->Texture_Free(hge->Texture_Load("no-such.png", 0, false));
  const HTEXTURE tex = hge->Texture_Load(VANTOR_SOURCE_DIR "/Content/particles.png", 0, false);
  ASSERT_NE(tex, 0u);
  EXPECT_TRUE(Scene(quad));
  EXPECT_FALSE(Scene(quad));
  hge->Texture_Free(tex);
  EXPECT_TRUE(Scene(quad));
}

// ---------------------------------------------------------------- window mode

constexpr int kF11 = 122;

void PushAltEnter() {
  for (bool down : {true, false}) {
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = SDLK_RETURN;
    event.key.keysym.scancode = SDL_SCANCODE_RETURN;
    event.key.keysym.mod = KMOD_LALT;
    SDL_PushEvent(&event);
  }
}

TEST_F(WindowTest, F11AndAltEnterToggleFullscreenWithoutReachingTheGame) {
  hge->System_SetState(HGE_WINDOWWIDTH, 300);
  hge->System_SetState(HGE_WINDOWHEIGHT, 200);
  Initiate();
  ASSERT_TRUE(hge->System_GetState(HGE_WINDOWED));
  headless::PushKey(kF11, true);
  headless::PushKey(kF11, false);
  headless::RunFrame(hge);
  EXPECT_FALSE(hge->System_GetState(HGE_WINDOWED));
  EXPECT_EQ(hge->Input_GetKey(), 0);
  EXPECT_FALSE(hge->Input_KeyDown(kF11));
  const headless::WindowSize full = headless::GetWindowSize(hge);
  EXPECT_EQ(full.width, 1024);  // the dummy driver's display
  EXPECT_EQ(full.height, 768);
  // The size it returns to.
  EXPECT_EQ(hge->System_GetState(HGE_WINDOWWIDTH), 300);
  EXPECT_EQ(hge->System_GetState(HGE_WINDOWHEIGHT), 200);

  PushAltEnter();
  headless::RunFrame(hge);
  EXPECT_TRUE(hge->System_GetState(HGE_WINDOWED));
  EXPECT_FALSE(hge->Input_KeyDown(HGEK_ENTER));
  EXPECT_EQ(hge->Input_GetKey(), 0);
  const headless::WindowSize back = headless::GetWindowSize(hge);
  EXPECT_EQ(back.width, 300);
  EXPECT_EQ(back.height, 200);

  // Enter alone is the game's.
  headless::PushKey(HGEK_ENTER, true);
  headless::RunFrame(hge);
  EXPECT_TRUE(hge->Input_KeyDown(HGEK_ENTER));
  EXPECT_TRUE(hge->System_GetState(HGE_WINDOWED));
}

TEST_F(WindowTest, StartsInTheRememberedModeWithAnAbsurdSizeHeldToTheDisplay) {
  hge->System_SetState(HGE_WINDOWED, false);
  hge->System_SetState(HGE_WINDOWWIDTH, 100000);
  hge->System_SetState(HGE_WINDOWHEIGHT, 90);
  Initiate();
  EXPECT_FALSE(hge->System_GetState(HGE_WINDOWED));
  hge->System_SetState(HGE_WINDOWED, true);
  headless::RunFrame(hge);
  const headless::WindowSize size = headless::GetWindowSize(hge);
  EXPECT_EQ(size.width, 1024);
  EXPECT_EQ(size.height, 90);
  EXPECT_EQ(hge->System_GetState(HGE_WINDOWWIDTH), 1024);
  // The picture still lands where the game drew it (at 1.875 canvas pixels
  // per logical pixel the software renderer puts edges on whole pixels).
  g_render = [this] { DrawOnePixel(hge, 10, 20, 14, 24); };
  headless::RunFrame(hge);
  EXPECT_EQ(headless::ReadPixel(hge, 12, 22), 0xFFFFFFFFu);
  EXPECT_EQ(headless::ReadPixel(hge, 8, 22), 0xFF000000u);
  EXPECT_EQ(headless::ReadPixel(hge, 12, 26), 0xFF000000u);
}
