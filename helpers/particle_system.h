// The emitter behind every rocket trail and every explosion burst.
//
// A particle system is a fixed pool of 500 particles living inside the object
// (nothing is allocated after construction). Its emitter point spawns
// particles at the description's steady rate while it runs; each particle
// then moves on its own under its velocity, gravity and its radial and
// tangential acceleration around the emitter point, while its size, spin and
// colour slide from random start values towards the description's end values,
// which they would reach at the particle's terminal age.
//
// The emission rate is kept exact over time: each update creates the rounded
// share of the particles due (halves to even) and carries the signed
// remainder to the next update, so a frame may create one particle more than
// its share and the next frames repay it. A full pool drops the rest of a
// frame's quota. New particles are spread along the path the emitter moved
// since the previous update, so a fast trail stays continuous.
#pragma once

#include <array>
#include <cstdint>

#include "helpers/emitter_info.h"
#include "helpers/geometry.h"
#include "platform/hge.h"

// One particle: 21 floats.
struct hgeParticleState {
  hgeVector2 vecLocation;
  hgeVector2 vecVelocity;

  float fGravity;
  float fRadialAccel;
  float fTangentialAccel;

  float fSpin;
  float fSpinDelta;

  float fSize;
  float fSizeDelta;

  hgeColor colColor;
  hgeColor colColorDelta;

  float fAge;
  float fTerminalAge;
};

class hgeParticleSystem {
 public:
  static constexpr int kMaxParticles = 500;

  // Copies the description; the emitter starts stopped at (0, 0).
  explicit hgeParticleSystem(const hgeEmitterInfo* psi);
  ~hgeParticleSystem();
  hgeParticleSystem(const hgeParticleSystem&) = delete;
  hgeParticleSystem& operator=(const hgeParticleSystem&) = delete;

  // Starts (or restarts) the emitter clock; lifetime -1 runs until Stop.
  void Fire();
  // Stops emission; killParticles also removes every live particle at once.
  void Stop(bool killParticles = false);
  // Moves the emitter; moveParticles carries the live particles along.
  void MoveTo(float x, float y, bool moveParticles = false);
  // Advances the emitter clock, the live particles and the emission by dt.
  void Update(float dt);
  // Draws every live particle with the description's sprite, one quad each;
  // the sprite's colour is restored afterwards.
  void Render();

  // Number of live particles (they occupy slots 0 .. count - 1).
  int GetAliveCount() const { return alive_; }
  // -2 stopped, -1 running until stopped, else seconds since Fire.
  float GetAge() const { return age_; }
  // Fraction of a particle carried to the next update (-0.5 .. 0.5).
  float GetEmissionResidue() const { return emissionResidue_; }
  void GetPosition(float* x, float* y) const { *x = location_.x; *y = location_.y; }
  // Live particle i, 0 <= i < GetAliveCount().
  const hgeParticleState& GetParticle(int i) const { return particles_[static_cast<std::size_t>(i)]; }

  hgeEmitterInfo info;  // the description, a copy owned by this system

 private:
  static HGE* hge_;  // class-wide engine reference

  float age_ = -2.0f;
  float emissionResidue_ = 0.0f;
  hgeVector2 prevLocation_;
  hgeVector2 location_;
  int alive_ = 0;
  std::array<hgeParticleState, kMaxParticles> particles_;
};
