// Test controls over the one engine; see platform/hge_headless.h.
#include "platform/hge_headless.h"

#include <cassert>

#include "platform/hge_sdl.h"

namespace headless {
namespace {

hge_sdl::Engine& EngineOf(HGE* hge) {
  assert(hge && hge == hge_sdl::Engine::Current() && "pass the engine from hgeCreate");
  return *static_cast<hge_sdl::Engine*>(hge);
}

}  // namespace

void SelectDummyVideo() { SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "dummy", SDL_HINT_OVERRIDE); }

void EndOnStopSignals(HGE* hge) { EngineOf(hge).RestoreSignalHandlers(); }

void SetFixedFrameTime(HGE* hge, float dt) { EngineOf(hge).SetFixedFrameTime(dt); }

void SetFrameLimit(HGE* hge, int frames) { EngineOf(hge).SetFrameLimit(frames); }

void SetRenderEnabled(HGE* hge, bool enabled) { EngineOf(hge).SetRenderEnabled(enabled); }

bool RunFrame(HGE* hge) { return EngineOf(hge).RunFrame(); }

bool StepFrame(HGE* hge) { return EngineOf(hge).StepFrame(); }

WindowSize GetWindowSize(HGE* hge) { return EngineOf(hge).GetWindowSize(); }

void SetWindowSize(HGE* hge, int width, int height) { EngineOf(hge).SetWindowSize(width, height); }

std::uint32_t ReadPixel(HGE* hge, int x, int y) { return EngineOf(hge).ReadPixel(x, y); }

std::string VideoDriverName(HGE* hge) { return EngineOf(hge).VideoDriverName(); }

std::string RendererName(HGE* hge) { return EngineOf(hge).RendererName(); }

int LastSceneDrawCalls(HGE* hge) { return EngineOf(hge).LastSceneDrawCalls(); }

int LastSceneQuads(HGE* hge) { return EngineOf(hge).LastSceneQuads(); }

bool LastScenePresented(HGE* hge) { return EngineOf(hge).LastScenePresented(); }
int PresentCount(HGE* hge) { return EngineOf(hge).PresentCount(); }

void SetQuadTap(HGE* hge, QuadTap tap) { EngineOf(hge).SetQuadTap(std::move(tap)); }

SceneTimes LastSceneTimes(HGE* hge) { return EngineOf(hge).LastSceneTimes(); }

double ReplayQuads(HGE* hge, const std::vector<hgeQuad>& quads) { return EngineOf(hge).ReplayQuads(quads); }

}  // namespace headless
