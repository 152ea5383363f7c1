// The world table's storage, the same rules on both back ends: a name is
// claimed by its first key, a file is stored once, ranks and the day's table
// follow score then arrival, bytes come back as they went in; two writers
// racing on one database never both win; a database gone is Unavailable
// (never a crash) and is used again once it is back.
#include <gtest/gtest.h>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <climits>
#include <latch>
#include <thread>

#include "server/store.h"
#include "tests/server/databases.h"
#include "tests/support/temp_dir.h"

namespace {

using vtr::server::Store;
using Outcome = Store::Outcome;
using Status = Store::Status;

constexpr std::int64_t kNoon = 1796688000 + 12 * 3600;

// A replay file's stand-in: bytes a text column would mangle (NUL, quotes,
// a backslash, invalid UTF-8).
std::vector<std::uint8_t> File(const std::string& tag) {
  const std::string text = std::string("\0\xff'\\\xc3(\0", 7) + tag;
  return {text.begin(), text.end()};
}

class StoreTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    std::string skip, failure;
    database = server_tests::DatabaseFor(GetParam(), &skip, &failure);
    if (!skip.empty()) GTEST_SKIP() << skip;
    ASSERT_TRUE(failure.empty()) << failure;
    store = Open();
    ASSERT_TRUE(store);
  }
  std::unique_ptr<Store> Open() {
    std::string error;
    auto opened = Store::Open(database, (dir.path() / "world.sqlite").string(), &error);
    EXPECT_TRUE(opened) << error;
    return opened;
  }
  static Store::AddResult Add(Store& store, const std::string& player, const std::string& key,
                              const std::string& file, std::int32_t score, std::uint32_t combo = 1,
                              const std::string& day = "2026-12-08") {
    vtr::server::StoredRound round;
    round.player = player;
    round.day = day;
    round.score = score;
    round.combo = combo;
    round.time = kNoon + score % 1000;
    const std::vector<std::uint8_t> bytes = File(file);
    return store.Add(round, vtr::server::Sha256Hex(key.data(), key.size()),
                     vtr::server::Sha256Hex(bytes.data(), bytes.size()), bytes);
  }
  bool Fits(const std::string& name, const std::string& key) {
    bool fits = false;
    EXPECT_EQ(store->KeyFits(name, vtr::server::Sha256Hex(key.data(), key.size()), &fits), Status::Ok);
    return fits;
  }
  // Runs statements on the database directly, as an older server would.
  bool RawSql(const std::string& sql) {
    if (database.empty()) {
      sqlite3* db = nullptr;
      const bool done = sqlite3_open((dir.path() / "world.sqlite").c_str(), &db) == SQLITE_OK &&
                        sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
      sqlite3_close(db);
      return done;
    }
    PGconn* conn = PQconnectdb(database.c_str());
    PGresult* result = PQexec(conn, sql.c_str());
    const bool done = PQresultStatus(result) == PGRES_COMMAND_OK;
    PQclear(result);
    PQfinish(conn);
    return done;
  }
  std::vector<vtr::server::TableLine> Table(const std::string& day, std::int64_t limit = 10) {
    std::vector<vtr::server::TableLine> lines;
    EXPECT_EQ(store->Table(day, limit, &lines), Status::Ok);
    return lines;
  }

  testing_support::TempDir dir;
  std::string database;
  std::unique_ptr<Store> store;
};

