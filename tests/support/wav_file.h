// Small PCM WAV files written by the tests themselves, so no binary sound
// assets live in the repository.
#pragma once

#include <filesystem>

namespace testing_support {

// Writes a 16-bit mono 44.1 kHz WAV of a square wave: `seconds` long, with the
// given amplitude (0 gives a silent file of the same length).
void WriteToneWav(const std::filesystem::path& path, float seconds, int amplitude = 8000);

}  // namespace testing_support
