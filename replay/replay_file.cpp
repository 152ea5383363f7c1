// The replay file's writer and reader; the layout is in replay_file.h.
//
// A frame record that is not a run starts with a tag of flags:
//   0x01 frame time: zigzag varint of the change of its float's bit pattern
//   0x20 frame time in whole microseconds, as the engine measures real time:
//        zigzag varint of the change from the frame before's, rounded to
//        microseconds (never together with 0x01)
//   0x02 cursor moved by whole pixels: two zigzag varints (x, y)
//   0x04 cursor anywhere: two raw floats (never together with 0x02)
//   0x08 keys: u8 count - 1, then (u8 code, u8 state bits) with rising codes;
//        a key not listed keeps its held bit and has no edge
//   0x10 key, character and wheel of the frame: three zigzag varints
//        (without it all three are 0)
// Bit 0x40 is never set.
#include "replay/replay_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <type_traits>
#include <utility>

#include "config/settings.h"
#include "platform/checked_file.h"

namespace vtr {
namespace {

using hge_record::InputFrame;
using hge_record::kKeyCount;

constexpr std::uint8_t kRunTag = 0x80;
constexpr std::uint32_t kMaxRun = 128;
constexpr std::uint8_t kTime = 0x01;
constexpr std::uint8_t kMouseStep = 0x02;
constexpr std::uint8_t kMouseRaw = 0x04;
constexpr std::uint8_t kKeys = 0x08;
constexpr std::uint8_t kKeyChar = 0x10;
constexpr std::uint8_t kMicros = 0x20;
constexpr std::int64_t kMaxMicros = 1000000;
constexpr std::uint8_t kStateBits = hge_record::kHeld | hge_record::kWentDown | hge_record::kWentUp;
constexpr std::int32_t kMaxChar = 0x10FFFF;
constexpr std::int32_t kMaxWheel = 1000000;

// ------------------------------------------------------------------ writing

void PutU8(std::vector<std::uint8_t>& out, std::uint8_t v) { out.push_back(v); }

template <typename T>
void PutLE(std::vector<std::uint8_t>& out, T value) {
  auto bits = static_cast<std::make_unsigned_t<T>>(value);
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    out.push_back(static_cast<std::uint8_t>(bits & 0xFFu));
    bits = static_cast<decltype(bits)>(bits >> 8);
  }
}

void PutFloat(std::vector<std::uint8_t>& out, float v) { PutLE(out, std::bit_cast<std::uint32_t>(v)); }

void PutVarint(std::vector<std::uint8_t>& out, std::uint32_t v) {
  while (v >= 0x80u) {
    out.push_back(static_cast<std::uint8_t>(v | 0x80u));
    v >>= 7;
  }
  out.push_back(static_cast<std::uint8_t>(v));
}

// Signed as unsigned, small magnitudes small: 0, -1, 1, -2 ... -> 0, 1, 2, 3.
std::uint32_t Zigzag(std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  return (u << 1) ^ (v < 0 ? 0xFFFFFFFFu : 0u);
}

std::int32_t Unzigzag(std::uint32_t u) {
  return static_cast<std::int32_t>((u >> 1) ^ (0u - (u & 1u)));
}

void PutText(std::vector<std::uint8_t>& out, const std::string& text) {
  const std::size_t length = std::min(text.size(), kReplayMaxText);
  PutU8(out, static_cast<std::uint8_t>(length));
  out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
}

// A frame time to the nearest microsecond.
std::int64_t Micros(float dt) { return std::llround(static_cast<double>(dt) * 1.0e6); }

// The float the engine makes of a whole number of microseconds.
float FromMicros(std::int64_t micros) { return static_cast<float>(micros) / 1.0e6f; }

// A whole-pixel cursor coordinate, as every one from the devices is.
bool WholePixel(float v) { return std::fabs(v) <= kReplayMaxCoordinate && std::trunc(v) == v; }

// ------------------------------------------------------------------ reading

// A cursor over untrusted bytes that remembers the first failure.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size, std::size_t base = 0)
      : data_(data), size_(size), base_(base) {}

