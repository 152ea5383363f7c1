// The frame stream, one record after another. A tag byte 0x80 | (n - 1)
// stands for n quiet frames (same frame time and cursor, the held keys still
// held, no edges, no key, character or wheel).
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
#include "replay/frame_codec.h"

#include <bit>
#include <cmath>

#include "replay/replay_bytes.h"

namespace vtr {
namespace {

using hge_record::InputFrame;
using hge_record::kKeyCount;
using replay_bytes::PutFloat;
using replay_bytes::PutU8;
using replay_bytes::PutVarint;
using replay_bytes::Reader;
using replay_bytes::Zigzag;

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

// A frame time to the nearest microsecond.
std::int64_t Micros(float dt) { return std::llround(static_cast<double>(dt) * 1.0e6); }

// The float the engine makes of a whole number of microseconds.
float FromMicros(std::int64_t micros) { return static_cast<float>(micros) / 1.0e6f; }

// A whole-pixel cursor coordinate, as every one from the devices is.
bool WholePixel(float v) { return std::fabs(v) <= kReplayMaxCoordinate && std::trunc(v) == v; }

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

}  // namespace vtr
