// Plays a recorded round through the real game: each recorded frame's input
// goes into the engine (the Input_ calls answer it instead of the devices)
// and Game::Update runs with the recorded frame time. Drawing is the
// caller's: the verifier draws nothing, a watcher lets the engine's render
// callback draw each stepped frame as usual.
//
// Typical use in a window, from the engine's frame callback:
//   read the watcher's own keys first (Escape, Space, the right arrow): the
//   devices' input is only hidden while a frame is stepped;
//   driver.Step() once per frame (four times to play at 4x);
//   when driver.Finished(), or to leave early, driver.Stop().
#pragma once

#include <cstdint>
#include <string>

#include "platform/hge_record.h"
#include "replay/replay_file.h"

namespace vtr {

class Game;

class ReplayDriver {
 public:
  // The replay must outlive the driver.
  ReplayDriver(Game* game, const Replay& replay);
  // Stops a replay still running.
  ~ReplayDriver();
  ReplayDriver(const ReplayDriver&) = delete;
  ReplayDriver& operator=(const ReplayDriver&) = delete;

  // Puts the game at the recorded round's start: its settings, the generators'
  // states and the spawner's clocks, an empty sky, the menu hidden. What it
  // replaces (settings, generators, spawner) is kept for Stop.
  void Start();
  // Plays the next recorded frame; false when every frame has been played
  // (or the game asked to quit, which a recorded round never does).
  bool Step();
  // Every frame has been played.
  bool Finished() const { return played_ >= replay_.frameCount || quit_; }
  // Frames played so far, and in all.
  std::uint32_t Played() const { return played_; }
  std::uint32_t Frames() const { return replay_.frameCount; }
  // The input and frame time of the frame played last (where the mouse was).
  const hge_record::InputFrame& Input() const { return input_; }
  float FrameTime() const { return dt_; }

  // Ends the replay: the devices' input again, the settings, generators and
  // spawner as they were before Start, an empty sky, replay mode off, and
  // the replayed round closed (no round running or over, the menu shown);
  // a watcher puts its own session's flags back after this.
  void Stop();

  // A running hash of the game's state after every played frame: score,
  // multiplier, chain, combo, time left and every actor of the list. Two
  // runs of a round are the same when their hashes are.
  std::uint64_t StateHash() const { return hash_; }

 private:

  Game* game_;
  const Replay& replay_;
  FrameDecoder decoder_;
  bool running_ = false;
  bool quit_ = false;
  std::uint32_t played_ = 0;
  float dt_ = 0.0f;
  hge_record::InputFrame input_;
  std::uint64_t hash_ = 0;
  // What Start replaced.
  std::vector<SettingValue> savedSettings_;
  RoundStart savedStart_;
};

// Folds the game's state after a frame into a running hash (FNV-1a over the
// score, multiplier, chain, combo, time left and every actor of the list);
// a round's hash starts at kStateHashStart.
inline constexpr std::uint64_t kStateHashStart = 14695981039346656037ull;
std::uint64_t FoldGameState(std::uint64_t hash, const Game& game);

// The result of playing a replay to its end.
struct Verdict {
  std::int32_t recordedScore = 0;
  std::uint32_t recordedCombo = 0;
  std::int32_t score = 0;  // the re-simulated round's entered score
  std::uint32_t highestCombo = 0;
  bool entered = false;  // the score was entered in the last frame, as recorded
  std::uint64_t stateHash = 0;
  // Score, combo and the entry's moment all as recorded.
  bool ok() const;
};

// Plays the whole replay headless on the game and returns what it came to.
// The game's score table is left as it was.
Verdict VerifyReplay(Game* game, const Replay& replay);

// One line: "recorded 1200, re-simulated 1200: ok" (or MISMATCH).
std::string VerdictLine(const Replay& replay, const Verdict& verdict);

}  // namespace vtr
