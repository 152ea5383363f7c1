// Micro-benchmarks of the game's hot paths, on the real engine started
// headless as in the game: the particle system's update, the hit pass
// against the literal nested walk it replaces, the HUD's text and a sprite's
// transformed draw.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "actors/actor_list.h"
#include "actors/explosion.h"
#include "actors/rocket.h"
#include "actors/text.h"
#include "bench/session.h"
#include "config/settings.h"
#include "game/game.h"
#include "game/hit_pass.h"
#include "helpers/particle_system.h"
#include "helpers/sprite.h"
#include "tests/support/literal_hit_pass.h"

namespace {

constexpr float kDt = 1.0f / 60.0f;

void ClearActors() {
  vtr::ActorList& list = vtr::ActorList::Instance();
  list.Clear();
  list.Update(0.0f);  // lets the queued actors in, to be cleared with the rest
  list.Clear();
}

// Emitters that keep their pools full: a steady stream of long-lived
// particles, run for a few seconds so every pool is at its 500.
void BM_ParticleUpdate(benchmark::State& state) {
  const int systems = static_cast<int>(state.range(0)) / hgeParticleSystem::kMaxParticles;
  hgeEmitterInfo info = vtr::Settings::Instance().ExplosionParticles;
  info.nEmission = 400;
  info.fLifetime = -1.0f;
  info.fParticleLifeMin = 2.0f;
  info.fParticleLifeMax = 3.0f;
  std::vector<std::unique_ptr<hgeParticleSystem>> pool;
  for (int i = 0; i < systems; ++i) {
    pool.push_back(std::make_unique<hgeParticleSystem>(&info));
    pool.back()->MoveTo(100.0f + 8.0f * i, 400.0f);
    pool.back()->Fire();
    for (int f = 0; f < 180; ++f) pool.back()->Update(kDt);
  }
  long long particles = 0;
  for (auto _ : state) {
    for (auto& system : pool) system->Update(kDt);
    for (auto& system : pool) particles += system->GetAliveCount();
  }
  state.SetItemsProcessed(particles);
  state.counters["live"] = static_cast<double>(particles) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ParticleUpdate)->Arg(6000)->Arg(40000)->Unit(benchmark::kMicrosecond);

// A crowded sky of n actors: seven in ten rising rockets, a quarter bursts of
// every size, the rest combo texts. The bursts fill the upper part of the
// sky and the rockets rise below them, just out of reach: every pass tests
// every burst against every rocket and catches nothing, so each pass costs
// the same, and it is the worst case for the pass's pairs of bursts and
// rockets.
void StageSky(int n) {
  ClearActors();
  vtr::Game* game = vtr::g_game;
  const vtr::Settings& settings = vtr::Settings::Instance();
  std::mt19937 rng(1234);
  std::uniform_real_distribution<float> x(0.0f, 1024.0f), high(0.0f, 300.0f), low(410.0f, 768.0f),
      radius(0.0f, 101.5f);
  std::uniform_int_distribution<int> kind(0, 99);
  vtr::ActorList& list = vtr::ActorList::Instance();
  for (int i = 0; i < n; ++i) {
    const int k = kind(rng);
    const hgeVector2 at(x(rng), k < 70 ? low(rng) : high(rng));
    if (k < 70) {
      list.Add(std::make_shared<vtr::Rocket>(game, at, hgeVector2(0.0f, -50.0f), 100, settings.RocketParticles));
    } else if (k < 95) {
      auto explosion = std::make_shared<vtr::Explosion>(game, 0u, 100.0f, at.x, at.y);
      explosion->radius = radius(rng);
      list.Add(explosion);
    } else {
      list.Add(std::make_shared<vtr::Text>(hgeColor{1, 1, 1, 1}, game, "x 3", at, 2.0f, 1.0f));
    }
  }
  list.Update(0.0f);  // the queued actors join
}

// What the timed passes walk: actors, rockets still catchable, explosions.
void CountSky(benchmark::State& state) {
  int rockets = 0;
  int explosions = 0;
  for (const std::shared_ptr<vtr::Actor>& actor : vtr::ActorList::Instance()) {
    rockets += actor->kind == vtr::kRocket && actor->alive && !actor->dying ? 1 : 0;
    explosions += actor->kind == vtr::kExplosion ? 1 : 0;
  }
  state.counters["actors"] = static_cast<double>(vtr::ActorList::Instance().size());
  state.counters["rising"] = rockets;
  state.counters["bursts"] = explosions;
}

void BM_HitPass(benchmark::State& state) {
  StageSky(static_cast<int>(state.range(0)));
  vtr::Round round;
  for (auto _ : state) vtr::HandleExplosionHits(vtr::g_game, round);
  CountSky(state);
  ClearActors();
}
BENCHMARK(BM_HitPass)->Arg(100)->Arg(1000)->Arg(3000)->Unit(benchmark::kMicrosecond);

void BM_HitPassLiteralWalk(benchmark::State& state) {
  StageSky(static_cast<int>(state.range(0)));
  vtr::Round round;
  for (auto _ : state) testing_support::LiteralHitPass(vtr::g_game, round);
  CountSky(state);
  ClearActors();
}
BENCHMARK(BM_HitPassLiteralWalk)->Arg(1000)->Unit(benchmark::kMicrosecond);

// Drawing benchmarks hand their quads to the engine inside a scene, which is
// ended (untimed) every so many draws so the renderer's queue stays bounded;
// ending it rasterises everything queued, which is slow headless.
class SceneWindow {
 public:
  explicit SceneWindow(int drawsPerScene) : drawsPerScene_(drawsPerScene) { vtr::g_engine->Gfx_BeginScene(0); }
  ~SceneWindow() { vtr::g_engine->Gfx_EndScene(); }
  void Tick(benchmark::State& state) {
    if (++draws_ % drawsPerScene_ != 0) return;
    state.PauseTiming();
    vtr::g_engine->Gfx_EndScene();
    vtr::g_engine->Gfx_BeginScene(0);
    state.ResumeTiming();
  }

 private:
  int drawsPerScene_;
  int draws_ = 0;
};

void BM_HudDraw(benchmark::State& state) {
  vtr::Hud& hud = vtr::g_game->hud;
  hud.score = 1234567;
  hud.highestCombo = 42;
  hud.activeRockets = 812;
  hud.multiplier = 315;
  hud.time = 9.5f;
  SceneWindow scene(1000);  // about 80 letters a draw
  for (auto _ : state) {
    hud.Draw();
    scene.Tick(state);
  }
}
BENCHMARK(BM_HudDraw)->Unit(benchmark::kMicrosecond);

void BM_SpriteRenderTransformed(benchmark::State& state) {
  hgeSprite sprite(vtr::g_game->FindTexture("particles"), 96.0f, 64.0f, 32.0f, 32.0f);
  sprite.SetHotSpot(16.0f, 16.0f);
  SceneWindow scene(65536);
  float angle = 0.1f;
  for (auto _ : state) {
    sprite.RenderTransformed(512.0f, 384.0f, angle, 1.5f, 0.75f);
    angle += 0.01f;
    scene.Tick(state);
  }
}
BENCHMARK(BM_SpriteRenderTransformed);

}  // namespace

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  bench::Session session(bench::Scenario::kDefault, true);
  if (!session.ok()) {
    std::fprintf(stderr, "cannot start the game: %s\n", session.error().c_str());
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ClearActors();
  return 0;
}