  bool Fail(const char* field, const std::string& problem) { return FailAt(field, at_, problem); }
  // A value that was read but cannot be taken: named at the offset where it
  // begins, not where the reading stopped.
  bool Reject(const char* field, const std::string& problem) { return FailAt(field, last_, problem); }
  bool FailAt(const char* field, std::size_t at, const std::string& problem) {
    if (error_.empty()) error_ = std::string(field) + " at offset " + std::to_string(base_ + at) + ": " + problem;
    return false;
  }
  bool Need(const char* field, std::size_t bytes) {
    if (size_ - at_ >= bytes) return true;
    return Fail(field, "the file ends early");
  }
  bool U8(const char* field, std::uint8_t* v) {
    if (!Need(field, 1)) return false;
    last_ = at_;
    *v = data_[at_++];
    return true;
  }
  template <typename T>
  bool LE(const char* field, T* v) {
    if (!Need(field, sizeof(T))) return false;
    last_ = at_;
    std::make_unsigned_t<T> bits = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
      bits = static_cast<decltype(bits)>(bits | static_cast<decltype(bits)>(data_[at_ + i]) << (8 * i));
    }
    at_ += sizeof(T);
    *v = static_cast<T>(bits);
    return true;
  }
  // A finite float within [lo, hi].
  bool Float(const char* field, float* v, float lo, float hi) {
    const std::size_t at = at_;
    std::uint32_t bits = 0;
    if (!LE(field, &bits)) return false;
    const float value = std::bit_cast<float>(bits);
    if (!std::isfinite(value) || value < lo || value > hi) {
      at_ = at;
      return Fail(field, "value out of range");
    }
    *v = value;
    return true;
  }
  bool Varint(const char* field, std::uint32_t* v) {
    const std::size_t start = at_;
    std::uint32_t value = 0;
    for (int shift = 0; shift < 35; shift += 7) {
      std::uint8_t byte = 0;
      if (!U8(field, &byte)) return false;
      if (shift == 28 && byte > 0x0F) return FailAt(field, start, "number too large");
      value |= static_cast<std::uint32_t>(byte & 0x7Fu) << shift;
      if ((byte & 0x80u) == 0) {
        last_ = start;
        *v = value;
        return true;
      }
    }
    return FailAt(field, start, "number too large");
  }
  bool Signed(const char* field, std::int32_t* v) {
    std::uint32_t u = 0;
    if (!Varint(field, &u)) return false;
    *v = Unzigzag(u);
    return true;
  }
  // Text of 1..kReplayMaxText bytes without blanks or control characters.
  bool Text(const char* field, std::string* text, bool allowBlanks) {
    std::uint8_t length = 0;
    if (!U8(field, &length)) return false;
    if (length == 0) return Reject(field, "empty text");
    if (!Need(field, length)) return false;
    for (std::size_t i = 0; i < length; ++i) {
      const std::uint8_t c = data_[at_ + i];
      if (c < 0x20 || c == 0x7F || (c == ' ' && !allowBlanks)) {
        at_ += i;
        return Fail(field, "not a character the game writes");
      }
    }
    text->assign(reinterpret_cast<const char*>(data_ + at_), length);
    at_ += length;
    return true;
  }

  std::size_t At() const { return at_; }
  std::size_t Left() const { return size_ - at_; }
  const std::uint8_t* Here() const { return data_ + at_; }
  void Skip(std::size_t bytes) { at_ += bytes; }
  const std::string& Error() const { return error_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t base_;  // offset of data_ within the file, for messages
  std::size_t at_ = 0;
  std::size_t last_ = 0;  // where the value read last begins
  std::string error_;
};

