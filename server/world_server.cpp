#include "server/world_server.h"

#include <httplib.h>
#include <openssl/rand.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <optional>
#include <thread>
#include <nlohmann/json.hpp>

#include "helpers/hex.h"
#include "replay/daily.h"
#include "replay/frame_codec.h"
#include "replay/replay_file.h"
#include "server/round_request.h"
#include "server/store.h"
#include "server/verifier.h"

namespace vtr::server {

namespace {

using nlohmann::json;

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

std::string Hex64(std::uint64_t value) {
  char text[19];
  std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(value));
  return text;
}

// kTokenBytes random bytes as lower-case hex; empty if the generator failed.
std::string NewToken() {
  unsigned char random[kTokenBytes];
  if (RAND_bytes(random, sizeof random) != 1) return "";
  return LowerHex(random, sizeof random);
}

void TooMany(httplib::Response& res, std::int64_t wait, const std::string& what) {
  res.set_header("Retry-After", std::to_string(wait));
  Refuse(res, 429, "too many " + what + ": send again in " + std::to_string(wait) + " s");
}

// A time of day (UTC) as HH:MM:SS.
std::string ClockText(std::int64_t seconds) {
  const std::int64_t day = ((seconds % 86400) + 86400) % 86400;
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(day / 3600), static_cast<int>(day / 60 % 60),
                static_cast<int>(day % 60));
  return text;
}

// The day's table as a small page of its own: no script, no style sheet or
// font from elsewhere, every stored text escaped.
std::string TablePage(const std::string& day, const std::vector<TableLine>& table, bool play) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<title>Vantor: today's table</title>\n<style>\n"
      "body { font-family: sans-serif; background: #000; color: #ddd; margin: 2em auto; max-width: 48em; }\n"
      "a { color: #9cf; }\ntable { border-collapse: collapse; width: 100%; }\n"
      "th, td { padding: 0.25em 0.6em; text-align: right; }\nth { border-bottom: 1px solid #666; }\n"
      "td.name, th.name { text-align: left; }\n</style>\n</head>\n<body>\n"
      "<h1>Today's table: " + HtmlEscaped(day) + "</h1>\n";
  if (play) page += "<p><a href=\"/play/\">Play today's round in the browser</a></p>\n";
  if (table.empty()) {
    page += "<p>No round yet today.</p>\n";
  } else {
    page +=
        "<table>\n<tr><th>Rank</th><th class=\"name\">Name</th><th>Score</th><th>Highest combo</th>"
        "<th>Pauses</th><th>Time (UTC)</th><th>Replay</th></tr>\n";
    for (const TableLine& line : table) {
      const std::string id = std::to_string(line.round.id);
      page += "<tr><td>" + std::to_string(line.rank) + "</td><td class=\"name\">" + HtmlEscaped(line.round.player) +
              "</td><td>" + std::to_string(line.round.score) + "</td><td>" + std::to_string(line.round.combo) +
              "</td><td>" + std::to_string(line.round.pauses) + "</td><td>" + ClockText(line.round.time) +
              "</td><td><a href=\"/api/v1/rounds/" + id + "/replay\" download=\"" + HtmlEscaped(day) + "-" + id +
              ".vtreplay\">download</a>" +
              (play ? " <a href=\"/play/?replay=/api/v1/rounds/" + id + "/replay\">watch</a>" : std::string()) +
              "</td></tr>\n";
    }
    page += "</table>\n";
  }
  return page + "<p>Rounds are ranked once the server has played them again to the same score.</p>\n</body>\n</html>\n";
}

}  // namespace

