// Recording and replay controls over the one engine; see platform/hge_record.h.
#include "platform/hge_record.h"

#include "platform/hge_sdl.h"

namespace hge_record {
namespace {

// The one engine when hge is it; null for anything else (a test's stand-in
// engine), which records nothing and takes no injection.
hge_sdl::Engine* EngineOf(HGE* hge) {
  hge_sdl::Engine* engine = hge_sdl::Engine::Current();
  return hge != nullptr && hge == engine ? engine : nullptr;
}

}  // namespace

void ReadInput(HGE* hge, InputFrame* out) {
  if (hge_sdl::Engine* engine = EngineOf(hge)) {
    engine->ReadInput(out);
  } else {
    *out = InputFrame{};
  }
}

void InjectInput(HGE* hge, const InputFrame& frame) {
  if (hge_sdl::Engine* engine = EngineOf(hge)) engine->InjectInput(&frame);
}

void EndInjection(HGE* hge) {
  if (hge_sdl::Engine* engine = EngineOf(hge)) engine->InjectInput(nullptr);
}

bool Injecting(HGE* hge) {
  const hge_sdl::Engine* engine = EngineOf(hge);
  return engine != nullptr && engine->Injecting();
}

std::uint64_t RandomState(HGE* hge) {
  const hge_sdl::Engine* engine = EngineOf(hge);
  return engine != nullptr ? engine->RandomState() : 0;
}

void SetRandomState(HGE* hge, std::uint64_t state) {
  if (hge_sdl::Engine* engine = EngineOf(hge)) engine->SetRandomState(state);
}

}  // namespace hge_record
