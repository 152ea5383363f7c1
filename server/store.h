// The world table's storage: one SQLite file (write-ahead log, so readers
// never wait for the writer), three facts kept.
//
//   players  a name and the SHA-256 of its key: the first round sent under a
//            name claims it, later ones must carry the same key
//   rounds   one accepted round: its player, day, score, highest combo, the
//            time it came in, and the replay's bytes, keyed by their SHA-256
//            (unique: the same file is stored once, whoever sends it again),
//            and how often the round was paused
//   tokens   a round token handed out: when, for which day; used once
//
// One connection, used by one caller at a time (the store holds a lock).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace vtr::server {

// The SHA-256 of bytes, as 64 lower-case hex digits.
std::string Sha256Hex(const void* data, std::size_t size);

struct StoredRound {
  std::int64_t id = 0;
  std::string player;
  std::string day;  // YYYY-MM-DD
  std::int32_t score = 0;
  std::uint32_t combo = 0;
  std::int64_t time = 0;  // when it came in, seconds since 1970 (UTC)
  std::uint32_t pauses = 0;  // entries into the pause menu during the round
};

// A line of a day's table: a player's best round.
struct TableLine {
  std::int64_t rank = 0;
  StoredRound round;
};

class Store {
 public:
  // Opens (or makes) the file and its tables; nullptr with a message in error.
  static std::unique_ptr<Store> Open(const std::string& path, std::string* error);
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  // Whether a key may send rounds under a name: a free name may be claimed.
  bool KeyFits(const std::string& name, const std::string& keyHash);

  // What Add did.
  enum class Outcome {
    Added,        // stored now
    AlreadyHeld,  // the same bytes were stored before under this name: round is that one
    OtherPlayer,  // the same bytes are stored under another name
    WrongKey,     // the name is claimed with another key
    Failed,       // the database refused: error says why
  };
  struct AddResult {
    Outcome outcome = Outcome::Failed;
    StoredRound round;
    std::int64_t rank = 0;  // where the round stands among the day's best rounds
    std::string error;
  };
  // Claims the name if free and stores the round, in one transaction.
  // round.id is filled in; replayHash is Sha256Hex of bytes.
  AddResult Add(const StoredRound& round, const std::string& keyHash, const std::string& replayHash,
                const std::vector<std::uint8_t>& bytes);

  // The day's best round per player, best first (ties: the earlier round
  // first), at most limit lines.
  std::vector<TableLine> Table(const std::string& day, std::int64_t limit);

  // Keeps a round token issued at a time for a day, and forgets the tokens
  // of other days; false when the database refused.
  bool AddToken(const std::string& token, const std::string& day, std::int64_t issued);
  // Takes a token of the day, once: its issue time, or nullopt when there is
  // no such token for that day (never issued, another day's, or used).
  std::optional<std::int64_t> TakeToken(const std::string& token, const std::string& day);

  // A stored replay's bytes; nullopt when there is no such round.
  std::optional<std::vector<std::uint8_t>> ReplayBytes(std::int64_t id);

 private:
  explicit Store(sqlite3* db) : db_(db) {}
  std::int64_t RankOf(const StoredRound& round);
  std::optional<StoredRound> RoundByHash(const std::string& replayHash);

  std::mutex mutex_;
  sqlite3* db_;
};

}  // namespace vtr::server
