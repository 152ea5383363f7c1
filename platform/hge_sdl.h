// Inside the SDL2 engine core (not for use outside platform/).
//
// What the engine guarantees:
// - One engine per process: hgeCreate hands out counted references to it and
//   the last Release shuts it down and frees it.
// - The game draws in its logical coordinates (the screen size states); the
//   picture is scaled to the resizable window keeping its aspect, between
//   black bars, and the mouse reaches the game in logical coordinates.
// - The scene is drawn into a persistent canvas texture the size of the
//   picture in the window, copied to the window at every Gfx_EndScene:
//   nothing is cleared between frames on any backend, and the canvas can be
//   read back.
// - Quads of one texture and blend mode in a row reach SDL as one geometry
//   call, from buffers that stop growing once warm.
// - A scene whose quads and clears are exactly the previous scene's is not
//   drawn or presented again: the canvas already holds its picture.
// - Input is pumped once per frame, before the frame function: key and button
//   edges last exactly one frame, held states until the release.
// - Frame time is real time, capped at 0.1 s, and does not count the time the
//   loop spends suspended (window minimised or hidden, or focus lost after
//   the window once had it: a window that never gets focus never waits for
//   it). A host that calls the frames itself (the browser) steps the loop
//   with the same standstill.
// - A problem of the world (no display, a broken image, a missing file) is a
//   return value plus a line in the log, never a crash.
#pragma once

#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/hge.h"
#include "platform/hge_headless.h"
#include "platform/hge_record.h"
#include "platform/hge_sdl_input.h"
#include "platform/viewport.h"

namespace hge_sdl {

// A full batch is flushed, which bounds the buffers: 4096 quads are 64K
// vertices.
inline constexpr std::size_t kMaxBatchQuads = 4096;
// Frames drawn after the window changed, repeated or not.
inline constexpr int kSettleFrames = 10;
// The window can be made no smaller than this (or the logical size).
inline constexpr int kMinWindowSide = 160;

// A run of replayed quads of one texture and blend mode.
struct ReplayRun {
  SDL_Texture* texture = nullptr;
  SDL_BlendMode blend = SDL_BLENDMODE_BLEND;
  std::size_t firstVertex = 0;
  std::size_t vertexCount = 0;
};

// A Gfx_Clear in a scene, before the quad of that index.
struct SceneClear {
  std::size_t before = 0;
  DWORD color = 0;
  bool operator==(const SceneClear&) const = default;
};

struct TextureSlot {
  SDL_Texture* texture = nullptr;
  int width = 0;
  int height = 0;
};

class Engine final : public HGE {
 public:
  // The one engine, created on the first call; adds a reference.
  static Engine* Acquire();
  // The one engine if it exists, without adding a reference.
  static Engine* Current();

  void Release() override;

  bool System_Initiate() override;
  void System_Shutdown() override;
  bool System_Start() override;
  const char* System_GetErrorMessage() override;
  void System_Log(const char* format, ...) override
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;

  void System_SetState(hgeBoolState state, bool value) override;
  void System_SetState(hgeFuncState state, hgeCallback value) override;
  void System_SetState(hgeIntState state, int value) override;
  void System_SetState(hgeStringState state, const char* value) override;
  bool System_GetState(hgeBoolState state) override;
  hgeCallback System_GetState(hgeFuncState state) override;
  int System_GetState(hgeIntState state) override;
  const char* System_GetState(hgeStringState state) override;

  void* Resource_Load(const char* filename, DWORD* size) override;
  void Resource_Free(void* res) override;

  float Timer_GetDelta() override;

  void Random_Seed(int seed) override;
  int Random_Int(int min, int max) override;
  float Random_Float(float min, float max) override;

  void Input_GetMousePos(float* x, float* y) override;
  int Input_GetMouseWheel() override;
  bool Input_KeyDown(int key) override;
  bool Input_KeyUp(int key) override;
  bool Input_GetKeyState(int key) override;
  int Input_GetKey() override;
  int Input_GetChar() override;

  bool Gfx_BeginScene(HTARGET target) override;
  void Gfx_EndScene() override;
  void Gfx_Clear(DWORD color) override;
  void Gfx_RenderQuad(const hgeQuad* quad) override;

  HTEXTURE Texture_Load(const char* filename, DWORD size, bool bMipmap) override;
  void Texture_Free(HTEXTURE tex) override;
  int Texture_GetWidth(HTEXTURE tex, bool bOriginal) override;
  int Texture_GetHeight(HTEXTURE tex, bool bOriginal) override;

  // Test controls (platform/hge_headless.h).
  void RestoreSignalHandlers();
  bool RunFrame();
  bool StepFrame();
  void SetFixedFrameTime(float dt) { fixedDelta_ = dt > 0.0f ? dt : 0.0f; }
  void SetFrameLimit(int frames) { frameLimit_ = frames > 0 ? frames : 0; }
  void SetRenderEnabled(bool enabled) { renderEnabled_ = enabled; }
  std::uint32_t ReadPixel(int x, int y);
  headless::WindowSize GetWindowSize() const;
  void SetWindowSize(int width, int height);
  int LastSceneDrawCalls() const { return lastSceneDrawCalls_; }
  int LastSceneQuads() const { return lastSceneQuads_; }
  bool LastScenePresented() const { return lastScenePresented_; }
  int PresentCount() const { return presents_; }
  void SetQuadTap(headless::QuadTap tap) { quadTap_ = std::move(tap); }
  std::string VideoDriverName() const;
  std::string RendererName() const;
  headless::SceneTimes LastSceneTimes() const { return lastSceneTimes_; }
  double ReplayQuads(const std::vector<hgeQuad>& quads);

