// A small seeded random generator (xoshiro256** fed by splitmix64) so that
// every run of the content generator draws the same numbers on every
// machine: nothing here depends on the C library's rand() or on the
// standard library's distributions, whose output differs between vendors.
#pragma once

#include <cstdint>
#include <string_view>

namespace contentgen {

class Rng {
 public:
  // Seeds from a number and a name, so each asset has a stream of its own
  // and changing one asset never shifts the numbers of another.
  Rng(std::uint64_t seed, std::string_view name) {
    std::uint64_t h = 0xcbf29ce484222325ull;  // FNV-1a over the name
    for (unsigned char c : name) h = (h ^ c) * 0x100000001b3ull;
    std::uint64_t x = seed ^ h;
    for (auto& s : s_) s = SplitMix(x);
  }

  // 64 uniformly distributed bits.
  std::uint64_t Next() {
    const std::uint64_t result = Rotl(s_[1] * 5, 7) * 9;
    const std::uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = Rotl(s_[3], 45);
    return result;
  }

  // Uniform in [0, 1).
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  // Uniform in [lo, hi).
  double Range(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
  // Uniform integer in [lo, hi], both included (hi >= lo).
  int Int(int lo, int hi) {
    const std::uint64_t span = static_cast<std::uint64_t>(static_cast<std::int64_t>(hi) - lo) + 1;
    return static_cast<int>(lo + static_cast<std::int64_t>(Next() % span));
  }
  // True with probability p.
  bool Chance(double p) { return Uniform() < p; }
  // Uniform in [-1, 1): white noise for the synthesiser.
  double Noise() { return Uniform() * 2.0 - 1.0; }

 private:
  static std::uint64_t Rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  static std::uint64_t SplitMix(std::uint64_t& x) {
    std::uint64_t z = (x += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }
  std::uint64_t s_[4];
};

}  // namespace contentgen
