#include "sound.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>

#include <lame/lame.h>

namespace contentgen {

float Peak(const Stereo& s) {
  float peak = 0;
  for (size_t i = 0; i < s.Frames(); ++i) peak = std::max({peak, std::abs(s.left[i]), std::abs(s.right[i])});
  return peak;
}

float Rms(const Stereo& s) {
  double sum = 0;
  for (size_t i = 0; i < s.Frames(); ++i) sum += double(s.left[i]) * s.left[i] + double(s.right[i]) * s.right[i];
  return s.Frames() ? static_cast<float>(std::sqrt(sum / (2.0 * s.Frames()))) : 0.0f;
}

void NormalisePeak(Stereo& s, float dbfs) {
  const float peak = Peak(s);
  if (peak <= 0) return;
  const float gain = std::pow(10.0f, dbfs / 20.0f) / peak;
  for (size_t i = 0; i < s.Frames(); ++i) {
    s.left[i] *= gain;
    s.right[i] *= gain;
  }
}

void Svf::Set(double cutoffHz, double q) {
  const double fc = std::clamp(cutoffHz, 10.0, kSampleRate * 0.45);
  const double g = std::tan(std::numbers::pi * fc / kSampleRate);
  k_ = 1.0 / q;
  a1_ = 1.0 / (1.0 + g * (g + k_));
  a2_ = g * a1_;
  a3_ = g * a2_;
}

Svf::Out Svf::Process(float in) {
  const double v3 = in - ic2_;
  const double v1 = a1_ * ic1_ + a2_ * v3;
  const double v2 = ic2_ + a2_ * ic1_ + a3_ * v3;
  ic1_ = 2 * v1 - ic1_;
  ic2_ = 2 * v2 - ic2_;
  return {static_cast<float>(v2), static_cast<float>(v1), static_cast<float>(in - k_ * v1 - v2)};
}

Reverb::Reverb(float roomSize, float damping) : feedback_(0.7f + 0.28f * roomSize), damping_(damping * 0.4f) {
  // Delay lengths in samples: mutually prime-ish so the echoes never line up.
  const int combs[] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
  const int passes[] = {556, 441, 341, 225};
  const int spread = 23;
  for (int c : combs) {
    combsL_.push_back({std::vector<float>(c, 0.0f)});
    combsR_.push_back({std::vector<float>(c + spread, 0.0f)});
  }
  for (int p : passes) {
    passesL_.push_back({std::vector<float>(p, 0.0f)});
    passesR_.push_back({std::vector<float>(p + spread, 0.0f)});
  }
}

float Reverb::Run(std::vector<Comb>& combs, std::vector<AllPass>& passes, float in) {
  float out = 0;
  for (Comb& c : combs) {
    const float y = c.buffer[c.pos];
    c.store = y * (1 - damping_) + c.store * damping_;
    c.buffer[c.pos] = in + c.store * feedback_;
    c.pos = (c.pos + 1) % c.buffer.size();
    out += y;
  }
  for (AllPass& p : passes) {
    const float b = p.buffer[p.pos];
    p.buffer[p.pos] = out + b * 0.5f;
    p.pos = (p.pos + 1) % p.buffer.size();
    out = b - out;
  }
  return out;
}

void Reverb::Process(float inLeft, float inRight, float* outLeft, float* outRight) {
  const float in = (inLeft + inRight) * 0.015f;
  const float wetL = Run(combsL_, passesL_, in), wetR = Run(combsR_, passesR_, in);
  *outLeft = wetL;
  *outRight = wetR;
}

namespace {

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}

std::int16_t ToPcm16(float v) {
  const float s = std::round(std::clamp(v, -1.0f, 1.0f) * 32767.0f);
  return static_cast<std::int16_t>(s);
}

bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

bool WriteWav(const std::string& path, const Stereo& s, int channels) {
  const std::uint32_t dataBytes = static_cast<std::uint32_t>(s.Frames() * channels * 2);
  std::vector<std::uint8_t> out;
  out.reserve(44 + dataBytes);
  for (char c : std::string("RIFF")) out.push_back(static_cast<std::uint8_t>(c));
  PutLe(out, 36 + dataBytes, 4);
  for (char c : std::string("WAVEfmt ")) out.push_back(static_cast<std::uint8_t>(c));
  PutLe(out, 16, 4);                                  // format chunk size
  PutLe(out, 1, 2);                                   // PCM
  PutLe(out, static_cast<std::uint32_t>(channels), 2);
  PutLe(out, kSampleRate, 4);
  PutLe(out, static_cast<std::uint32_t>(kSampleRate * channels * 2), 4);  // bytes per second
  PutLe(out, static_cast<std::uint32_t>(channels * 2), 2);                // bytes per frame
  PutLe(out, 16, 2);                                                      // bits per sample
  for (char c : std::string("data")) out.push_back(static_cast<std::uint8_t>(c));
  PutLe(out, dataBytes, 4);
  for (size_t i = 0; i < s.Frames(); ++i) {
    if (channels == 1) {
      PutLe(out, static_cast<std::uint16_t>(ToPcm16((s.left[i] + s.right[i]) * 0.5f)), 2);
    } else {
      PutLe(out, static_cast<std::uint16_t>(ToPcm16(s.left[i])), 2);
      PutLe(out, static_cast<std::uint16_t>(ToPcm16(s.right[i])), 2);
    }
  }
  return WriteBytes(path, out);
}

bool WriteMp3(const std::string& path, const Stereo& s, int kbps) {
  lame_global_flags* lame = lame_init();
  if (!lame) return false;
  lame_set_in_samplerate(lame, kSampleRate);
  lame_set_out_samplerate(lame, kSampleRate);
  lame_set_num_channels(lame, 2);
  lame_set_mode(lame, JOINT_STEREO);
  lame_set_VBR(lame, vbr_off);
  lame_set_brate(lame, kbps);
  lame_set_quality(lame, 2);
  lame_set_bWriteVbrTag(lame, 1);  // the header frame with delay and padding
  lame_set_write_id3tag_automatic(lame, 0);
  if (lame_init_params(lame) < 0) {
    lame_close(lame);
    return false;
  }
  std::vector<std::uint8_t> out;
  const int chunk = 8192;
  std::vector<unsigned char> buffer(static_cast<size_t>(chunk * 5 / 4 + 7200));
  bool ok = true;
  for (size_t at = 0; at < s.Frames() && ok; at += chunk) {
    const int n = static_cast<int>(std::min<size_t>(chunk, s.Frames() - at));
    const int bytes = lame_encode_buffer_ieee_float(lame, s.left.data() + at, s.right.data() + at, n, buffer.data(),
                                                    static_cast<int>(buffer.size()));
    ok = bytes >= 0;
    if (ok) out.insert(out.end(), buffer.begin(), buffer.begin() + bytes);
  }
  if (ok) {
    const int bytes = lame_encode_flush(lame, buffer.data(), static_cast<int>(buffer.size()));
    ok = bytes >= 0;
    if (ok) out.insert(out.end(), buffer.begin(), buffer.begin() + bytes);
  }
  if (ok) {
    // The encoder left room for its header frame at the start; fill it in.
    const size_t tag = lame_get_lametag_frame(lame, buffer.data(), buffer.size());
    if (tag > 0 && tag <= out.size()) std::copy(buffer.begin(), buffer.begin() + tag, out.begin());
  }
  lame_close(lame);
  return ok && WriteBytes(path, out);
}

}  // namespace contentgen
