// A recorded round: everything a round of Vantor is decided by, so that it can
// be played again to the exact score.
//
// A round is a pure function of the settings, the state of the two random
// generators (the launch generator places the rockets, the engine's draws the
// particles, which decide how long each explosion catches), the spawner's
// clocks, and then per frame the frame time and the input the game reads.
// A replay holds exactly that, plus the round's result to check against.
//
// The file, little-endian throughout:
//   magic "VTRREPLY", u16 format version, u32 rules version, u8 length and
//   the game's version text; the 32 settings values in the settings file's
//   order (int32, uint32 and float as 4 bytes, bool as 1, text as u8 length
//   and bytes); u32 launch generator state, u64 engine generator state, six
//   floats of spawner clocks and delays, u8 flags, u8 menu item under the
//   cursor; i32 final score, u32
//   highest combo, i64 entry time; u32 frame count, u32 length of the frame
//   stream, the stream, and nothing after it.
// The frame stream is run-length coded against the frame before: a tag byte
// 0x80 | (n - 1) stands for n quiet frames (same frame time and cursor, the
// held keys still held, no edges, no key, character or wheel); any other tag
// lists what changed (see replay_file.cpp).
//
// Version rule: a file of another format version is refused, and so is one of
// another rules version, since the game could not reproduce its round; the
// rules version goes up whenever a change to the game alters what a recorded
// round plays out to. The game's version text is for people only.
//
// The reader treats a file as untrusted: every count and length is bounded
// before anything is allocated, every value is checked against what the game
// could have written, and a failure is one line naming the field and offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/hge_record.h"

namespace vtr {

inline constexpr char kReplayMagic[8] = {'V', 'T', 'R', 'R', 'E', 'P', 'L', 'Y'};
inline constexpr std::uint16_t kReplayFormatVersion = 1;
// Goes up whenever the game's rules change what a recorded round plays to.
inline constexpr std::uint32_t kReplayRulesVersion = 2;
#ifndef VANTOR_VERSION
#define VANTOR_VERSION "(version unknown)"  // a build outside the game's own (the fuzzer)
#endif
inline constexpr char kGameVersion[] = "Vantor " VANTOR_VERSION;

// Bounds of the reader (and of the recorder, which never writes past them).
inline constexpr std::size_t kReplayMaxFileBytes = 16u << 20;
inline constexpr std::uint32_t kReplayMaxFrames = 1u << 20;  // 4.8 hours at 60 fps
inline constexpr std::size_t kReplayMaxText = 255;
inline constexpr float kReplayMaxFrameTime = 1.0f;
inline constexpr float kReplayMaxCoordinate = 1.0e6f;

// One of the 32 settings values, in the type of its member.
using SettingValue = std::variant<std::int32_t, std::uint32_t, float, bool, std::string>;

// Where a round begins, besides its settings.
struct RoundStart {
  std::uint32_t launchState = 0;
  std::uint64_t engineRandomState = 0;
  float ordinaryTimer = 0.0f;
  float ordinaryDelay = 0.0f;
  float bonusTimer = 0.0f;
  float bonusDelay = 0.0f;
  float dualTimer = 0.0f;
  float dualDelay = 0.0f;
  bool escapeHeld = false;  // Escape was held in the frame that started the round
  // The menu item the cursor was over when "New Game" was chosen: the pause
  // menu takes the focus from the item the cursor moves onto, not the one it
  // stays on, so this decides what a key does in a pause.
  std::uint8_t menuHovered = 0;

  bool operator==(const RoundStart&) const = default;
};

struct Replay {
  std::uint16_t formatVersion = kReplayFormatVersion;
  std::uint32_t rulesVersion = kReplayRulesVersion;
  std::string gameVersion = kGameVersion;
  std::vector<SettingValue> settings;  // 32 values, settings file order
  RoundStart start;
  std::int32_t score = 0;
  std::uint32_t highestCombo = 0;
  std::int64_t entryTime = 0;
  std::uint32_t frameCount = 0;
  std::vector<std::uint8_t> frames;  // the coded frame stream

  bool operator==(const Replay&) const = default;
};

// The 32 values of the live settings, and putting recorded ones back. The
// two file names are never put back: a replay must not choose where the game
// reads or writes.
std::vector<SettingValue> CaptureSettings();
void ApplySettings(const std::vector<SettingValue>& values);

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

// Why a file could not be taken.
enum class ReplayError {
  None,
  Malformed,       // truncated, corrupted, out of range
  Unreproducible,  // well formed, but not a round this game can play again
  Unreadable,      // the file could not be opened or read
};

// The whole file in memory.
std::vector<std::uint8_t> SerializeReplay(const Replay& replay);
// Reads bytes; on failure returns the kind and a one-line message in error.
ReplayError ParseReplay(const std::uint8_t* data, std::size_t size, Replay* out, std::string* error);
// Reads a file (at most kReplayMaxFileBytes of it) and parses it.
ReplayError ReadReplayFile(const std::string& path, Replay* out, std::string* error);
// Writes the file through a temporary beside it, replacing an old one only
// when the new one is complete. False on failure.
bool WriteReplayFile(const std::string& path, const Replay& replay);

}  // namespace vtr
