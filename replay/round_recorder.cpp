#include "replay/round_recorder.h"

#include <utility>

namespace vtr {

namespace {

// A minute at 60 frames a second takes a few kilobytes; this is room for
// many minutes of busy input before the buffer has to grow.
constexpr std::size_t kReservedBytes = 256 * 1024;

}  // namespace

RoundRecorder::RoundRecorder() { encoder_.Stream().reserve(kReservedBytes); }

void RoundRecorder::Begin(const RoundStart& start, std::vector<SettingValue> settings) {
  start_ = start;
  settings_ = std::move(settings);
  encoder_.Reset();
  overflowed_ = false;
  recording_ = true;
}

void RoundRecorder::Abandon() {
  recording_ = false;
  encoder_.Reset();
}

void RoundRecorder::Capture(HGE* engine, float dt) {
  if (!recording_ || overflowed_) return;
  hge_record::ReadInput(engine, &input_);
  if (!encoder_.Add(dt, input_)) overflowed_ = true;
}

bool RoundRecorder::Finish(std::int32_t score, std::uint32_t highestCombo, std::int64_t entryTime, Replay* out) {
  const bool usable = recording_ && !overflowed_ && encoder_.Count() > 0;
  recording_ = false;
  if (!usable) return false;
  encoder_.Flush();
  Replay replay;
  replay.settings = settings_;
  replay.start = start_;
  replay.score = score;
  replay.highestCombo = highestCombo;
  replay.entryTime = entryTime;
  replay.frameCount = encoder_.Count();
  replay.frames = encoder_.Stream();  // a copy: the buffer stays for the next round
  *out = std::move(replay);
  return true;
}

}  // namespace vtr
