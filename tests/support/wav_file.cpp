#include "tests/support/wav_file.h"

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace testing_support {

namespace {

void PutLittleEndian(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFFu));
}

}  // namespace

void WriteToneWav(const std::filesystem::path& path, float seconds, int amplitude) {
  constexpr std::uint32_t kRate = 44100;
  const auto frames = static_cast<std::uint32_t>(seconds * kRate);
  const std::uint32_t dataBytes = frames * 2;

  std::string wav = "RIFF";
  PutLittleEndian(wav, 36 + dataBytes, 4);
  wav += "WAVEfmt ";
  PutLittleEndian(wav, 16, 4);         // fmt chunk size
  PutLittleEndian(wav, 1, 2);          // PCM
  PutLittleEndian(wav, 1, 2);          // mono
  PutLittleEndian(wav, kRate, 4);
  PutLittleEndian(wav, kRate * 2, 4);  // bytes per second
  PutLittleEndian(wav, 2, 2);          // bytes per frame
  PutLittleEndian(wav, 16, 2);         // bits per sample
  wav += "data";
  PutLittleEndian(wav, dataBytes, 4);
  for (std::uint32_t i = 0; i < frames; ++i) {
    const int sample = (i / 50) % 2 == 0 ? amplitude : -amplitude;  // about 441 Hz
    PutLittleEndian(wav, static_cast<std::uint16_t>(static_cast<std::int16_t>(sample)), 2);
  }
  std::ofstream(path, std::ios::binary) << wav;
}

}  // namespace testing_support
