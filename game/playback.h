// Watching a recorded round in the window, at real speed.
//
// The round plays through the real game: the replay driver hands it each
// recorded frame's time and input, so it draws and sounds exactly as it did
// when it was played, HUD, combo texts and results page included. The
// watcher's own keys are read from the devices between the recorded frames
// and never reach the game:
//   Escape             leaves the playback
//   Space              pauses and resumes
//   right arrow held   plays four times as fast; while paused, each press
//                      plays one frame (to look at a moment closely)
// Real speed: the window's frame times are summed, and recorded frames are
// played while the sum reaches them, to the nearest frame, so a round
// recorded at the window's own rate plays one recorded frame per drawn frame.
// The player's cursor is drawn where it was, and a small label at the top of
// the left panel says "Replay", the round's date and score, and "paused" or
// "4x" while the watcher's keys make it so. Once the last frame has played
// it stays on screen for a moment before the playback ends.
//
// Held at a frame (HoldAt), the playback plays up to that recorded frame at
// real speed and stays there, drawing it again every frame, until Escape; the
// watcher's other keys do nothing meanwhile. Two builds held at one frame of
// one replay draw the same picture.
//
// A round that does not play out as recorded (its score entered before the
// last frame, not at all, or different) is stopped where that shows and
// reported as not faithful.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/hge.h"
#include "replay/replay_file.h"

class hgeFont;

namespace vtr {

class Game;
class ReplayDriver;

class Playback {
 public:
  static constexpr float kFastSpeed = 4.0f;
  // Seconds the last frame stays on screen.
  static constexpr float kEndHold = 2.0f;
  // Recorded frames played in one window frame at most.
  static constexpr int kMaxStepsPerFrame = 64;

  Playback(Game* game, Replay replay);
  // Stops a playback still running.
  ~Playback();
  Playback(const Playback&) = delete;
  Playback& operator=(const Playback&) = delete;

  // Puts the game at the recorded round's start and plays its first frame.
  void Start();
  // One frame of the window, dt its real length: the watcher's keys, then the
  // recorded frames the time has reached. False once the playback is over
  // (left with Escape, or its end shown long enough).
  bool Frame(float dt);
  // Plays no further than recorded frame `frame` (1 to FramesRecorded())
  // and stays there; 0 plays on as usual.
  void HoldAt(std::uint32_t frame) { hold_ = frame; }
  // Ends the replay in the game (the settings, generators and spawner as
  // they were at Start, an empty sky).
  void Stop();

  // Draws the player's cursor where it was in the frame shown.
  void DrawCursor(HGE* engine) const;
  // Draws the label with the font given (its scale and colour kept).
  void DrawLabel(hgeFont& font) const;

  bool Paused() const { return paused_; }
  // At the frame HoldAt names.
  bool Held() const;
  bool Fast() const { return fast_; }
  bool LeftEarly() const { return left_; }
  // No more recorded frames will be played.
  bool Ended() const;
  std::uint32_t FramesPlayed() const;
  std::uint32_t FramesRecorded() const { return replay_->frameCount; }
  // The whole round played to its recorded end and score (false while it
  // plays, and after Escape).
  bool Faithful() const;
  // One line on how the round came out: "recorded 1200, played 1200: ok",
  // or why it is not the recorded round.
  std::string OutcomeLine() const;
  const Replay& Recorded() const { return *replay_; }

 private:
  // Plays one recorded frame; notes a round that left its recording.
  void Step();

  Game* game_;  // back reference
  std::unique_ptr<Replay> replay_;  // the driver holds a reference to it
  std::unique_ptr<ReplayDriver> driver_;
  // The label's lines that stay the same for the whole playback.
  std::string labelDate_;
  std::string labelScore_;
  bool paused_ = false;
  bool fast_ = false;
  bool left_ = false;
  bool diverged_ = false;
  float owed_ = 0.0f;      // real time not yet played, in recorded seconds
  float lastStep_ = 0.0f;  // frame time of the frame played last
  float heldAtEnd_ = 0.0f;
  std::uint32_t hold_ = 0;  // 0: no hold
};

}  // namespace vtr
