// The frame stream of a replay: per frame the frame time and the input the
// game reads, each frame coded against the one before, quiet frames folded
// into runs. The record layout is in frame_codec.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/hge_record.h"

namespace vtr {

// Bounds of the frames (the encoder never writes past them, the decoder
// refuses what lies beyond).
inline constexpr std::uint32_t kReplayMaxFrames = 1u << 20;  // 4.8 hours at 60 fps
inline constexpr float kReplayMaxFrameTime = 1.0f;
inline constexpr float kReplayMaxCoordinate = 1.0e6f;

// Codes frames one after another into a stream, folding quiet frames into
// runs. Keeps its buffer between rounds.
class FrameEncoder {
 public:
  // Empties the stream (its capacity stays) and forgets the frame before.
  void Reset();
  // Appends one frame. False (and nothing appended) past kReplayMaxFrames or
  // for a frame out of the reader's bounds.
  bool Add(float dt, const hge_record::InputFrame& input);
  // Ends a pending run; the stream is complete after this.
  void Flush();

  std::vector<std::uint8_t>& Stream() { return stream_; }
  std::uint32_t Count() const { return count_; }

 private:
  std::vector<std::uint8_t> stream_;
  std::uint32_t count_ = 0;
  std::uint32_t run_ = 0;  // quiet frames not yet written
  float dt_ = 0.0f;
  hge_record::InputFrame previous_;
};

// Reads the frames of a stream the reader has accepted, one at a time.
class FrameDecoder {
 public:
  // base: the stream's offset in its file, for messages.
  explicit FrameDecoder(const std::vector<std::uint8_t>& stream, std::size_t base = 0)
      : stream_(stream), base_(base) {}
  // The next frame; false at the end, or with a message in error when the
  // stream is malformed.
  bool Next(float* dt, hge_record::InputFrame* input, std::string* error);

 private:
  void EndQuietFrame();

  const std::vector<std::uint8_t>& stream_;
  std::size_t base_;
  std::size_t at_ = 0;
  std::uint32_t run_ = 0;
  float dt_ = 0.0f;
  hge_record::InputFrame frame_;
};

}  // namespace vtr
