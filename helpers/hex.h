// Bytes as lower-case hexadecimal, the form the world table's tokens, keys
// and file digests travel in.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace vtr {

inline std::string LowerHex(const unsigned char* bytes, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * size);
  for (std::size_t i = 0; i < size; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 0x0f];
  }
  return hex;
}

// Exactly digits lower-case hex digits.
inline bool IsLowerHex(std::string_view text, std::size_t digits) {
  return text.size() == digits &&
         std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

}  // namespace vtr
