// The plain record that fixes everything a particle system does: how fast it
// emits, for how long, and how its particles start, move and fade. Copied by
// value wherever it is handed on; the sprite is shared, never owned.
#pragma once

#include <cstdint>

#include "helpers/color.h"

class hgeSprite;

struct hgeEmitterInfo {
  hgeSprite* sprite = nullptr;  // drawn for every particle; not owned
  std::int32_t nEmission = 0;   // particles per second
  float fLifetime = 0.0f;       // seconds of emission after Fire; -1 until stopped

  float fParticleLifeMin = 0.0f;
  float fParticleLifeMax = 0.0f;

  float fDirection = 0.0f;  // 0 points up the screen, positive turns clockwise
  float fSpread = 0.0f;     // full width of the random cone
  bool bRelative = false;   // direction relative to the emitter's movement

  float fSpeedMin = 0.0f;
  float fSpeedMax = 0.0f;

  float fGravityMin = 0.0f;
  float fGravityMax = 0.0f;

  float fRadialAccelMin = 0.0f;
  float fRadialAccelMax = 0.0f;

  float fTangentialAccelMin = 0.0f;
  float fTangentialAccelMax = 0.0f;

  float fSizeStart = 0.0f;
  float fSizeEnd = 0.0f;
  float fSizeVar = 0.0f;

  float fSpinStart = 0.0f;
  float fSpinEnd = 0.0f;
  float fSpinVar = 0.0f;

  hgeColor colColorStart;  // a negative r keeps the sprite's colour, alpha only
  hgeColor colColorEnd;
  float fColorVar = 0.0f;
  float fAlphaVar = 0.0f;
};