// One frame record after the run test; frame holds the frame before.
bool ReadRecord(Reader& in, std::uint8_t tag, float* dt, InputFrame* frame) {
  if ((tag & 0x40u) != 0 || ((tag & kMouseStep) && (tag & kMouseRaw)) || ((tag & kTime) && (tag & kMicros))) {
    return in.Reject("frame tag", "unknown flags");
  }
  if (tag & kMicros) {
    std::int32_t change = 0;
    if (!in.Signed("frame time", &change)) return false;
    const std::int64_t micros = Micros(*dt) + change;
    if (micros < 0 || micros > kMaxMicros) return in.Reject("frame time", "value out of range");
    *dt = FromMicros(micros);
  }
  if (tag & kTime) {
    std::int32_t change = 0;
    if (!in.Signed("frame time", &change)) return false;
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(*dt) + static_cast<std::uint32_t>(change);
    const float value = std::bit_cast<float>(bits);
    if (!std::isfinite(value) || value < 0.0f || value > kReplayMaxFrameTime) {
      return in.Reject("frame time", "value out of range");
    }
    *dt = value;
  }
  if (tag & kMouseStep) {
    std::int32_t step[2] = {};
    std::size_t at[2] = {};
    for (int i = 0; i < 2; ++i) {
      at[i] = in.At();
      if (!in.Signed("cursor", &step[i])) return false;
    }
    float* axes[2] = {&frame->mouseX, &frame->mouseY};
    for (int i = 0; i < 2; ++i) {
      if (!WholePixel(*axes[i]) || std::abs(static_cast<std::int64_t>(step[i])) > 2 * 1000000) {
        return in.FailAt("cursor", at[i], "step out of range");
      }
      const float value = *axes[i] + static_cast<float>(step[i]);
      if (std::fabs(value) > kReplayMaxCoordinate) return in.FailAt("cursor", at[i], "value out of range");
      *axes[i] = value;
    }
  }
  if (tag & kMouseRaw) {
    if (!in.Float("cursor", &frame->mouseX, -kReplayMaxCoordinate, kReplayMaxCoordinate) ||
        !in.Float("cursor", &frame->mouseY, -kReplayMaxCoordinate, kReplayMaxCoordinate)) {
      return false;
    }
  }
  for (std::uint8_t& key : frame->keys) key &= hge_record::kHeld;
  if (tag & kKeys) {
    std::uint8_t count = 0;
    if (!in.U8("key count", &count)) return false;
    int last = -1;
    for (int i = 0; i <= count; ++i) {
      std::uint8_t code = 0;
      std::uint8_t state = 0;
      if (!in.U8("key code", &code)) return false;
      if (code <= last) return in.Reject("key code", "codes out of order");
      if (!in.U8("key state", &state)) return false;
      if ((state & ~kStateBits) != 0) return in.Reject("key state", "unknown bits");
      frame->keys[code] = state;
      last = code;
    }
  }
  frame->key = frame->chr = frame->wheel = 0;
  if (tag & kKeyChar) {
    const std::size_t keyAt = in.At();
    if (!in.Signed("key", &frame->key)) return false;
    if (frame->key < 0 || frame->key >= kKeyCount) return in.FailAt("key", keyAt, "value out of range");
    if (!in.Signed("character", &frame->chr)) return false;
    if (frame->chr < 0 || frame->chr > kMaxChar) return in.Reject("character", "value out of range");
    if (!in.Signed("wheel", &frame->wheel)) return false;
    if (frame->wheel < -kMaxWheel || frame->wheel > kMaxWheel) return in.Reject("wheel", "value out of range");
  }
  return true;
}

}  // namespace

// ------------------------------------------------------------------ settings

std::vector<SettingValue> CaptureSettings() {
  std::vector<SettingValue> values;
  values.reserve(32);
  ForEachSettingsEntry(std::as_const(Settings::Instance()),
                       [&values](const char*, const auto& member) { values.emplace_back(member); });
  return values;
}

void ApplySettings(const std::vector<SettingValue>& values) {
  Settings& settings = Settings::Instance();
  std::size_t i = 0;
  ForEachSettingsEntry(settings, [&](const char* key, auto& member) {
    using T = std::decay_t<decltype(member)>;
    const std::size_t index = i++;
    if (index >= values.size() || !std::holds_alternative<T>(values[index])) return;
    if (std::strcmp(key, "ScoreFile") == 0 || std::strcmp(key, "SettingsFile") == 0) return;
    member = std::get<T>(values[index]);
  });
}

// ------------------------------------------------------------------ frames

void FrameEncoder::Reset() {
  stream_.clear();
  count_ = 0;
  run_ = 0;
  dt_ = 0.0f;
  previous_ = InputFrame{};
}

void FrameEncoder::Flush() {
  if (run_ == 0) return;
  PutU8(stream_, static_cast<std::uint8_t>(kRunTag | (run_ - 1)));
  run_ = 0;
}

