#include "tests/support/wav_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace testing_support {

namespace {

void PutLittleEndian(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFFu));
}

std::uint32_t GetLittleEndian(const std::vector<std::uint8_t>& b, size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<size_t>(i)];
  return v;
}

}  // namespace

double Wav::Peak() const {
  int peak = 0;
  for (std::int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
  return peak / 32768.0;
}

Wav ReadWav(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  Wav w;
  if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF" ||
      std::string(b.begin() + 8, b.begin() + 12) != "WAVE")
    return w;
  for (size_t at = 12; at + 8 <= b.size();) {
    const std::string id(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at) + 4);
    const size_t size = GetLittleEndian(b, at + 4, 4);
    if (at + 8 + size > b.size()) break;
    if (id == "fmt " && size >= 16) {
      w.format = static_cast<int>(GetLittleEndian(b, at + 8, 2));
      w.channels = static_cast<int>(GetLittleEndian(b, at + 10, 2));
      w.rate = static_cast<int>(GetLittleEndian(b, at + 12, 4));
      w.bits = static_cast<int>(GetLittleEndian(b, at + 22, 2));
    } else if (id == "data") {
      for (size_t i = 0; i + 1 < size; i += 2)
        w.samples.push_back(static_cast<std::int16_t>(GetLittleEndian(b, at + 8 + i, 2)));
    }
    at += 8 + size + (size & 1);
  }
  return w;
}

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
