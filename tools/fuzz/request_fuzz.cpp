// The world table's checks of a request, given any bytes: a round sent to
// POST /api/v1/rounds (its player header, its token and its file) and the
// date and limit of GET /api/v1/table, as the server reads them before
// anything costly. The input:
//
//   byte 0      which parts are sent: bit 0 the player header, bit 1 the
//               token, bit 2 the date, bit 3 the limit
//   four lines  the player header, the token, the date, the limit
//   the rest    the body, a round's file; tried also with its checksum made
//               right, so the fuzzer's changes reach the fields behind it
//
// "Today" is 8 December 2026, the day of the daily round in the corpus. A
// refusal must be 400, 413 or 422 with one line of reason; what is taken
// must be what the table promises: today's daily round at the defaults,
// within the size limit, with no frame shorter than the game records, and a
// file its reading writes back byte for byte (the stored file is the read
// one); a table query gives 1 to 1000 lines of the day asked.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "replay/daily.h"
#include "replay/replay_file.h"
#include "server/round_request.h"
#include "tools/fuzz/fuzz_support.h"

namespace {

using namespace vtr::server;

const vtr::DailyDate kToday{2026, 12, 8};

void CheckRefusal(const Refusal& refusal) {
  if (refusal.status != 400 && refusal.status != 413 && refusal.status != 422) fuzz::Fail("a refusal of another status");
  if (refusal.reason.empty() || refusal.reason.find_first_of("\r\n") != std::string::npos) {
    fuzz::Fail("a refusal's reason is not one line");
  }
}

void CheckRound(const std::string* token, std::string_view body) {
  RoundRequest round;
  if (const Refusal refusal = ReadRoundRequest(token, body, kToday, &round)) return CheckRefusal(refusal);
  if (!token || round.token != *token || !TokenShaped(round.token)) fuzz::Fail("a round taken without its token");
  if (body.size() > kMaxRoundBytes) fuzz::Fail("a file over the limit was taken");
  if (!vtr::IsDailyRoundOf(round.replay, kToday) || !vtr::SettingsOtherThanDefaults(round.replay.settings).empty()) {
    fuzz::Fail("a round other than today's at the defaults was taken");
  }
  if (round.times.shortestMicros < kMinDailyFrameMicros) fuzz::Fail("a frame shorter than the game records was taken");
  const std::vector<std::uint8_t> written = vtr::SerializeReplay(round.replay);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(body.data());
  if (!std::equal(written.begin(), written.end(), bytes, bytes + body.size())) {
    fuzz::Fail("a file taken is not what its reading writes back");
  }
  // Both ways of missing the token's time, and a fit.
  const std::int64_t recorded = static_cast<std::int64_t>(round.times.seconds);
  for (const std::int64_t wall : {recorded - 61, recorded, recorded + 61}) {
    const Refusal timing = CheckRoundTime(round.times, 1796688000, 1796688000 + wall, 60);
    if (timing) CheckRefusal(timing);
    if (static_cast<bool>(timing) != (wall != recorded)) fuzz::Fail("the token's time judged wrong");
  }
}

void CheckPlayer(const std::string* header) {
  std::string name, key;
  if (const Refusal refusal = ReadPlayer(header, &name, &key)) return CheckRefusal(refusal);
  if (!header || name + ":" + key != *header) fuzz::Fail("a player header misread");
  if (name.empty() || name.size() > 32 || name.find(':') != std::string::npos || key.size() < 16 || key.size() > 256) {
    fuzz::Fail("a name or key out of its bounds was taken");
  }
}

void CheckTable(const std::string* date, const std::string* limit) {
  std::string day;
  std::int64_t lines = 0;
  if (const Refusal refusal = ReadTableQuery(date, limit, kToday, &day, &lines)) return CheckRefusal(refusal);
  if (lines < 1 || lines > kMaxTableLimit) fuzz::Fail("a table of a count out of bounds");
  if (day != (date ? *date : vtr::DailyDateText(kToday))) fuzz::Fail("a table of another day than asked");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t sent = data[0];
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string parts[4];
  for (std::string& part : parts) {
    const std::size_t end = rest.find('\n');
    part = std::string(rest.substr(0, end));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  }
  auto given = [&](int bit) { return (sent >> bit & 1) != 0 ? &parts[bit] : nullptr; };
  CheckPlayer(given(0));
  CheckTable(given(2), given(3));
  CheckRound(given(1), rest);
  if (rest.size() >= vtr::kReplayChecksumEnd && rest.size() <= kMaxRoundBytes) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(rest.data());
    std::vector<std::uint8_t> sealed(bytes, bytes + rest.size());
    vtr::SealReplayBytes(sealed);
    if (!std::equal(sealed.begin(), sealed.end(), bytes)) {
      CheckRound(given(1), std::string_view(reinterpret_cast<const char*>(sealed.data()), sealed.size()));
    }
  }
  return 0;
}
