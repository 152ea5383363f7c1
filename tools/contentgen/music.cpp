// The background music: a calm night-time piece in D major at 72 beats a
// minute, 32 bars long (about 107 seconds), composed here from the seed.
//
// Form: a four-bar intro of pads, a theme (A), a higher answering section
// over other chords (B), the theme again with an arpeggio around it (A'),
// and a four-bar outro that thins back to the pads of the intro. The game
// starts the track again when it ends, so the sound that rings past the
// last bar (the pads' release, the echo and the room) is folded back onto
// the first bars: played in a loop, the seam cannot be heard.
//
// The melody is composed bar by bar: each bar takes a rhythm from a small
// set, starts on a tone of its chord close to the previous note, and then
// moves in small steps of the pentatonic scale; phrases end on chosen
// notes, and the theme comes back unchanged in A' so it is recognisable.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "content.h"
#include "rng.h"
#include "sound.h"
#include "voices.h"

namespace contentgen {
namespace {

constexpr double kBeat = 60.0 / 72.0;
constexpr double kBar = 4 * kBeat;
constexpr int kBars = 32;
constexpr double kLoopSeconds = kBars * kBar;
constexpr double kTailSeconds = 7.0;
constexpr int kLowest = 69;   // A4, lowest melody note
constexpr int kHighest = 86;  // D6, highest melody note
constexpr float kMusicRmsDb = -21.0f;

struct Chord {
  int bass;                      // MIDI note of the bass
  std::vector<int> pad;          // the pad voicing
  std::vector<int> pitchClasses; // chord tones for the melody, 0 = C
};

const Chord kD{38, {50, 57, 61, 64, 66}, {2, 6, 9}};
const Chord kBm{35, {47, 54, 57, 62, 66}, {11, 2, 6}};
const Chord kG{43, {43, 50, 54, 57, 62}, {7, 11, 2}};
const Chord kA{45, {45, 52, 57, 59, 64}, {9, 1, 4}};
const Chord kEm{40, {40, 47, 55, 59, 62}, {4, 7, 11}};

const std::vector<const Chord*> kVerse = {&kD, &kBm, &kG, &kA};
const std::vector<const Chord*> kBridge = {&kEm, &kG, &kBm, &kA};

bool InScale(int pitch) {
  const int pc = pitch % 12;
  return pc == 2 || pc == 4 || pc == 6 || pc == 9 || pc == 11;  // D major pentatonic
}

int ScaleStep(int pitch, int steps) {
  int p = pitch;
  const int dir = steps > 0 ? 1 : -1;
  for (int moved = 0; moved != steps;) {
    p += dir;
    if (InScale(p)) moved += dir;
  }
  return p;
}

// The chord tone nearest to `from` (ties and near ties broken at random).
int NearChordTone(const Chord& chord, int from, Rng& rng) {
  std::vector<int> options;
  for (int p = kLowest; p <= kHighest; ++p)
    for (int pc : chord.pitchClasses)
      if (p % 12 == pc && std::abs(p - from) <= 5) options.push_back(p);
  if (options.empty()) return std::clamp(from, kLowest, kHighest);
  std::sort(options.begin(), options.end(), [from](int a, int b) { return std::abs(a - from) < std::abs(b - from); });
  const int pick = rng.Chance(0.6) ? 0 : rng.Int(0, static_cast<int>(std::min<size_t>(options.size(), 3)) - 1);
  return options[pick];
}

// One bar of melody: durations in beats, a negative one is a rest.
struct BarRhythm {
  std::vector<double> beats;
};
const std::vector<BarRhythm> kRhythms = {{{2, 2}},   {{3, 1}},           {{1, 1, 2}},         {{2, 1, 1}},
                                         {{1.5, 0.5, 2}}, {{-1, 1, 2}}, {{-0.5, 0.5, 1, 2}}, {{1, 0.5, 0.5, 2}}};
const std::vector<BarRhythm> kClosings = {{{1, 3}}, {{4}}, {{-1, 3}}};

struct MelodyNote {
  double beat;    // from the start of the phrase
  double beats;   // length
  int pitch;
};

// Composes bars of melody over the chords; the last note lands on `ending`.
std::vector<MelodyNote> ComposePhrase(const std::vector<const Chord*>& chords, int from, int ending, Rng& rng) {
  std::vector<MelodyNote> notes;
  int previous = from;
  int lastRhythm = -1;
  for (size_t bar = 0; bar < chords.size(); ++bar) {
    const bool last = bar + 1 == chords.size();
    // No rhythm twice in a row: the line should move.
    int pick = rng.Int(0, static_cast<int>(kRhythms.size()) - 1);
    while (pick == lastRhythm) pick = rng.Int(0, static_cast<int>(kRhythms.size()) - 1);
    lastRhythm = pick;
    const BarRhythm& rhythm = last ? kClosings[rng.Int(0, 2)] : kRhythms[static_cast<size_t>(pick)];
    double beat = static_cast<double>(bar) * 4;
    bool first = true;
    for (size_t i = 0; i < rhythm.beats.size(); ++i) {
      const double d = rhythm.beats[i];
      if (d < 0) {
        beat -= d;
        continue;
      }
      int pitch;
      if (last && i + 1 == rhythm.beats.size()) {
        pitch = ending;
      } else if (first) {
        pitch = NearChordTone(*chords[bar], previous, rng);
      } else {
        int step = rng.Chance(0.7) ? 1 : 2;
        if (rng.Chance(0.5)) step = -step;
        // Lean back towards the middle of the range.
        if (previous > 80 && step > 0 && rng.Chance(0.6)) step = -step;
        if (previous < 73 && step < 0 && rng.Chance(0.6)) step = -step;
        pitch = std::clamp(ScaleStep(previous, step), kLowest, kHighest);
      }
      notes.push_back({beat, d, pitch});
      previous = pitch;
      beat += d;
      first = false;
    }
  }
  return notes;
}

// The first half of a phrase kept, the second half composed anew.
std::vector<MelodyNote> Vary(const std::vector<MelodyNote>& phrase, const std::vector<const Chord*>& chords,
                             int ending, Rng& rng) {
  std::vector<MelodyNote> out;
  for (const MelodyNote& n : phrase)
    if (n.beat < 8) out.push_back(n);
  const int from = out.empty() ? 74 : out.back().pitch;
  const std::vector<const Chord*> tail(chords.begin() + 2, chords.end());
  for (MelodyNote n : ComposePhrase(tail, from, ending, rng)) {
    n.beat += 8;
    out.push_back(n);
  }
  return out;
}

struct Buses {
  Stereo pad, melody, arp, bass, drums;
  explicit Buses(size_t frames) : pad(frames), melody(frames), arp(frames), bass(frames), drums(frames) {}
};

double BarStart(int bar) { return bar * kBar; }

void PlayMelody(Buses& b, const std::vector<MelodyNote>& phrase, int firstBar, Rng& rng) {
  for (const MelodyNote& n : phrase) {
    const double start = BarStart(firstBar) + n.beat * kBeat + rng.Range(-0.006, 0.006);
    const float velocity = static_cast<float>(rng.Range(0.72, 0.95));
    RenderBell(b.melody, {start, n.beats * kBeat * 0.92, static_cast<double>(n.pitch), velocity}, 0.5f);
  }
}

void PlayArpeggio(Buses& b, const Chord& chord, int bar, float level, Rng& rng) {
  static const int kOrder[8] = {0, 2, 1, 3, 2, 4, 3, 1};
  for (int step = 0; step < 8; ++step) {
    const int pitch = chord.pad[static_cast<size_t>(kOrder[step]) % chord.pad.size()] + 12;
    const double start = BarStart(bar) + step * kBeat * 0.5 + (step % 2 ? 0.04 : 0.0);
    const float velocity = level * static_cast<float>(rng.Range(0.6, 1.0));
    RenderPluck(b.arp, {start, kBeat * 0.5, static_cast<double>(pitch), velocity}, step % 2 ? 0.3f : 0.7f);
  }
}

void PlayDrums(Buses& b, int bar, bool kick, bool rim, bool shaker, float level, Rng& rng) {
  const double t0 = BarStart(bar);
  const double swing = kBeat * 0.06;
  for (int eighth = 0; eighth < 8; ++eighth) {
    const bool off = eighth % 2 == 1;
    const float v = level * static_cast<float>(off ? rng.Range(0.7, 1.0) : rng.Range(0.3, 0.5));
    RenderBrush(b.drums, t0 + eighth * kBeat * 0.5 + (off ? swing : 0), v, off ? 0.62f : 0.55f, rng);
  }
  if (kick) {
    RenderKick(b.drums, t0, level * 0.9f);
    RenderKick(b.drums, t0 + 2.5 * kBeat, level * 0.6f);
  }
  if (rim) RenderRim(b.drums, t0 + 3 * kBeat, level * static_cast<float>(rng.Range(0.8, 1.0)), rng);
  if (shaker)
    for (int s = 0; s < 16; ++s)
      RenderShaker(b.drums, t0 + s * kBeat * 0.25 + (s % 2 ? swing * 0.5 : 0),
                   level * static_cast<float>(s % 4 == 2 ? 0.9 : rng.Range(0.35, 0.6)), 0.35f, rng);
}

const Chord& ChordOfBar(int bar) {
  const bool bridge = bar >= 12 && bar < 20;
  return *(bridge ? kBridge : kVerse)[static_cast<size_t>(bar % 4)];
}

// Echo of the melody, alternating between the sides, each repeat darker.
void PingPong(Stereo& s, double delaySeconds, float feedback, float wet) {
  const size_t d = Frames(delaySeconds);
  std::vector<float> lineL(d, 0.0f), lineR(d, 0.0f);
  float toneL = 0, toneR = 0;
  for (size_t i = 0; i < s.Frames(); ++i) {
    const size_t k = i % d;
    const float outL = lineL[k], outR = lineR[k];
    toneL += 0.35f * (outR - toneL);
    toneR += 0.35f * (outL - toneR);
    lineL[k] = (s.left[i] + s.right[i]) * 0.5f + toneL * feedback;
    lineR[k] = toneR * feedback;
    s.left[i] += outL * wet;
    s.right[i] += outR * wet;
  }
}

// Darkens the pads with a slowly breathing low-pass whose period divides
// the loop, so the loop's end meets its start in the same colour.
void FilterPads(Stereo& s) {
  Svf left, right;
  const double period = kLoopSeconds / 6;
  for (size_t i = 0; i < s.Frames(); ++i) {
    if (i % 32 == 0) {
      const double t = static_cast<double>(i) / kSampleRate;
      const double cutoff = 1000 + 450 * std::sin(kTwoPi * t / period);
      left.Set(cutoff, 0.75);
      right.Set(cutoff, 0.75);
    }
    s.left[i] = left.Process(s.left[i]).low;
    s.right[i] = right.Process(s.right[i]).low;
  }
}

}  // namespace

bool MakeMusic(const Context& ctx) {
  Rng rng(ctx.seed, "music");
  const size_t total = Frames(kLoopSeconds + kTailSeconds);
  Buses b(total);

  // Composition.
  const std::vector<MelodyNote> theme = ComposePhrase(kVerse, 78, 76, rng);
  const std::vector<MelodyNote> themeAnswer = Vary(theme, kVerse, 74, rng);
  const std::vector<MelodyNote> bridge = ComposePhrase(kBridge, 78, 78, rng);
  const std::vector<MelodyNote> bridgeAnswer = Vary(bridge, kBridge, 76, rng);
  const std::vector<MelodyNote> themeClose = Vary(theme, kVerse, 74, rng);

  // Arrangement, bar by bar.
  for (int bar = 0; bar < kBars; ++bar) {
    const Chord& chord = ChordOfBar(bar);
    RenderPadChord(b.pad, chord.pad, BarStart(bar), kBar, rng);
    if (bar >= 4) {
      const float v = bar >= 30 ? 0.6f : 0.9f;
      RenderBass(b.bass, {BarStart(bar), kBeat * 2.8, static_cast<double>(chord.bass), v});
      RenderBass(b.bass, {BarStart(bar) + 3 * kBeat, kBeat * 0.9, static_cast<double>(chord.bass + 12), v * 0.5f});
    }
    const bool arpeggio = (bar >= 2 && bar < 4) || (bar >= 20 && bar < 30);
    if (arpeggio) PlayArpeggio(b, chord, bar, bar < 4 ? 0.6f : 1.0f, rng);
    if (bar >= 8 && bar < 12) PlayDrums(b, bar, false, false, false, 0.8f, rng);
    if (bar >= 12 && bar < 20) PlayDrums(b, bar, true, true, bar >= 16, 1.0f, rng);
    if (bar >= 20 && bar < 28) PlayDrums(b, bar, true, true, false, 1.0f, rng);
    if (bar >= 28 && bar < 30) PlayDrums(b, bar, false, false, false, 0.6f - 0.2f * (bar - 28), rng);
  }
  PlayMelody(b, theme, 4, rng);
  PlayMelody(b, themeAnswer, 8, rng);
  PlayMelody(b, bridge, 12, rng);
  PlayMelody(b, bridgeAnswer, 16, rng);
  PlayMelody(b, theme, 20, rng);
  PlayMelody(b, themeClose, 24, rng);
  // A last long D to close before the pads lead back to the start.
  RenderBell(b.melody, {BarStart(28), kBar * 1.5, 74, 0.7f}, 0.5f);

  // Mixing: the buses into one, with echo and a large room.
  FilterPads(b.pad);
  PingPong(b.melody, kBeat * 0.75, 0.38f, 0.32f);
  Stereo mix(total);
  Reverb room(0.86f, 0.45f);
  struct Send {
    const Stereo* bus;
    float dry, wet;
  };
  const Send sends[] = {{&b.pad, 0.9f, 0.55f}, {&b.melody, 1.0f, 0.7f}, {&b.arp, 0.8f, 0.6f},
                        {&b.bass, 1.0f, 0.08f}, {&b.drums, 0.8f, 0.25f}};
  for (size_t i = 0; i < total; ++i) {
    float sendL = 0, sendR = 0;
    for (const Send& s : sends) {
      mix.left[i] += s.bus->left[i] * s.dry;
      mix.right[i] += s.bus->right[i] * s.dry;
      sendL += s.bus->left[i] * s.wet;
      sendR += s.bus->right[i] * s.wet;
    }
    float wetL = 0, wetR = 0;
    room.Process(sendL, sendR, &wetL, &wetR);
    mix.left[i] += wetL;
    mix.right[i] += wetR;
  }

  // The loop: what rings past the end is heard again over the start.
  const size_t loop = Frames(kLoopSeconds);
  Stereo song(loop);
  for (size_t i = 0; i < loop; ++i) {
    song.left[i] = mix.left[i];
    song.right[i] = mix.right[i];
  }
  for (size_t i = loop; i < total; ++i) {
    song.left[i - loop] += mix.left[i];
    song.right[i - loop] += mix.right[i];
  }

  // Level: a set loudness, quieter than the effects; peaks kept below -1 dBFS.
  const float gain = std::pow(10.0f, kMusicRmsDb / 20.0f) / std::max(Rms(song), 1e-9f);
  for (size_t i = 0; i < loop; ++i) {
    song.left[i] *= gain;
    song.right[i] *= gain;
  }
  if (Peak(song) > std::pow(10.0f, -1.0f / 20.0f)) NormalisePeak(song, -1.0f);

  if (!WriteMp3(ctx.Out("vtr_music.mp3"), song, 160)) {
    std::fprintf(stderr, "contentgen: cannot write %s\n", ctx.Out("vtr_music.mp3").c_str());
    return false;
  }
  return true;
}

}  // namespace contentgen
