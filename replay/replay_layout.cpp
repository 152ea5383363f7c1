// The replay file's layout (described in replay_file.h): the whole file
// written at once, and read back section by section, each section refusing
// what the game could not have written before the next one is looked at.
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <utility>

#include "config/settings.h"
#include "replay/replay_bytes.h"
#include "replay/replay_file.h"

namespace vtr {
namespace {

using replay_bytes::PutFloat;
using replay_bytes::PutLE;
using replay_bytes::PutText;
using replay_bytes::PutU8;
using replay_bytes::Reader;

constexpr float kLargestFloat = 3.4028235e38f;

// Where a section's reading ended: go on, or the kind of refusal (with its
// line in *error).
struct Verdict {
  ReplayError kind = ReplayError::None;
  bool ok() const { return kind == ReplayError::None; }
};

Verdict Malformed(const Reader& in, std::string* error) {
  if (error) *error = in.Error();
  return {ReplayError::Malformed};
}

Verdict Unreproducible(const std::string& why, std::string* error) {
  if (error) *error = why;
  return {ReplayError::Unreproducible};
}

// Magic, format version and checksum: what the file is, and that its bytes
// are the ones that were written. Nothing after the checksum is read before
// it has been checked.
Verdict ReadIdentity(Reader& in, const std::uint8_t* data, std::size_t size, Replay& replay, std::string* error) {
  if (size > kReplayMaxFileBytes) {
    in.Fail("file", "larger than " + std::to_string(kReplayMaxFileBytes) + " bytes");
    return Malformed(in, error);
  }
  if (!in.Need("magic", sizeof kReplayMagic)) return Malformed(in, error);
  if (std::memcmp(in.Here(), kReplayMagic, sizeof kReplayMagic) != 0) {
    in.Fail("magic", "not a Vantor replay");
    return Malformed(in, error);
  }
  in.Skip(sizeof kReplayMagic);
  if (!in.LE("format version", &replay.formatVersion)) return Malformed(in, error);
  if (replay.formatVersion != kReplayFormatVersion) {
    return Unreproducible("format version " + std::to_string(replay.formatVersion) +
                              " is not one this game reads (it reads version " +
                              std::to_string(kReplayFormatVersion) + ")",
                          error);
  }
  std::uint32_t checksum = 0;
  if (!in.LE("checksum", &checksum)) return Malformed(in, error);
  if (checksum != ReplayChecksum(data, size)) {
    in.Reject("checksum", "the bytes after it do not match it (the file was damaged or changed)");
    return Malformed(in, error);
  }
  return {};
}

// Which rules the round was played by, and the game that recorded it.
Verdict ReadVersions(Reader& in, Replay& replay, std::string* error) {
  if (!in.LE("rules version", &replay.rulesVersion)) return Malformed(in, error);
  if (!in.Text("game version", &replay.gameVersion, true)) return Malformed(in, error);
  if (replay.rulesVersion != kReplayRulesVersion) {
    return Unreproducible("recorded by " + replay.gameVersion + " with rules version " +
                              std::to_string(replay.rulesVersion) + ", which " + kGameVersion +
                              " cannot reproduce (it plays rules version " + std::to_string(kReplayRulesVersion) +
                              ")",
                          error);
  }
  return {};
}

// A settings value no round could have been played with is refused.
bool Playable(Reader& in, const char* key, double value) {
  const PlayableRange* range = PlayableRangeOf(key);
  if (range == nullptr || (value >= range->low && value <= range->high)) return true;
  return in.Reject(key, "outside the playable range");
}

// The 32 settings values, each in the type of its member.
bool ReadSettings(Reader& in, Replay& replay) {
  bool ok = true;
  ForEachSettingsEntry(std::as_const(Settings::Instance()), [&](const char* key, const auto& member) {
    using T = std::decay_t<decltype(member)>;
    if (!ok) return;
    if constexpr (std::is_same_v<T, std::string>) {
      std::string text;
      ok = in.Text(key, &text, false);
      replay.settings.emplace_back(std::move(text));
    } else if constexpr (std::is_same_v<T, bool>) {
      std::uint8_t v = 0;
      ok = in.U8(key, &v) && (v <= 1 || in.Reject(key, "not 0 or 1"));
      replay.settings.emplace_back(v == 1);
    } else if constexpr (std::is_same_v<T, float>) {
      // Any finite value the settings file can be held to.
      float v = 0.0f;
      ok = in.Float(key, &v, -kLargestFloat, kLargestFloat) && Playable(in, key, v);
      replay.settings.emplace_back(v);
    } else {
      T v = 0;
      ok = in.LE(key, &v) && Playable(in, key, static_cast<double>(v));
      replay.settings.emplace_back(v);
    }
  });
  return ok;
}

// The generators, the spawner's clocks, the flags and the menu item.
bool ReadRoundStart(Reader& in, RoundStart& s) {
  if (!in.LE("launch generator", &s.launchState) || !in.LE("engine generator", &s.engineRandomState)) return false;
  for (float* clock : {&s.clocks.ordinaryTimer, &s.clocks.ordinaryDelay, &s.clocks.bonusTimer, &s.clocks.bonusDelay,
                       &s.clocks.dualTimer, &s.clocks.dualDelay}) {
    if (!in.Float("spawner clock", clock, -kLargestFloat, kLargestFloat)) return false;
  }
  // A clock starts at 0, runs forward and restarts at 0 once past its delay,
  // so it stands between 0 and its delay (at 0 when the delay is negative).
  const SpawnerClocks& c = s.clocks;
  for (const auto& [timer, delay] : {std::pair{c.ordinaryTimer, c.ordinaryDelay}, std::pair{c.bonusTimer, c.bonusDelay},
                                      std::pair{c.dualTimer, c.dualDelay}}) {
    if (!(timer >= 0.0f && timer <= std::max(delay, 0.0f))) return in.Reject("spawner clock", "not between 0 and its delay");
  }
  std::uint8_t flags = 0;
  if (!in.U8("flags", &flags)) return false;
  if (flags > 3) return in.Reject("flags", "unknown bits");
  s.escapeHeld = (flags & 1) != 0;
  s.daily = (flags & 2) != 0;
  return in.U8("menu item", &s.menuHovered);
}

// The result to check against and the number of frames.
bool ReadResult(Reader& in, Replay& replay) {
  if (!in.LE("score", &replay.score) || !in.LE("highest combo", &replay.highestCombo) ||
      !in.LE("entry time", &replay.entryTime) || !in.LE("frame count", &replay.frameCount)) {
    return false;
  }
  if (replay.frameCount == 0 || replay.frameCount > kReplayMaxFrames) {
    return in.Reject("frame count", "not 1 to " + std::to_string(kReplayMaxFrames));
  }
  return true;
}

// The frame stream, which ends the file. Every frame is decoded once here,
// so a replay that was accepted plays to its end without a surprise.
Verdict ReadFrames(Reader& in, Replay& replay, std::string* error) {
  std::uint32_t length = 0;
  if (!in.LE("frame stream length", &length)) return Malformed(in, error);
  if (length != in.Left()) {
    in.Reject("frame stream length", std::to_string(length) + " bytes, but " + std::to_string(in.Left()) + " follow");
    return Malformed(in, error);
  }
  const std::size_t streamStart = in.At();
  replay.frames.assign(in.Here(), in.Here() + length);

  FrameDecoder decoder(replay.frames, streamStart);
  float dt = 0.0f;
  hge_record::InputFrame frame;
  std::string problem;
  std::uint32_t count = 0;
  while (count <= replay.frameCount && decoder.Next(&dt, &frame, &problem)) ++count;
  if (problem.empty() && count != replay.frameCount) {
    problem = "frame count at offset " + std::to_string(streamStart - 8) + ": " + std::to_string(replay.frameCount) +
              " frames announced, the stream holds " + (count > replay.frameCount ? "more" : std::to_string(count));
  }
  if (problem.empty()) return {};
  if (error) *error = problem;
  return {ReplayError::Malformed};
}

}  // namespace

std::uint32_t ReplayChecksum(const std::uint8_t* data, std::size_t size) {
  if (size <= kReplayChecksumEnd) return static_cast<std::uint32_t>(crc32(0L, Z_NULL, 0));
  // Within the reader's bound, so the length fits zlib's unsigned int.
  const std::size_t length = std::min(size, kReplayMaxFileBytes) - kReplayChecksumEnd;
  return static_cast<std::uint32_t>(crc32(0L, data + kReplayChecksumEnd, static_cast<uInt>(length)));
}

void SealReplayBytes(std::vector<std::uint8_t>& bytes) {
  if (bytes.size() < kReplayChecksumEnd) return;
  std::uint32_t checksum = ReplayChecksum(bytes.data(), bytes.size());
  for (std::size_t i = kReplayChecksumEnd - 4; i < kReplayChecksumEnd; ++i) {
    bytes[i] = static_cast<std::uint8_t>(checksum & 0xFFu);
    checksum >>= 8;
  }
}

std::vector<std::uint8_t> SerializeReplay(const Replay& replay) {
  std::vector<std::uint8_t> out;
  out.reserve(512 + replay.frames.size());
  for (const char c : kReplayMagic) out.push_back(static_cast<std::uint8_t>(c));
  PutLE(out, replay.formatVersion);
  PutLE(out, std::uint32_t{0});  // the checksum, once the rest is there
  PutLE(out, replay.rulesVersion);
  PutText(out, replay.gameVersion);
  for (const SettingValue& value : replay.settings) {
    std::visit(
        [&out](const auto& v) {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, std::string>) {
            PutText(out, v);
          } else if constexpr (std::is_same_v<T, bool>) {
            PutU8(out, v ? 1 : 0);
          } else if constexpr (std::is_same_v<T, float>) {
            PutFloat(out, v);
          } else {
            PutLE(out, v);
          }
        },
        value);
  }
  const RoundStart& s = replay.start;
  PutLE(out, s.launchState);
  PutLE(out, s.engineRandomState);
  const SpawnerClocks& c = s.clocks;
  for (float v : {c.ordinaryTimer, c.ordinaryDelay, c.bonusTimer, c.bonusDelay, c.dualTimer, c.dualDelay}) {
    PutFloat(out, v);
  }
  PutU8(out, static_cast<std::uint8_t>((s.escapeHeld ? 1 : 0) | (s.daily ? 2 : 0)));
  PutU8(out, s.menuHovered);
  PutLE(out, replay.score);
  PutLE(out, replay.highestCombo);
  PutLE(out, replay.entryTime);
  PutLE(out, replay.frameCount);
  PutLE(out, static_cast<std::uint32_t>(replay.frames.size()));
  out.insert(out.end(), replay.frames.begin(), replay.frames.end());
  SealReplayBytes(out);
  return out;
}

ReplayError ParseReplay(const std::uint8_t* data, std::size_t size, Replay* out, std::string* error) {
  Replay replay;
  Reader in(data, size);
  Verdict verdict = ReadIdentity(in, data, size, replay, error);
  if (verdict.ok()) verdict = ReadVersions(in, replay, error);
  if (verdict.ok() && !(ReadSettings(in, replay) && ReadRoundStart(in, replay.start) && ReadResult(in, replay))) {
    verdict = Malformed(in, error);
  }
  if (verdict.ok()) verdict = ReadFrames(in, replay, error);
  if (verdict.ok()) *out = std::move(replay);
  return verdict.kind;
}

}  // namespace vtr
