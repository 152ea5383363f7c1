// The world table's storage, kept in SQLite (one file, the default) or in
// PostgreSQL (--database postgresql://...). Both keep the same three tables
// under the same rules:
//
//   players  a name and the SHA-256 of its key: the first round sent under a
//            name claims it, later ones must carry the same key
//   rounds   one accepted round: its player, day, score, highest combo, the
//            time it came in, and the replay's bytes, keyed by their SHA-256
//            (unique: the same file is stored once, whoever sends it again),
//            and how often the round was paused
//   tokens   a round token handed out: when, for which day, and when the
//            round it was for ended (its end stamp, with the hash of the
//            file it ended as); used once
//
// A round is added in one transaction (the name claimed, the file stored), so
// two servers sharing one database never both claim a name or both store a
// file. Every statement is prepared; no input is ever part of the SQL.
// A database that cannot be reached (a lost connection, a server restarting,
// a lock held too long) is reported as Unavailable, worth trying again later;
// one that refuses a statement as Failed. Either way one line goes to stderr.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "server/digest.h"

namespace vtr::server {


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
  // Opens (or makes) the tables: in PostgreSQL when database is a
  // postgresql:// or postgres:// URL, else in the SQLite file sqlitePath
  // (database empty). nullptr with a message in error (never the URL's
  // password).
  static std::unique_ptr<Store> Open(const std::string& database, const std::string& sqlitePath,
                                     std::string* error);
  virtual ~Store() = default;

  // How a call went.
  enum class Status {
    Ok,
    Unavailable,  // the database cannot be reached now
    Failed,       // the database refused
  };

  // Whether a key may send rounds under a name: a free name may be claimed.
  virtual Status KeyFits(const std::string& name, const std::string& keyHash, bool* fits) = 0;

  // What Add did.
  enum class Outcome {
    Added,        // stored now
    AlreadyHeld,  // the same bytes were stored before under this name: round is that one
    OtherPlayer,  // the same bytes are stored under another name
    WrongKey,     // the name is claimed with another key
    Unavailable,  // the database cannot be reached now: nothing stored
    Failed,       // the database refused: error says why
  };
  struct AddResult {
    Outcome outcome = Outcome::Failed;
    StoredRound round;
    std::int64_t rank = 0;  // where the round stands among the day's best rounds
    std::int64_t players = 0;  // how many players the day's table ranks
    std::string error;
  };
  // Claims the name if free and stores the round, in one transaction.
  // round.id is filled in; replayHash is Sha256Hex of bytes.
  virtual AddResult Add(const StoredRound& round, const std::string& keyHash, const std::string& replayHash,
                        const std::vector<std::uint8_t>& bytes) = 0;

  // The round stored with these bytes, with its rank and the day's players
  // (outcome AlreadyHeld); nullopt when there is none.
  virtual Status Held(const std::string& replayHash, std::optional<AddResult>* held) = 0;

  // The day's best round per player, best first (ties: the earlier round
  // first), at most limit lines.
  virtual Status Table(const std::string& day, std::int64_t limit, std::vector<TableLine>* lines) = 0;

  // A round token as kept: when it was issued and, once its round ended,
  // when that was and the SHA-256 of the round's file then.
  struct TokenHeld {
    std::int64_t issued = 0;
    std::optional<std::int64_t> ended;
    std::string endedHash;
  };
  // Keeps a round token for a day (a new one, or one taken and given back
  // as it was), and forgets the tokens of other days.
  virtual Status AddToken(const std::string& token, const std::string& day, const TokenHeld& held) = 0;
  // Takes a token of the day, once: nullopt when there is no such token for
  // that day (never issued, another day's, or used).
  virtual Status TakeToken(const std::string& token, const std::string& day, std::optional<TokenHeld>* held) = 0;
  // What StampToken did.
  enum class Stamp {
    Stamped,         // the end is noted now
    AlreadyStamped,  // the token had its end already: nothing changed
    NoToken,         // no unused token of that day
  };
  // Notes the time a token's round ended and the hash of its file, once.
  virtual Status StampToken(const std::string& token, const std::string& day, std::int64_t ended,
                            const std::string& replayHash, Stamp* stamp) = 0;

  // A stored replay's bytes; nullopt when there is no such round.
  virtual Status ReplayBytes(std::int64_t id, std::optional<std::vector<std::uint8_t>>* bytes) = 0;
};

}  // namespace vtr::server
