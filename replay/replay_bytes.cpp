#include "replay/replay_bytes.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "replay/replay_file.h"

namespace vtr::replay_bytes {

void PutFloat(std::vector<std::uint8_t>& out, float v) { PutLE(out, std::bit_cast<std::uint32_t>(v)); }

void PutVarint(std::vector<std::uint8_t>& out, std::uint32_t v) {
  while (v >= 0x80u) {
    out.push_back(static_cast<std::uint8_t>(v | 0x80u));
    v >>= 7;
  }
  out.push_back(static_cast<std::uint8_t>(v));
}

void PutText(std::vector<std::uint8_t>& out, const std::string& text) {
  const std::size_t length = std::min(text.size(), kReplayMaxText);
  PutU8(out, static_cast<std::uint8_t>(length));
  out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
}

bool Reader::Float(const char* field, float* v, float lo, float hi) {
  const std::size_t at = at_;
  std::uint32_t bits = 0;
  if (!LE(field, &bits)) return false;
  const float value = std::bit_cast<float>(bits);
  if (!std::isfinite(value) || value < lo || value > hi) {
    at_ = at;
    return Fail(field, "value out of range");
  }
  *v = value;
  return true;
}

bool Reader::Varint(const char* field, std::uint32_t* v) {
  const std::size_t start = at_;
  std::uint32_t value = 0;
  for (int shift = 0; shift < 35; shift += 7) {
    std::uint8_t byte = 0;
    if (!U8(field, &byte)) return false;
    if (shift == 28 && byte > 0x0F) return FailAt(field, start, "number too large");
    value |= static_cast<std::uint32_t>(byte & 0x7Fu) << shift;
    if ((byte & 0x80u) == 0) {
      last_ = start;
      *v = value;
      return true;
    }
  }
  return FailAt(field, start, "number too large");
}

bool Reader::Text(const char* field, std::string* text, bool allowBlanks) {
  std::uint8_t length = 0;
  if (!U8(field, &length)) return false;
  if (length == 0) return Reject(field, "empty text");
  if (!Need(field, length)) return false;
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint8_t c = data_[at_ + i];
    if (c < 0x20 || c == 0x7F || (c == ' ' && !allowBlanks)) {
      at_ += i;
      return Fail(field, "not a character the game writes");
    }
  }
  text->assign(reinterpret_cast<const char*>(data_ + at_), length);
  at_ += length;
  return true;
}

}  // namespace vtr::replay_bytes
