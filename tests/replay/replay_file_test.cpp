// The replay file: frames and headers come back exactly as written, and the
// reader refuses every damaged or hostile file with one line that names the
// field and its offset, without reading past the end or trusting a count.
#include "replay/replay_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

using hge_record::InputFrame;

struct Frame {
  float dt;
  InputFrame input;
};

// Frames like a player's: long quiet stretches, clicks and key taps with
// their edges, keys held for a while, a moving cursor (now and then off the
// whole pixels), frame times in whole microseconds or any float.
std::vector<Frame> RandomFrames(std::uint32_t seed, int count) {
  std::mt19937 random(seed);
  auto chance = [&random](int percent) { return static_cast<int>(random() % 100) < percent; };
  std::vector<Frame> frames;
  InputFrame input;
  float dt = 1.0f / 60.0f;
  for (int i = 0; i < count; ++i) {
    for (std::uint8_t& key : input.keys) key &= hge_record::kHeld;
    input.key = input.chr = input.wheel = 0;
    if (chance(30)) {
      dt = chance(50) ? static_cast<float>(16000 + random() % 2000) / 1.0e6f
                      : std::bit_cast<float>(static_cast<std::uint32_t>(0x3C800000u + random() % 0x100000u));
    }
    if (chance(25)) {
      input.mouseX = static_cast<float>(static_cast<int>(random() % 1100) - 40);
      input.mouseY = static_cast<float>(static_cast<int>(random() % 800) - 20);
      if (chance(10)) input.mouseX += 0.25f;
    }
    if (chance(8)) {
      const int code = static_cast<int>(random() % 256);
      const bool held = (input.keys[code] & hge_record::kHeld) != 0;
      input.keys[code] = held ? hge_record::kWentUp : hge_record::kHeld | hge_record::kWentDown;
      if (chance(20)) input.keys[code] |= hge_record::kWentUp;  // a tap within one frame
      input.key = code;
      input.chr = chance(50) ? static_cast<int>(random() % 0x110000) : 0;
    }
    if (chance(3)) input.wheel = static_cast<int>(random() % 21) - 10;
    frames.push_back({dt, input});
  }
  return frames;
}

vtr::Replay ReplayOf(const std::vector<Frame>& frames) {
  vtr::FrameEncoder encoder;
  encoder.Reset();
  for (const Frame& frame : frames) EXPECT_TRUE(encoder.Add(frame.dt, frame.input));
  encoder.Flush();
  vtr::Replay replay;
  replay.settings = vtr::CaptureSettings();
  replay.start.launchState = 0xDEADBEEF;
  replay.start.engineRandomState = 0x0123456789ABCDEFull;
  replay.start.clocks.ordinaryTimer = 0.25f;
  replay.start.clocks.ordinaryDelay = 1.0f;
  replay.start.clocks.dualDelay = 9.0f;
  replay.start.escapeHeld = true;
  replay.score = -5;
  replay.highestCombo = 7;
  replay.entryTime = 1765000000;
  replay.frameCount = encoder.Count();
  replay.frames = encoder.Stream();
  return replay;
}

vtr::ReplayError Parse(const std::vector<std::uint8_t>& bytes, std::string* error, std::size_t size = SIZE_MAX) {
  vtr::Replay out;
  return vtr::ParseReplay(bytes.data(), std::min(size, bytes.size()), &out, error);
}

// The offset a refusal names; fails the test when there is none.
std::size_t OffsetIn(const std::string& error) {
  const std::size_t at = error.find(" at offset ");
  EXPECT_NE(at, std::string::npos) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  return at == std::string::npos ? 0 : std::stoul(error.substr(at + 11));
}

}  // namespace

