#include "voices.h"

#include <algorithm>
#include <cmath>

namespace contentgen {
namespace {

// Correction that removes the aliasing of a naive sawtooth's jump.
double PolyBlep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1;
  }
  if (t > 1 - dt) {
    t = (t - 1) / dt;
    return t * t + t + t + 1;
  }
  return 0;
}

// Attack, hold and release as a smooth gain; t in seconds from the note's
// start, held for `hold` seconds.
double Envelope(double t, double attack, double hold, double release) {
  if (t < 0) return 0;
  double rise = t < attack ? 0.5 - 0.5 * std::cos(std::numbers::pi * t / attack) : 1.0;
  if (t > hold) {
    const double r = (t - hold) / release;
    rise *= r >= 1 ? 0 : 0.5 + 0.5 * std::cos(std::numbers::pi * r);
  }
  return rise;
}

}  // namespace

void RenderPadChord(Stereo& bus, const std::vector<int>& pitches, double start, double length, Rng& rng) {
  const double attack = 1.1, release = 1.8;
  const size_t first = Frames(start), n = Frames(length + release);
  for (int pitch : pitches) {
    for (int side = 0; side < 2; ++side) {
      const double cents = side == 0 ? -7 : 7;
      const double hz = MidiToHz(pitch + cents / 100.0);
      const double dt = hz / kSampleRate;
      double phase = rng.Uniform();
      const float pan = side == 0 ? 0.22f : 0.78f;
      for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const double saw = 2 * phase - 1 - PolyBlep(phase, dt);
        phase += dt;
        if (phase >= 1) phase -= 1;
        bus.Add(first + i, static_cast<float>(saw * Envelope(t, attack, length, release) * 0.05), pan);
      }
    }
  }
}

void RenderBell(Stereo& bus, const Note& note, float pan) {
  const double hz = MidiToHz(note.pitch), release = 0.5;
  const size_t first = Frames(note.start), n = Frames(note.length + release);
  double carrier = 0, modulator = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    const double vibrato = 1 + 0.0018 * std::sin(kTwoPi * 5.1 * t) * std::min(1.0, std::max(0.0, t - 0.35) * 2);
    carrier += kTwoPi * hz * vibrato / kSampleRate;
    modulator += kTwoPi * hz * vibrato / kSampleRate;
    const double index = 0.25 + 1.6 * std::exp(-t / 0.35);
    const double tone = std::sin(carrier + index * std::sin(modulator));
    const double decay = std::exp(-t / 2.2);
    const double env = Envelope(t, 0.006, note.length, release) * decay;
    bus.Add(first + i, static_cast<float>(tone * env * note.velocity * 0.28), pan);
  }
}

void RenderPluck(Stereo& bus, const Note& note, float pan) {
  const double hz = MidiToHz(note.pitch);
  const size_t first = Frames(note.start), n = Frames(1.2);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    phase += kTwoPi * hz / kSampleRate;
    const double tone = std::sin(phase) + 0.25 * std::sin(3 * phase) * std::exp(-t / 0.08);
    const double env = std::min(1.0, t / 0.003) * std::exp(-t / 0.42);
    bus.Add(first + i, static_cast<float>(tone * env * note.velocity * 0.15), pan);
  }
}

void RenderBass(Stereo& bus, const Note& note) {
  const double hz = MidiToHz(note.pitch), release = 0.25;
  const size_t first = Frames(note.start), n = Frames(note.length + release);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    phase += kTwoPi * hz / kSampleRate;
    const double tone = std::sin(phase) + 0.32 * std::sin(2 * phase) + 0.1 * std::sin(3 * phase);
    const double env = Envelope(t, 0.02, note.length, release) * (0.6 + 0.4 * std::exp(-t / 0.7));
    bus.Add(first + i, static_cast<float>(tone * env * note.velocity * 0.26), 0.5f);
  }
}

void RenderKick(Stereo& bus, double at, float velocity) {
  const size_t first = Frames(at), n = Frames(0.6);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    phase += kTwoPi * (46 + 64 * std::exp(-t / 0.035)) / kSampleRate;
    const double env = std::min(1.0, t / 0.002) * std::exp(-t / 0.2);
    bus.Add(first + i, static_cast<float>(std::sin(phase) * env * velocity * 0.5), 0.5f);
  }
}

void RenderBrush(Stereo& bus, double at, float velocity, float pan, Rng& rng) {
  Svf filter;
  filter.Set(7000, 0.7);
  const size_t first = Frames(at), n = Frames(0.25);
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    const double env = std::min(1.0, t / 0.004) * std::exp(-t / 0.055);
    const float v = filter.Process(static_cast<float>(rng.Noise())).high;
    bus.Add(first + i, static_cast<float>(v * env * velocity * 0.16), pan);
  }
}

void RenderShaker(Stereo& bus, double at, float velocity, float pan, Rng& rng) {
  Svf filter;
  filter.Set(6500, 1.2);
  const size_t first = Frames(at), n = Frames(0.12);
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    const double env = std::min(1.0, t / 0.014) * std::exp(-t / 0.035);
    const float v = filter.Process(static_cast<float>(rng.Noise())).band;
    bus.Add(first + i, static_cast<float>(v * env * velocity * 0.16), pan);
  }
}

void RenderRim(Stereo& bus, double at, float velocity, Rng& rng) {
  Svf filter;
  filter.Set(1700, 4);
  const size_t first = Frames(at), n = Frames(0.2);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    phase += kTwoPi * 480 / kSampleRate;
    const double click = filter.Process(static_cast<float>(rng.Noise())).band * std::exp(-t / 0.008) * 2.5;
    const double body = std::sin(phase) * std::exp(-t / 0.035) * 0.5;
    bus.Add(first + i, static_cast<float>((click + body) * velocity * 0.2), 0.42f);
  }
}

}  // namespace contentgen
