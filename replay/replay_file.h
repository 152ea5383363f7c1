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
//   magic "VTRREPLY", u16 format version, u32 CRC-32 (zlib's) of every byte
//   after it, u32 rules version, u8 length and the game's version text; the 32 settings values in the settings file's
//   order (int32, uint32 and float as 4 bytes, bool as 1, text as u8 length
//   and bytes); u32 launch generator state, u64 engine generator state, six
//   floats of spawner clocks and delays, u8 flags (1: Escape held, 2: today's
//   challenge), u8 menu item under the
//   cursor; i32 final score, u32
//   highest combo, i64 entry time; u32 frame count, u32 length of the frame
//   stream, the stream, and nothing after it.
// The frame stream is run-length coded against the frame before (see
// frame_codec.h). The code is split by job: replay_bytes (numbers in and
// out), frame_codec (the stream), replay_layout (the file's sections) and
// replay_file.cpp (the settings snapshot and the file on the disk).
//
// Version rule: the format version goes up whenever the layout changes, and
// a file of another format version is refused with a line naming both
// versions (a version 1 file has no checksum). A file of another rules
// version is refused too, since the game could not reproduce its round; the
// rules version goes up whenever a change to the game alters what a recorded
// round plays out to. The game's version text is for people only.
//
// The reader treats a file as untrusted. Right after the magic and the format
// version, which say how to read the rest, the checksum is checked, so any
// changed byte, even one that would not change the round (a cursor position,
// the game's version text), is refused before anything else is looked at.
// Every count and length is bounded before anything is allocated, every value
// is checked against what the game could have written, and a failure is one
// line naming the field and offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "replay/frame_codec.h"
#include "replay/spawner_clocks.h"

namespace vtr {

inline constexpr char kReplayMagic[8] = {'V', 'T', 'R', 'R', 'E', 'P', 'L', 'Y'};
inline constexpr std::uint16_t kReplayFormatVersion = 2;
// Goes up whenever the game's rules change what a recorded round plays to.
inline constexpr std::uint32_t kReplayRulesVersion = 2;
#ifndef VANTOR_VERSION
#define VANTOR_VERSION "(version unknown)"  // a build outside the game's own (the fuzzer)
#endif
inline constexpr char kGameVersion[] = "Vantor " VANTOR_VERSION;

// Bounds of the reader (and of the recorder, which never writes past them);
// the frames' own are in frame_codec.h.
inline constexpr std::size_t kReplayMaxFileBytes = 16u << 20;
inline constexpr std::size_t kReplayMaxText = 255;
// The checksum's place: after the magic and the format version.
inline constexpr std::size_t kReplayChecksumEnd = sizeof kReplayMagic + 2 + 4;

// One of the 32 settings values, in the type of its member.
using SettingValue = std::variant<std::int32_t, std::uint32_t, float, bool, std::string>;

// Where a round begins, besides its settings.
struct RoundStart {
  std::uint32_t launchState = 0;
  std::uint64_t engineRandomState = 0;
  SpawnerClocks clocks;
  bool escapeHeld = false;  // Escape was held in the frame that started the round
  // The menu item the cursor was over when "New Game" was chosen: the pause
  // menu takes the focus from the item the cursor moves onto, not the one it
  // stays on, so this decides what a key does in a pause.
  std::uint8_t menuHovered = 0;
  bool daily = false;  // today's challenge (replay/daily.h), flag bit 2

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
// "Key value" of each recorded value that decides how a round plays and is
// not the game's default (the file names, volumes, splash and the values the
// game carries unused are left out); empty for a round at the defaults.
std::vector<std::string> SettingsOtherThanDefaults(const std::vector<SettingValue>& values);
// The values with every one that decides how a round plays put back to the
// game's default (the ones named above); the rest stay as they are.
std::vector<SettingValue> WithDefaultPlay(std::vector<SettingValue> values);

// Why a file could not be taken.
enum class ReplayError {
  None,
  Malformed,       // truncated, corrupted, out of range
  Unreproducible,  // well formed, but not a round this game can play again
  Unreadable,      // the file could not be opened or read
};

// The whole file in memory, its checksum filled in.
std::vector<std::uint8_t> SerializeReplay(const Replay& replay);
// The CRC-32 of the bytes after the checksum (of at most kReplayMaxFileBytes).
std::uint32_t ReplayChecksum(const std::uint8_t* data, std::size_t size);
// Writes the checksum of the bytes into them, for a tool or test that
// changes a file's fields on purpose.
void SealReplayBytes(std::vector<std::uint8_t>& bytes);
// Reads bytes; on failure returns the kind and a one-line message in error.
ReplayError ParseReplay(const std::uint8_t* data, std::size_t size, Replay* out, std::string* error);
// Reads a file (at most kReplayMaxFileBytes of it) and parses it.
ReplayError ReadReplayFile(const std::string& path, Replay* out, std::string* error);
// Writes the file through the game's durable write (platform/atomic_file.h):
// an old one is replaced only by a complete new one. False on failure.
bool WriteReplayFile(const std::string& path, const Replay& replay);

}  // namespace vtr
