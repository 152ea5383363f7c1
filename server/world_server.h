// The world table's HTTP service: today's challenge, rounds sent by players
// (accepted only once the game has played them again to the recorded score),
// the day's table and the stored replays. JSON in and out.
//
//   GET  /healthz                        {"ok": true}
//   GET  /api/v1/daily                   today's date, its seed rule's inputs, the rules version
//   POST /api/v1/rounds                  body: a replay file (at most 64 KB),
//                                        header X-Vantor-Player: NAME:KEY
//                                        201 {id, rank, score, combo}; 200 for a file already
//                                        stored under that name; 400 malformed, 403 a name
//                                        claimed with another key, 409 a file stored under
//                                        another name, 413 too large, 422 not today's fair
//                                        round or not the recorded score: {"error": one line}
//   GET  /api/v1/table?date=YYYY-MM-DD&limit=N   the day's best round per player
//   GET  /api/v1/rounds/{id}/replay      the stored bytes
// A database that cannot be reached answers 503 (with Retry-After), one
// that refuses 500.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace httplib {
class Server;
}

namespace vtr::server {

class Store;
class Verifier;

inline constexpr std::size_t kMaxRoundBytes = 64 * 1024;
inline constexpr std::int64_t kDefaultTableLimit = 100;
inline constexpr std::int64_t kMaxTableLimit = 1000;

struct ServerOptions {
  std::string host = "127.0.0.1";
  int port = 8470;  // 0: any free port (see WorldServer::port)
  std::string dataFolder = ".";  // holds world.sqlite
  std::string database;          // a postgresql:// URL; empty: world.sqlite
  std::string contentFolder;     // holds Content/; empty: found from the executable
  // Seconds since 1970 (UTC): decides "today". Tests fix it.
  std::function<std::int64_t()> clock;
};

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
  std::unique_ptr<httplib::Server> http_;
  int port_ = 0;
};

}  // namespace vtr::server
