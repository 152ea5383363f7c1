#include "helpers/particle_system.h"

#include <cmath>

#include "helpers/sprite.h"

HGE* hgeParticleSystem::hge_ = nullptr;

namespace {

constexpr float kHalfPi = 1.5707964f;  // pi / 2 as a float
constexpr float kStopped = -2.0f;
constexpr float kUntilStopped = -1.0f;

// A colour channel 0..1 as a byte, rounded halves to even. A channel that
// overshoots its range (or is not a number) is held inside 0..255 before any
// conversion, so it can neither spill into its neighbour's byte nor reach an
// out-of-range conversion. Holding first and rounding after gives the same
// byte as rounding first.
inline DWORD ColorByte(float channel) {
  float v = channel * 255.0f;
  if (!(v > 0.0f)) return 0;
  if (v >= 255.0f) return 255;
  // Adding and taking away 2^23 leaves v rounded to the nearest integer,
  // halves to even (the default rounding mode), for 0 <= v < 2^23: what
  // std::nearbyint does, without its library call in this hot loop.
  v = (v + 8388608.0f) - 8388608.0f;
  return static_cast<DWORD>(v);
}

}  // namespace

hgeParticleSystem::hgeParticleSystem(const hgeEmitterInfo* psi) : info(*psi) {
  hge_ = hgeCreate(HGE_VERSION);
}

hgeParticleSystem::~hgeParticleSystem() { hge_->Release(); }

void hgeParticleSystem::Fire() { age_ = info.fLifetime == kUntilStopped ? kUntilStopped : 0.0f; }

void hgeParticleSystem::Stop(bool killParticles) {
  age_ = kStopped;
  if (killParticles) alive_ = 0;
}

void hgeParticleSystem::MoveTo(float x, float y, bool moveParticles) {
  if (moveParticles) {
    const hgeVector2 d = hgeVector2(x, y) - location_;
    for (int i = 0; i < alive_; ++i) particles_[static_cast<std::size_t>(i)].vecLocation += d;
    prevLocation_ += d;
  } else if (age_ == kStopped) {
    // A stopped emitter jumps: the next emission must not streak from the
    // old position.
    prevLocation_ = hgeVector2(x, y);
  } else {
    prevLocation_ = location_;
  }
  location_ = hgeVector2(x, y);
}

