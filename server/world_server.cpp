#include "server/world_server.h"

#include <httplib.h>

#include <charconv>
#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "replay/daily.h"
#include "replay/replay_file.h"
#include "server/store.h"
#include "server/verifier.h"

namespace vtr::server {

namespace {

using nlohmann::json;

constexpr std::size_t kMaxNameBytes = 32;
constexpr std::size_t kMinKeyBytes = 16;
constexpr std::size_t kMaxKeyBytes = 256;
constexpr const char* kJson = "application/json";

void Answer(httplib::Response& res, int status, const json& body) {
  res.status = status;
  res.set_content(body.dump(), kJson);
}

void Refuse(httplib::Response& res, int status, const std::string& reason) {
  Answer(res, status, json{{"error", reason}});
}

// The answer to a database that could not answer.
void RefuseStore(httplib::Response& res, Store::Status status) {
  if (status == Store::Status::Unavailable) {
    res.set_header("Retry-After", "5");
    return Refuse(res, 503, "the world table's database cannot be reached; try again shortly");
  }
  Refuse(res, 500, "the world table's database failed");
}

bool NameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
         c == '.' || c == ' ';
}

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
  if (name->empty() || name->size() > kMaxNameBytes || name->front() == ' ' || name->back() == ' ' ||
      !std::all_of(name->begin(), name->end(), NameCharacter)) {
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

std::string Hex64(std::uint64_t value) {
  char text[19];
  std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(value));
  return text;
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

}  // namespace

WorldServer::WorldServer(ServerOptions options) : options_(std::move(options)) {
  if (!options_.clock) {
    options_.clock = [] {
      return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
          .count();
    };
  }
}

WorldServer::~WorldServer() { Stop(); }

bool WorldServer::Start(std::string* error) {
  // The game changes the working folder when it starts: name files fully.
  std::error_code failed;
  const std::filesystem::path data = std::filesystem::absolute(options_.dataFolder, failed);
  std::filesystem::create_directories(data, failed);
  if (failed) {
    *error = options_.dataFolder + ": " + failed.message();
    return false;
  }
  store_ = Store::Open(options_.database, (data / "world.sqlite").string(), error);
  if (!store_) return false;
  http_ = std::make_unique<httplib::Server>();
  // The library would share the port with any other process bound to it
  // (SO_REUSEPORT), so that a second server started by mistake would take
  // half the rounds into its own table. Only a port left waiting by a server
  // that ended (SO_REUSEADDR) is taken again.
  http_->set_socket_options([](int socket) {
    const int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  Route();
  if (options_.port == 0) {
    port_ = http_->bind_to_any_port(options_.host);
  } else {
    port_ = http_->bind_to_port(options_.host, options_.port) ? options_.port : -1;
  }
  if (port_ <= 0) {
    *error = "cannot listen on " + options_.host + ":" + std::to_string(options_.port);
    return false;
  }
  // The game starts last: a server that cannot listen fails at once.
  verifier_ = std::make_unique<Verifier>(data.string(), options_.contentFolder);
  return verifier_->Start(error);
}

void WorldServer::Run() {
  if (http_) http_->listen_after_bind();
}

void WorldServer::Stop() {
  if (http_) http_->stop();
}

void WorldServer::Route() {
  httplib::Server& http = *http_;
  http.set_payload_max_length(kMaxRoundBytes);
  // The library's own refusals (413 for a body over the limit, 404) get a
  // reason in JSON like ours.
  http.set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
    std::string reason = "refused (HTTP " + std::to_string(res.status) + ")";
    if (res.status == 404) reason = "no such path";
    if (res.status == 413) reason = "a round's file is at most " + std::to_string(kMaxRoundBytes) + " bytes";
    Refuse(res, res.status, reason);
    return httplib::Server::HandlerResponse::Handled;
  }));

  http.Get("/healthz", [](const httplib::Request&, httplib::Response& res) { Answer(res, 200, {{"ok", true}}); });

  http.Get("/api/v1/daily", [this](const httplib::Request&, httplib::Response& res) {
    const DailyDate today = DailyDateAt(options_.clock());
    const RoundStart start = DailyRoundStart(today);
    Answer(res, 200,
           {{"date", DailyDateText(today)},
            {"seedKey", today.year * 10000 + static_cast<std::int64_t>(today.month * 100 + today.day)},
            {"seedXor", "0x5654524441494c59"},
            {"launchState", start.launchState},
            {"engineRandomState", Hex64(start.engineRandomState)},
            {"settings", "defaults"},
            {"rulesVersion", kReplayRulesVersion}});
  });

