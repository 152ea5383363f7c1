// Smooth value noise on an integer lattice, hashed from a seed: the soft
// irregular shapes of the sky (the hills, the milky band) come from it.
#pragma once

#include <cmath>
#include <cstdint>

namespace contentgen {

class ValueNoise {
 public:
  explicit ValueNoise(std::uint64_t seed) : seed_(seed) {}

  // Noise in [0, 1] at a point; features are about one unit across.
  double At(double x, double y) const {
    const double fx = std::floor(x), fy = std::floor(y);
    const auto ix = static_cast<std::int64_t>(fx), iy = static_cast<std::int64_t>(fy);
    const double tx = Smooth(x - fx), ty = Smooth(y - fy);
    const double a = Lattice(ix, iy), b = Lattice(ix + 1, iy);
    const double c = Lattice(ix, iy + 1), d = Lattice(ix + 1, iy + 1);
    return (a + (b - a) * tx) * (1 - ty) + (c + (d - c) * tx) * ty;
  }

  // Several octaves summed, each twice as fine and half as strong; [0, 1].
  double Fractal(double x, double y, int octaves) const {
    double sum = 0, weight = 1, total = 0;
    for (int i = 0; i < octaves; ++i) {
      sum += At(x, y) * weight;
      total += weight;
      weight *= 0.5;
      x = x * 2.03 + 17.1;
      y = y * 2.03 + 31.7;
    }
    return sum / total;
  }

 private:
  static double Smooth(double t) { return t * t * (3 - 2 * t); }
  double Lattice(std::int64_t x, std::int64_t y) const {
    // Unsigned arithmetic: the hash is meant to wrap.
    std::uint64_t h = seed_ ^ (static_cast<std::uint64_t>(x) * 0x9e3779b97f4a7c15ull) ^
                      (static_cast<std::uint64_t>(y) * 0xc2b2ae3d27d4eb4full);
    h ^= h >> 31;
    h *= 0xbf58476d1ce4e5b9ull;
    h ^= h >> 29;
    h *= 0x94d049bb133111ebull;
    h ^= h >> 32;
    return static_cast<double>(h >> 11) * 0x1.0p-53;
  }
  std::uint64_t seed_;
};

}  // namespace contentgen
