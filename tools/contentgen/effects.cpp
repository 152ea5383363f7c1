// The sound effects: three firework bursts, two launch whooshes and the
// time warning. Each is synthesised from oscillators and a little filtered
// noise and brought to a fixed peak level (the bursts and launches, which
// come many at a time, under the warning), so the game's effect volume
// alone decides how loud they are.
//
// A burst is short and pitched, so that a long chain stays a rhythm of
// pops over the music instead of a wall of hiss: a thump (a sine whose pitch
// drops fast, with a few milliseconds of muffled noise at its front), a
// tonal body ringing above it, then a crackle of tiny pitched pings, tuned
// to the burst, scattered across the stereo field and dying away within
// half a second.
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
// Bursts come in chains, a dozen of them within a couple of seconds, where
// the warning sounds alone: they sit 4 dB under it so that a chain leaves
// room for the music and the warning.
constexpr float kBurstPeakDb = -5.0f;
// A round fires a few shots a second, each with its launch: they sit 3 dB
// under the warning too, so that a volley does not cover the music.
constexpr float kLaunchPeakDb = -4.0f;

struct BurstRecipe {
  const char* file;
  double length;        // seconds
  double thumpHigh;     // Hz at the start of the thump's fall
  double thumpLow;      // Hz it settles at
  double thumpDecay;    // seconds, time constant
  double bodyHz;        // pitch of the ringing body
  double bodyDecay;     // seconds
  double crackleStart;  // seconds after the bang
  double crackleLength;
  double crackleRate;   // pings per second at the start of the crackle
  double pingRoot;      // Hz: the pings sound this note's harmonics 2 to 6
  double echoDelay;     // a second, softer thump after this many seconds (0: none)
};

// The thump and the body: a sine falling from thumpHigh to thumpLow, a
// short muffled knock of noise at its front, and the body's tone (with a
// fifth above it) bending a little flat as it rings out.
void AddBang(Stereo& out, Rng& rng, const BurstRecipe& r, size_t start, float level) {
  Svf knockFilter;
  knockFilter.Set(900, 0.7);
  double thumpPhase = 0, bodyPhase = 0;
  const size_t n = std::min(out.Frames() - std::min(out.Frames(), start), Frames(r.thumpDecay * 7));
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    const double f = r.thumpLow + (r.thumpHigh - r.thumpLow) * std::exp(-t / 0.035);
    thumpPhase += kTwoPi * f / kSampleRate;
    bodyPhase += kTwoPi * r.bodyHz * (1 - 0.06 * (1 - std::exp(-t / 0.08))) / kSampleRate;
    const double attack = 1 - std::exp(-t / 0.0012);
    const double thump = std::sin(thumpPhase) * attack * std::exp(-t / r.thumpDecay);
    const double body = (std::sin(bodyPhase) + 0.35 * std::sin(1.5 * bodyPhase)) * attack * std::exp(-t / r.bodyDecay);
    const double knock = knockFilter.Process(static_cast<float>(rng.Noise())).low * 1.6 * std::exp(-t / 0.004);
    out.Add(start + i, static_cast<float>((thump + 0.32 * body + knock) * level), 0.5f);
  }
}

// One ping of the crackle: a few milliseconds of a sine that drops a touch
// in pitch, with a sharp start.
void AddPing(Stereo& out, size_t at, double hz, double decay, float amplitude, float pan) {
  const size_t n = Frames(decay * 6);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    phase += kTwoPi * hz * (1 + 0.08 * std::exp(-t / 0.004)) / kSampleRate;
    const double env = std::min(1.0, t / 0.0006) * std::exp(-t / decay);
    out.Add(at + i, static_cast<float>(std::sin(phase) * env) * amplitude, pan);
  }
}

