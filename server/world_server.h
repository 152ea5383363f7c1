// The world table's HTTP service: today's challenge, rounds sent by players
// (accepted only once the game has played them again to the recorded score),
// the day's table and the stored replays. JSON in and out.
//
//   GET  /healthz                        {"ok": true, verifiers, busy, waiting}
//   GET  /api/v1/daily                   today's date, its seed rule's inputs, the rules version
//   POST /api/v1/daily/token            201 {token, date, issued}: a round token, for
//                                        one submission of today's round
//   POST /api/v1/daily/stamp            header X-Vantor-Token, body: the round's file, or
//                                        its SHA-256 (64 hex digits): the round ended now.
//                                        201 noted; 200 noted before (nothing changes);
//                                        422 no unused token of today's
//   POST /api/v1/rounds                  body: a replay file (at most 64 KB),
//                                        headers X-Vantor-Player: NAME:KEY and
//                                        X-Vantor-Token: a round token
//                                        201 {id, rank, of (the players ranked
//                                        that day), score, combo, pauses}; 200 for a file already
//                                        stored under that name; 400 malformed, 403 a name
//                                        claimed with another key, 409 a file stored under
//                                        another name, 413 too large, 422 not today's fair
//                                        round, not the recorded score, not played in the
//                                        time since its token, or past its check's limits;
//                                        429 too many submissions, 503 every verifier
//                                        busy (both with Retry-After): {"error": one line}
//   GET  /api/v1/table?date=YYYY-MM-DD&limit=N   the day's best round per player
//   GET  /api/v1/rounds/{id}/replay      the stored bytes
//   GET  /                               today's table as a plain HTML page
//   GET  /play/...                       the browser build's files (--web DIR)
// A database that cannot be reached answers 503 (with Retry-After), one
// that refuses 500.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <map>
#include <mutex>
#include <string>

#include "server/round_request.h"  // the limits on a round's file and the table's query
#include "server/verifier.h"

namespace httplib {
class Server;
}

namespace vtr::server {

class Store;

// Submissions allowed: a burst, then one every so many seconds.
struct Rate {
  std::int64_t burst = 1;
  std::int64_t everySeconds = 1;
};

struct ServerOptions {
  std::string host = "127.0.0.1";
  int port = 8470;  // 0: any free port (see WorldServer::port)
  std::string dataFolder = ".";  // holds world.sqlite
  std::string database;          // a postgresql:// URL; empty: world.sqlite
  std::string contentFolder;     // holds Content/; empty: found from the executable
  std::string webFolder;         // the browser build (index.html), served under /play/; empty: none
  // Seconds since 1970 (UTC): decides "today". Tests fix it.
  std::function<std::int64_t()> clock;
  // The executable started as the verifiers (`--worker`); empty: this one.
  std::string workerProgram;
  PoolLimits pool;
  // Per player's name and per client address (round tokens count for the
  // address too).
  Rate perPlayer{5, 12};
  Rate perAddress{20, 3};
  // How far a round's recorded time may stand from the time between its
  // token and its submission (or its end stamp), either way.
  std::int64_t tokenSlackSeconds = 60;
};

// Rate limits by key, as a theoretical arrival time per key (GCRA): Take
// answers 0 when a request may go, else the seconds until one may.
class RateLimiter {
 public:
  explicit RateLimiter(Rate rate) : rate_(rate) {}
  std::int64_t Take(const std::string& key, std::int64_t now);

 private:
  Rate rate_;
  std::mutex mutex_;
  std::map<std::string, std::int64_t> due_;
};

// Text made safe to stand in HTML, in an element or a quoted attribute.
std::string HtmlEscaped(const std::string& text);

class WorldServer {
 public:
  explicit WorldServer(ServerOptions options);
  ~WorldServer();
  WorldServer(const WorldServer&) = delete;
  WorldServer& operator=(const WorldServer&) = delete;

  // Opens the database, starts the game that verifies rounds and binds the
  // address; false with a message in error.
  bool Start(std::string* error);
  // The port bound by Start.
  int port() const { return port_; }
  // Answers requests until Stop (from another thread or a signal's waiter).
  void Run();
  void Stop();

 private:
  void Route();

  ServerOptions options_;
  std::unique_ptr<Store> store_;
  std::unique_ptr<Verifier> verifier_;
  RateLimiter byPlayer_;
  RateLimiter byAddress_;
  std::unique_ptr<httplib::Server> http_;
  int port_ = 0;
  std::atomic<bool> running_{false};
  std::atomic<bool> stopRequested_{false};
};

}  // namespace vtr::server
