#include "server/sqlite_store.h"

#include <sqlite3.h>

#include <cstdio>
#include <mutex>

namespace vtr::server {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS players (
  name TEXT PRIMARY KEY,
  key_hash TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS rounds (
  id INTEGER PRIMARY KEY,
  replay_hash TEXT NOT NULL UNIQUE,
  player TEXT NOT NULL REFERENCES players(name),
  day TEXT NOT NULL,
  score INTEGER NOT NULL,
  combo INTEGER NOT NULL,
  time INTEGER NOT NULL,
  bytes BLOB NOT NULL
);
CREATE TABLE IF NOT EXISTS tokens (
  token TEXT PRIMARY KEY,
  day TEXT NOT NULL,
  issued INTEGER NOT NULL,
  ended INTEGER,
  ended_hash TEXT
);
CREATE INDEX IF NOT EXISTS rounds_by_day ON rounds (day, score DESC, id);
)sql";

// A prepared statement, finalized on every path.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { ok_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) == SQLITE_OK; }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int i, const std::string& text) {
    if (ok_) ok_ = sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) == SQLITE_OK;
    return *this;
  }
  Statement& Bind(int i, std::int64_t value) {
    if (ok_) ok_ = sqlite3_bind_int64(stmt_, i, value) == SQLITE_OK;
    return *this;
  }
  Statement& Bind(int i, const std::vector<std::uint8_t>& bytes) {
    if (ok_) ok_ = sqlite3_bind_blob(stmt_, i, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT) == SQLITE_OK;
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step() { return ok_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
  std::int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
  bool Null(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
  std::string Text(int column) const {
    const auto* text = sqlite3_column_text(stmt_, column);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))) : "";
  }
  std::vector<std::uint8_t> Blob(int column) const {
    const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, column));
    return data ? std::vector<std::uint8_t>(data, data + sqlite3_column_bytes(stmt_, column)) : std::vector<std::uint8_t>{};
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  bool ok_ = false;
};

StoredRound RoundFrom(const Statement& row) {
  StoredRound round;
  round.id = row.Int(0);
  round.player = row.Text(1);
  round.day = row.Text(2);
  round.score = static_cast<std::int32_t>(row.Int(3));
  round.combo = static_cast<std::uint32_t>(row.Int(4));
  round.time = row.Int(5);
  round.pauses = static_cast<std::uint32_t>(row.Int(6));
  return round;
}

