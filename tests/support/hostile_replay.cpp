#include "tests/support/hostile_replay.h"

#include <string>

#include "replay/frame_codec.h"

namespace testing_support {

vtr::Replay GoldenReplay(const char* name) {
  vtr::Replay replay;
  std::string error;
  const std::string path = std::string(VANTOR_SOURCE_DIR) + "/tests/golden/" + name + ".vtreplay";
  if (vtr::ReadReplayFile(path, &replay, &error) != vtr::ReplayError::None) replay.settings.clear();
  return replay;
}

void MakeSettingsAbsurd(vtr::Replay& r) {
  if (r.settings.size() < 16) return;
  for (int i : {5, 6, 7}) r.settings[i] = -1.0f;  // the three spawn delays
  for (int i : {8, 9, 10}) r.settings[i] = 0.0f;  // the three rocket speeds
  r.settings[15] = 86400.0f;                      // StartingTime: a round of a day
  r.start.clocks = {0.0f, -1.0f, 0.0f, -1.0f, 0.0f, -1.0f};
}

void MakeQuietFrames(vtr::Replay& r, std::uint32_t count, std::uint32_t micros) {
  vtr::FrameEncoder encoder;
  const float dt = static_cast<float>(micros) / 1.0e6f;  // as the engine makes it
  const hge_record::InputFrame still;
  for (std::uint32_t i = 0; i < count; ++i) encoder.Add(dt, still);
  encoder.Flush();
  r.frames = encoder.Stream();
  r.frameCount = encoder.Count();
}

vtr::Replay CostliestReplay(std::uint32_t frames, std::uint32_t micros) {
  vtr::Replay replay = GoldenReplay("chains");
  MakeSettingsAbsurd(replay);
  MakeQuietFrames(replay, frames, micros);
  return replay;
}

}  // namespace testing_support