bool FrameEncoder::Add(float dt, const InputFrame& input) {
  if (count_ >= kReplayMaxFrames) return false;
  // Nothing the reader would refuse is ever written.
  const auto inside = [](float v, float limit) { return std::isfinite(v) && std::fabs(v) <= limit; };
  if (!inside(dt, kReplayMaxFrameTime) || dt < 0.0f || !inside(input.mouseX, kReplayMaxCoordinate) ||
      !inside(input.mouseY, kReplayMaxCoordinate) || input.key < 0 || input.key >= kKeyCount || input.chr < 0 ||
      input.chr > kMaxChar || input.wheel < -kMaxWheel || input.wheel > kMaxWheel) {
    return false;
  }
  for (const std::uint8_t state : input.keys) {
    if ((state & ~kStateBits) != 0) return false;
  }
  ++count_;

  std::uint8_t tag = 0;
  const std::uint32_t dtBits = std::bit_cast<std::uint32_t>(dt);
  const std::uint32_t oldBits = std::bit_cast<std::uint32_t>(dt_);
  const bool wholeMicros = std::bit_cast<std::uint32_t>(FromMicros(Micros(dt))) == dtBits;
  if (dtBits != oldBits) tag |= wholeMicros ? kMicros : kTime;
  const bool moved = std::bit_cast<std::uint32_t>(input.mouseX) != std::bit_cast<std::uint32_t>(previous_.mouseX) ||
                     std::bit_cast<std::uint32_t>(input.mouseY) != std::bit_cast<std::uint32_t>(previous_.mouseY);
  if (moved) {
    const bool whole = WholePixel(input.mouseX) && WholePixel(input.mouseY) && WholePixel(previous_.mouseX) &&
                       WholePixel(previous_.mouseY);
    tag |= whole ? kMouseStep : kMouseRaw;
  }
  int changed = 0;
  for (int k = 0; k < kKeyCount; ++k) {
    if (input.keys[k] != (previous_.keys[k] & hge_record::kHeld)) ++changed;
  }
  if (changed > 0) tag |= kKeys;
  if (input.key != 0 || input.chr != 0 || input.wheel != 0) tag |= kKeyChar;

  if (tag == 0) {
    if (++run_ == kMaxRun) Flush();
    previous_ = input;
    return true;
  }
  Flush();
  PutU8(stream_, tag);
  if (tag & kTime) PutVarint(stream_, Zigzag(static_cast<std::int32_t>(dtBits - oldBits)));
  if (tag & kMicros) PutVarint(stream_, Zigzag(static_cast<std::int32_t>(Micros(dt) - Micros(dt_))));
  if (tag & kMouseStep) {
    PutVarint(stream_, Zigzag(static_cast<std::int32_t>(input.mouseX - previous_.mouseX)));
    PutVarint(stream_, Zigzag(static_cast<std::int32_t>(input.mouseY - previous_.mouseY)));
  }
  if (tag & kMouseRaw) {
    PutFloat(stream_, input.mouseX);
    PutFloat(stream_, input.mouseY);
  }
  if (tag & kKeys) {
    PutU8(stream_, static_cast<std::uint8_t>(changed - 1));
    for (int k = 0; k < kKeyCount; ++k) {
      if (input.keys[k] == (previous_.keys[k] & hge_record::kHeld)) continue;
      PutU8(stream_, static_cast<std::uint8_t>(k));
      PutU8(stream_, input.keys[k]);
    }
  }
  if (tag & kKeyChar) {
    PutVarint(stream_, Zigzag(input.key));
    PutVarint(stream_, Zigzag(input.chr));
    PutVarint(stream_, Zigzag(input.wheel));
  }
  dt_ = dt;
  previous_ = input;
  return true;
}

bool FrameDecoder::Next(float* dt, InputFrame* input, std::string* error) {
  if (run_ > 0) {
    --run_;
    EndQuietFrame();
  } else {
    if (at_ >= stream_.size()) return false;
    Reader in(stream_.data() + at_, stream_.size() - at_, base_ + at_);
    std::uint8_t tag = 0;
    in.U8("frame tag", &tag);
    if (tag & kRunTag) {
      run_ = tag & 0x7Fu;  // the frames of the run after this one
      at_ += 1;
      EndQuietFrame();
    } else if (ReadRecord(in, tag, &dt_, &frame_)) {
      at_ += in.At();
    } else {
      if (error) *error = in.Error();
      at_ = stream_.size();
      return false;
    }
  }
  *dt = dt_;
  *input = frame_;
  return true;
}