TEST(ReplayFile, FramesAndHeaderComeBackExactlyAsWritten) {
  for (std::uint32_t seed : {1u, 2u, 3u}) {
    const std::vector<Frame> frames = RandomFrames(seed, 5000);
    const vtr::Replay replay = ReplayOf(frames);
    const std::vector<std::uint8_t> bytes = vtr::SerializeReplay(replay);

    vtr::Replay read;
    std::string error;
    ASSERT_EQ(vtr::ParseReplay(bytes.data(), bytes.size(), &read, &error), vtr::ReplayError::None) << error;
    EXPECT_EQ(read, replay);
    vtr::FrameDecoder decoder(read.frames);
    float dt = 0.0f;
    InputFrame input;
    for (std::size_t i = 0; i < frames.size(); ++i) {
      ASSERT_TRUE(decoder.Next(&dt, &input, &error)) << "frame " << i << ": " << error;
      ASSERT_EQ(std::bit_cast<std::uint32_t>(dt), std::bit_cast<std::uint32_t>(frames[i].dt)) << "frame " << i;
      ASSERT_EQ(input, frames[i].input) << "frame " << i;
    }
    EXPECT_FALSE(decoder.Next(&dt, &input, &error));
    EXPECT_TRUE(error.empty()) << error;
  }

  // Through a file too, replacing an older one and leaving no temporary.
  testing_support::TempDir dir;
  const vtr::Replay replay = ReplayOf(RandomFrames(4, 300));
  ASSERT_TRUE(vtr::WriteReplayFile("round.vtreplay", ReplayOf(RandomFrames(5, 10))));
  ASSERT_TRUE(vtr::WriteReplayFile("round.vtreplay", replay));
  vtr::Replay read;
  std::string error;
  ASSERT_EQ(vtr::ReadReplayFile("round.vtreplay", &read, &error), vtr::ReplayError::None) << error;
  EXPECT_EQ(read, replay);
  EXPECT_FALSE(std::filesystem::exists("round.vtreplay.tmp"));
}

TEST(ReplayFile, QuietFramesFoldIntoRuns) {
  // A minute without input at a steady frame time: a header and a few bytes.
  std::vector<Frame> frames(3600, Frame{1.0f / 60.0f, InputFrame{}});
  frames[0].input.mouseX = 512.0f;
  const vtr::Replay replay = ReplayOf(frames);
  EXPECT_LT(replay.frames.size(), 50u);
  EXPECT_EQ(replay.frameCount, 3600u);
}

TEST(ReplayFile, TheEncoderWritesNothingTheReaderWouldRefuse) {
  vtr::FrameEncoder encoder;
  encoder.Reset();
  InputFrame input;
  EXPECT_FALSE(encoder.Add(std::numeric_limits<float>::quiet_NaN(), input));
  EXPECT_FALSE(encoder.Add(-0.01f, input));
  EXPECT_FALSE(encoder.Add(2.0f, input));
  input.mouseX = std::numeric_limits<float>::infinity();
  EXPECT_FALSE(encoder.Add(0.01f, input));
  input.mouseX = 0.0f;
  input.key = 256;
  EXPECT_FALSE(encoder.Add(0.01f, input));
  input.key = 0;
  input.keys[3] = 8;
  EXPECT_FALSE(encoder.Add(0.01f, input));
  EXPECT_EQ(encoder.Count(), 0u);
  EXPECT_TRUE(encoder.Stream().empty());
  // The most frames a file may hold are taken, one more is not.
  input = InputFrame{};
  for (std::uint32_t i = 0; i < vtr::kReplayMaxFrames; ++i) ASSERT_TRUE(encoder.Add(0.01f, input)) << i;
  EXPECT_FALSE(encoder.Add(0.01f, input));
  EXPECT_EQ(encoder.Count(), vtr::kReplayMaxFrames);
}