  http.Post("/api/v1/rounds", [this](const httplib::Request& req, httplib::Response& res) {
    std::string name, key, reason;
    if (!req.has_header("X-Vantor-Player")) return Refuse(res, 400, "no X-Vantor-Player header (NAME:KEY)");
    if (!ParsePlayer(req.get_header_value("X-Vantor-Player"), &name, &key, &reason)) return Refuse(res, 400, reason);
    if (req.body.size() > kMaxRoundBytes) return Refuse(res, 413, "a round's file is at most " + std::to_string(kMaxRoundBytes) + " bytes");
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(req.body.data());
    Replay replay;
    switch (ParseReplay(bytes, req.body.size(), &replay, &reason)) {
      case ReplayError::None:
        break;
      case ReplayError::Unreproducible:
        return Refuse(res, 422, reason);
      default:
        return Refuse(res, 400, reason);
    }
    const std::int64_t now = options_.clock();
    reason = NotTodaysRound(replay, DailyDateAt(now));
    if (!reason.empty()) return Refuse(res, 422, reason);
    const std::string keyHash = Sha256Hex(key.data(), key.size());
    // Checked before the costly part; Add checks again in its transaction.
    bool fits = false;
    if (const Store::Status status = store_->KeyFits(name, keyHash, &fits); status != Store::Status::Ok) {
      return RefuseStore(res, status);
    }
    if (!fits) return Refuse(res, 403, "the name " + name + " is taken by another key");

    const Verdict verdict = verifier_->Verify(replay);
    if (!verdict.ok()) {
      return Refuse(res, 422, "played again, the round comes to score " + std::to_string(verdict.score) +
                                  " and highest combo " + std::to_string(verdict.highestCombo) +
                                  (verdict.entered ? "" : " (its score not entered when recorded)") +
                                  ", not the recorded " + std::to_string(verdict.recordedScore) + " and " +
                                  std::to_string(verdict.recordedCombo));
    }
    StoredRound round;
    round.player = name;
    round.day = DailyDateText(DailyDateAt(now));
    round.score = replay.score;
    round.combo = replay.highestCombo;
    round.time = now;
    const std::vector<std::uint8_t> file(bytes, bytes + req.body.size());
    const Store::AddResult added = store_->Add(round, keyHash, Sha256Hex(file.data(), file.size()), file);
    const json body = {{"id", added.round.id}, {"rank", added.rank}, {"score", added.round.score},
                       {"combo", added.round.combo}};
    switch (added.outcome) {
      case Store::Outcome::Added:
        return Answer(res, 201, body);
      case Store::Outcome::AlreadyHeld:
        return Answer(res, 200, body);
      case Store::Outcome::OtherPlayer:
        return Refuse(res, 409, "this round was sent before under another name");
      case Store::Outcome::WrongKey:
        return Refuse(res, 403, "the name " + name + " is taken by another key");
      case Store::Outcome::Unavailable:
        return RefuseStore(res, Store::Status::Unavailable);
      case Store::Outcome::Failed:
        break;
    }
    return Refuse(res, 500, "the round could not be stored: " + added.error);
  });

  http.Get("/api/v1/table", [this](const httplib::Request& req, httplib::Response& res) {
    DailyDate date = DailyDateAt(options_.clock());
    if (req.has_param("date") && !ParseDay(req.get_param_value("date"), &date)) {
      return Refuse(res, 400, "date must be a day written YYYY-MM-DD");
    }
    std::int64_t limit = kDefaultTableLimit;
    if (req.has_param("limit") && !ParseNumber(req.get_param_value("limit"), 1, kMaxTableLimit, &limit)) {
      return Refuse(res, 400, "limit must be a whole number from 1 to " + std::to_string(kMaxTableLimit));
    }
    const std::string day = DailyDateText(date);
    std::vector<TableLine> table;
    if (const Store::Status status = store_->Table(day, limit, &table); status != Store::Status::Ok) {
      return RefuseStore(res, status);
    }
    json lines = json::array();
    for (const TableLine& line : table) {
      lines.push_back({{"rank", line.rank}, {"name", line.round.player}, {"score", line.round.score},
                       {"combo", line.round.combo}, {"id", line.round.id}, {"time", line.round.time}});
    }
    Answer(res, 200, {{"date", day}, {"rounds", lines}});
  });

  http.Get(R"(/api/v1/rounds/(\d{1,18})/replay)", [this](const httplib::Request& req, httplib::Response& res) {
    std::int64_t id = 0;
    if (!ParseNumber(req.matches[1].str(), 1, INT64_MAX, &id)) return Refuse(res, 404, "no such round");
    std::optional<std::vector<std::uint8_t>> bytes;
    if (const Store::Status status = store_->ReplayBytes(id, &bytes); status != Store::Status::Ok) {
      return RefuseStore(res, status);
    }
    if (!bytes) return Refuse(res, 404, "no such round");
    res.status = 200;
    res.set_content(reinterpret_cast<const char*>(bytes->data()), bytes->size(), "application/octet-stream");
  });
}

}  // namespace vtr::server
