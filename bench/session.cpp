#include "bench/session.h"

#include <chrono>
#include <cmath>
#include <memory>

#include "actors/actor_list.h"
#include "actors/explosion.h"
#include "actors/rocket.h"
#include "app/app.h"
#include "config/settings.h"
#include "game/game.h"
#include "helpers/particle_system.h"
#include "platform/hge_headless.h"

namespace bench {
namespace {

constexpr float kDt = 1.0f / 60.0f;
constexpr float kClusterRadius = 90.0f;   // a burst's ring grows to 101.5
constexpr float kShotSpeed = 200.0f;      // the player's rocket, pixels per second
constexpr float kRingLead = 0.25f;        // the ring needs a moment to grow

using Clock = std::chrono::steady_clock;

// The engine calls these in place of the entry point's callbacks; each times
// the real one.
double g_updateMs = 0.0;

double MsSince(Clock::time_point began) {
  return std::chrono::duration<double, std::milli>(Clock::now() - began).count();
}

bool TimedFrameFunc() {
  const Clock::time_point began = Clock::now();
  const bool quit = vtr::FrameFunc();
  g_updateMs = MsSince(began);
  return quit;
}

bool TimedRenderFunc() { return vtr::RenderFunc(); }

// A rocket the player can still catch: rising, not the player's own.
bool Catchable(const vtr::Actor& actor) {
  return actor.kind == vtr::kRocket && actor.alive && actor.collidable && !actor.dying;
}

}  // namespace

int LiveParticles() {
  int count = 0;
  for (const std::shared_ptr<vtr::Actor>& actor : vtr::ActorList::Instance()) {
    if (const auto* rocket = dynamic_cast<const vtr::Rocket*>(actor.get()); rocket && rocket->trail) {
      count += rocket->trail->GetAliveCount();
    } else if (const auto* explosion = dynamic_cast<const vtr::Explosion*>(actor.get());
               explosion && explosion->burst) {
      count += explosion->burst->GetAliveCount();
    }
  }
  return count;
}

Autopilot::Autopilot(std::uint32_t seed) {
  if (seed == 0) return;
  period_ = 24 + static_cast<int>(seed % 13u);
  phase_ = static_cast<int>((seed / 13u) % static_cast<std::uint32_t>(period_));
  jitter_ = seed * 2654435761u | 1u;  // never 0, the xorshift's fixed point
}

// Aims at the rising rocket with the most catchable neighbours, led by the
// time the shot needs to get there and the ring to grow.
void Autopilot::BeforeFrame() {
  if (releasePending_) {
    headless::PushMouseButton(HGEK_LBUTTON, false, x_, y_);
    releasePending_ = false;
  }
  if (frame_++ % period_ != phase_) return;

  const vtr::ActorList::Sequence& actors = vtr::ActorList::Instance().Actors();
  const vtr::Actor* best = nullptr;
  int bestCount = 0;
  for (const std::shared_ptr<vtr::Actor>& a : actors) {
    if (!Catchable(*a) || a->y < 0.0f || a->y > 768.0f) continue;
    int count = 0;
    for (const std::shared_ptr<vtr::Actor>& b : actors) {
      if (!Catchable(*b)) continue;
      const float dx = b->x - a->x;
      const float dy = b->y - a->y;
      count += dx * dx + dy * dy <= kClusterRadius * kClusterRadius ? 1 : 0;
    }
    if (count > bestCount) {
      best = a.get();
      bestCount = count;
    }
  }
  if (!best) return;

  const float distance = std::hypot(best->x - 512.0f, best->y - 768.0f);
  const float lead = distance / kShotSpeed + kRingLead;
  float offX = 0.0f, offY = 0.0f;
  if (jitter_ != 0) {
    auto next = [this] {
      jitter_ ^= jitter_ << 13;
      jitter_ ^= jitter_ >> 17;
      jitter_ ^= jitter_ << 5;
      return static_cast<float>(jitter_ % 33u) - 16.0f;
    };
    offX = next();
    offY = next();
  }
  x_ = std::fmin(std::fmax(best->x + best->vx * lead + offX, 1.0f), 1023.0f);
  y_ = std::fmin(std::fmax(best->y + best->vy * lead + offY, 20.0f), 740.0f);
  headless::PushMouseMove(x_, y_);
  headless::PushMouseButton(HGEK_LBUTTON, true, x_, y_);
  releasePending_ = true;
  ++shots_;
}

Session::Session(Scenario scenario, bool render) : render_(render) {
  dir_ = std::make_unique<testing_support::TempDir>(true);
  vtr::Settings& settings = vtr::Settings::Instance();
  settings.ShowSplash = false;
  if (scenario == Scenario::kStress) {
    settings.RocketSpawnDelay = 0.05f;
    settings.BonusRocketSpawnDelay = 0.1f;
    settings.DualRocketSpawnDelay = 0.3f;
    settings.StartingTime = 1000000.0f;
  }
  settings.Save();  // "New Game" reads the file again

  vtr::StartOptions options;
  options.folder = dir_->path().string();
  options.fixedFrameTime = kDt;
  options.render = render_;
  options.frameFunc = TimedFrameFunc;
  options.renderFunc = TimedRenderFunc;
  app_ = std::make_unique<vtr::App>(options);
  if (!app_->Start()) {
    error_ = app_->error();
    return;
  }
  engine_ = app_->engine();

  // "New Game", clicked as a player does: pressed, then released over it.
  headless::PushMouseMove(512.0f, 310.0f);
  headless::PushMouseButton(HGEK_LBUTTON, true, 512.0f, 310.0f);
  headless::RunFrame(engine_);
  headless::PushMouseButton(HGEK_LBUTTON, false, 512.0f, 310.0f);
  headless::RunFrame(engine_);
  ok_ = vtr::g_game->CurrentRound().roundRunning && !vtr::g_game->CurrentRound().menuShown;
  if (!ok_) error_ = "\"New Game\" did not start a round";
  quads_.reserve(65536);
}

Session::~Session() { app_.reset(); }

std::string Session::Backend() const {
  return headless::VideoDriverName(engine_) + "/" + headless::RendererName(engine_);
}

FrameSample Session::Frame(bool replay) {
  FrameSample sample;
  sample.frame = frame_++;
  autopilot_.BeforeFrame();
  replay = replay && render_;
  if (replay) {
    quads_.clear();
    headless::SetQuadTap(engine_, [this](const hgeQuad& quad) { quads_.push_back(quad); });
  }
  stopped_ = headless::RunFrame(engine_) || stopped_;
  sample.update = g_updateMs;
  if (replay) {
    headless::SetQuadTap(engine_, {});
    sample.replay = headless::ReplayQuads(engine_, quads_) * 1000.0;
  }
  if (render_) {
    const headless::SceneTimes times = headless::LastSceneTimes(engine_);
    sample.submit = times.submit * 1000.0;
    sample.flush = times.flush * 1000.0;
    sample.quads = headless::LastSceneQuads(engine_);
    sample.drawCalls = headless::LastSceneDrawCalls(engine_);
  }
  sample.actors = static_cast<int>(vtr::ActorList::Instance().size());
  sample.particles = LiveParticles();
  return sample;
}

}  // namespace bench
