#include "server/round_request.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <vector>

#include "config/online_settings.h"
#include "helpers/hex.h"
#include "platform/hge_record.h"
#include "replay/frame_codec.h"
#include "server/digest.h"

namespace vtr::server {

namespace {

constexpr std::size_t kMinKeyBytes = 16;
constexpr std::size_t kMaxKeyBytes = 256;

}  // namespace

// "NAME:KEY": a name of letters, digits, spaces and _-. (no space at either
// end), a key of printable characters. False with the reason in error.
bool ParsePlayer(const std::string& header, std::string* name, std::string* key, std::string* error) {
  const std::size_t colon = header.find(':');
  if (colon == std::string::npos) {
    *error = "X-Vantor-Player must be NAME:KEY";
    return false;
  }
  *name = header.substr(0, colon);
  *key = header.substr(colon + 1);
  // The game's own rule for the names it lets a player take.
  if (!OnlineNameAllowed(*name)) {
    *error = "a player's name is 1 to 32 letters, digits, spaces and _-. (no space at either end)";
    return false;
  }
  if (key->size() < kMinKeyBytes || key->size() > kMaxKeyBytes ||
      !std::all_of(key->begin(), key->end(), [](char c) { return c > ' ' && c < 127; })) {
    *error = "a player's key is 16 to 256 printable characters without spaces";
    return false;
  }
  return true;
}

// "YYYY-MM-DD" of a real day.
bool ParseDay(const std::string& text, DailyDate* date) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  int year = 0;
  unsigned month = 0, day = 0;
  const char* s = text.data();
  if (std::from_chars(s, s + 4, year).ptr != s + 4 || std::from_chars(s + 5, s + 7, month).ptr != s + 7 ||
      std::from_chars(s + 8, s + 10, day).ptr != s + 10) {
    return false;
  }
  const std::chrono::year_month_day ymd{std::chrono::year{year}, std::chrono::month{month}, std::chrono::day{day}};
  if (!ymd.ok()) return false;
  *date = {year, month, day};
  return true;
}

// A whole decimal number in [low, high].
bool ParseNumber(const std::string& text, std::int64_t low, std::int64_t high, std::int64_t* value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, *value);
  return !text.empty() && ec == std::errc() && ptr == end && *value >= low && *value <= high;
}

// Why a well-formed replay is not today's fair daily round; empty when it is.
std::string NotTodaysRound(const Replay& replay, const DailyDate& today) {
  if (!replay.start.daily) return "not a daily round";
  const std::vector<std::string> changed = SettingsOtherThanDefaults(replay.settings);
  if (!changed.empty()) {
    std::string reason = "played with settings other than the defaults (";
    for (std::size_t i = 0; i < changed.size(); ++i) reason += (i > 0 ? ", " : "") + changed[i];
    return reason + ")";
  }
  if (!IsDailyRoundOf(replay, today)) return "not today's round (" + DailyDateText(today) + "): another day's sky";
  return "";
}

FrameTimes TimesOf(const Replay& replay) {
  FrameTimes times;
  FrameDecoder frames(replay.frames);
  float dt = 0.0f;
  hge_record::InputFrame input;
  std::string error;
  while (frames.Next(&dt, &input, &error)) {
    times.seconds += dt;
    // The reader holds dt within (0, 0.1]: the product is in range.
    times.shortestMicros = std::min(times.shortestMicros, static_cast<std::uint32_t>(std::lround(dt * 1.0e6)));
  }
  return times;
}

bool TokenShaped(const std::string& token) { return IsLowerHex(token, 2 * kTokenBytes); }

bool StampedHash(std::string_view body, std::string* hash) {
  std::string_view digits = body;
  while (!digits.empty() && (digits.back() == '\n' || digits.back() == '\r')) digits.remove_suffix(1);
  if (IsLowerHex(digits, kSha256Digits)) {
    *hash = digits;
    return true;
  }
  // A round's file begins with the replay's magic (so it is never 64 hex
  // digits); what it holds is checked when the round is sent.
  if (body.size() > kMaxRoundBytes || !body.starts_with(std::string_view(kReplayMagic, sizeof kReplayMagic))) {
    return false;
  }
  *hash = Sha256Hex(body.data(), body.size());
  return !hash->empty();
}

Refusal ReadPlayer(const std::string* header, std::string* name, std::string* key) {
  if (!header) return {400, "no X-Vantor-Player header (NAME:KEY)"};
  std::string reason;
  if (!ParsePlayer(*header, name, key, &reason)) return {400, reason};
  return {};
}

Refusal ReadRoundRequest(const std::string* token, std::string_view body, const DailyDate& today, RoundRequest* round) {
  if (!token) return {400, "no X-Vantor-Token header: POST /api/v1/daily/token gives one as the round starts"};
  if (!TokenShaped(*token)) return {400, "X-Vantor-Token must be the 32 hex digits of a round token"};
  if (body.size() > kMaxRoundBytes) return {413, "a round's file is at most " + std::to_string(kMaxRoundBytes) + " bytes"};
  round->token = *token;
  std::string reason;
  switch (ParseReplay(reinterpret_cast<const std::uint8_t*>(body.data()), body.size(), &round->replay, &reason)) {
    case ReplayError::None:
      break;
    case ReplayError::Unreproducible:
      return {422, reason};
    default:
      return {400, reason};
  }
  reason = NotTodaysRound(round->replay, today);
  if (!reason.empty()) return {422, reason};
  round->times = TimesOf(round->replay);
  if (round->times.shortestMicros < kMinDailyFrameMicros) {
    return {422, "a frame of " + std::to_string(round->times.shortestMicros) + " us: the game records none under " +
                     std::to_string(kMinDailyFrameMicros) + " us"};
  }
  return {};
}

Refusal CheckRoundTime(const FrameTimes& times, std::int64_t issued, std::int64_t end, std::int64_t slack,
                       bool toItsEnd) {
  const std::int64_t wall = end - issued;
  const auto recorded = static_cast<std::int64_t>(std::floor(times.seconds));
  const std::string timing = "the round's frames last " + std::to_string(recorded) + " s, but " + std::to_string(wall) +
                             " s passed between its token and " + (toItsEnd ? "its end" : "its submission");
  if (recorded + slack < wall) return {422, timing + " (its clock ran slow)"};
  if (recorded > wall + slack) return {422, timing + " (faster than it can be played)"};
  return {};
}

Refusal ReadTableQuery(const std::string* date, const std::string* limit, const DailyDate& today, std::string* day,
                       std::int64_t* lines) {
  DailyDate asked = today;
  if (date && !ParseDay(*date, &asked)) return {400, "date must be a day written YYYY-MM-DD"};
  *lines = kDefaultTableLimit;
  if (limit && !ParseNumber(*limit, 1, kMaxTableLimit, lines)) {
    return {400, "limit must be a whole number from 1 to " + std::to_string(kMaxTableLimit)};
  }
  *day = DailyDateText(asked);
  return {};
}

}  // namespace vtr::server
