#include "game/scoring.h"

#include "config/settings.h"
#include "game/numeric.h"
#include "game/round.h"

namespace vtr {

std::uint32_t CatchPoints(std::uint32_t chain, std::int32_t points, float multiplier) {
  const std::uint32_t product = chain * static_cast<std::uint32_t>(points);  // wraps, intended
  return TruncateToLow32(static_cast<double>(product) * static_cast<double>(multiplier));
}

float MultiplierAfterShot(float multiplier, float dt, const Settings& settings) {
  multiplier -= settings.MultiplierRocketFirePenalty;
  if (multiplier < settings.MultiplierPenaltyMin) multiplier = settings.MultiplierPenaltyMin;
  if (multiplier > 1.0f) {
    const float decrement = settings.MultiplierDecreasePerSecond * dt;
    if (decrement < multiplier) multiplier -= decrement;
  }
  return multiplier;
}

float MultiplierAfterCatch(float multiplier, const Settings& settings) {
  return multiplier + settings.MultiplierAddition;
}

std::uint32_t MultiplierReadout(float multiplier) {
  return TruncateToLow32(static_cast<double>(multiplier) * 100.0);
}

// The score is signed and wraps at 32 bits.
void Round::AddScore(std::int32_t points) {
  score = static_cast<std::int32_t>(static_cast<std::uint32_t>(score) + CatchPoints(chain, points, multiplier));
}

void Round::ScoreCatch(std::uint32_t link, std::int32_t points) {
  chain = link;
  AddScore(points);  // with the multiplier before this catch
  multiplier = MultiplierAfterCatch(multiplier, Settings::Instance());
  if (highestCombo < link) highestCombo = link;
  ++catches;
}

void Round::ChargeShot(float dt) {
  multiplier = MultiplierAfterShot(multiplier, dt, Settings::Instance());
  ++shots;
}

}  // namespace vtr