// Each field of the header set to what the game could never have written is
// refused, and the message names it at its own offset.
TEST(ReplayFile, EveryHeaderFieldOutOfRangeIsRefusedByName) {
  const vtr::Replay good = ReplayOf(RandomFrames(7, 40));
  const std::vector<std::uint8_t> bytes = vtr::SerializeReplay(good);
  // Offsets of the fields after the settings, counted from the end.
  const std::size_t stream = bytes.size() - good.frames.size();
  const std::size_t flags = stream - 8 - 16 - 2;

  struct Case {
    const char* field;
    vtr::ReplayError kind;
    std::function<void(vtr::Replay&)> header = nullptr;            // a change of the header itself...
    std::function<void(std::vector<std::uint8_t>&)> raw = nullptr;  // ...or of its bytes
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<Case> cases = {
      {"magic", vtr::ReplayError::Malformed, nullptr, [](auto& b) { b[3] = 'X'; }},
      {"format version", vtr::ReplayError::Unreproducible, [](vtr::Replay& r) { r.formatVersion = 3; }},
      {"rules version", vtr::ReplayError::Unreproducible, [](vtr::Replay& r) { r.rulesVersion = 99; }},
      {"game version", vtr::ReplayError::Malformed, [](vtr::Replay& r) { r.gameVersion = ""; }},
      {"game version", vtr::ReplayError::Malformed, [](vtr::Replay& r) { r.gameVersion = "V\n2"; }},
      {"ExplosionAlphaStart", vtr::ReplayError::Malformed, [nan](vtr::Replay& r) { r.settings[4] = nan; }},
      {"StartingTime", vtr::ReplayError::Malformed,
       [](vtr::Replay& r) { r.settings[15] = std::numeric_limits<float>::infinity(); }},
      {"ScoreFile", vtr::ReplayError::Malformed, [](vtr::Replay& r) { r.settings[26] = std::string("a b"); }},
      {"SettingsFile", vtr::ReplayError::Malformed, [](vtr::Replay& r) { r.settings[27] = std::string(); }},
      {"spawner clock", vtr::ReplayError::Malformed, [nan](vtr::Replay& r) { r.start.clocks.bonusDelay = nan; }},
      // Settings no round could be played with, and clocks the spawner
      // could not have stood at: a round past any cost bound.
      {"StartingTime", vtr::ReplayError::Malformed, [](vtr::Replay& r) { r.settings[15] = 86400.5f; }},
      {"MultiplierAddition", vtr::ReplayError::Malformed, [](vtr::Replay& r) { r.settings[22] = -0.1f; }},
      {"MultiplierPenaltyMin", vtr::ReplayError::Malformed, [](vtr::Replay& r) { r.settings[25] = 100.5f; }},
      {"SystemScreenWidth", vtr::ReplayError::Malformed, [](vtr::Replay& r) { r.settings[1] = std::int32_t{0}; }},
      {"SystemScreenHeight", vtr::ReplayError::Malformed,
       [](vtr::Replay& r) { r.settings[2] = std::int32_t{16385}; }},
      {"spawner clock", vtr::ReplayError::Malformed, [](vtr::Replay& r) { r.start.clocks.ordinaryTimer = 1.5f; }},
      {"spawner clock", vtr::ReplayError::Malformed, [](vtr::Replay& r) { r.start.clocks.bonusTimer = -0.01f; }},
      {"spawner clock", vtr::ReplayError::Malformed, [](vtr::Replay& r) {
         r.start.clocks.dualDelay = -1.0f;  // fires every frame, so it always stands at 0
         r.start.clocks.dualTimer = 0.5f;
       }},
      {"flags", vtr::ReplayError::Malformed, nullptr, [flags](auto& b) { b[flags] = 4; }},
      {"ShowSplash", vtr::ReplayError::Malformed, nullptr, [flags](auto& b) {
         // 49 bytes before the flags: three float settings after it, the
         // two generators and the spawner's six clocks.
         b[flags - 49] = 7;
       }},
      {"frame count", vtr::ReplayError::Malformed, [](vtr::Replay& r) { r.frameCount = 0; }},
      {"frame count", vtr::ReplayError::Malformed, [](vtr::Replay& r) { r.frameCount = vtr::kReplayMaxFrames + 1; }},
      {"frame count", vtr::ReplayError::Malformed, [](vtr::Replay& r) { r.frameCount += 1; }},
      {"frame count", vtr::ReplayError::Malformed, [](vtr::Replay& r) { r.frameCount -= 1; }},
      {"frame stream length", vtr::ReplayError::Malformed, nullptr, [](auto& b) { b.push_back(0x80); }},
      {"frame stream length", vtr::ReplayError::Malformed, nullptr, [stream](auto& b) { b[stream - 1] = 0x7F; }},
      {"frame tag", vtr::ReplayError::Malformed, nullptr, [stream](auto& b) { b[stream] = 0x40; }},
      {"frame tag", vtr::ReplayError::Malformed, nullptr, [stream](auto& b) { b[stream] = 0x21; }},
      {"frame time", vtr::ReplayError::Malformed, [](vtr::Replay& r) {
         r.frames = {0x20, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F};  // far below zero
         r.frameCount = 1;
       }},
      {"frame time", vtr::ReplayError::Malformed, [](vtr::Replay& r) {
         r.frames = {0x80, 0x80};  // quiet frames before any frame time
         r.frameCount = 2;
       }},
      {"frame time", vtr::ReplayError::Malformed, [](vtr::Replay& r) {
         r.frames = {0x20, 0xC2, 0x9A, 0x0C};  // 100,001 us: past the engine's longest frame
         r.frameCount = 1;
       }},
      {"frame time", vtr::ReplayError::Malformed, [](vtr::Replay& r) {
         r.frames = {0x01, 0x9C, 0xB3, 0xE6, 0xDC, 0x07};  // 0.1 + 1 ulp, as a raw float
         r.frameCount = 1;
       }},
      {"key code", vtr::ReplayError::Malformed, [](vtr::Replay& r) {
         r.frames = {0x08, 0x01, 0x20, 0x01, 0x20, 0x01};  // the same key twice
         r.frameCount = 1;
       }},
      {"key state", vtr::ReplayError::Malformed, [](vtr::Replay& r) {
         r.frames = {0x08, 0x00, 0x20, 0x09};
         r.frameCount = 1;
       }},
      {"key", vtr::ReplayError::Malformed, [](vtr::Replay& r) {
         r.frames = {0x10, 0x80, 0x08, 0x00, 0x00};  // key 512
         r.frameCount = 1;
       }},
      {"cursor", vtr::ReplayError::Malformed, [](vtr::Replay& r) {
         r.frames = {0x04, 0x00, 0x00, 0xC0, 0x7F, 0x00, 0x00, 0x00, 0x00};  // not a number
         r.frameCount = 1;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    std::vector<std::uint8_t> damaged = bytes;
    if (c.header) {
      vtr::Replay replay = good;
      c.header(replay);
      damaged = vtr::SerializeReplay(replay);
    } else {
      c.raw(damaged);
      vtr::SealReplayBytes(damaged);  // past the checksum, to the field itself
    }
    std::string error;
    EXPECT_EQ(Parse(damaged, &error), c.kind) << error;
    if (c.kind == vtr::ReplayError::Malformed) {
      EXPECT_EQ(error.rfind(c.field, 0), 0u) << error;
      EXPECT_LE(OffsetIn(error), damaged.size()) << error;
    } else {
      EXPECT_NE(error.find("version"), std::string::npos) << error;
    }
  }
}

// A refusal names the offset where the bad value begins, so that it can be
// found in the file: the byte itself, or the first byte of a number.
TEST(ReplayFile, ARefusalNamesTheOffsetWhereTheValueBegins) {
  const vtr::Replay good = ReplayOf(RandomFrames(7, 40));
  const std::vector<std::uint8_t> bytes = vtr::SerializeReplay(good);
  const std::size_t stream = bytes.size() - good.frames.size();
  const std::size_t flags = stream - 8 - 16 - 2;
  struct Case {
    const char* field;
    std::size_t at;  // in the file; for a stream of its own, in the stream
    std::function<void(std::vector<std::uint8_t>&)> raw = nullptr;
    std::vector<std::uint8_t> frames = {};  // one frame after a frame of 1 us
  };
  const std::vector<Case> cases = {
      {"flags", flags, [&](auto& b) { b[flags] = 4; }},
      {"ShowSplash", flags - 49, [&](auto& b) { b[flags - 49] = 7; }},
      {"frame count", stream - 8, [&](auto& b) { std::fill_n(b.begin() + stream - 8, 4, 0); }},
      {"frame stream length", stream - 4, [](auto& b) { b.push_back(0x80); }},
      {"frame tag", stream, [&](auto& b) { b[stream] = 0x40; }},
      {"frame time", 2, nullptr, {0x20, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F}},
      {"key code", 5, nullptr, {0x08, 0x01, 0x20, 0x01, 0x20, 0x01}},  // the same key twice
      {"key state", 4, nullptr, {0x08, 0x00, 0x20, 0x09}},
      {"cursor", 3, nullptr, {0x02, 0x00, 0x80, 0x9B, 0xEE, 0x02}},  // y: 3,000,000 pixels down
      {"character", 3, nullptr, {0x10, 0x00, 0x80, 0x80, 0x88, 0x01, 0x00}},  // 0x110000
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    std::vector<std::uint8_t> damaged = bytes;
    std::size_t at = c.at;
    if (c.raw) {
      c.raw(damaged);
      vtr::SealReplayBytes(damaged);
    } else {
      vtr::Replay replay = good;
      replay.frames = {0x20, 0x02};
      replay.frames.insert(replay.frames.end(), c.frames.begin(), c.frames.end());
      replay.frameCount = 2;
      damaged = vtr::SerializeReplay(replay);
      at += damaged.size() - replay.frames.size() + 1;  // the lead frame is two bytes
    }
    std::string error;
    EXPECT_EQ(Parse(damaged, &error), vtr::ReplayError::Malformed) << error;
    EXPECT_EQ(error.rfind(c.field, 0), 0u) << error;
    EXPECT_EQ(OffsetIn(error), at) << error;
  }
}

// The checksum comes before every field it covers: a byte changed anywhere
// behind it is refused by it, even one the round does not depend on (a
// cursor position after the last shot, the game's version text). A changed
// magic or version is refused by those.
TEST(ReplayFile, EveryTruncationAndEveryChangedByteIsRefused) {
  const vtr::Replay good = ReplayOf(RandomFrames(9, 60));
  const std::vector<std::uint8_t> bytes = vtr::SerializeReplay(good);
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    std::string error;
    ASSERT_EQ(Parse(bytes, &error, size), vtr::ReplayError::Malformed) << "cut at " << size;
    ASSERT_LE(OffsetIn(error), size) << error;
  }
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    for (const std::uint8_t flip : {0x01, 0x80}) {
      std::vector<std::uint8_t> changed = bytes;
      changed[at] ^= flip;
      std::string error;
      const vtr::ReplayError kind = Parse(changed, &error);
      const char* expected = at < 8 ? "magic at offset " : at < 10 ? "format version " : "checksum at offset 10: ";
      ASSERT_EQ(error.rfind(expected, 0), 0u) << "byte " << at << ": " << error;
      ASSERT_EQ(kind, at < 8 || at >= 10 ? vtr::ReplayError::Malformed : vtr::ReplayError::Unreproducible);
    }
  }
}

// A file of the first format, which had no checksum, is refused by its version.
TEST(ReplayFile, AFileOfTheOlderFormatIsRefusedByItsVersion) {
  const std::filesystem::path old = std::filesystem::path(VANTOR_SOURCE_DIR) / "tools/fuzz/corpus/replay/format-1.vtreplay";
  vtr::Replay read;
  std::string error;
  EXPECT_EQ(vtr::ReadReplayFile(old.string(), &read, &error), vtr::ReplayError::Unreproducible);
  EXPECT_EQ(error, "format version 1 is not one this game reads (it reads version 2)");
}

// Each bound of the reader at, just below and just above it. A stream of
// one quiet frame and then the frame under test: the bound of a change is
// the bound of the value.
TEST(ReplayFile, EveryBoundIsTakenAtItAndRefusedJustPastIt) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> frame;  // after a frame of 1 us; empty: the stream below is all
    const char* refusal;              // the field refused; nullptr: accepted
    std::vector<std::uint8_t> stream = {};
    std::uint32_t count = 0;
  };
  // A record of tag and zigzag varints.
  const auto rec = [](std::uint8_t tag, std::initializer_list<std::int64_t> values) {
    std::vector<std::uint8_t> v = {tag};
    for (const std::int64_t value : values) {
      const auto s = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
      std::uint32_t u = (static_cast<std::uint32_t>(s) << 1) ^ (s < 0 ? 0xFFFFFFFFu : 0u);
      for (; u >= 0x80; u >>= 7) v.push_back(static_cast<std::uint8_t>(u | 0x80));
      v.push_back(static_cast<std::uint8_t>(u));
    }
    return v;
  };
  const auto raw = [](float x, float y) {
    std::vector<std::uint8_t> v = {0x04};
    for (const float f : {x, y}) {
      const auto bits = std::bit_cast<std::uint32_t>(f);
      for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
    }
    return v;
  };
  const float wide = vtr::kReplayMaxCoordinate;
  std::vector<std::uint8_t> allKeys = {0x08, 0xFF};
  for (int k = 0; k < 256; ++k) allKeys.insert(allKeys.end(), {static_cast<std::uint8_t>(k), hge_record::kHeld});
  std::vector<std::uint8_t> runs(vtr::kReplayMaxFrames / 128, 0xFF);
  runs.front() = 0x20;  // the first frame's time, then the rest of its run
  runs.insert(runs.begin() + 1, {0x02, 0xFE});
  std::vector<std::uint8_t> runsAndOne = runs;
  runsAndOne.push_back(0x80);  // a run of one quiet frame
  const std::vector<Case> cases = {
      // After a frame of 1 us (float bits 0x358637BD), the engine's longest
      // frame is taken and anything past it, or a frame of no time, refused.
      {"100 ms in microseconds", rec(0x20, {99999}), nullptr},
      {"100 ms and 1 us", rec(0x20, {100000}), "frame time"},
      {"1 us again", rec(0x20, {0}), nullptr},
      {"0 us", rec(0x20, {-1}), "frame time"},
      {"-1 us", rec(0x20, {-2}), "frame time"},
      {"100 ms as a float", rec(0x01, {0x3DCCCCCD - 0x358637BD}), nullptr},
      {"the float below 100 ms", rec(0x01, {0x3DCCCCCC - 0x358637BD}), nullptr},
      {"the float above 100 ms", rec(0x01, {0x3DCCCCCE - 0x358637BD}), "frame time"},
      {"the float 0", rec(0x01, {-0x358637BD}), "frame time"},
      {"the widest varint", {0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F}, "frame time"},  // -2^31: the sign flips
      {"one bit wider", {0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x1F}, "frame time"},
      {"a varint of six bytes", {0x01, 0x80, 0x80, 0x80, 0x80, 0x80, 0x00}, "frame time"},
      {"cursor at the bound", raw(wide, -wide), nullptr},
      {"cursor past it", raw(std::nextafter(wide, 2 * wide), 0.0f), "cursor"},
      {"a step to the bound", rec(0x02, {1000000, -1000000}), nullptr},
      {"a step past it", rec(0x02, {0, -1000001}), "cursor"},
      {"key 255", rec(0x10, {255, 0, 0}), nullptr},
      {"key 256", rec(0x10, {256, 0, 0}), "key"},
      {"key -1", rec(0x10, {-1, 0, 0}), "key"},
      {"character 0x10FFFF", rec(0x10, {0, 0x10FFFF, 0}), nullptr},
      {"character 0x110000", rec(0x10, {0, 0x110000, 0}), "character"},
      {"wheel -1000000", rec(0x10, {0, 0, -1000000}), nullptr},
      {"wheel -1000001", rec(0x10, {0, 0, -1000001}), "wheel"},
      {"wheel 1000001", rec(0x10, {0, 0, 1000001}), "wheel"},
      {"all 256 keys", allKeys, nullptr},
      {"a run of 128", {}, nullptr, {0x20, 0x02, 0xFF}, 129},
      {"a run of 128 counted as 130", {}, "frame count", {0x20, 0x02, 0xFF}, 130},
      {"the most frames", {}, nullptr, runs, vtr::kReplayMaxFrames},
      {"one frame more", {}, "frame count", runs, vtr::kReplayMaxFrames + 1},
      {"one frame more, in the stream too", {}, "frame count", runsAndOne, vtr::kReplayMaxFrames + 1},
      {"one frame", {}, nullptr, {0x20, 0x02}, 1},
      {"one frame of no time", {}, "frame time", {0x80}, 1},
      {"no frame", {}, "frame count", {}, 0},
  };
  const vtr::Replay good = ReplayOf(RandomFrames(3, 1));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    vtr::Replay replay = good;
    replay.frames = c.frame.empty() ? c.stream : std::vector<std::uint8_t>{0x20, 0x02};
    replay.frames.insert(replay.frames.end(), c.frame.begin(), c.frame.end());
    replay.frameCount = c.frame.empty() ? c.count : 2;
    std::string error;
    const vtr::ReplayError kind = Parse(vtr::SerializeReplay(replay), &error);
    if (c.refusal == nullptr) {
      EXPECT_EQ(kind, vtr::ReplayError::None) << error;
    } else {
      EXPECT_EQ(kind, vtr::ReplayError::Malformed);
      EXPECT_EQ(error.rfind(std::string(c.refusal) + " at offset ", 0), 0u) << error;
    }
  }
}