void AddCrackle(Stereo& out, Rng& rng, const BurstRecipe& r) {
  double t = r.crackleStart;
  const double end = r.crackleStart + r.crackleLength;
  while (t < end) {
    const double age = (t - r.crackleStart) / r.crackleLength;
    const double rate = r.crackleRate * std::exp(-age * 2.0);
    t += -std::log(1 - rng.Uniform()) / rate;
    if (t >= end) break;
    const float fade = static_cast<float>(std::pow(1 - (t - r.crackleStart) / r.crackleLength, 1.5));
    const double hz = r.pingRoot * rng.Int(2, 6) * rng.Range(0.995, 1.005);
    const double decay = rng.Range(0.004, 0.014);
    const float amplitude = fade * static_cast<float>(0.3 + 0.7 * std::pow(rng.Uniform(), 1.5)) * 0.45f;
    AddPing(out, Frames(t), hz, decay, amplitude, static_cast<float>(rng.Range(0.1, 0.9)));
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
  AddBang(s, rng, r, 0, 1.0f);
  if (r.echoDelay > 0) AddBang(s, rng, r, Frames(r.echoDelay), 0.4f);
  AddCrackle(s, rng, r);
  AddRoom(s, 0.25f);
  FadeTail(s);
  NormalisePeak(s, kBurstPeakDb);
  return WriteWav(ctx.Out(r.file), s, 2);
}

// A launch, the shot's feedback: a crisp thump and whoosh of a few tenths
// of a second, over before the next shot (a round fires several a second),
// rather than a long hiss. An ignition thump (a sine falling fast, with a
// few milliseconds of muffled knock at its front), a short breath of noise
// through a band-pass sweeping upwards as the rocket leaves and, for the
// whistling rocket, a brief rising whistle.
struct LaunchRecipe {
  const char* file;
  double length;        // seconds
  double thumpHigh;     // Hz at the start of the thump's fall
  double thumpLow;      // Hz it settles at
  double sweepLow;      // Hz: the whoosh's band at the start ...
  double sweepHigh;     // ... and at the end
  double whooshDecay;   // seconds, time constant of the whoosh
  double whistle;       // level of the whistle (0: none)
};

bool WriteLaunch(const Context& ctx, const LaunchRecipe& r) {
  Rng rng(ctx.seed, r.file);
  Stereo s(Frames(r.length));
  Svf sweep, knockFilter;
  knockFilter.Set(700, 0.7);
  double thumpPhase = 0, whistlePhase = 0;
  for (size_t i = 0; i < s.Frames(); ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    const double progress = t / r.length;
    if (i % 16 == 0) sweep.Set(r.sweepLow * std::pow(r.sweepHigh / r.sweepLow, std::pow(progress, 0.7)), 2.2);
    const float noise = static_cast<float>(rng.Noise());
    const double attack = 1 - std::exp(-t / 0.0015);
    thumpPhase += kTwoPi * (r.thumpLow + (r.thumpHigh - r.thumpLow) * std::exp(-t / 0.025)) / kSampleRate;
    double v = 0.6 * std::sin(thumpPhase) * attack * std::exp(-t / 0.04);
    v += knockFilter.Process(noise).low * 0.8 * std::exp(-t / 0.005);
    const double whooshEnv = std::min(1.0, t / 0.012) * std::exp(-t / r.whooshDecay) * (1 - progress);
    v += sweep.Process(noise).band * 1.6 * whooshEnv;
    if (r.whistle > 0) {
      whistlePhase += kTwoPi * (1300 + 1100 * progress) / kSampleRate;
      v += std::sin(whistlePhase) * r.whistle * std::min(1.0, t / 0.03) * std::pow(1 - progress, 2.0);
    }
    // The rocket drifts a little from the centre as it rises.
    s.Add(i, static_cast<float>(v), static_cast<float>(0.5 + 0.1 * progress));
  }
  AddRoom(s, 0.2f);
  FadeTail(s);
  NormalisePeak(s, kLaunchPeakDb);
  return WriteWav(ctx.Out(r.file), s, 2);
}

// The time warning: two tones, high then low, above the bursts' crackle,
// each a sine driven nearly square (louder for its peak than a pure tone)
// whose upper harmonics fall where the bursts leave the spectrum empty, so
// it cuts through a busy sky at a fifth of the effect volume.
bool WriteWarning(const Context& ctx) {
  Stereo s(Frames(0.5));
  const struct {
    double start, length, hz;
  } tones[] = {{0.0, 0.23, 1975.53}, {0.25, 0.23, 1479.98}};
  for (const auto& tone : tones) {
    double phase = 0;
    const size_t start = Frames(tone.start), n = Frames(tone.length);
    for (size_t i = 0; i < n; ++i) {
      const double t = static_cast<double>(i) / kSampleRate;
      phase += kTwoPi * tone.hz / kSampleRate;
      const double v = std::tanh(3 * std::sin(phase));
      const double env = std::min({1.0, t / 0.004, (tone.length - t) / 0.012});
      s.Add(start + i, static_cast<float>(v * env), 0.5f);
    }
  }
  NormalisePeak(s, kEffectPeakDb);
  return WriteWav(ctx.Out("warning.wav"), s, 2);
}

}  // namespace

bool MakeEffects(const Context& ctx) {
  const BurstRecipe bursts[] = {
      // file, length, thump high/low/decay, body Hz/decay, crackle start/length/rate, ping root, echo
      {"exp1.wav", 0.80, 150, 60, 0.050, 196.00, 0.06, 0.04, 0.55, 90, 220.00, 0},
      {"exp2.wav", 0.70, 190, 72, 0.040, 246.94, 0.05, 0.03, 0.50, 120, 277.18, 0},
      {"exp3.wav", 0.90, 130, 52, 0.060, 164.81, 0.07, 0.08, 0.60, 70, 185.00, 0.12},
  };
  bool ok = true;
  for (const BurstRecipe& r : bursts) ok = ok && WriteBurst(ctx, r);
  const LaunchRecipe launches[] = {
      // file, length, thump high/low, sweep low/high, whoosh decay, whistle
      {"rocket1.wav", 0.30, 170, 75, 500, 2400, 0.07, 0.0},
      {"rocket2.wav", 0.40, 150, 65, 400, 2000, 0.09, 0.06},
  };
  for (const LaunchRecipe& r : launches) ok = ok && WriteLaunch(ctx, r);
  ok = ok && WriteWarning(ctx);
  if (!ok) std::fprintf(stderr, "contentgen: cannot write the sound effects into %s\n", ctx.outDir.c_str());
  return ok;
}

}  // namespace contentgen