void hgeParticleSystem::Update(float dt) {
  if (age_ >= 0.0f) {
    age_ += dt;
    if (age_ >= info.fLifetime) age_ = kStopped;
  }

  // Live particles. An expired particle is replaced by the last one, and the
  // slot is examined again, so every survivor is updated exactly once. The
  // emitter point and the count live in locals: the particle stores would
  // otherwise force them to be reloaded on every pass.
  hgeParticleState* const pool = particles_.data();
  const hgeVector2 center = location_;
  int alive = alive_;
  for (int i = 0; i < alive;) {
    hgeParticleState& p = pool[i];
    p.fAge += dt;
    if (p.fAge >= p.fTerminalAge) {
      --alive;
      p = pool[alive];
      continue;
    }

    // Around the emitter point; FastInvSqrt keeps a particle sitting on the
    // point at a zero direction rather than an invalid one.
    const hgeVector2 d = p.vecLocation - center;
    const hgeVector2 n = d * FastInvSqrt(d.x * d.x + d.y * d.y);
    const hgeVector2 radial = n * p.fRadialAccel;
    const hgeVector2 tangential = hgeVector2(-n.y, n.x) * p.fTangentialAccel;

    p.vecVelocity += (radial + tangential) * dt;
    p.vecVelocity.y += p.fGravity * dt;
    p.vecLocation += p.vecVelocity * dt;

    p.fSpin += p.fSpinDelta * dt;
    p.fSize += p.fSizeDelta * dt;
    p.colColor.r += p.colColorDelta.r * dt;
    p.colColor.g += p.colColorDelta.g * dt;
    p.colColor.b += p.colColorDelta.b * dt;
    p.colColor.a += p.colColorDelta.a * dt;
    ++i;
  }
  alive_ = alive;

  if (age_ != kStopped) {
    const float needed = static_cast<float>(info.nEmission) * dt + emissionResidue_;
    const float created = std::nearbyint(needed);
    emissionResidue_ = needed - created;

    // What the pool cannot take is dropped, not carried over. The range
    // check comes before the conversion (a NaN compares false and creates
    // nothing).
    const int room = kMaxParticles - alive_;
    int count = 0;
    if (created > 0.0f) count = created >= static_cast<float>(room) ? room : static_cast<int>(created);

    // The relative direction: from the emitter towards where it was.
    const float relativeAngle =
        info.bRelative ? (prevLocation_ - location_).Angle() + kHalfPi : 0.0f;
    const hgeColor& start = info.colColorStart;
    const hgeColor& end = info.colColorEnd;

    // The random values are drawn in a fixed order, fifteen per particle, so
    // a seeded engine replays the same particles.
    for (int k = 0; k < count; ++k) {
      hgeParticleState& p = pool[alive_];

      p.fAge = 0.0f;
      p.fTerminalAge = hge_->Random_Float(info.fParticleLifeMin, info.fParticleLifeMax);

      p.vecLocation = prevLocation_ + (location_ - prevLocation_) * hge_->Random_Float(0.0f, 1.0f);
      p.vecLocation.x += hge_->Random_Float(-2.0f, 2.0f);
      p.vecLocation.y += hge_->Random_Float(-2.0f, 2.0f);

      float angle = info.fDirection - kHalfPi + hge_->Random_Float(0.0f, info.fSpread) - info.fSpread / 2.0f;
      if (info.bRelative) angle += relativeAngle;
      const float speed = hge_->Random_Float(info.fSpeedMin, info.fSpeedMax);
      p.vecVelocity = hgeVector2(std::cos(angle), std::sin(angle)) * speed;

      p.fGravity = hge_->Random_Float(info.fGravityMin, info.fGravityMax);
      p.fRadialAccel = hge_->Random_Float(info.fRadialAccelMin, info.fRadialAccelMax);
      p.fTangentialAccel = hge_->Random_Float(info.fTangentialAccelMin, info.fTangentialAccelMax);

      p.fSize = hge_->Random_Float(info.fSizeStart,
                                   info.fSizeStart + (info.fSizeEnd - info.fSizeStart) * info.fSizeVar);
      p.fSizeDelta = (info.fSizeEnd - p.fSize) / p.fTerminalAge;

      p.fSpin = hge_->Random_Float(info.fSpinStart,
                                   info.fSpinStart + (info.fSpinEnd - info.fSpinStart) * info.fSpinVar);
      p.fSpinDelta = (info.fSpinEnd - p.fSpin) / p.fTerminalAge;

      p.colColor.r = hge_->Random_Float(start.r, start.r + (end.r - start.r) * info.fColorVar);
      p.colColor.g = hge_->Random_Float(start.g, start.g + (end.g - start.g) * info.fColorVar);
      p.colColor.b = hge_->Random_Float(start.b, start.b + (end.b - start.b) * info.fColorVar);
      p.colColor.a = hge_->Random_Float(start.a, start.a + (end.a - start.a) * info.fAlphaVar);

      p.colColorDelta.r = (end.r - p.colColor.r) / p.fTerminalAge;
      p.colColorDelta.g = (end.g - p.colColor.g) / p.fTerminalAge;
      p.colColorDelta.b = (end.b - p.colColor.b) / p.fTerminalAge;
      p.colColorDelta.a = (end.a - p.colColor.a) / p.fTerminalAge;

      ++alive_;
    }
  }

  prevLocation_ = location_;
}

void hgeParticleSystem::Render() {
  hgeSprite* const sprite = info.sprite;
  if (sprite == nullptr) return;

  const DWORD saved = sprite->GetColor();
  // A negative start red keeps the sprite's own colour and fades only alpha.
  const bool keepSpriteColor = info.colColorStart.r < 0.0f;
  const DWORD spriteRgb = saved & 0x00FFFFFFu;

  const hgeParticleState* const pool = particles_.data();
  for (int i = 0; i < alive_; ++i) {
    const hgeParticleState& p = pool[i];
    const DWORD alpha = ColorByte(p.colColor.a) << 24;
    const DWORD color = keepSpriteColor ? alpha | spriteRgb
                                        : alpha | ColorByte(p.colColor.r) << 16 |
                                              ColorByte(p.colColor.g) << 8 | ColorByte(p.colColor.b);
    sprite->SetColor(color);
    sprite->RenderTransformed(p.vecLocation.x, p.vecLocation.y, p.fSpin * p.fAge, p.fSize, 0.0f);
  }

  sprite->SetColor(saved);
}