// A transaction that rolls back unless committed.
class Transaction {
 public:
  explicit Transaction(sqlite3* db) : db_(db) {
    // IMMEDIATE takes the write lock at once: two writers never both read a
    // free name and then both claim it.
    open_ = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  ~Transaction() {
    if (open_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  bool open() const { return open_; }
  bool Commit() {
    open_ = false;
    return sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  }

 private:
  sqlite3* db_;
  bool open_;
};

class SqliteStore final : public Store {
 public:
  explicit SqliteStore(sqlite3* db) : db_(db) {}
  ~SqliteStore() override { sqlite3_close(db_); }

  Status KeyFits(const std::string& name, const std::string& keyHash, bool* fits) override {
    std::lock_guard lock(mutex_);
    Statement find(db_, "SELECT key_hash FROM players WHERE name = ?");
    find.Bind(1, name);
    const int step = find.Step();
    if (step != SQLITE_ROW && step != SQLITE_DONE) return Fault();
    *fits = step == SQLITE_DONE || find.Text(0) == keyHash;
    return Status::Ok;
  }

  AddResult Add(const StoredRound& round, const std::string& keyHash, const std::string& replayHash,
                const std::vector<std::uint8_t>& bytes) override {
    std::lock_guard lock(mutex_);
    AddResult result;
    Transaction transaction(db_);
    if (!transaction.open()) return Failure(result);
    {
      Statement claim(db_, "INSERT INTO players (name, key_hash) VALUES (?, ?) ON CONFLICT (name) DO NOTHING");
      claim.Bind(1, round.player).Bind(2, keyHash);
      if (claim.Step() != SQLITE_DONE) return Failure(result);
      Statement find(db_, "SELECT key_hash FROM players WHERE name = ?");
      find.Bind(1, round.player);
      const int step = find.Step();
      if (step != SQLITE_ROW) return Failure(result);
      if (find.Text(0) != keyHash) {
        result.outcome = Outcome::WrongKey;
        return result;
      }
    }
    {
      Statement held(db_, "SELECT id, player, day, score, combo, time, pauses FROM rounds WHERE replay_hash = ?");
      held.Bind(1, replayHash);
      const int step = held.Step();
      if (step == SQLITE_ROW) {
        result.round = RoundFrom(held);
        result.outcome = result.round.player == round.player ? Outcome::AlreadyHeld : Outcome::OtherPlayer;
        if (!RankOf(result.round, &result.rank, &result.players)) return Failure(result);
        return result;  // rolled back: a name is not claimed by sending another's file
      }
      if (step != SQLITE_DONE) return Failure(result);
    }
    Statement insert(db_,
                     "INSERT INTO rounds (replay_hash, player, day, score, combo, time, bytes, pauses) "
                     "VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    insert.Bind(1, replayHash)
        .Bind(2, round.player)
        .Bind(3, round.day)
        .Bind(4, std::int64_t{round.score})
        .Bind(5, std::int64_t{round.combo})
        .Bind(6, round.time)
        .Bind(7, bytes)
        .Bind(8, std::int64_t{round.pauses});
    if (insert.Step() != SQLITE_DONE) return Failure(result);
    result.round = round;
    result.round.id = sqlite3_last_insert_rowid(db_);
    if (!RankOf(result.round, &result.rank, &result.players) || !transaction.Commit()) return Failure(result);
    result.outcome = Outcome::Added;
    return result;
  }

  Status Held(const std::string& replayHash, std::optional<AddResult>* held) override {
    std::lock_guard lock(mutex_);
    held->reset();
    Statement find(db_, "SELECT id, player, day, score, combo, time, pauses FROM rounds WHERE replay_hash = ?");
    find.Bind(1, replayHash);
    const int step = find.Step();
    if (step == SQLITE_DONE) return Status::Ok;
    if (step != SQLITE_ROW) return Fault();
    AddResult found;
    found.outcome = Outcome::AlreadyHeld;
    found.round = RoundFrom(find);
    if (!RankOf(found.round, &found.rank, &found.players)) return Fault();
    *held = found;
    return Status::Ok;
  }

  Status Table(const std::string& day, std::int64_t limit, std::vector<TableLine>* lines) override {
    std::lock_guard lock(mutex_);
    Statement query(db_,
                    "SELECT id, player, day, score, combo, time, pauses FROM ("
                    "  SELECT id, player, day, score, combo, time, pauses,"
                    "    ROW_NUMBER() OVER (PARTITION BY player ORDER BY score DESC, id) AS nth"
                    "  FROM rounds WHERE day = ?1) "
                    "WHERE nth = 1 ORDER BY score DESC, id LIMIT ?2");
    query.Bind(1, day).Bind(2, limit);
    lines->clear();
    int step;
    while ((step = query.Step()) == SQLITE_ROW) {
      lines->push_back({static_cast<std::int64_t>(lines->size()) + 1, RoundFrom(query)});
    }
    return step == SQLITE_DONE ? Status::Ok : Fault();
  }

  Status AddToken(const std::string& token, const std::string& day, const TokenHeld& held) override {
    std::lock_guard lock(mutex_);
    Statement forget(db_, "DELETE FROM tokens WHERE day <> ?");
    forget.Bind(1, day);
    if (forget.Step() != SQLITE_DONE) return Fault();
    Statement add(db_, held.ended ? "INSERT INTO tokens (token, day, issued, ended, ended_hash) VALUES (?, ?, ?, ?, ?)"
                                  : "INSERT INTO tokens (token, day, issued) VALUES (?, ?, ?)");
    add.Bind(1, token).Bind(2, day).Bind(3, held.issued);
    if (held.ended) add.Bind(4, *held.ended).Bind(5, held.endedHash);
    return add.Step() == SQLITE_DONE ? Status::Ok : Fault();
  }

  Status TakeToken(const std::string& token, const std::string& day, std::optional<TokenHeld>* held) override {
    std::lock_guard lock(mutex_);
    // One statement: two submissions with the same token cannot both take it.
    Statement take(db_, "DELETE FROM tokens WHERE token = ? AND day = ? RETURNING issued, ended, ended_hash");
    take.Bind(1, token).Bind(2, day);
    const int step = take.Step();
    if (step == SQLITE_DONE) {
      held->reset();
      return Status::Ok;
    }
    if (step != SQLITE_ROW) return Fault();
    TokenHeld taken;
    taken.issued = take.Int(0);
    if (!take.Null(1)) {
      taken.ended = take.Int(1);
      taken.endedHash = take.Text(2);
    }
    *held = taken;
    return take.Step() == SQLITE_DONE ? Status::Ok : Fault();  // the deletion is done
  }

  Status StampToken(const std::string& token, const std::string& day, std::int64_t ended,
                    const std::string& replayHash, Stamp* stamp) override {
    std::lock_guard lock(mutex_);
    Statement note(db_, "UPDATE tokens SET ended = ?, ended_hash = ? WHERE token = ? AND day = ? AND ended IS NULL");
    note.Bind(1, ended).Bind(2, replayHash).Bind(3, token).Bind(4, day);
    if (note.Step() != SQLITE_DONE) return Fault();
    if (sqlite3_changes(db_) == 1) {
      *stamp = Stamp::Stamped;
      return Status::Ok;
    }
    Statement find(db_, "SELECT 1 FROM tokens WHERE token = ? AND day = ?");
    find.Bind(1, token).Bind(2, day);
    const int step = find.Step();
    if (step != SQLITE_ROW && step != SQLITE_DONE) return Fault();
    *stamp = step == SQLITE_ROW ? Stamp::AlreadyStamped : Stamp::NoToken;
    return Status::Ok;
  }

  Status ReplayBytes(std::int64_t id, std::optional<std::vector<std::uint8_t>>* bytes) override {
    std::lock_guard lock(mutex_);
    Statement find(db_, "SELECT bytes FROM rounds WHERE id = ?");
    find.Bind(1, id);
    const int step = find.Step();
    if (step == SQLITE_ROW) {
      *bytes = find.Blob(0);
    } else if (step == SQLITE_DONE) {
      bytes->reset();
    } else {
      return Fault();
    }
    return Status::Ok;
  }

 private:
  // One more than the other players with a better round that day (a higher
  // score, or the same one sent earlier), and how many players the day has.
  bool RankOf(const StoredRound& round, std::int64_t* rank, std::int64_t* players) {
    Statement count(db_,
                    "SELECT COUNT(DISTINCT player) FROM rounds WHERE day = ?1 AND player <> ?2 AND "
                    "(score > ?3 OR (score = ?3 AND id < ?4))");
    count.Bind(1, round.day).Bind(2, round.player).Bind(3, std::int64_t{round.score}).Bind(4, round.id);
    if (count.Step() != SQLITE_ROW) return false;
    *rank = count.Int(0) + 1;
    Statement all(db_, "SELECT COUNT(DISTINCT player) FROM rounds WHERE day = ?");
    all.Bind(1, round.day);
    if (all.Step() != SQLITE_ROW) return false;
    *players = all.Int(0);
    return true;
  }

  // The last error, logged: a lock held past the busy timeout is worth
  // trying again later, anything else is a refusal.
  Status Fault() {
    std::fprintf(stderr, "vantor-server: SQLite: %s\n", sqlite3_errmsg(db_));
    const int code = sqlite3_errcode(db_) & 0xff;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED ? Status::Unavailable : Status::Failed;
  }
  AddResult& Failure(AddResult& result) {
    result.outcome = Fault() == Status::Unavailable ? Outcome::Unavailable : Outcome::Failed;
    result.error = sqlite3_errmsg(db_);
    return result;
  }

  std::mutex mutex_;
  sqlite3* db_;
};

}  // namespace

std::unique_ptr<Store> OpenSqliteStore(const std::string& path, std::string* error) {
  sqlite3* db = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
  if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    *error = path + ": " + (db ? sqlite3_errmsg(db) : "cannot be opened");
    sqlite3_close(db);
    return nullptr;
  }
  // Another process (a backup, a second reader) may hold the lock a moment.
  sqlite3_busy_timeout(db, 5000);
  char* message = nullptr;
  const std::string setup = std::string("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON;") + kSchema;
  if (sqlite3_exec(db, setup.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    *error = path + ": " + (message ? message : "cannot be set up");
    sqlite3_free(message);
    sqlite3_close(db);
    return nullptr;
  }
  // Files from before the pause count get it, as 0 for the rounds they hold;
  // files from before end stamps get the token's two columns, empty.
  const struct {
    const char* table;
    const char* column;
    const char* add;
  } added[] = {
      {"rounds", "pauses", "ALTER TABLE rounds ADD COLUMN pauses INTEGER NOT NULL DEFAULT 0"},
      {"tokens", "ended", "ALTER TABLE tokens ADD COLUMN ended INTEGER"},
      {"tokens", "ended_hash", "ALTER TABLE tokens ADD COLUMN ended_hash TEXT"},
  };
  for (const auto& column : added) {
    Statement has(db, "SELECT 1 FROM pragma_table_info(?) WHERE name = ?");
    has.Bind(1, std::string(column.table)).Bind(2, std::string(column.column));
    if (has.Step() == SQLITE_ROW) continue;
    if (sqlite3_exec(db, column.add, nullptr, nullptr, &message) != SQLITE_OK) {
      *error = path + ": " + (message ? message : "cannot be set up");
      sqlite3_free(message);
      sqlite3_close(db);
      return nullptr;
    }
  }
  return std::make_unique<SqliteStore>(db);
}

}  // namespace vtr::server
