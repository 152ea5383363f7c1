// Small PCM WAV files written by the tests themselves, so no binary sound
// assets live in the repository.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace testing_support {

// Writes a 16-bit mono 44.1 kHz WAV of a square wave: `seconds` long, with the
// given amplitude (0 gives a silent file of the same length).
void WriteToneWav(const std::filesystem::path& path, float seconds, int amplitude = 8000);

// A 16-bit PCM WAV: its format and its samples.
struct Wav {
  int channels = 0, rate = 0, bits = 0, format = 0;
  std::vector<std::int16_t> samples;
  double Seconds() const { return channels ? samples.size() / double(channels) / rate : 0; }
  // The largest sample magnitude, as a share of full scale.
  double Peak() const;
};

// Reads a WAV file's format and 16-bit samples; an empty Wav when the file
// is missing or not a RIFF WAVE.
Wav ReadWav(const std::filesystem::path& path);

}  // namespace testing_support