// A quiet frame keeps the held keys; edges and the frame's key, character and
// wheel end.
void FrameDecoder::EndQuietFrame() {
  for (std::uint8_t& key : frame_.keys) key &= hge_record::kHeld;
  frame_.key = frame_.chr = frame_.wheel = 0;
}

// ------------------------------------------------------------------ file

std::vector<std::uint8_t> SerializeReplay(const Replay& replay) {
  std::vector<std::uint8_t> out;
  out.reserve(512 + replay.frames.size());
  for (const char c : kReplayMagic) out.push_back(static_cast<std::uint8_t>(c));
  PutLE(out, replay.formatVersion);
  PutLE(out, replay.rulesVersion);
  PutText(out, replay.gameVersion);
  for (const SettingValue& value : replay.settings) {
    std::visit(
        [&out](const auto& v) {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, std::string>) {
            PutText(out, v);
          } else if constexpr (std::is_same_v<T, bool>) {
            PutU8(out, v ? 1 : 0);
          } else if constexpr (std::is_same_v<T, float>) {
            PutFloat(out, v);
          } else {
            PutLE(out, v);
          }
        },
        value);
  }
  const RoundStart& s = replay.start;
  PutLE(out, s.launchState);
  PutLE(out, s.engineRandomState);
  for (float v : {s.ordinaryTimer, s.ordinaryDelay, s.bonusTimer, s.bonusDelay, s.dualTimer, s.dualDelay}) {
    PutFloat(out, v);
  }
  PutU8(out, s.escapeHeld ? 1 : 0);
  PutU8(out, s.menuHovered);
  PutLE(out, replay.score);
  PutLE(out, replay.highestCombo);
  PutLE(out, replay.entryTime);
  PutLE(out, replay.frameCount);
  PutLE(out, static_cast<std::uint32_t>(replay.frames.size()));
  out.insert(out.end(), replay.frames.begin(), replay.frames.end());
  return out;
}

