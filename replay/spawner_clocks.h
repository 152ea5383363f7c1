// The rocket spawner's three clocks with their delays: all the state it has.
// A recorded round starts from where they stood, so the replay carries them
// whole and the spawner takes them back whole.
#pragma once

namespace vtr {

struct SpawnerClocks {
  float ordinaryTimer = 0.0f;
  float ordinaryDelay = 0.0f;
  float bonusTimer = 0.0f;
  float bonusDelay = 0.0f;
  float dualTimer = 0.0f;
  float dualDelay = 0.0f;

  bool operator==(const SpawnerClocks&) const = default;
};

}  // namespace vtr