TEST_P(StoreTest, ClaimsNamesStoresFilesOnceAndRanks) {
  const struct {
    const char* what;
    const char* player;
    const char* key;
    const char* file;
    std::int32_t score;
    std::uint32_t combo;
    const char* day;
    Outcome outcome;
    std::int64_t rank;
    std::int64_t of;  // players ranked that day
  } steps[] = {
      {"bob first", "bob", "bob-key", "B", 200, 3, "2026-12-08", Outcome::Added, 1, 1},
      {"alice below him", "alice", "alice-key", "A", 100, 2, "2026-12-08", Outcome::Added, 2, 2},
      {"alice's file again", "alice", "alice-key", "A", 100, 2, "2026-12-08", Outcome::AlreadyHeld, 2, 2},
      {"alice's file under mallory", "mallory", "mallory-key", "A", 100, 2, "2026-12-08", Outcome::OtherPlayer, 2, 2},
      {"alice's name, another key", "alice", "not-alices", "C", 900, 1, "2026-12-08", Outcome::WrongKey, 0, 0},
      {"carol ties bob, later", "carol", "carol-key", "D", 200, UINT32_MAX, "2026-12-08", Outcome::Added, 2, 3},
      {"alice's best", "alice", "alice-key", "E", 300, 5, "2026-12-08", Outcome::Added, 1, 3},
      {"alice's worst", "alice", "alice-key", "F", INT32_MIN, 0, "2026-12-08", Outcome::Added, 3, 3},
      {"dave, the next day", "dave", "dave-key", "G", INT32_MAX, 1, "2026-12-09", Outcome::Added, 1, 1},
  };
  std::int64_t firstA = 0;
  for (const auto& step : steps) {
    const Store::AddResult added = Add(*store, step.player, step.key, step.file, step.score, step.combo, step.day);
    EXPECT_EQ(added.outcome, step.outcome) << step.what << ": " << added.error;
    EXPECT_EQ(added.rank, step.rank) << step.what;
    EXPECT_EQ(added.players, step.of) << step.what;
    if (std::string(step.file) == "A") {
      if (firstA == 0) firstA = added.round.id;
      EXPECT_EQ(added.round.id, firstA) << step.what << ": the file is stored once";
      EXPECT_EQ(added.round.player, "alice") << step.what;
    }
  }
  EXPECT_TRUE(Fits("alice", "alice-key"));
  EXPECT_FALSE(Fits("alice", "not-alices"));
  EXPECT_TRUE(Fits("mallory", "anyone's key")) << "sending another's file claims no name";

  const auto table = Table("2026-12-08");
  ASSERT_EQ(table.size(), 3u);
  const struct {
    const char* player;
    std::int32_t score;
    std::uint32_t combo;
  } expected[] = {{"alice", 300, 5}, {"bob", 200, 3}, {"carol", 200, UINT32_MAX}};
  for (std::size_t i = 0; i < table.size(); ++i) {
    EXPECT_EQ(table[i].rank, static_cast<std::int64_t>(i) + 1);
    EXPECT_EQ(table[i].round.player, expected[i].player) << i;
    EXPECT_EQ(table[i].round.score, expected[i].score) << i;
    EXPECT_EQ(table[i].round.combo, expected[i].combo) << i;
    EXPECT_EQ(table[i].round.day, "2026-12-08");
    EXPECT_EQ(table[i].round.time, kNoon + expected[i].score % 1000);
  }
  EXPECT_EQ(Table("2026-12-08", 2).size(), 2u);
  EXPECT_EQ(Table("2026-12-08", 1).at(0).round.player, "alice");
  ASSERT_EQ(Table("2026-12-09").size(), 1u);
  EXPECT_EQ(Table("2026-12-09")[0].round.score, INT32_MAX);
  EXPECT_TRUE(Table("2026-12-10").empty());

  std::optional<std::vector<std::uint8_t>> bytes;
  ASSERT_EQ(store->ReplayBytes(firstA, &bytes), Status::Ok);
  EXPECT_EQ(bytes, File("A"));
  ASSERT_EQ(store->ReplayBytes(firstA + 1000, &bytes), Status::Ok);
  EXPECT_FALSE(bytes);

  // What one server stored, another (or the next start) reads.
  store.reset();
  store = Open();
  ASSERT_TRUE(store);
  EXPECT_EQ(Table("2026-12-08").size(), 3u);
  EXPECT_FALSE(Fits("alice", "not-alices"));
}

TEST_P(StoreTest, TwoWritersRacingOnOneNameOrOneFileOneWins) {
  // Two connections, as two servers sharing the database.
  std::unique_ptr<Store> other = Open();
  ASSERT_TRUE(other);
  Store* writers[2] = {store.get(), other.get()};
  constexpr int kRaces = 40;
  for (int race = 0; race < kRaces; ++race) {
    const std::string n = std::to_string(race);
    Store::AddResult results[2];
    std::latch start(2);
    auto run = [&](int i) {
      start.arrive_and_wait();
      // Even races: one name, two keys. Odd races: one file, two names.
      results[i] = race % 2 == 0 ? Add(*writers[i], "p" + n, "key-" + std::to_string(i), n + "-" + std::to_string(i), race)
                                 : Add(*writers[i], "q" + n + "-" + std::to_string(i), "key", n, race);
    };
    std::thread first(run, 0), second(run, 1);
    first.join();
    second.join();
    const Outcome loses = race % 2 == 0 ? Outcome::WrongKey : Outcome::OtherPlayer;
    const int winner = results[0].outcome == Outcome::Added ? 0 : 1;
    EXPECT_EQ(results[winner].outcome, Outcome::Added) << "race " << race << ": " << results[winner].error;
    EXPECT_EQ(results[1 - winner].outcome, loses) << "race " << race << ": " << results[1 - winner].error;
    if (race % 2 == 1) {
      EXPECT_TRUE(Fits("q" + n + "-" + std::to_string(1 - winner), "a stranger's key")) << race;
    }
  }
  EXPECT_EQ(Table("2026-12-08", 1000).size(), static_cast<std::size_t>(kRaces));
}

