#include "replay/daily.h"

#include <cstdio>

#include "config/settings.h"

namespace vtr {
namespace {

constexpr std::uint64_t kDailySalt = 0x5654524441494C59ull;  // "VTRDAILY"

std::uint64_t SplitMix64(std::uint64_t& state) {
  state += 0x9E3779B97F4A7C15ull;
  std::uint64_t z = state;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace

// Howard Hinnant's days-to-civil, on whole days since 1970-01-01.
DailyDate DailyDateAt(std::int64_t unixSeconds) {
  std::int64_t days = unixSeconds / 86400;
  if (unixSeconds % 86400 < 0) --days;  // towards the earlier day
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t dayOfEra = z - era * 146097;
  const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t mp = (5 * dayOfYear + 2) / 153;
  DailyDate date;
  date.day = static_cast<std::uint32_t>(dayOfYear - (153 * mp + 2) / 5 + 1);
  date.month = static_cast<std::uint32_t>(mp < 10 ? mp + 3 : mp - 9);
  date.year = static_cast<std::int32_t>(yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0));
  return date;
}

std::string DailyDateText(const DailyDate& date) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year), date.month, date.day);
  return text;
}

RoundStart DailyRoundStart(const DailyDate& date) {
  // The date as a number; wrapping through unsigned for years no one plays.
  const std::uint64_t number = static_cast<std::uint64_t>(static_cast<std::int64_t>(date.year)) * 10000u +
                               date.month * 100u + date.day;
  std::uint64_t state = number ^ kDailySalt;
  RoundStart start;
  start.launchState = static_cast<std::uint32_t>(SplitMix64(state));
  start.engineRandomState = SplitMix64(state);
  const Settings& defaults = Settings::Defaults();
  start.clocks = {0.0f, defaults.RocketSpawnDelay, 0.0f, defaults.BonusRocketSpawnDelay,
                  0.0f, defaults.DualRocketSpawnDelay};
  start.daily = true;
  return start;
}

bool IsDailyRoundOf(const Replay& replay, const DailyDate& date) {
  const RoundStart expected = DailyRoundStart(date);
  const RoundStart& start = replay.start;
  return start.daily && start.launchState == expected.launchState &&
         start.engineRandomState == expected.engineRandomState && start.clocks == expected.clocks &&
         SettingsOtherThanDefaults(replay.settings).empty();
}

}  // namespace vtr
