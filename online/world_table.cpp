#include "online/world_table.h"

#include <cstdint>
#include <limits>
#include <utility>

#include <nlohmann/json.hpp>

#include "config/online_settings.h"
#include "online/http_exchange.h"
#include "online/job_line.h"

namespace vtr::online {

namespace {

constexpr long kTimeoutSeconds = 10;
constexpr std::size_t kReasonLength = 90;

// Printable letters only, cut to a line.
std::string Printable(const std::string& text) {
  std::string line;
  for (const char c : text) {
    if (line.size() >= kReasonLength) break;
    line += c >= ' ' && c <= '~' ? c : '?';
  }
  return line;
}

// Deeper than a table's object, array and line is no table: refused before
// the JSON reader sees it, so no answer can nest it deep.
constexpr int kMaxNesting = 4;
constexpr std::int64_t kMaxRank = 1'000'000'000;
constexpr std::int64_t kMaxId = 999'999'999'999'999'999;  // the ids a replay's path takes
constexpr std::int64_t kMaxCombo = 1'000'000;
constexpr std::int64_t kMaxPauses = 10'000'000;

bool NestsAtMost(const std::string& body, int most) {
  int depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (inString) {
      if (c == '\\') ++i;
      else if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > most) return false;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return true;
}

}  // namespace

std::string FailureReason(long status, const std::string& body, const std::string& error) {
  if (status == 0) return Printable(error.empty() ? "no answer" : error);
  const nlohmann::json answer = NestsAtMost(body, 1) ? nlohmann::json::parse(body, nullptr, false) : nullptr;
  if (answer.is_object() && answer.contains("error") && answer["error"].is_string()) {
    return Printable(answer["error"].get<std::string>() + " (" + std::to_string(status) + ")");
  }
  return "the server answered " + std::to_string(status);
}

namespace {

using nlohmann::json;

// A whole number from lowest to highest, however the reader stored it.
bool Whole(const json& line, const char* field, std::int64_t lowest, std::int64_t highest, std::int64_t* out) {
  const auto found = line.find(field);
  if (found == line.end()) return false;
  if (found->is_number_unsigned()) {
    const std::uint64_t value = found->get<std::uint64_t>();
    if (value > static_cast<std::uint64_t>(highest)) return false;
    *out = static_cast<std::int64_t>(value);
  } else if (found->is_number_integer()) {
    *out = found->get<std::int64_t>();
  } else {
    return false;
  }
  return *out >= lowest && *out <= highest;
}

bool Fail(std::string* reason, std::string text) {
  *reason = std::move(text);
  return false;
}

}  // namespace

bool ParseWorldTable(const std::string& body, const std::string& date, std::size_t maxLines,
                     std::vector<WorldLine>* lines, std::string* reason) {
  lines->clear();
  if (!NestsAtMost(body, kMaxNesting)) return Fail(reason, "the server's answer is no table");
  const json answer = json::parse(body, nullptr, false);
  if (!answer.is_object()) return Fail(reason, "the server's answer is no table");
  const auto day = answer.find("date");
  if (day == answer.end() || !day->is_string() || day->get<std::string>() != date) {
    return Fail(reason, "the server's table is not today's (" + date + ")");
  }
  const auto rounds = answer.find("rounds");
  if (rounds == answer.end() || !rounds->is_array()) return Fail(reason, "the server's table has no lines");
  if (rounds->size() > maxLines) return Fail(reason, "the server's table has more lines than asked for");
  std::vector<WorldLine> read;
  for (const json& item : *rounds) {
    const std::string at = "line " + std::to_string(read.size() + 1) + " of the server's table";
    if (!item.is_object()) return Fail(reason, at + " is no line");
    WorldLine line;
    std::int64_t score = 0, combo = 0, pauses = 0;
    if (!Whole(item, "rank", 1, kMaxRank, &line.rank) ||
        !Whole(item, "score", 0, std::numeric_limits<std::int32_t>::max(), &score) ||
        !Whole(item, "combo", 0, kMaxCombo, &combo) || !Whole(item, "pauses", 0, kMaxPauses, &pauses) ||
        !Whole(item, "id", 1, kMaxId, &line.id)) {
      return Fail(reason, at + " has a number out of range");
    }
    const auto name = item.find("name");
    if (name == item.end() || !name->is_string() || !OnlineNameAllowed(name->get<std::string>())) {
      return Fail(reason, at + " has a name no player can have");
    }
    line.name = name->get<std::string>();
    line.score = static_cast<std::int32_t>(score);
    line.combo = static_cast<std::uint32_t>(combo);
    line.pauses = static_cast<std::uint32_t>(pauses);
    if (!read.empty() && (line.rank <= read.back().rank || line.score > read.back().score)) {
      return Fail(reason, at + " is out of order");
    }
    read.push_back(std::move(line));
  }
  *lines = std::move(read);
  return true;
}

struct WorldTable::Shared : std::enable_shared_from_this<Shared> {
  explicit Shared(std::string address) : server(std::move(address)) {}

