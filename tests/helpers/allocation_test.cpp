// No heap allocation per frame once a scene is warm: the particle system
// (emitting, moving, expiring and drawing its particles), the quad path
// from a sprite through the engine's Gfx_RenderQuad and its batching, and
// the recording of the round's frames.
//
// This file replaces the global operator new and delete of the whole test
// binary. They only count while a test on the counting thread turns the
// counter on, so every other test runs as usual.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "config/settings.h"
#include "game/game.h"
#include "helpers/particle_system.h"
#include "helpers/sprite.h"
#include "platform/hge_record.h"
#include "replay/round_recorder.h"
#include "tests/support/headless_game.h"

namespace {

thread_local bool t_counting = false;
thread_local long t_allocations = 0;

void* Allocate(std::size_t size) {
  if (t_counting) ++t_allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

void* AllocateNoThrow(std::size_t size) noexcept {
  if (t_counting) ++t_allocations;
  return std::malloc(size == 0 ? 1 : size);
}

// Counts the allocations of this thread while alive.
class AllocationCounter {
 public:
  AllocationCounter() {
    t_allocations = 0;
    t_counting = true;
  }
  ~AllocationCounter() { t_counting = false; }
  long count() const { return t_allocations; }
};

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return AllocateNoThrow(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return AllocateNoThrow(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

using testing_support::HeadlessGame;

constexpr float kDt = 1.0f / 60.0f;

TEST(Allocation, CounterSeesAllocations) {
  AllocationCounter counter;
  auto grown = std::make_unique<std::vector<int>>();
  for (int i = 0; i < 100; ++i) grown->push_back(i);
  EXPECT_GT(counter.count(), 1);
}

// Bursts that keep emitting and expiring at a full pool, moved and drawn
// every frame.
TEST(Allocation, ParticleSystemFramesOnceWarm) {
  HeadlessGame session;
  hgeEmitterInfo info = vtr::Settings::Instance().ExplosionParticles;
  ASSERT_NE(info.sprite, nullptr);
  info.fLifetime = -1.0f;
  info.nEmission = 1000;
  info.fParticleLifeMin = 0.5f;
  info.fParticleLifeMax = 1.0f;
  std::vector<std::unique_ptr<hgeParticleSystem>> systems;
  for (int i = 0; i < 8; ++i) {
    systems.push_back(std::make_unique<hgeParticleSystem>(&info));
    systems.back()->Fire();
  }
  auto frame = [&](int n) {
    session.hge->Gfx_BeginScene(0);
    for (std::size_t i = 0; i < systems.size(); ++i) {
      systems[i]->MoveTo(100.0f + 10.0f * n + 50.0f * static_cast<float>(i), 300.0f, n % 2 == 0);
      systems[i]->Update(kDt);
      systems[i]->Render();
    }
    session.hge->Gfx_EndScene();
  };
  for (int n = 0; n < 30; ++n) frame(n);
  ASSERT_EQ(systems[0]->GetAliveCount(), hgeParticleSystem::kMaxParticles);

  AllocationCounter counter;
  for (int n = 30; n < 90; ++n) frame(n);
  EXPECT_EQ(counter.count(), 0);
}

// More quads than one batch holds, alternating textures and blend modes, so
// the engine flushes on a full batch, on a texture change and at the end.
TEST(Allocation, SpriteQuadPathOnceWarm) {
  HeadlessGame session;
  hgeSprite particle(session.game->FindTexture("particles"), 96.0f, 64.0f, 32.0f, 32.0f);
  hgeSprite panel(session.game->FindTexture("black_alpha"), 0.0f, 0.0f, 150.0f, 768.0f);
  particle.SetHotSpot(16.0f, 16.0f);
  auto scene = [&](int n) {
    session.hge->Gfx_BeginScene(0);
    for (int i = 0; i < 5000; ++i) {
      particle.SetBlendMode((i / 100) % 2 == 0 ? BLEND_DEFAULT : BLEND_COLORMUL | BLEND_ALPHAADD);
      particle.RenderTransformed(static_cast<float>(i % 1024), static_cast<float>((i * 7 + n) % 768), 0.01f * i,
                                 1.25f);
    }
    for (int i = 0; i < 6000; ++i) particle.Render(static_cast<float>(i % 1000), 200.0f);
    for (int i = 0; i < 20; ++i) {
      panel.Render(static_cast<float>(i * 40), 0.0f);
      particle.Render(static_cast<float>(i * 40), 400.0f);
    }
    session.hge->Gfx_EndScene();
  };
  for (int n = 0; n < 2; ++n) scene(n);

  AllocationCounter counter;
  for (int n = 2; n < 6; ++n) scene(n);
  EXPECT_EQ(counter.count(), 0);
}

// Ten busy minutes of frames: a cursor that moves every frame, uneven frame
// times, clicks and key taps, read from the engine as the game reads them.
TEST(Allocation, RecordingAFrameOnceStarted) {
  HeadlessGame session;
  vtr::RoundRecorder recorder;
  recorder.Begin(vtr::RoundStart{}, vtr::CaptureSettings());
  hge_record::InputFrame input;
  AllocationCounter counter;
  for (int n = 0; n < 36000; ++n) {
    input.mouseX = static_cast<float>(n % 1000);
    input.mouseY = static_cast<float>((n * 3) % 700);
    input.keys[HGEK_LBUTTON] = n % 50 == 0 ? hge_record::kHeld | hge_record::kWentDown : 0;
    input.keys[HGEK_SPACE] = n % 70 < 5 ? hge_record::kHeld : 0;
    input.key = n % 50 == 0 ? HGEK_LBUTTON : 0;
    hge_record::InjectInput(session.hge, input);
    recorder.Capture(session.hge, static_cast<float>(16000 + (n * 37) % 1500) / 1.0e6f);
  }
  EXPECT_EQ(counter.count(), 0);
  hge_record::EndInjection(session.hge);
  vtr::Replay replay;
  EXPECT_TRUE(recorder.Finish(0, 0, 0, &replay));
  EXPECT_EQ(replay.frameCount, 36000u);
}

}  // namespace
