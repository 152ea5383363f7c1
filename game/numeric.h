// Float-to-integer truncation as the game's rules use it (scores, the HUD's
// multiplier readout), without the undefined behaviour of converting a value
// that does not fit: a value beyond the 64-bit range counts as 0, as NaN does,
// so an absurd product adds nothing rather than a saturated value whose low
// 32 bits would take 1 off a score.
#pragma once

#include <cmath>
#include <cstdint>

namespace vtr {

// Truncates towards zero to a 64-bit integer; NaN and values beyond the range
// give 0.
inline std::int64_t TruncateToInt64(double value) {
  if (!(value > -9223372036854775808.0 && value < 9223372036854775808.0)) return 0;
  return static_cast<std::int64_t>(value);
}

// Truncates towards zero and keeps the low 32 bits, as an unsigned number.
inline std::uint32_t TruncateToLow32(double value) {
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(TruncateToInt64(value)));
}

}  // namespace vtr