// The file-size bound: a file of exactly kReplayMaxFileBytes is read whole,
// one byte more is refused unread.
TEST(ReplayFile, TheFileSizeBoundHoldsAtItsLastByte) {
  vtr::Replay replay = ReplayOf(RandomFrames(3, 1));
  replay.frames.clear();
  const std::size_t header = vtr::SerializeReplay(replay).size();
  std::vector<std::uint8_t> keys = {0x08, 0xFF};  // every key changes: 514 bytes a frame
  for (int k = 0; k < 256; ++k) keys.insert(keys.end(), {static_cast<std::uint8_t>(k), 0});
  const std::size_t room = vtr::kReplayMaxFileBytes - header;
  replay.frames = {0x20, 0x02};  // a first frame of 1 us
  for (std::size_t i = 0; i < (room - 2) / keys.size(); ++i) {
    for (std::size_t k = 1; k < 256; k += 1) keys[2 + 2 * k + 1] = static_cast<std::uint8_t>(i % 2);
    keys[3] = static_cast<std::uint8_t>(i % 2);
    replay.frames.insert(replay.frames.end(), keys.begin(), keys.end());
  }
  replay.frames.resize(room, 0x00);  // one-byte records of a frame with nothing new
  replay.frameCount = static_cast<std::uint32_t>(1 + (room - 2) / keys.size() + (room - 2) % keys.size());
  testing_support::TempDir dir;
  ASSERT_TRUE(vtr::WriteReplayFile("largest.vtreplay", replay));
  ASSERT_EQ(std::filesystem::file_size("largest.vtreplay"), vtr::kReplayMaxFileBytes);
  vtr::Replay read;
  std::string error;
  EXPECT_EQ(vtr::ReadReplayFile("largest.vtreplay", &read, &error), vtr::ReplayError::None) << error;
  replay.frames.push_back(0x00);
  ++replay.frameCount;
  ASSERT_TRUE(vtr::WriteReplayFile("larger.vtreplay", replay));
  EXPECT_EQ(vtr::ReadReplayFile("larger.vtreplay", &read, &error), vtr::ReplayError::Malformed);
  EXPECT_EQ(error, "file at offset 0: larger than 16777216 bytes");
  const std::vector<std::uint8_t> bytes = vtr::SerializeReplay(replay);
  EXPECT_EQ(Parse(bytes, &error), vtr::ReplayError::Malformed);
  EXPECT_EQ(error, "file at offset 0: larger than 16777216 bytes");
}

