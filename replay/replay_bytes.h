// Reading and writing the replay file's numbers: little-endian integers and
// floats, varints, zigzag-coded signed values and short texts. The reader
// treats its bytes as untrusted: it never reads past their end, and keeps
// the first failure as one line naming the field and its offset in the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

namespace vtr::replay_bytes {

// ------------------------------------------------------------------ writing

inline void PutU8(std::vector<std::uint8_t>& out, std::uint8_t v) { out.push_back(v); }

// Any integer, little-endian, in its own width.
template <typename T>
void PutLE(std::vector<std::uint8_t>& out, T value) {
  auto bits = static_cast<std::make_unsigned_t<T>>(value);
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    out.push_back(static_cast<std::uint8_t>(bits & 0xFFu));
    bits = static_cast<decltype(bits)>(bits >> 8);
  }
}

// A float as the 4 bytes of its bit pattern.
void PutFloat(std::vector<std::uint8_t>& out, float v);
// 7 bits a byte, lowest first; the top bit says another byte follows.
void PutVarint(std::vector<std::uint8_t>& out, std::uint32_t v);
// A u8 length and at most kReplayMaxText bytes of text.
void PutText(std::vector<std::uint8_t>& out, const std::string& text);

// Signed as unsigned, small magnitudes small: 0, -1, 1, -2 ... -> 0, 1, 2, 3.
inline std::uint32_t Zigzag(std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  return (u << 1) ^ (v < 0 ? 0xFFFFFFFFu : 0u);
}

inline std::int32_t Unzigzag(std::uint32_t u) {
  return static_cast<std::int32_t>((u >> 1) ^ (0u - (u & 1u)));
}

// ------------------------------------------------------------------ reading

// A cursor over untrusted bytes that remembers the first failure.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size, std::size_t base = 0)
      : data_(data), size_(size), base_(base) {}

  bool Fail(const char* field, const std::string& problem) { return FailAt(field, at_, problem); }
  // A value that was read but cannot be taken: named at the offset where it
  // begins, not where the reading stopped.
  bool Reject(const char* field, const std::string& problem) { return FailAt(field, last_, problem); }
  bool FailAt(const char* field, std::size_t at, const std::string& problem) {
    if (error_.empty()) error_ = std::string(field) + " at offset " + std::to_string(base_ + at) + ": " + problem;
    return false;
  }
  bool Need(const char* field, std::size_t bytes) {
    if (size_ - at_ >= bytes) return true;
    return Fail(field, "the file ends early");
  }
  bool U8(const char* field, std::uint8_t* v) {
    if (!Need(field, 1)) return false;
    last_ = at_;
    *v = data_[at_++];
    return true;
  }
  template <typename T>
  bool LE(const char* field, T* v) {
    if (!Need(field, sizeof(T))) return false;
    last_ = at_;
    std::make_unsigned_t<T> bits = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
      bits = static_cast<decltype(bits)>(bits | static_cast<decltype(bits)>(data_[at_ + i]) << (8 * i));
    }
    at_ += sizeof(T);
    *v = static_cast<T>(bits);
    return true;
  }
  // A finite float within [lo, hi].
  bool Float(const char* field, float* v, float lo, float hi);
  bool Varint(const char* field, std::uint32_t* v);
  bool Signed(const char* field, std::int32_t* v) {
    std::uint32_t u = 0;
    if (!Varint(field, &u)) return false;
    *v = Unzigzag(u);
    return true;
  }
  // Text of 1..255 bytes without control characters (nor blanks, unless allowed).
  bool Text(const char* field, std::string* text, bool allowBlanks);

  std::size_t At() const { return at_; }
  std::size_t Left() const { return size_ - at_; }
  const std::uint8_t* Here() const { return data_ + at_; }
  void Skip(std::size_t bytes) { at_ += bytes; }
  const std::string& Error() const { return error_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t base_;  // offset of data_ within the file, for messages
  std::size_t at_ = 0;
  std::size_t last_ = 0;  // where the value read last begins
  std::string error_;
};

}  // namespace vtr::replay_bytes