std::string HtmlEscaped(const std::string& text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      case '\'': escaped += "&#39;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

std::int64_t RateLimiter::Take(const std::string& key, std::int64_t now) {
  std::lock_guard lock(mutex_);
  // Keys whose bursts are whole again are forgotten, so the map stays as
  // small as the senders of the last minutes.
  if (due_.size() > 10000) std::erase_if(due_, [now](const auto& entry) { return entry.second <= now; });
  const std::int64_t allowance = (rate_.burst - 1) * rate_.everySeconds;
  auto [entry, fresh] = due_.try_emplace(key, now);
  const std::int64_t due = std::max(entry->second, now);
  if (due - now > allowance) return due - now - allowance;
  entry->second = due + rate_.everySeconds;
  return 0;
}

WorldServer::WorldServer(ServerOptions options)
    : options_(std::move(options)), byPlayer_(options_.perPlayer), byAddress_(options_.perAddress) {
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
  if (options_.workerProgram.empty()) {
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
      *error = "cannot find this program's own file to start its verifiers";
      return false;
    }
    options_.workerProgram.assign(self, static_cast<std::size_t>(length));
  }
  verifier_ = std::make_unique<Verifier>(options_.workerProgram, data.string(), options_.contentFolder, options_.pool);
  http_ = std::make_unique<httplib::Server>();
  // Requests waiting on a verifier hold a thread each, at most the workers
  // and the queue: the others keep threads for everything else.
  const PoolLimits& pool = verifier_->limits();
  const std::size_t threads = static_cast<std::size_t>(pool.workers + pool.queue) + 8;
  http_->new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  // The library would share the port with any other process bound to it
  // (SO_REUSEPORT), so that a second server started by mistake would take
  // half the rounds into its own table. Only a port left waiting by a server
  // that ended (SO_REUSEADDR) is taken again.
  http_->set_socket_options([](int socket) {
    const int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  Route();
  if (!options_.webFolder.empty()) {
    const std::filesystem::path web = std::filesystem::absolute(options_.webFolder, failed);
    if (failed || !std::filesystem::is_regular_file(web / "index.html", failed)) {
      *error = options_.webFolder + ": no browser build there (index.html)";
      return false;
    }
    http_->set_file_extension_and_mimetype_mapping("wasm", "application/wasm");
    http_->set_file_extension_and_mimetype_mapping("data", "application/octet-stream");
    if (!http_->set_mount_point("/play", web.string())) {
      *error = options_.webFolder + ": cannot be served";
      return false;
    }
  }
  if (options_.port == 0) {
    port_ = http_->bind_to_any_port(options_.host);
  } else {
    port_ = http_->bind_to_port(options_.host, options_.port) ? options_.port : -1;
  }
  if (port_ <= 0) {
    *error = "cannot listen on " + options_.host + ":" + std::to_string(options_.port);
    return false;
  }
  // The verifiers start last: a server that cannot listen fails at once.
  return verifier_->Start(error);
}

void WorldServer::Run() {
  running_ = true;
  if (http_ && !stopRequested_) http_->listen_after_bind();
  running_ = false;
}

void WorldServer::Stop() {
  stopRequested_ = true;
  if (!http_) return;
  // The library only stops a server already listening: a Stop that comes
  // as Run begins waits until it listens (or Run has seen the request).
  while (running_ && !http_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  http_->stop();
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

  http.Get("/healthz", [this](const httplib::Request&, httplib::Response& res) {
    const Verifier::Load load = verifier_->load();
    Answer(res, 200, {{"ok", true}, {"verifiers", verifier_->limits().workers}, {"busy", load.busy}, {"waiting", load.waiting}});
  });

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

  http.Post("/api/v1/daily/token", [this](const httplib::Request& req, httplib::Response& res) {
    const std::int64_t now = options_.clock();
    if (const std::int64_t wait = byAddress_.Take(req.remote_addr, now)) return TooMany(res, wait, "requests from this address");
    const std::string token = NewToken();
    const std::string day = DailyDateText(DailyDateAt(now));
    if (token.empty()) return Refuse(res, 500, "no round token could be made");
    if (const Store::Status status = store_->AddToken(token, day, Store::TokenHeld{now, {}, {}}); status != Store::Status::Ok) {
      return RefuseStore(res, status);
    }
    Answer(res, 201, {{"token", token}, {"date", day}, {"issued", now}});
  });

  // The end of a round, noted by the server as it comes, so that a round
  // sent later (its game closed before the answer, the server down at the
  // time) is measured from its token to its end rather than to its
  // submission. The stamp names the file the round ended as (the SHA-256 of
  // its bytes), and only that file can be sent with the token afterwards:
  // without it a slowed clock could stamp a token a minute after its start
  // and then take all the time it likes over the round. With it, whatever is
  // sent was already played out when the stamp came, so the rule measures
  // exactly what it did before, only without the wait for the network; a
  // stamp cannot move the token's start, and a second one changes nothing.
  http.Post("/api/v1/daily/stamp", [this](const httplib::Request& req, httplib::Response& res) {
    const std::int64_t now = options_.clock();
    if (const std::int64_t wait = byAddress_.Take(req.remote_addr, now)) return TooMany(res, wait, "requests from this address");
    const std::string token = req.get_header_value("X-Vantor-Token");
    if (!TokenShaped(token)) return Refuse(res, 400, "X-Vantor-Token must be the 32 hex digits of a round token");
    std::string hash;
    if (!StampedHash(req.body, &hash)) {
      return Refuse(res, 400, "the body must be the round's file, or its SHA-256 as 64 lower-case hex digits");
    }
    const std::string today = DailyDateText(DailyDateAt(now));
    Store::Stamp stamp = Store::Stamp::NoToken;
    if (const Store::Status status = store_->StampToken(token, today, now, hash, &stamp); status != Store::Status::Ok) {
      return RefuseStore(res, status);
    }
    if (stamp == Store::Stamp::NoToken) return Refuse(res, 422, "the round token is not one of today's unused tokens");
    Answer(res, stamp == Store::Stamp::Stamped ? 201 : 200, {{"token", token}, {"stamped", stamp == Store::Stamp::Stamped}});
  });

  http.Post("/api/v1/rounds", [this](const httplib::Request& req, httplib::Response& res) {
    std::string name, key;
    const std::int64_t now = options_.clock();
    if (const std::int64_t wait = byAddress_.Take(req.remote_addr, now)) return TooMany(res, wait, "requests from this address");
    const std::string player = req.get_header_value("X-Vantor-Player");
    if (const Refusal refusal = ReadPlayer(req.has_header("X-Vantor-Player") ? &player : nullptr, &name, &key)) {
      return Refuse(res, refusal.status, refusal.reason);
    }
    const std::string keyHash = Sha256Hex(key.data(), key.size());
    // Checked before the costly part (Add checks again in its transaction),
    // and before the name's rate: only its owner spends it.
    bool fits = false;
    if (const Store::Status status = store_->KeyFits(name, keyHash, &fits); status != Store::Status::Ok) {
      return RefuseStore(res, status);
    }
    if (!fits) return Refuse(res, 403, "the name " + name + " is taken by another key");
    if (const std::int64_t wait = byPlayer_.Take(name, now)) return TooMany(res, wait, "rounds from " + name);
    const std::string tokenHeader = req.get_header_value("X-Vantor-Token");
    RoundRequest sent;
    if (const Refusal refusal = ReadRoundRequest(req.has_header("X-Vantor-Token") ? &tokenHeader : nullptr, req.body,
                                                 DailyDateAt(now), &sent)) {
      return Refuse(res, refusal.status, refusal.reason);
    }
    const std::string& token = sent.token;
    const Replay& replay = sent.replay;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(req.body.data());
    const std::vector<std::uint8_t> file(bytes, bytes + req.body.size());
    const std::string today = DailyDateText(DailyDateAt(now));
    std::optional<Store::TokenHeld> held;
    if (const Store::Status status = store_->TakeToken(token, today, &held); status != Store::Status::Ok) {
      return RefuseStore(res, status);
    }
    const std::string fileHash = Sha256Hex(file.data(), file.size());
    if (!held) {
      // Sent again after its first sending was stored and the answer lost on
      // the way (the game closed, the network cut): the same answer again.
      std::optional<Store::AddResult> stored;
      if (const Store::Status status = store_->Held(fileHash, &stored); status != Store::Status::Ok) {
        return RefuseStore(res, status);
      }
      if (stored && stored->round.player == name) {
        return Answer(res, 200, {{"id", stored->round.id}, {"rank", stored->rank}, {"of", stored->players},
                                 {"score", stored->round.score}, {"combo", stored->round.combo},
                                 {"pauses", stored->round.pauses}});
      }
      return Refuse(res, 422, "the round token is not one of today's unused tokens");
    }
    if (held->ended && held->endedHash != fileHash) {
      return Refuse(res, 422, "not the round its token was stamped as ended with");
    }
    // Stamped: the round's time is measured to its end (see the stamp).
    if (const Refusal refusal = CheckRoundTime(sent.times, held->issued, held->ended.value_or(now),
                                               options_.tokenSlackSeconds, held->ended.has_value())) {
      return Refuse(res, refusal.status, refusal.reason);
    }

    const Check check = verifier_->Verify(file);
    switch (check.outcome) {
      case Check::Outcome::Played:
        break;
      case Check::Outcome::Refused:
        return Refuse(res, 422, "refused: " + check.reason);
      case Check::Outcome::Busy:
      case Check::Outcome::Unavailable:
        // Not the round's fault: its token serves again when it is sent again.
        (void)store_->AddToken(token, today, *held);  // at worst the round needs a new token
        res.set_header("Retry-After", "10");
        return Refuse(res, 503, (check.outcome == Check::Outcome::Busy ? "" : "the round cannot be checked now: ") + check.reason);
    }
    const Verdict& verdict = check.verdict;
    if (!verdict.ok()) {
      return Refuse(res, 422, "played again, the round comes to score " + std::to_string(verdict.score) +
                                  " and highest combo " + std::to_string(verdict.highestCombo) +
                                  (verdict.entered ? "" : " (its score not entered when recorded)") +
                                  ", not the recorded " + std::to_string(verdict.recordedScore) + " and " +
                                  std::to_string(verdict.recordedCombo));
    }
    StoredRound round;
    round.player = name;
    round.day = today;
    round.score = replay.score;
    round.combo = replay.highestCombo;
    round.time = now;
    round.pauses = check.pauses;
    const Store::AddResult added = store_->Add(round, keyHash, fileHash, file);
    const json body = {{"id", added.round.id}, {"rank", added.rank}, {"of", added.players}, {"score", added.round.score},
                       {"combo", added.round.combo}, {"pauses", added.round.pauses}};
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
    const std::string date = req.get_param_value("date");
    const std::string limitText = req.get_param_value("limit");
    std::string day;
    std::int64_t limit = 0;
    if (const Refusal refusal = ReadTableQuery(req.has_param("date") ? &date : nullptr,
                                               req.has_param("limit") ? &limitText : nullptr,
                                               DailyDateAt(options_.clock()), &day, &limit)) {
      return Refuse(res, refusal.status, refusal.reason);
    }
    std::vector<TableLine> table;
    if (const Store::Status status = store_->Table(day, limit, &table); status != Store::Status::Ok) {
      return RefuseStore(res, status);
    }
    json lines = json::array();
    for (const TableLine& line : table) {
      lines.push_back({{"rank", line.rank}, {"name", line.round.player}, {"score", line.round.score},
                       {"combo", line.round.combo}, {"pauses", line.round.pauses}, {"id", line.round.id},
                       {"time", line.round.time}});
    }
    Answer(res, 200, {{"date", day}, {"rounds", lines}});
  });

  http.Get("/", [this](const httplib::Request&, httplib::Response& res) {
    const std::string day = DailyDateText(DailyDateAt(options_.clock()));
    std::vector<TableLine> table;
    if (const Store::Status status = store_->Table(day, kDefaultTableLimit, &table); status != Store::Status::Ok) {
      RefuseStore(res, status);
      const std::string reason = json::parse(res.body, nullptr, false).value("error", "");
      return res.set_content("<!DOCTYPE html>\n<title>Vantor</title>\n<p>" + HtmlEscaped(reason) + ".</p>\n",
                             "text/html; charset=utf-8");
    }
    res.set_content(TablePage(day, table, !options_.webFolder.empty()), "text/html; charset=utf-8");
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
