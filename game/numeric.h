// Float-to-integer truncation as the game's rules use it (scores, the HUD's
// multiplier readout), without the undefined behaviour of converting a value
// that does not fit: out-of-range values saturate and NaN gives 0.
#pragma once

#include <cmath>
#include <cstdint>

namespace vtr {

// Truncates towards zero to a 64-bit integer.
inline std::int64_t TruncateToInt64(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9223372036854775807.0) return INT64_MAX;
  if (value <= -9223372036854775808.0) return INT64_MIN;
  return static_cast<std::int64_t>(value);
}

// Truncates towards zero and keeps the low 32 bits, as an unsigned number.
inline std::uint32_t TruncateToLow32(double value) {
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(TruncateToInt64(value)));
}

}  // namespace vtr
