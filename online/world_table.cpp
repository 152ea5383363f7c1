#include "online/world_table.h"

#include <cstdint>
#include <limits>
#include <utility>

#include "config/online_settings.h"
#include "online/http_exchange.h"

#ifndef __EMSCRIPTEN__
#include <nlohmann/json.hpp>
#endif

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

#ifndef __EMSCRIPTEN__
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

#endif

}  // namespace

std::string FailureReason(long status, const std::string& body, const std::string& error) {
  if (status == 0) return Printable(error.empty() ? "no answer" : error);
#ifndef __EMSCRIPTEN__
  const nlohmann::json answer = NestsAtMost(body, 1) ? nlohmann::json::parse(body, nullptr, false) : nullptr;
  if (answer.is_object() && answer.contains("error") && answer["error"].is_string()) {
    return Printable(answer["error"].get<std::string>() + " (" + std::to_string(status) + ")");
  }
#else
  (void)body;
#endif
  return "the server answered " + std::to_string(status);
}

#ifdef __EMSCRIPTEN__

bool ParseWorldTable(const std::string&, const std::string&, std::size_t, std::vector<WorldLine>*,
                     std::string* reason) {
  *reason = "the browser build reads no world table";
  return false;
}

#else

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

#endif

struct WorldTable::Shared {
  explicit Shared(std::string address) : server(std::move(address)) {}

  const std::string server;
  mutable std::mutex mutex;
  std::condition_variable wake;
  bool closed = false;
  bool busy = false;  // an exchange is under way

  // The table: a request waits while tableWanted; tableAsked counts the
  // requests, so an answer to an older one is dropped.
  bool tableWanted = false;
  std::uint64_t tableAsked = 0;
  std::string date;
  std::size_t lineCount = 0;
  WorldPage page;

  bool roundWanted = false;
  std::uint64_t roundAsked = 0;
  std::int64_t roundId = 0;
  RoundFetch round = RoundFetch::None;
  std::vector<std::uint8_t> roundBytes;
  std::string roundReason;
};

WorldTable::WorldTable(std::string server) : shared_(std::make_shared<Shared>(std::move(server))) {
#ifdef __EMSCRIPTEN__
  // The page's build has no threads and no HTTP client of its own.
  shared_->page.status = WorldPage::Status::Failed;
  shared_->page.reason = "the browser build reads no world table";
#else
  worker_ = std::thread(Work, shared_);
#endif
}

WorldTable::~WorldTable() {
  bool busy = false;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->closed = true;
    busy = shared_->busy;
  }
  shared_->wake.notify_all();
  // A thread waiting on the network holds its own share of the state and
  // ends once the exchange's time is up.
  if (!worker_.joinable()) return;
  if (busy) {
    worker_.detach();
  } else {
    worker_.join();
  }
}

void WorldTable::FetchTable(const std::string& date, std::size_t lines) {
  if (!worker_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->tableWanted = true;
    ++shared_->tableAsked;
    shared_->date = date;
    shared_->lineCount = lines;
    shared_->page.status = WorldPage::Status::Loading;
    shared_->page.lines.clear();
    shared_->page.reason.clear();
  }
  shared_->wake.notify_all();
}

void WorldTable::FetchRound(std::int64_t id) {
  if (!worker_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->roundWanted = true;
    ++shared_->roundAsked;
    shared_->roundId = id;
    shared_->round = RoundFetch::Loading;
    shared_->roundBytes.clear();
    shared_->roundReason.clear();
  }
  shared_->wake.notify_all();
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

void WorldTable::Work(std::shared_ptr<Shared> shared) {
  std::unique_lock<std::mutex> lock(shared->mutex);
  for (;;) {
    shared->wake.wait(lock, [&] { return shared->closed || shared->tableWanted || shared->roundWanted; });
    if (shared->closed) return;
    HttpRequest request;
    request.timeoutSeconds = kTimeoutSeconds;
    const bool table = shared->tableWanted;
    std::uint64_t asked = 0;
    std::string date;
    std::size_t lineCount = 0;
    if (table) {
      shared->tableWanted = false;
      asked = shared->tableAsked;
      date = shared->date;
      lineCount = shared->lineCount;
      request.url = shared->server + "/api/v1/table?date=" + date + "&limit=" + std::to_string(lineCount);
    } else {
      shared->roundWanted = false;
      asked = shared->roundAsked;
      request.url = shared->server + "/api/v1/rounds/" + std::to_string(shared->roundId) + "/replay";
    }
    shared->busy = true;
    lock.unlock();
    const HttpAnswer answer = Exchange(request);
    std::vector<WorldLine> lines;
    std::string reason;
    bool ok = answer.status == 200;
    if (!ok) {
      reason = FailureReason(answer.status, answer.body, answer.error);
    } else if (table) {
      ok = ParseWorldTable(answer.body, date, lineCount, &lines, &reason);
    } else if (answer.body.size() > kMaxReplayBytes) {
      ok = false;
      reason = "the round's file is larger than a round's can be";
    }
    lock.lock();
    shared->busy = false;
    if (shared->closed) return;
    if (table && asked == shared->tableAsked) {
      shared->page.status = ok ? WorldPage::Status::Ready : WorldPage::Status::Failed;
      shared->page.lines = std::move(lines);
      shared->page.reason = std::move(reason);
    } else if (!table && asked == shared->roundAsked) {
      shared->round = ok ? RoundFetch::Ready : RoundFetch::Failed;
      if (ok) shared->roundBytes.assign(answer.body.begin(), answer.body.end());
      shared->roundReason = std::move(reason);
    }
  }
}

}  // namespace vtr::online
