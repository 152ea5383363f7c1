// The sound effects: three firework bursts, two launch whooshes and the
// time warning. Each is synthesised from noise and simple oscillators and
// brought to a peak of -1 dBFS, so the game's effect volume alone decides
// how loud they are.
//
// A burst is a boom (a falling sine with a noisy thump and a sharp crack at
// its front) followed by a crackling tail: hundreds of tiny filtered clicks
// and a few pops scattered across the stereo field, thinning out as the
// stars of the firework burn away.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "content.h"
#include "rng.h"
#include "sound.h"

namespace contentgen {
namespace {

constexpr float kEffectPeakDb = -1.0f;

struct BurstRecipe {
  const char* file;
  double length;        // seconds
  double boomHigh;      // Hz at the start of the boom's fall
  double boomLow;       // Hz it settles at
  double boomDecay;     // seconds, time constant
  double crackleStart;  // seconds after the bang
  double crackleLength;
  double crackleRate;   // clicks per second at the start of the tail
  double popShare;      // share of clicks that are deeper pops
  double sizzle;        // level of the hissing glitter under the clicks
  double echoDelay;     // a second, softer boom after this many seconds (0: none)
};

// The boom: a sine falling from boomHigh to boomLow, a low noisy thump and
// a short broadband crack.
void AddBoom(Stereo& out, Rng& rng, const BurstRecipe& r, size_t start, float level) {
  Svf thumpFilter, crackFilter;
  thumpFilter.Set(160, 0.8);
  crackFilter.Set(1800, 0.7);
  double phase = 0;
  const size_t n = std::min(out.Frames() - std::min(out.Frames(), start), Frames(1.5));
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    const double f = r.boomLow + (r.boomHigh - r.boomLow) * std::exp(-t / 0.07);
    phase += kTwoPi * f / kSampleRate;
    const double attack = 1 - std::exp(-t / 0.0015);
    const double sine = std::sin(phase) * attack * std::exp(-t / r.boomDecay);
    const float noise = static_cast<float>(rng.Noise());
    const double thump = thumpFilter.Process(noise).low * 2.2 * attack * std::exp(-t / (r.boomDecay * 0.6));
    const double crack = crackFilter.Process(noise).high * 0.9 * std::exp(-t / 0.010);
    const float v = static_cast<float>((0.85 * sine + thump + crack) * level);
    out.Add(start + i, v, 0.5f);
  }
}

// One click of the tail: a few milliseconds of band-passed noise.
void AddClick(Stereo& out, Rng& rng, size_t at, float amplitude, float pan, bool pop) {
  Svf filter;
  const double centre = pop ? rng.Range(500, 1400) : rng.Range(2200, 7500);
  filter.Set(centre, pop ? 3.0 : 1.6);
  const double decay = pop ? rng.Range(0.004, 0.012) : rng.Range(0.0004, 0.0016);
  const size_t n = Frames(decay * 6);
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    const float v = filter.Process(static_cast<float>(rng.Noise())).band;
    out.Add(at + i, v * amplitude * static_cast<float>(std::exp(-t / decay)) * (pop ? 2.5f : 1.8f), pan);
  }
}

void AddCrackle(Stereo& out, Rng& rng, const BurstRecipe& r) {
  double t = r.crackleStart;
  const double end = r.crackleStart + r.crackleLength;
  while (t < end) {
    const double age = (t - r.crackleStart) / r.crackleLength;
    const double rate = r.crackleRate * std::exp(-age * 2.2);
    t += -std::log(1 - rng.Uniform()) / rate;
    if (t >= end) break;
    const float fade = static_cast<float>(std::pow(1 - (t - r.crackleStart) / r.crackleLength, 1.3));
    const bool pop = rng.Chance(r.popShare);
    const float amplitude = fade * static_cast<float>(0.25 + 0.75 * std::pow(rng.Uniform(), 1.8)) * 0.5f;
    AddClick(out, rng, Frames(t), amplitude, static_cast<float>(rng.Range(0.1, 0.9)), pop);
  }
  // Glitter: a faint hiss that flickers under the clicks.
  Svf hiss;
  hiss.Set(6500, 0.7);
  float flicker = 0;
  for (size_t i = Frames(r.crackleStart); i < out.Frames(); ++i) {
    const double t = static_cast<double>(i) / kSampleRate - r.crackleStart;
    if (i % 220 == 0) flicker = static_cast<float>(rng.Uniform());
    const double env = std::min(1.0, t / 0.08) * std::exp(-t / (r.crackleLength * 0.35));
    const float v = hiss.Process(static_cast<float>(rng.Noise())).high * flicker * static_cast<float>(env * r.sizzle);
    out.Add(i, v, static_cast<float>(0.5 + 0.3 * std::sin(t * 9)));
  }
}

void AddRoom(Stereo& s, float wet) {
  Reverb room(0.45f, 0.5f);
  for (size_t i = 0; i < s.Frames(); ++i) {
    float l = 0, r = 0;
    room.Process(s.left[i], s.right[i], &l, &r);
    s.left[i] += l * wet;
    s.right[i] += r * wet;
  }
}