ReplayError ParseReplay(const std::uint8_t* data, std::size_t size, Replay* out, std::string* error) {
  Replay replay;
  Reader in(data, size);
  const auto malformed = [&]() {
    if (error) *error = in.Error();
    return ReplayError::Malformed;
  };
  const auto unreproducible = [&](const std::string& why) {
    if (error) *error = why;
    return ReplayError::Unreproducible;
  };

  if (size > kReplayMaxFileBytes) {
    in.Fail("file", "larger than " + std::to_string(kReplayMaxFileBytes) + " bytes");
    return malformed();
  }
  if (!in.Need("magic", sizeof kReplayMagic)) return malformed();
  if (std::memcmp(in.Here(), kReplayMagic, sizeof kReplayMagic) != 0) {
    in.Fail("magic", "not a Vantor replay");
    return malformed();
  }
  in.Skip(sizeof kReplayMagic);
  if (!in.LE("format version", &replay.formatVersion)) return malformed();
  if (replay.formatVersion != kReplayFormatVersion) {
    return unreproducible("format version " + std::to_string(replay.formatVersion) +
                          " is not one this game reads (it reads version " +
                          std::to_string(kReplayFormatVersion) + ")");
  }
  if (!in.LE("rules version", &replay.rulesVersion)) return malformed();
  if (!in.Text("game version", &replay.gameVersion, true)) return malformed();
  if (replay.rulesVersion != kReplayRulesVersion) {
    return unreproducible("recorded by " + replay.gameVersion + " with rules version " +
                          std::to_string(replay.rulesVersion) + ", which " + kGameVersion +
                          " cannot reproduce (it plays rules version " + std::to_string(kReplayRulesVersion) + ")");
  }

  bool ok = true;
  ForEachSettingsEntry(std::as_const(Settings::Instance()), [&](const char* key, const auto& member) {
    using T = std::decay_t<decltype(member)>;
    if (!ok) return;
    if constexpr (std::is_same_v<T, std::string>) {
      std::string text;
      ok = in.Text(key, &text, false);
      replay.settings.emplace_back(std::move(text));
    } else if constexpr (std::is_same_v<T, bool>) {
      std::uint8_t v = 0;
      ok = in.U8(key, &v) && (v <= 1 || in.Reject(key, "not 0 or 1"));
      replay.settings.emplace_back(v == 1);
    } else if constexpr (std::is_same_v<T, float>) {
      // Any finite value: the settings file can hold any the stream reads.
      float v = 0.0f;
      ok = in.Float(key, &v, -3.4028235e38f, 3.4028235e38f);
      replay.settings.emplace_back(v);
    } else {
      T v = 0;
      ok = in.LE(key, &v);
      replay.settings.emplace_back(v);
    }
  });
  if (!ok) return malformed();

  RoundStart& s = replay.start;
  if (!in.LE("launch generator", &s.launchState) || !in.LE("engine generator", &s.engineRandomState)) {
    return malformed();
  }
  float* clocks[] = {&s.ordinaryTimer, &s.ordinaryDelay, &s.bonusTimer, &s.bonusDelay, &s.dualTimer, &s.dualDelay};
  for (float* clock : clocks) {
    if (!in.Float("spawner clock", clock, -3.4028235e38f, 3.4028235e38f)) return malformed();
  }
  std::uint8_t flags = 0;
  if (!in.U8("flags", &flags)) return malformed();
  if (flags > 1) {
    in.Reject("flags", "unknown bits");
    return malformed();
  }
  s.escapeHeld = flags == 1;
  if (!in.U8("menu item", &s.menuHovered)) return malformed();
  if (!in.LE("score", &replay.score) || !in.LE("highest combo", &replay.highestCombo) ||
      !in.LE("entry time", &replay.entryTime) || !in.LE("frame count", &replay.frameCount)) {
    return malformed();
  }
  if (replay.frameCount == 0 || replay.frameCount > kReplayMaxFrames) {
    in.Reject("frame count", "not 1 to " + std::to_string(kReplayMaxFrames));
    return malformed();
  }
  std::uint32_t length = 0;
  if (!in.LE("frame stream length", &length)) return malformed();
  if (length != in.Left()) {
    in.Reject("frame stream length", std::to_string(length) + " bytes, but " + std::to_string(in.Left()) + " follow");
    return malformed();
  }
  const std::size_t streamStart = in.At();
  replay.frames.assign(in.Here(), in.Here() + length);

  // Every frame is decoded once here, so a replay that was accepted plays
  // to its end without a surprise.
  FrameDecoder decoder(replay.frames, streamStart);
  float dt = 0.0f;
  hge_record::InputFrame frame;
  std::string problem;
  std::uint32_t count = 0;
  while (count <= replay.frameCount && decoder.Next(&dt, &frame, &problem)) ++count;
  if (!problem.empty()) {
    if (error) *error = problem;
    return ReplayError::Malformed;
  }
  if (count != replay.frameCount) {
    if (error) {
      *error = "frame count at offset " + std::to_string(streamStart - 8) + ": " +
               std::to_string(replay.frameCount) + " frames announced, the stream holds " +
               (count > replay.frameCount ? "more" : std::to_string(count));
    }
    return ReplayError::Malformed;
  }
  *out = std::move(replay);
  return ReplayError::None;
}

ReplayError ReadReplayFile(const std::string& path, Replay* out, std::string* error) {
  // Only a regular file is read: a FIFO would wait for ever for a writer, and
  // a device could feed bytes without end.
  platform::CheckedFile file = platform::CheckedFile::OpenForReading(path, false);
  if (!file.IsOpen()) {
    if (error) {
      *error = file.Status() == platform::OpenStatus::NotRegular ? path + " is not a regular file"
                                                                 : "cannot open " + path;
    }
    return ReplayError::Unreadable;
  }
  std::string bytes;
  bool larger = file.Size() > kReplayMaxFileBytes;  // refused unread; or grown while read
  if (!larger && !file.ReadUpTo(kReplayMaxFileBytes, &bytes, &larger)) {
    if (error) *error = "cannot read " + path;
    return ReplayError::Unreadable;
  }
  if (larger) {
    if (error) *error = "file at offset 0: larger than " + std::to_string(kReplayMaxFileBytes) + " bytes";
    return ReplayError::Malformed;
  }
  return ParseReplay(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), out, error);
}

bool WriteReplayFile(const std::string& path, const Replay& replay) {
  const std::vector<std::uint8_t> bytes = SerializeReplay(replay);
  const std::string temporary = path + ".tmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  const bool written = done == bytes.size() && ::fsync(fd) == 0;
  ::close(fd);
  if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace vtr