TEST(ReplayFile, AFileBeyondTheBoundIsRefusedWithoutReadingIt) {
  testing_support::TempDir dir;
  std::ofstream("huge.vtreplay").close();
  std::filesystem::resize_file("huge.vtreplay", vtr::kReplayMaxFileBytes + 1);
  vtr::Replay read;
  std::string error;
  EXPECT_EQ(vtr::ReadReplayFile("huge.vtreplay", &read, &error), vtr::ReplayError::Malformed);
  EXPECT_EQ(error.rfind("file at offset 0", 0), 0u) << error;
  EXPECT_EQ(vtr::ReadReplayFile("missing.vtreplay", &read, &error), vtr::ReplayError::Unreadable);
}

// What is not a regular file is refused at once: a FIFO without a writer
// must not hold the game waiting, a folder is no replay of any size.
TEST(ReplayFile, AFolderOrAFifoIsRefusedAtOnce) {
  testing_support::TempDir dir;
  std::filesystem::create_directory("folder.vtreplay");
  ASSERT_EQ(::mkfifo("fifo.vtreplay", 0600), 0);
  for (const char* name : {"folder.vtreplay", "fifo.vtreplay"}) {
    SCOPED_TRACE(name);
    vtr::Replay read;
    std::string error;
    EXPECT_EQ(vtr::ReadReplayFile(name, &read, &error), vtr::ReplayError::Unreadable);
    EXPECT_EQ(error, std::string(name) + " is not a regular file");
  }
}

TEST(ReplayFile, TheFuzzersSeedCorpusIsReadOrRefusedCleanly) {
  const std::filesystem::path corpus = std::filesystem::path(VANTOR_SOURCE_DIR) / "tools/fuzz/corpus/replay";
  int refused = 0;
  int read = 0;
  for (const auto& file : std::filesystem::directory_iterator(corpus)) {
    SCOPED_TRACE(file.path().filename().string());
    vtr::Replay replay;
    std::string error;
    if (vtr::ReadReplayFile(file.path().string(), &replay, &error) == vtr::ReplayError::None) {
      ++read;
    } else {
      ++refused;
      EXPECT_FALSE(error.empty());
    }
  }
  EXPECT_GE(read, 1);
  EXPECT_GE(refused, 4);
}
