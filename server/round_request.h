// What a request to the world table says, read and checked before anything
// costly is done for it: the player's header, a round's token and file (is it
// today's fair daily round, with frames the game could have recorded?), how
// its recorded time stands to the time since its token, and the table's query.
// Pure functions of the request's text: no database, no network.
//
// A refusal is the HTTP status and one line saying why, in the order the
// table answers them: 400 what is malformed, 413 a file over the limit, 422 a
// well-formed round that is not today's fair one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "replay/daily.h"
#include "replay/replay_file.h"

namespace vtr::server {

inline constexpr std::size_t kMaxRoundBytes = 64 * 1024;
inline constexpr std::int64_t kDefaultTableLimit = 100;
inline constexpr std::int64_t kMaxTableLimit = 1000;
// The game never records a frame shorter than this (its frame limiter holds
// a frame to a display's refresh period less a millisecond, half of it with
// vsync): a daily round with a shorter one is refused before it is played.
inline constexpr std::uint32_t kMinDailyFrameMicros = 250;
// A round token's random bytes; it travels as twice as many hex digits.
inline constexpr std::size_t kTokenBytes = 16;

// Status 0: the request goes on.
struct Refusal {
  int status = 0;
  std::string reason;  // one line
  explicit operator bool() const { return status != 0; }
};

// X-Vantor-Player, NAME:KEY (header nullptr: not sent).
Refusal ReadPlayer(const std::string* header, std::string* name, std::string* key);

// A round's recorded time (every frame, pauses included) and its shortest
// frame, in whole microseconds.
struct FrameTimes {
  double seconds = 0.0;
  std::uint32_t shortestMicros = UINT32_MAX;
};

// What a POST /api/v1/rounds carries, once read.
struct RoundRequest {
  std::string token;
  Replay replay;
  FrameTimes times;
};
// The X-Vantor-Token header (nullptr: not sent) and the body: a token's
// shape, the file's size and form, today's daily round at the defaults, no
// frame shorter than the game records.
Refusal ReadRoundRequest(const std::string* token, std::string_view body, const DailyDate& today, RoundRequest* round);

// The round's recorded time against the wall time between its token (issued)
// and end: refused when the two stand more than slack seconds apart.
// end: the round's stamped end when toItsEnd, otherwise the submission's time.
Refusal CheckRoundTime(const FrameTimes& times, std::int64_t issued, std::int64_t end, std::int64_t slack,
                       bool toItsEnd = false);

// GET /api/v1/table's date and limit (nullptr: not given): the day as
// YYYY-MM-DD (today by default) and the lines (kDefaultTableLimit by default).
Refusal ReadTableQuery(const std::string* date, const std::string* limit, const DailyDate& today, std::string* day,
                       std::int64_t* lines);

// The parts, for the server's other requests.
// "NAME:KEY": false with the reason in error.
bool ParsePlayer(const std::string& header, std::string* name, std::string* key, std::string* error);
// "YYYY-MM-DD" of a real day.
bool ParseDay(const std::string& text, DailyDate* date);
// A whole decimal number in [low, high].
bool ParseNumber(const std::string& text, std::int64_t low, std::int64_t high, std::int64_t* value);
// 32 lower-case hex digits.
bool TokenShaped(const std::string& token);
// The SHA-256 an end stamp names, from its body: the round's file itself
// (at most kMaxRoundBytes), or its SHA-256 as kSha256Digits lower-case hex
// digits, with or without a line's end. False for anything else.
inline constexpr std::size_t kSha256Digits = 64;
bool StampedHash(std::string_view body, std::string* hash);
// Why a well-formed replay is not today's fair daily round; empty when it is.
std::string NotTodaysRound(const Replay& replay, const DailyDate& today);
FrameTimes TimesOf(const Replay& replay);

}  // namespace vtr::server