// A round token is taken once; its end is noted once, the first stamp
// kept; a table made before end stamps gets their columns, empty.
TEST_P(StoreTest, TokensKeepTheirFirstEndStampAndServeOnce) {
  store.reset();
  ASSERT_TRUE(RawSql("ALTER TABLE tokens DROP COLUMN ended; ALTER TABLE tokens DROP COLUMN ended_hash; "
                     "INSERT INTO tokens (token, day, issued) VALUES ('old', '2026-12-08', 5)"));
  store = Open();
  ASSERT_TRUE(store);
  ASSERT_EQ(store->AddToken("new", "2026-12-08", {10, {}, {}}), Status::Ok);
  using Stamp = Store::Stamp;
  const struct {
    const char* token;
    const char* day;
    std::int64_t at;
    const char* hash;
    Stamp stamp;
  } stamps[] = {
      {"old", "2026-12-08", 60, "first", Stamp::Stamped},
      {"old", "2026-12-08", 90, "second", Stamp::AlreadyStamped},
      {"new", "2026-12-09", 70, "another day", Stamp::NoToken},
      {"none", "2026-12-08", 70, "never issued", Stamp::NoToken},
  };
  for (const auto& c : stamps) {
    Stamp stamp = Stamp::Stamped;
    EXPECT_EQ(store->StampToken(c.token, c.day, c.at, c.hash, &stamp), Status::Ok) << c.hash;
    EXPECT_EQ(stamp, c.stamp) << c.hash;
  }
  std::optional<Store::TokenHeld> held;
  ASSERT_EQ(store->TakeToken("old", "2026-12-08", &held), Status::Ok);
  ASSERT_TRUE(held);
  EXPECT_EQ(held->issued, 5);
  EXPECT_EQ(held->ended, 60);
  EXPECT_EQ(held->endedHash, "first");
  const Store::TokenHeld old = *held;
  ASSERT_EQ(store->TakeToken("old", "2026-12-08", &held), Status::Ok);
  EXPECT_FALSE(held) << "a token serves once";
  ASSERT_EQ(store->TakeToken("new", "2026-12-08", &held), Status::Ok);
  ASSERT_TRUE(held);
  EXPECT_EQ(held->issued, 10);
  EXPECT_FALSE(held->ended);
  // Given back (its round could not be checked then), as it was.
  ASSERT_EQ(store->AddToken("old", "2026-12-08", old), Status::Ok);
  ASSERT_EQ(store->TakeToken("old", "2026-12-08", &held), Status::Ok);
  ASSERT_TRUE(held);
  EXPECT_EQ(held->ended, 60);
  EXPECT_EQ(held->endedHash, "first");
}

// Only a database server can go away under the world table's.
using StoreOutageTest = StoreTest;

TEST_P(StoreOutageTest, AnUnreachableDatabaseIsUnavailableUntilItIsBack) {
  std::string why;
  testing_support::PgCluster* cluster = testing_support::PgCluster::Shared(&why);
  ASSERT_EQ(Add(*store, "alice", "alice-key", "A", 100).outcome, Outcome::Added);

  ASSERT_TRUE(cluster->Stop());
  bool fits = false;
  std::vector<vtr::server::TableLine> lines;
  std::optional<std::vector<std::uint8_t>> bytes;
  EXPECT_EQ(store->KeyFits("alice", "x", &fits), Status::Unavailable);
  EXPECT_EQ(Add(*store, "bob", "bob-key", "B", 200).outcome, Outcome::Unavailable);
  EXPECT_EQ(store->Table("2026-12-08", 10, &lines), Status::Unavailable);
  EXPECT_EQ(store->ReplayBytes(1, &bytes), Status::Unavailable);

  ASSERT_TRUE(cluster->Start());
  EXPECT_EQ(Add(*store, "bob", "bob-key", "B", 200).outcome, Outcome::Added);
  EXPECT_EQ(Table("2026-12-08").size(), 2u);

  // A connection cut under a server that does not know yet: the call is
  // made again on a new one.
  ASSERT_TRUE(cluster->Sql("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                           "WHERE application_name = 'vantor-server'"));
  EXPECT_EQ(Table("2026-12-08").size(), 2u);
  EXPECT_EQ(Add(*store, "carol", "carol-key", "C", 300).outcome, Outcome::Added);
}

INSTANTIATE_TEST_SUITE_P(Databases, StoreTest, server_tests::kBackends, server_tests::BackendName);
INSTANTIATE_TEST_SUITE_P(Databases, StoreOutageTest, ::testing::Values(std::string("postgresql")),
                         server_tests::BackendName);

}  // namespace
