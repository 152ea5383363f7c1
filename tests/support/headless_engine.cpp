#include "tests/support/headless_engine.h"

#include "platform/hge_headless.h"

namespace testing_support {

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
