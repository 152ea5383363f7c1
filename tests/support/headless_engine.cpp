#include "tests/support/headless_engine.h"

#include "platform/hge_headless.h"

namespace testing_support {

EngineOptions SmallEngine(bool (*frameFunc)(), bool (*renderFunc)()) {
  return {.width = 64, .height = 48, .logFile = "engine.log", .frameFunc = frameFunc, .renderFunc = renderFunc,
          .initiate = false};
}

hgeQuad RectQuad(float x0, float y0, float x1, float y1, DWORD color, HTEXTURE tex, int blend) {
  hgeQuad quad{};
  const float xs[4] = {x0, x1, x1, x0};
  const float ys[4] = {y0, y0, y1, y1};
  const float us[4] = {0, 1, 1, 0};
  const float vs[4] = {0, 0, 1, 1};
  for (int i = 0; i < 4; ++i) quad.v[i] = hgeVertex{xs[i], ys[i], 0.5f, color, us[i], vs[i]};
  quad.tex = tex;
  quad.blend = blend;
  return quad;
}

HeadlessEngine::HeadlessEngine(const EngineOptions& options)
    : hge(hgeCreate(HGE_VERSION)), options_(options) {
  hge->System_SetState(HGE_WINDOWED, true);
  hge->System_SetState(HGE_SHOWSPLASH, false);
  hge->System_SetState(HGE_USESOUND, false);
  hge->System_SetState(HGE_FRAMEFUNC, options.frameFunc ? options.frameFunc : [] { return false; });
  if (options.renderFunc) hge->System_SetState(HGE_RENDERFUNC, options.renderFunc);
  if (options.logFile) hge->System_SetState(HGE_LOGFILE, options.logFile);
  if (options.width > 0) hge->System_SetState(HGE_SCREENWIDTH, options.width);
  if (options.height > 0) hge->System_SetState(HGE_SCREENHEIGHT, options.height);
  if (options.initiate) Initiate();
}

HeadlessEngine::~HeadlessEngine() {
  headless::SetQuadTap(hge, {});
  hge->System_Shutdown();
  hge->Release();
}

bool HeadlessEngine::Initiate() {
  ok = hge->System_Initiate();
  if (!ok) return false;
  if (!options_.render) headless::SetRenderEnabled(hge, false);
  if (options_.fixedFrameTime > 0.0f) headless::SetFixedFrameTime(hge, options_.fixedFrameTime);
  return true;
}

void HeadlessEngine::WatchQuads() {
  headless::SetQuadTap(hge, [this](const hgeQuad& quad) { quads.push_back(quad); });
}

std::string HeadlessEngine::error() const { return hge->System_GetErrorMessage(); }

}  // namespace testing_support