  // The jobs: each fetches what was asked, unless something newer was
  // asked meanwhile.
  void GetTable(std::uint64_t asked, const JobLine::Done& done);
  void GetRound(std::uint64_t asked, const JobLine::Done& done);

  const std::string server;
  JobLine jobs;
  mutable std::mutex mutex;

  // tableAsked counts the requests, so an answer to an older one is dropped.
  std::uint64_t tableAsked = 0;
  std::string date;
  std::size_t lineCount = 0;
  WorldPage page;

  std::uint64_t roundAsked = 0;
  std::int64_t roundId = 0;
  RoundFetch round = RoundFetch::None;
  std::vector<std::uint8_t> roundBytes;
  std::string roundReason;
};

void WorldTable::Shared::GetTable(std::uint64_t asked, const JobLine::Done& done) {
  HttpRequest request;
  request.timeoutSeconds = kTimeoutSeconds;
  std::string day;
  std::size_t count = 0;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (asked != tableAsked) return done();
    day = date;
    count = lineCount;
  }
  request.url = server + "/api/v1/table?date=" + day + "&limit=" + std::to_string(count);
  StartExchange(request, [self = shared_from_this(), asked, day, count, done](const HttpAnswer& answer) {
    std::vector<WorldLine> lines;
    std::string reason;
    bool ok = answer.status == 200;
    if (!ok) {
      reason = FailureReason(answer.status, answer.body, answer.error);
    } else {
      ok = ParseWorldTable(answer.body, day, count, &lines, &reason);
    }
    {
      std::lock_guard<std::mutex> lock(self->mutex);
      if (asked == self->tableAsked) {
        self->page.status = ok ? WorldPage::Status::Ready : WorldPage::Status::Failed;
        self->page.lines = std::move(lines);
        self->page.reason = std::move(reason);
      }
    }
    done();
  });
}

void WorldTable::Shared::GetRound(std::uint64_t asked, const JobLine::Done& done) {
  HttpRequest request;
  request.timeoutSeconds = kTimeoutSeconds;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (asked != roundAsked) return done();
    request.url = server + "/api/v1/rounds/" + std::to_string(roundId) + "/replay";
  }
  StartExchange(request, [self = shared_from_this(), asked, done](const HttpAnswer& answer) {
    std::string reason;
    bool ok = answer.status == 200;
    if (!ok) {
      reason = FailureReason(answer.status, answer.body, answer.error);
    } else if (answer.body.size() > kMaxReplayBytes) {
      ok = false;
      reason = "the round's file is larger than a round's can be";
    }
    {
      std::lock_guard<std::mutex> lock(self->mutex);
      if (asked == self->roundAsked) {
        self->round = ok ? RoundFetch::Ready : RoundFetch::Failed;
        if (ok) self->roundBytes.assign(answer.body.begin(), answer.body.end());
        self->roundReason = std::move(reason);
      }
    }
    done();
  });
}

WorldTable::WorldTable(std::string server) : shared_(std::make_shared<Shared>(std::move(server))) {}

// An exchange still waiting on the network holds its own share of the state
// and ends once its time is up: closing the game never waits for a server.
WorldTable::~WorldTable() { shared_->jobs.Stop(std::chrono::milliseconds(0)); }

void WorldTable::FetchTable(const std::string& date, std::size_t lines) {
  std::uint64_t asked = 0;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    asked = ++shared_->tableAsked;
    shared_->date = date;
    shared_->lineCount = lines;
    shared_->page.status = WorldPage::Status::Loading;
    shared_->page.lines.clear();
    shared_->page.reason.clear();
  }
  shared_->jobs.Post([shared = shared_, asked](const JobLine::Done& done) { shared->GetTable(asked, done); });
}

void WorldTable::FetchRound(std::int64_t id) {
  std::uint64_t asked = 0;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    asked = ++shared_->roundAsked;
    shared_->roundId = id;
    shared_->round = RoundFetch::Loading;
    shared_->roundBytes.clear();
    shared_->roundReason.clear();
  }
  shared_->jobs.Post([shared = shared_, asked](const JobLine::Done& done) { shared->GetRound(asked, done); });
}

WorldPage WorldTable::Page() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  WorldPage page = shared_->page;
  page.fetchingRound = shared_->round == RoundFetch::Loading;
  return page;
}

WorldTable::RoundFetch WorldTable::TakeRound(std::vector<std::uint8_t>* bytes, std::string* reason) {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  const RoundFetch state = shared_->round;
  if (state == RoundFetch::Ready || state == RoundFetch::Failed) {
    *bytes = std::move(shared_->roundBytes);
    *reason = std::move(shared_->roundReason);
    shared_->round = RoundFetch::None;
  }
  return state;
}

}  // namespace vtr::online