// Fades the last 30 ms to silence so the file never ends on a click.
void FadeTail(Stereo& s) {
  const size_t n = std::min(s.Frames(), Frames(0.03));
  for (size_t i = 0; i < n; ++i) {
    const float g = static_cast<float>(i) / n;
    s.left[s.Frames() - 1 - i] *= g;
    s.right[s.Frames() - 1 - i] *= g;
  }
}

bool WriteBurst(const Context& ctx, const BurstRecipe& r) {
  Rng rng(ctx.seed, r.file);
  Stereo s(Frames(r.length));
  AddBoom(s, rng, r, 0, 1.0f);
  if (r.echoDelay > 0) AddBoom(s, rng, r, Frames(r.echoDelay), 0.45f);
  AddCrackle(s, rng, r);
  AddRoom(s, 0.6f);
  FadeTail(s);
  NormalisePeak(s, kEffectPeakDb);
  return WriteWav(ctx.Out(r.file), s, 2);
}

// A launch: noise through a band-pass that sweeps upwards as the rocket
// climbs away, an ignition thump at its start and, for the whistling
// rocket, a rising whistle.
bool WriteWhoosh(const Context& ctx, const char* file, double length, double sweepLow, double sweepHigh,
                 double whistle) {
  Rng rng(ctx.seed, file);
  Stereo s(Frames(length));
  Svf sweep, ignition;
  ignition.Set(260, 0.8);
  double phase = 0;
  for (size_t i = 0; i < s.Frames(); ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    const double progress = t / length;
    if (i % 16 == 0) sweep.Set(sweepLow * std::pow(sweepHigh / sweepLow, std::pow(progress, 0.6)), 1.4);
    const float noise = static_cast<float>(rng.Noise());
    const double env = std::min(1.0, t / 0.06) * std::pow(1 - progress, 1.6);
    double v = sweep.Process(noise).band * 1.6 * env;
    v += ignition.Process(noise).low * 1.5 * std::exp(-t / 0.07);
    if (whistle > 0) {
      phase += kTwoPi * (1100 + 1500 * progress + 25 * std::sin(t * 40)) / kSampleRate;
      v += std::sin(phase) * whistle * std::min(1.0, t / 0.12) * std::pow(1 - progress, 1.2);
    }
    // The rocket drifts a little from the centre as it rises.
    s.Add(i, static_cast<float>(v), static_cast<float>(0.5 + 0.12 * progress));
  }
  AddRoom(s, 0.35f);
  FadeTail(s);
  NormalisePeak(s, kEffectPeakDb);
  return WriteWav(ctx.Out(file), s, 2);
}

// The time warning: two clear tones, high then low, in a bright timbre of
// odd harmonics; it must cut through at a fifth of the effect volume.
bool WriteWarning(const Context& ctx) {
  Stereo s(Frames(0.5));
  const struct {
    double start, length, hz;
  } tones[] = {{0.0, 0.23, 987.77}, {0.25, 0.23, 739.99}};
  for (const auto& tone : tones) {
    double phase = 0;
    const size_t start = Frames(tone.start), n = Frames(tone.length);
    for (size_t i = 0; i < n; ++i) {
      const double t = static_cast<double>(i) / kSampleRate;
      phase += kTwoPi * tone.hz / kSampleRate;
      double v = 0;
      for (int h = 1; h <= 9; h += 2) v += std::sin(phase * h) / std::pow(h, 1.3);
      const double env = std::min({1.0, t / 0.005, (tone.length - t) / 0.012});
      s.Add(start + i, static_cast<float>(v * env), 0.5f);
    }
  }
  NormalisePeak(s, kEffectPeakDb);
  return WriteWav(ctx.Out("warning.wav"), s, 2);
}

}  // namespace

bool MakeEffects(const Context& ctx) {
  const BurstRecipe bursts[] = {
      // file, length, boom high/low/decay, crackle start/length/rate, pops, sizzle, echo
      {"exp1.wav", 1.7, 120, 42, 0.30, 0.16, 1.35, 260, 0.10, 0.10, 0},
      {"exp2.wav", 1.5, 170, 55, 0.20, 0.09, 1.25, 380, 0.04, 0.22, 0},
      {"exp3.wav", 1.9, 100, 38, 0.34, 0.30, 1.45, 140, 0.30, 0.06, 0.16},
  };
  bool ok = true;
  for (const BurstRecipe& r : bursts) ok = ok && WriteBurst(ctx, r);
  ok = ok && WriteWhoosh(ctx, "rocket1.wav", 0.85, 350, 3200, 0.0);
  ok = ok && WriteWhoosh(ctx, "rocket2.wav", 1.2, 280, 2600, 0.10);
  ok = ok && WriteWarning(ctx);
  if (!ok) std::fprintf(stderr, "contentgen: cannot write the sound effects into %s\n", ctx.outDir.c_str());
  return ok;
}

}  // namespace contentgen
