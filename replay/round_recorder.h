// Records the round being played, frame by frame, in memory.
//
// Recording costs one read of the engine's input and a few bytes of coding
// per frame; the stream's buffer is reserved up front and kept between
// rounds, so a frame allocates nothing. A round longer than the replay's
// frame bound stops recording and yields no replay.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/hge.h"
#include "platform/hge_record.h"
#include "replay/replay_file.h"

namespace vtr {

class RoundRecorder {
 public:
  RoundRecorder();

  // Starts a new recording (any earlier one is dropped).
  void Begin(const RoundStart& start, std::vector<SettingValue> settings);
  // Drops the recording: the round was abandoned.
  void Abandon();
  // Adds the current frame: its frame time and the input the game reads.
  void Capture(HGE* engine, float dt);
  // Whether a round is being recorded.
  bool Recording() const { return recording_; }

  // Ends the recording with the round's result and hands out the replay.
  // False when there is none (nothing recorded, or the round ran too long).
  bool Finish(std::int32_t score, std::uint32_t highestCombo, std::int64_t entryTime, Replay* out);

 private:
  bool recording_ = false;
  bool overflowed_ = false;
  RoundStart start_;
  std::vector<SettingValue> settings_;
  FrameEncoder encoder_;
  hge_record::InputFrame input_;  // scratch, so a frame allocates nothing
};

}  // namespace vtr
