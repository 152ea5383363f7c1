// The instruments of the music: each renders one note or hit into a
// stereo bus at a time given in seconds. They are plain synthesis (sawtooth
// pads, frequency-modulated bells, sine bass, noise percussion); the mix,
// the echo and the room are added by the arrangement in music.cpp.
#pragma once

#include <vector>

#include "rng.h"
#include "sound.h"

namespace contentgen {

struct Note {
  double start;     // seconds
  double length;    // seconds the key is held
  double pitch;     // MIDI note number
  float velocity;   // 0..1
};

// A chord of detuned sawtooths that swells in and fades out slowly.
void RenderPadChord(Stereo& bus, const std::vector<int>& pitches, double start, double length, Rng& rng);
// A soft electric-piano bell for the melody.
void RenderBell(Stereo& bus, const Note& note, float pan);
// A short kalimba-like pluck for the arpeggios.
void RenderPluck(Stereo& bus, const Note& note, float pan);
// A round sine bass.
void RenderBass(Stereo& bus, const Note& note);
// A soft, deep kick.
void RenderKick(Stereo& bus, double at, float velocity);
// A brushed hi-hat.
void RenderBrush(Stereo& bus, double at, float velocity, float pan, Rng& rng);
// A shaker grain.
void RenderShaker(Stereo& bus, double at, float velocity, float pan, Rng& rng);
// A woody rim click.
void RenderRim(Stereo& bus, double at, float velocity, Rng& rng);

}  // namespace contentgen