  // Recording controls (platform/hge_record.h).
  void ReadInput(hge_record::InputFrame* out) const;
  void InjectInput(const hge_record::InputFrame* frame);
  bool Injecting() const { return injecting_; }
  std::uint64_t RandomState() const { return randomState_; }
  void SetRandomState(std::uint64_t state) { randomState_ = state; }

 private:
  Engine();
  ~Engine() override;

  bool Fail(const std::string& message);
  bool CreateWindowAndRenderer();
  Size InitialWindowSize() const;
  void FitDecorations();
  void UpdateRefreshRate();
  bool SyncViewport();
  void ApplyWindowMode();
  void KeepWindowOnDisplay();
  Size WindowedSize() const;
  bool ResizeCanvas();
  void ToCanvas(SDL_Vertex* vertices, std::size_t count) const;
  void ApplyIcon();
  void InstallSignalHandlers();
  void HandleEvent(const SDL_Event& event);
  void PumpEvents();
  bool Suspended() const { return minimized_ || hidden_ || focusLost_; }
  void WaitWhileSuspended();
  bool ConsumeQuit();
  void UpdateDelta();
  void PaceFrame();
  std::uint32_t NextRandom();
  void FlushBatch();
  void ClearCanvas(DWORD color);
  void DrawQuad(const hgeQuad& quad);
  void ShowCanvas();
  void PresentCanvas();
  bool DrawBatch(SDL_Texture* texture, SDL_BlendMode blend, const SDL_Vertex* vertices, int vertexCount,
                 const int* indices);
  SDL_Texture* TextureOrWhite(HTEXTURE tex) const;
  void FreeTextures();

  int references_ = 0;
  std::string error_;

  // States, read at System_Initiate.
  bool windowed_ = true;
  bool useSound_ = false;
  bool hideMouse_ = true;
  bool showSplash_ = true;
  hgeCallback frameFunc_ = nullptr;
  hgeCallback renderFunc_ = nullptr;
  int screenWidth_ = 1024;
  int screenHeight_ = 768;
  int screenBpp_ = 32;
  std::string title_ = "HGE";
  std::string icon_;
  std::string logFile_;

  // Window and drawing.
  bool videoStarted_ = false;
  bool signalsInstalled_ = false;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* canvas_ = nullptr;
  SDL_Texture* white_ = nullptr;  // 1x1 white: what untextured quads draw with
  Size windowedSize_;  // points, the window's size when not fullscreen (0: not chosen)
  bool displayChanged_ = false;
  Size windowSize_;    // points
  Size drawableSize_;  // pixels
  Size canvasSize_;
  Viewport viewport_;
  float scaleX_ = 1.0f;  // canvas pixels per logical pixel
  float scaleY_ = 1.0f;
  // Scenes still to be drawn even if they repeat the last: the window may
  // not show the canvas yet. A window that changed keeps drawing a few
  // frames, since its new size may reach the drawing a frame or two late.
  int redrawFrames_ = kSettleFrames;
  void RedrawFor(int frames) { redrawFrames_ = std::max(redrawFrames_, frames); }
  bool vsync_ = false;
  double refreshRate_ = 60.0;
  std::vector<TextureSlot> textures_;  // handle h lives at index h - 1

  // This scene's quads and clears, and the previous scene's.
  bool inScene_ = false;
  std::vector<hgeQuad> frame_;
  std::vector<hgeQuad> previousFrame_;
  std::vector<SceneClear> frameClears_;
  std::vector<SceneClear> previousClears_;
  bool lastScenePresented_ = false;
  int presents_ = 0;  // times the canvas was shown in the window

  // The batch of quads waiting to reach the renderer.
  std::vector<SDL_Vertex> batchVertices_;
  std::vector<int> batchIndices_;
  HTEXTURE batchTexture_ = 0;
  SDL_BlendMode batchBlend_ = SDL_BLENDMODE_BLEND;
  int sceneDrawCalls_ = 0;
  int sceneQuads_ = 0;
  int lastSceneDrawCalls_ = 0;
  int lastSceneQuads_ = 0;
  headless::QuadTap quadTap_;
  // Scene timing for the benchmarks, in performance-counter ticks.
  Uint64 sceneBeganTick_ = 0;
  headless::SceneTimes lastSceneTimes_;
  // The limit replay's own buffers, kept to stay warm between frames.
  std::vector<SDL_Vertex> replayVertices_;
  std::vector<int> replayIndices_;
  std::vector<ReplayRun> replayRuns_;

  // Loop, timing and input.
  InputState input_;
  hge_record::InputFrame injected_;  // answered instead of input_ while injecting_
  bool injecting_ = false;
  bool quitRequested_ = false;
  bool minimized_ = false;
  bool hidden_ = false;  // the window is not shown (the browser: its tab is hidden)
  bool focusLost_ = false;  // lost after the window once had it
  bool hadFocus_ = false;
  bool presentedThisFrame_ = false;
  Uint64 lastTick_ = 0;
  void RestartClock();
  float delta_ = 0.0f;
  float fixedDelta_ = 0.0f;
  int frameLimit_ = 0;
  bool renderEnabled_ = true;
  std::uint64_t randomState_ = 0;
};

}  // namespace hge_sdl
