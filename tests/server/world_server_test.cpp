// The world table's server, run for real on 127.0.0.1, once with its SQLite
// file in a temporary folder and once on a throwaway PostgreSQL cluster:
// today's round, recorded by the real game headless, is accepted and ranked;
// forged, foreign and oversized files are refused with the status and reason
// a client can act on; the table and the stored replays answer as stored; a
// database gone answers 503 until it is back. Round tokens, rate limits and
// the verifiers' limits are tried at their bounds, and the server keeps
// answering under a costly round and a small load.
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "actors/actor_list.h"
#include "app/app.h"
#include "config/settings.h"
#include "game/game.h"
#include "game/replay_driver.h"
#include "platform/hge_headless.h"
#include "replay/daily.h"
#include "replay/frame_codec.h"
#include "replay/replay_folder.h"
#include "server/store.h"
#include "server/world_server.h"
#include "tests/server/databases.h"
#include "tests/support/daily_round.h"
#include "tests/support/hostile_replay.h"
#include "tests/support/temp_dir.h"

namespace {

using nlohmann::json;

constexpr std::int64_t kMorning = 1796688000 + 9 * 3600;  // 2026-12-08, 09:00 UTC
const std::string kAlice = "alice:0123456789abcdef0123";

// Today's round played by the real game, headless, with a shot at a rising
// rocket every `every` frames; the stored replay file's bytes. With a
// changed, the same file with one byte of its frame stream changed (and the
// checksum made right again) such that the game plays it to another result.
// With pause, the round is paused with Escape at its 100th frame for ten
// frames.
std::vector<std::uint8_t> RecordDailyRound(const std::filesystem::path& folder, int every,
                                           std::vector<std::uint8_t>* changed = nullptr, bool pause = false) {
  vtr::App app(testing_support::QuietGameIn(folder));
  EXPECT_TRUE(app.Start()) << app.error();
  app.game()->NewDailyRound(kMorning);
  for (int i = 0; i < 2000 && !app.game()->ScoreEntered(); ++i) {
    const bool pausing = pause && i >= 100 && i < 112;
    if (pausing && (i == 100 || i == 110)) headless::PushKey(HGEK_ESCAPE, true);
    if (pausing && (i == 101 || i == 111)) headless::PushKey(HGEK_ESCAPE, false);
    if (!pausing && i % every == 0) testing_support::ShootARisingRocket();
    app.Frame();
  }
  EXPECT_TRUE(app.game()->ScoreEntered());
  const std::vector<std::uint8_t> bytes = testing_support::OnlyStoredReplay();
  vtr::Replay replay;
  std::string error;
  EXPECT_EQ(vtr::ParseReplay(bytes.data(), bytes.size(), &replay, &error), vtr::ReplayError::None) << error;
  const std::size_t stream = bytes.size() - replay.frames.size();
  for (std::size_t at = stream; changed != nullptr && changed->empty() && at < bytes.size(); ++at) {
    std::vector<std::uint8_t> edited = bytes;
    edited[at] ^= 0x01;
    vtr::SealReplayBytes(edited);
    if (vtr::ParseReplay(edited.data(), edited.size(), &replay, &error) == vtr::ReplayError::None &&
        !vtr::VerifyReplay(app.game(), replay).ok()) {
      *changed = edited;
    }
  }
  EXPECT_TRUE(changed == nullptr || !changed->empty()) << "no one-byte change alters the round";
  return bytes;
}

vtr::Replay Parsed(const std::vector<std::uint8_t>& bytes) {
  vtr::Replay replay;
  std::string error;
  EXPECT_EQ(vtr::ParseReplay(bytes.data(), bytes.size(), &replay, &error), vtr::ReplayError::None) << error;
  return replay;
}

std::string Text(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// The whole seconds a replay's frames last (0 for what is no replay).
std::int64_t RecordedSeconds(const std::string& body) {
  vtr::Replay replay;
  std::string error;
  if (vtr::ParseReplay(reinterpret_cast<const std::uint8_t*>(body.data()), body.size(), &replay, &error) !=
      vtr::ReplayError::None) {
    return 0;
  }
  vtr::FrameDecoder frames(replay.frames);
  float dt = 0.0f;
  hge_record::InputFrame input;
  double seconds = 0.0;
  while (frames.Next(&dt, &input, &error)) seconds += dt;
  return static_cast<std::int64_t>(std::floor(seconds));
}

constexpr std::int64_t kNow = kMorning + 3600;
constexpr std::int64_t kFromReplay = -1;  // a token as old as the round sent with it

class WorldServerTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    std::string skip, failure;
    server_tests::DatabaseFor(GetParam(), &skip, &failure);  // the cluster up, once a process
    if (!skip.empty()) GTEST_SKIP() << skip;
    ASSERT_TRUE(failure.empty()) << failure;
    // The game runs once per process: the rounds are recorded before the
    // server starts its own.
    best = RecordDailyRound(dir.path() / "alice", 40, &changedInput);
    other = RecordDailyRound(dir.path() / "bob", 3, nullptr, true);
    Restart([](vtr::server::ServerOptions&) {});
  }
  void TearDown() override { StopServer(); }

  void StopServer() {
    if (server) server->Stop();
    if (running.joinable()) running.join();
    server.reset();
  }
  // A fresh server (and table) with the tests' options, changed by adjust:
  // one verifier, and limits on rates no test but theirs reaches.
  void Restart(const std::function<void(vtr::server::ServerOptions&)>& adjust) {
    StopServer();
    vtr::server::ServerOptions options;
    options.port = 0;
    options.dataFolder = (dir.path() / ("server" + std::to_string(++servers))).string();
    std::string skip, failure;
    options.database = server_tests::DatabaseFor(GetParam(), &skip, &failure);  // a fresh table each time
    ASSERT_TRUE(failure.empty()) << failure;
    database = options.database;
    dataFolder = options.dataFolder;
    options.contentFolder = VANTOR_SOURCE_DIR "/";
    options.workerProgram = VANTOR_SERVER_PROGRAM;
    options.clock = [this] { return now.load(); };
    options.pool.workers = 1;
    options.perPlayer = {1000, 1};
    options.perAddress = {1000, 1};
    adjust(options);
    serverOptions = options;
    server = std::make_unique<vtr::server::WorldServer>(options);
    std::string error;
    ASSERT_TRUE(server->Start(&error)) << error;
    running = std::thread([this] { server->Run(); });
    client = std::make_unique<httplib::Client>("127.0.0.1", server->port());
    // A round is played again before the answer: slow under the sanitizers
    // on a busy machine.
    client->set_read_timeout(120, 0);
    Get("/healthz");
  }

  // A round token issued age seconds before now ("" when none was given),
  // by the server or by another one reached through via.
  std::string Token(std::int64_t age, httplib::Client* via = nullptr) {
    const std::int64_t at = now.load();
    now = at - age;
    const auto res = (via ? via : client.get())->Post("/api/v1/daily/token", "", "text/plain");
    now = at;
    if (!res || res->status != 201) return "";
    return json::parse(res->body, nullptr, false).value("token", "");
  }

  // Status and JSON body of a round sent as player ("" sends no header),
  // with a token of the given age (or tokenText as it is, when given).
  std::pair<int, json> Send(const std::string& body, const std::string& player = kAlice,
                            std::int64_t tokenAge = kFromReplay, const char* tokenText = nullptr,
                            httplib::Headers* answered = nullptr) {
    httplib::Headers headers;
    if (!player.empty()) headers.emplace("X-Vantor-Player", player);
    const std::string token = tokenText ? tokenText : Token(tokenAge == kFromReplay ? RecordedSeconds(body) : tokenAge);
    if (!token.empty()) headers.emplace("X-Vantor-Token", token);
    const auto res = client->Post("/api/v1/rounds", headers, body, "application/octet-stream");
    if (!res) return {0, json{}};
    if (answered) *answered = res->headers;
    return {res->status, json::parse(res->body, nullptr, false)};
  }
  json Get(const std::string& path, int status = 200) {
    const auto res = client->Get(path);
    EXPECT_TRUE(res && res->status == status) << path << ": " << (res ? res->body : "no answer");
    return res ? json::parse(res->body, nullptr, false) : json{};
  }

  // The server's own table, opened beside it.
  std::unique_ptr<vtr::server::Store> OpenStore() {
    std::string error;
    auto store = vtr::server::Store::Open(database, dataFolder + "/world.sqlite", &error);
    EXPECT_TRUE(store) << error;
    return store;
  }

  testing_support::TempDir dir;
  std::string database, dataFolder;
  vtr::server::ServerOptions serverOptions;
  std::atomic<std::int64_t> now{kNow};
  int servers = 0;
  std::vector<std::uint8_t> best, other, changedInput;
  std::unique_ptr<vtr::server::WorldServer> server;
  std::thread running;
  std::unique_ptr<httplib::Client> client;
};

// Only a database server can go away under the world table's, and only
// PostgreSQL is shared by servers on several machines.
using WorldServerOutageTest = WorldServerTest;
using WorldServerSharedTest = WorldServerTest;
// The verifiers and the rates do not depend on the database: SQLite only.
using WorldServerPoolTest = WorldServerTest;

TEST_P(WorldServerTest, AcceptsTodaysRoundAndRefusesEveryForgery) {
  const vtr::Replay replay = Parsed(best);
  ASSERT_GT(replay.score, 0);

  const auto sent = std::chrono::steady_clock::now();
  auto [status, answer] = Send(Text(best));
  ASSERT_EQ(status, 201) << answer;
  // For the record, not a bound: what one accepted round costs the server.
  std::printf("a %u-frame round sent, played again and stored in %.1f ms\n", replay.frameCount,
              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sent).count());
  EXPECT_EQ(answer["rank"], 1);
  EXPECT_EQ(answer["score"], replay.score);
  EXPECT_EQ(answer["combo"], replay.highestCombo);
  const std::int64_t id = answer["id"];

  // Forgeries, each re-sealed so that only the named field differs.
  vtr::Replay edited = replay;
  edited.score += 1000;
  const std::vector<std::uint8_t> higher = vtr::SerializeReplay(edited);
  edited = replay;
  for (vtr::SettingValue& value : edited.settings) {
    if (auto* number = std::get_if<float>(&value); number && *number > 0.0f && *number < 100.0f) {
      *number *= 2.0f;
      if (!vtr::SettingsOtherThanDefaults(edited.settings).empty()) break;
      *number /= 2.0f;
    }
  }
  const std::vector<std::uint8_t> settings = vtr::SerializeReplay(edited);
  edited = replay;
  edited.start = vtr::DailyRoundStart({2026, 12, 7});
  const std::vector<std::uint8_t> yesterday = vtr::SerializeReplay(edited);
  edited = replay;
  edited.start.daily = false;
  const std::vector<std::uint8_t> ordinary = vtr::SerializeReplay(edited);

  const struct {
    const char* what;
    std::string body, player;
    int status;
    const char* reason;
  } cases[] = {
      {"recorded score raised", Text(higher), kAlice, 422, "played again, the round comes to score"},
      {"one input byte changed", Text(changedInput), kAlice, 422, "played again"},
      {"settings not the defaults", Text(settings), kAlice, 422, "settings other than the defaults"},
      {"yesterday's round", Text(yesterday), kAlice, 422, "not today's round (2026-12-08)"},
      {"not a daily round", Text(ordinary), kAlice, 422, "not a daily round"},
      {"a claimed name, another key", Text(other), "alice:not-alices-key-at-all", 403, "taken by another key"},
      {"the same file under another name", Text(best), "mallory:0123456789abcdef0123", 409, "another name"},
      {"over 64 KB", std::string(vtr::server::kMaxRoundBytes + 1, 'x'), kAlice, 413, "at most 65536 bytes"},
      {"no player", Text(other), "", 400, "X-Vantor-Player"},
      {"a name with a colon only", Text(other), ":0123456789abcdef0123", 400, "player's name"},
      {"a short key", Text(other), "bob:short", 400, "player's key"},
      {"not a replay", "not a replay at all", kAlice, 400, ""},
      {"truncated", Text(best).substr(0, best.size() - 1), kAlice, 400, ""},
  };
  for (const auto& c : cases) {
    const auto [got, body] = Send(c.body, c.player);
    EXPECT_EQ(got, c.status) << c.what << ": " << body;
    EXPECT_NE(body.value("error", "").find(c.reason), std::string::npos) << c.what << ": " << body;
  }

  // The same file again under its own name is the round already stored;
  // sending another's file claimed no name.
  std::tie(status, answer) = Send(Text(best));
  EXPECT_EQ(status, 200) << answer;
  EXPECT_EQ(answer["id"], id);
  EXPECT_EQ(Send(Text(other), "mallory:a-key-of-her-own-at-last").first, 201);
  EXPECT_EQ(Get("/api/v1/table")["rounds"].size(), 2u);
}

TEST_P(WorldServerTest, TableAndReplaysAnswerAsStored) {
  const json daily = Get("/api/v1/daily");
  EXPECT_EQ(daily["date"], "2026-12-08");
  EXPECT_EQ(daily["launchState"], vtr::DailyRoundStart({2026, 12, 8}).launchState);
  EXPECT_EQ(daily["rulesVersion"], vtr::kReplayRulesVersion);

  const std::int32_t bestScore = Parsed(best).score, otherScore = Parsed(other).score;
  ASSERT_GT(bestScore, otherScore) << "Alice's round should score more";
  // Bob sends first; Alice's better round moves her above him.
  auto [status, bob] = Send(Text(other), "bob:fedcba9876543210fedcba");
  ASSERT_EQ(status, 201) << bob;
  EXPECT_EQ(bob["rank"], 1);
  auto [status2, alice] = Send(Text(best));
  ASSERT_EQ(status2, 201) << alice;
  EXPECT_EQ(alice["rank"], 1);

  const json table = Get("/api/v1/table?date=2026-12-08&limit=10");
  ASSERT_EQ(table["rounds"].size(), 2u) << table;
  EXPECT_EQ(table["rounds"][0]["name"], "alice");
  EXPECT_EQ(table["rounds"][0]["score"], bestScore);
  EXPECT_EQ(table["rounds"][0]["id"], alice["id"]);
  EXPECT_EQ(table["rounds"][0]["time"], kMorning + 3600);
  EXPECT_EQ(table["rounds"][1]["rank"], 2);
  EXPECT_EQ(table["rounds"][1]["name"], "bob");
  EXPECT_EQ(table["rounds"][0]["pauses"], 0);
  EXPECT_EQ(table["rounds"][1]["pauses"], 1) << "Bob paused once";
  EXPECT_EQ(Get("/api/v1/table?limit=1")["rounds"].size(), 1u);
  EXPECT_TRUE(Get("/api/v1/table?date=2026-12-07")["rounds"].empty());
  for (const char* bad : {"date=2026-02-30", "date=2026-1-08", "limit=0", "limit=1001", "limit=5x"}) {
    Get(std::string("/api/v1/table?") + bad, 400);
  }

  const auto replay = client->Get("/api/v1/rounds/" + std::to_string(alice["id"].get<std::int64_t>()) + "/replay");
  ASSERT_TRUE(replay);
  EXPECT_EQ(replay->status, 200);
  EXPECT_EQ(replay->body, Text(best));
  Get("/api/v1/rounds/999/replay", 404);
  EXPECT_EQ(Get("/healthz")["ok"], true);
  EXPECT_EQ(Get("/healthz")["verifiers"], 1);

  // A second server on the same port fails instead of sharing it.
  vtr::server::ServerOptions same;
  same.port = server->port();
  same.dataFolder = (dir.path() / "second").string();
  vtr::server::WorldServer second(same);
  std::string error;
  EXPECT_FALSE(second.Start(&error));
  EXPECT_NE(error.find("cannot listen on 127.0.0.1:"), std::string::npos) << error;
}

// The page a browser gets: the day's table with every stored text escaped
// (a name held by the store is a stranger's), each line's replay linked, and
// the browser build linked only when the server has one.
TEST_P(WorldServerTest, PageShowsTodaysTableEscaped) {
  const auto store = OpenStore();
  ASSERT_TRUE(store);
  const struct {
    const char* name;
    std::int32_t score;
    const char* day;
  } rounds[] = {{"<b>\"Eve\" & 'co'</b>", 900, "2026-12-08"}, {"plain", 1200, "2026-12-08"}, {"gone", 5000, "2026-12-07"}};
  std::vector<std::int64_t> ids;
  for (const auto& round : rounds) {
    vtr::server::StoredRound stored;
    stored.player = round.name;
    stored.day = round.day;
    stored.score = round.score;
    stored.combo = 7;
    stored.pauses = 2;
    stored.time = kMorning + 3723;
    const std::vector<std::uint8_t> bytes(round.name, round.name + std::strlen(round.name));
    const auto added = store->Add(stored, vtr::server::Sha256Hex("k", 1), vtr::server::Sha256Hex(bytes.data(), bytes.size()), bytes);
    ASSERT_EQ(added.outcome, vtr::server::Store::Outcome::Added) << added.error;
    ids.push_back(added.round.id);
  }
  auto page = client->Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
  const std::string& html = page->body;
  const std::size_t plain = html.find("<td class=\"name\">plain</td>");
  const std::size_t eve = html.find("<td class=\"name\">&lt;b&gt;&quot;Eve&quot; &amp; &#39;co&#39;&lt;/b&gt;</td>");
  ASSERT_NE(eve, std::string::npos) << html;
  EXPECT_LT(plain, eve) << "the better round first";
  EXPECT_EQ(html.find("<b>"), std::string::npos);
  EXPECT_NE(html.find("<tr><td>2</td>"), std::string::npos);
  EXPECT_NE(html.find("<td>10:02:03</td>"), std::string::npos) << "the time of day it came in";
  EXPECT_NE(html.find("href=\"/api/v1/rounds/" + std::to_string(ids[0]) + "/replay\""), std::string::npos);
  EXPECT_EQ(html.find("gone"), std::string::npos) << "yesterday's round";
  EXPECT_EQ(html.find("/play/"), std::string::npos) << "no browser build given";
  EXPECT_EQ(client->Get("/play/")->status, 404);

  // With the browser build beside it, the page links it and it is served.
  const std::filesystem::path web = dir.path() / "web";
  std::filesystem::create_directories(web);
  std::ofstream(web / "index.html") << "<title>the game</title>";
  std::ofstream(web / "vantor.wasm") << "wasm";
  Restart([&web](vtr::server::ServerOptions& options) { options.webFolder = web.string(); });
  EXPECT_NE(client->Get("/")->body.find("href=\"/play/\""), std::string::npos);
  EXPECT_EQ(client->Get("/play/")->body, "<title>the game</title>");
  EXPECT_EQ(client->Get("/play/vantor.wasm")->get_header_value("Content-Type"), "application/wasm");
  EXPECT_EQ(client->Get("/play/../world.sqlite")->status, 404);
}

// The round token at its bounds: a round's frames must last the time
// between its token and its submission, give or take the slack.
TEST_P(WorldServerTest, RoundTokenBoundsTheRoundsTime) {
  now = kNow - 86400;
  const std::string yesterdays = Token(0);
  now = kNow;
  ASSERT_FALSE(yesterdays.empty());
  const std::string round = Text(best);
  const std::int64_t lasts = RecordedSeconds(round), slack = 60;
  ASSERT_GT(lasts, slack) << "the bounds below need a round longer than the slack";
  const struct {
    std::int64_t age;
    int status;
    const char* reason;
  } cases[] = {
      {lasts + slack + 1, 422, "its clock ran slow"},
      {lasts - slack - 1, 422, "faster than it can be played"},
      {lasts + slack, 201, ""},
      {lasts - slack, 200, ""},  // the same file again: the stored round
  };
  for (const auto& c : cases) {
    const auto [got, body] = Send(round, kAlice, c.age);
    EXPECT_EQ(got, c.status) << "token " << c.age << " s old: " << body;
    EXPECT_NE(body.value("error", "").find(c.reason), std::string::npos) << body;
  }

  const std::string used = Token(lasts);
  EXPECT_EQ(Send(round, kAlice, 0, used.c_str()).first, 200);
  const auto [again, reused] = Send(Text(other), kAlice, 0, used.c_str());
  EXPECT_EQ(again, 422) << "a token serves once: " << reused;
  EXPECT_EQ(Send(Text(other), kAlice, 0, yesterdays.c_str()).first, 422) << "a token serves its own day";
  // A round stored under its name answers as stored, whatever its token: its
  // first answer may have been lost on the way.
  const auto [resent, stored] = Send(round, kAlice, 0, used.c_str());
  EXPECT_EQ(resent, 200) << stored;
  EXPECT_EQ(stored["rank"], 1);
  EXPECT_EQ(stored["of"], 1);
  EXPECT_EQ(Send(round, "bob:fedcba9876543210fedcba", 0, used.c_str()).first, 422) << "not under another name";
  EXPECT_EQ(Send(round, kAlice, 0, "").first, 400) << "no token";
  EXPECT_EQ(Send(round, kAlice, 0, "0123456789ABCDEF0123456789abcdef").first, 400) << "not a token's shape";

  // Frames shorter than the game records are refused before they are played.
  vtr::Replay quick = Parsed(best);
  testing_support::MakeQuietFrames(quick, 1000, vtr::server::kMinDailyFrameMicros - 1);
  const auto [status, body] = Send(Text(vtr::SerializeReplay(quick)));
  EXPECT_EQ(status, 422);
  EXPECT_NE(body.value("error", "").find("a frame of 249 us"), std::string::npos) << body;
}

// An end stamp (the round's file, as the game sends it, or its SHA-256): a
// round sent long after it ended is measured to its end, and only the file
// it was stamped with may follow; a second stamp changes nothing; a round as
// late without one is still refused.
TEST_P(WorldServerTest, AStampedRoundSentLaterIsMeasuredToItsEnd) {
  const std::string round = Text(best);
  const std::int64_t lasts = RecordedSeconds(round), slack = 60, late = 3 * slack;
  const std::string hash = vtr::server::Sha256Hex(best.data(), best.size());
  const auto stamp = [&](const std::string& token, const std::string& body, std::int64_t ago) {
    const std::int64_t at = now.load();
    now = at - ago;
    const auto res = client->Post("/api/v1/daily/stamp", {{"X-Vantor-Token", token}}, body, "text/plain");
    now = at;
    return res ? res->status : 0;
  };
  // Three tokens of a round that ended `late` seconds ago.
  const std::string unstamped = Token(lasts + late), stamped = Token(lasts + late), misused = Token(lasts + late);
  EXPECT_EQ(stamp(stamped, round, late), 201);
  EXPECT_EQ(stamp(stamped, std::string(64, 'a'), late / 2), 200) << "a second stamp changes nothing";
  EXPECT_EQ(stamp(misused, hash, late), 201);
  for (const std::string& neither : {std::string("not a hash"), round.substr(1), std::string(64, 'A')}) {
    EXPECT_EQ(stamp(stamped, neither, 0), 400) << neither.substr(0, 12);
  }
  EXPECT_EQ(stamp("0123456789abcdef0123456789abcdef", hash, 0), 422) << "no such token";

  const auto [slow, why] = Send(round, kAlice, 0, unstamped.c_str());
  EXPECT_EQ(slow, 422) << why;
  EXPECT_NE(why.value("error", "").find("its clock ran slow"), std::string::npos) << why;
  const auto [swapped, whySwapped] = Send(Text(other), kAlice, 0, misused.c_str());
  EXPECT_EQ(swapped, 422) << "only the stamped file follows its stamp: " << whySwapped;
  const auto [status, answer] = Send(round, kAlice, 0, stamped.c_str());
  EXPECT_EQ(status, 201) << answer;
  EXPECT_EQ(answer["rank"], 1);
  EXPECT_EQ(answer["of"], 1);
}

// A burst, then one request per period, per player and per address; the
// refusal says when to come back.
TEST_P(WorldServerPoolTest, TooFrequentSubmissionsAnswer429) {
  Restart([](vtr::server::ServerOptions& options) {
    options.perPlayer = {3, 60};
    options.perAddress = {6, 20};
  });
  const std::string bob = "bob:fedcba9876543210fedcba";
  const struct {
    const char* player;
    std::int64_t advance;  // seconds before this request
    int status;
    const char* retryAfter;
  } steps[] = {
      {kAlice.c_str(), 0, 400, ""}, {kAlice.c_str(), 0, 400, ""}, {kAlice.c_str(), 0, 400, ""},
      {kAlice.c_str(), 0, 429, "60"},  // Alice's burst is spent
      {bob.c_str(), 0, 400, ""},       {bob.c_str(), 0, 400, ""},
      {bob.c_str(), 0, 429, "20"},     // the address's burst is spent (Alice's refusal counted)
      {bob.c_str(), 20, 400, ""},      // one more after its period
      {kAlice.c_str(), 20, 429, "20"}, // Alice still waits
      {kAlice.c_str(), 20, 400, ""},
  };
  int at = 0;
  for (const auto& step : steps) {
    now += step.advance;
    httplib::Headers headers;
    const auto [status, body] = Send("not a replay", step.player, 0, "0123456789abcdef0123456789abcdef", &headers);
    EXPECT_EQ(status, step.status) << "step " << at << ": " << body;
    EXPECT_EQ(httplib::detail::get_header_value(headers, "Retry-After", 0, ""), std::string(step.retryAfter))
        << "step " << at;
    ++at;
  }
}

// A costly round takes one verifier past its CPU limit while the server
// keeps answering; the verifier is replaced; a full queue answers 503.
TEST_P(WorldServerPoolTest, CostlyRoundIsStoppedAtItsLimitAndTheServerKeepsAnswering) {
  Restart([](vtr::server::ServerOptions& options) {
    options.pool.cpuSeconds = 3;
    options.pool.queue = 1;
  });
  // 250,000 frames of the shortest time allowed, as many as a round's minute
  // spans: about 20 s of CPU played to its end, far past the limit, and
  // quick to read.
  vtr::Replay costly = Parsed(best);
  testing_support::MakeQuietFrames(costly, 250000, vtr::server::kMinDailyFrameMicros);
  const std::string file = Text(vtr::SerializeReplay(costly));
  ASSERT_LE(file.size(), vtr::server::kMaxRoundBytes);

  std::atomic<bool> done{false};
  std::pair<int, json> costlyAnswer;
  const std::string token = Token(RecordedSeconds(file));
  std::thread sender([&] {
    httplib::Client own("127.0.0.1", server->port());
    own.set_read_timeout(120, 0);
    const auto res = own.Post("/api/v1/rounds", {{"X-Vantor-Player", kAlice}, {"X-Vantor-Token", token}}, file,
                              "application/octet-stream");
    costlyAnswer = res ? std::pair{res->status, json::parse(res->body, nullptr, false)} : std::pair{0, json{}};
    done = true;
  });
  int answeredMeanwhile = 0;
  for (int i = 0; i < 200 && !done; ++i) {
    const auto health = client->Get("/healthz");
    const auto table = client->Get("/api/v1/table");
    if (!done) answeredMeanwhile += health && health->status == 200 && table && table->status == 200;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  sender.join();
  EXPECT_GT(answeredMeanwhile, 0) << "health and table requests wait for no verification";
  EXPECT_EQ(costlyAnswer.first, 422) << costlyAnswer.second;
  EXPECT_NE(costlyAnswer.second.value("error", "").find("past its 3 s of CPU"), std::string::npos)
      << costlyAnswer.second;

  // The replaced verifier plays the next round.
  EXPECT_EQ(Send(Text(best)).first, 201);

  // One playing, one waiting: a third finds the queue full.
  std::vector<std::thread> queued;
  std::vector<int> statuses(2);
  const std::int64_t lasts = RecordedSeconds(file);
  for (int i = 0; i < 2; ++i) {
    const std::string own = Token(lasts);
    queued.emplace_back([&, i, own] {
      httplib::Client c("127.0.0.1", server->port());
      c.set_read_timeout(120, 0);
      const auto res = c.Post("/api/v1/rounds", {{"X-Vantor-Player", kAlice}, {"X-Vantor-Token", own}}, file,
                              "application/octet-stream");
      statuses[static_cast<std::size_t>(i)] = res ? res->status : 0;
    });
    for (int wait = 0; wait < 400; ++wait) {
      const json health = Get("/healthz");
      if (health.value("busy", 0) == 1 && health.value("waiting", 0) == i) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
  }
  httplib::Headers headers;
  const std::string retried = Token(RecordedSeconds(Text(best)));
  const auto [full, body] = Send(Text(best), kAlice, 0, retried.c_str(), &headers);
  EXPECT_EQ(full, 503) << body;
  EXPECT_STRNE(httplib::detail::get_header_value(headers, "Retry-After", 0, ""), "");
  for (std::thread& t : queued) t.join();
  EXPECT_EQ(statuses, (std::vector<int>{422, 422}));
  // A round turned away busy keeps its token for the next try.
  const auto [again, later] = Send(Text(best), kAlice, 0, retried.c_str());
  EXPECT_EQ(again, 200) << later;
}

// A few hundred requests from a few threads, each answered as it should be.
TEST_P(WorldServerPoolTest, SmallLoadIsAnsweredInFull) {
  constexpr int kThreads = 4, kEach = 75;
  std::atomic<int> right{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      httplib::Client c("127.0.0.1", server->port());
      c.set_read_timeout(30, 0);
      for (int i = 0; i < kEach; ++i) {
        int expected = 200;
        auto res = i % 3 == 0   ? c.Get("/healthz")
                   : i % 3 == 1 ? c.Get("/api/v1/table?limit=10")
                                : (expected = 400, c.Post("/api/v1/rounds", {{"X-Vantor-Player", "load" + std::to_string(t) + ":0123456789abcdef0"},
                                            {"X-Vantor-Token", "0123456789abcdef0123456789abcdef"}},
                         "not a replay", "application/octet-stream"));
        right += res && res->status == expected;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(right.load(), kThreads * kEach);
}


TEST_P(WorldServerOutageTest, AnUnreachableDatabaseAnswers503UntilItIsBack) {
  std::string why;
  testing_support::PgCluster* cluster = testing_support::PgCluster::Shared(&why);
  const std::string token = Token(RecordedSeconds(Text(best)));
  ASSERT_TRUE(cluster->Stop());
  const auto sent = Send(Text(best), kAlice, 0, token.c_str());
  EXPECT_EQ(sent.first, 503) << sent.second;
  EXPECT_NE(sent.second.value("error", "").find("try again"), std::string::npos) << sent.second;
  const auto table = client->Get("/api/v1/table");
  ASSERT_TRUE(table);
  EXPECT_EQ(table->status, 503);
  EXPECT_EQ(table->get_header_value("Retry-After"), "5");
  Get("/api/v1/rounds/1/replay", 503);
  EXPECT_EQ(client->Get("/")->status, 503);

  ASSERT_TRUE(cluster->Start());
  EXPECT_EQ(Send(Text(best), kAlice, 0, token.c_str()).first, 201) << "the token kept while the database was away";
  EXPECT_EQ(Get("/api/v1/table")["rounds"].size(), 1u);
}

// Two servers on one database, as behind a load balancer: a round sent to
// one is in the other's table, a token issued by one is taken by the other,
// and one file sent to both at once is stored once.
TEST_P(WorldServerSharedTest, TwoServersShareOneTable) {
  vtr::server::ServerOptions options = serverOptions;
  options.dataFolder = (dir.path() / "second").string();
  vtr::server::WorldServer second(options);
  std::string error;
  ASSERT_TRUE(second.Start(&error)) << error;
  std::thread secondRunning([&second] { second.Run(); });
  struct Joined {
    vtr::server::WorldServer& server;
    std::thread& running;
    ~Joined() { server.Stop(), running.join(); }
  } joined{second, secondRunning};
  httplib::Client secondClient("127.0.0.1", second.port());
  secondClient.set_read_timeout(120, 0);

  const std::string token = Token(RecordedSeconds(Text(best)), &secondClient);
  const auto [status, alice] = Send(Text(best), kAlice, 0, token.c_str());
  EXPECT_EQ(status, 201) << alice;
  const auto table = secondClient.Get("/api/v1/table");
  ASSERT_TRUE(table);
  const json lines = json::parse(table->body, nullptr, false)["rounds"];
  ASSERT_EQ(lines.size(), 1u) << table->body;
  EXPECT_EQ(lines[0]["id"], alice["id"]);

  // Bob's round to both servers at once, each with its own server's token.
  httplib::Client* clients[] = {client.get(), &secondClient};
  const std::string tokens[] = {Token(RecordedSeconds(Text(other))), Token(RecordedSeconds(Text(other)), &secondClient)};
  int statuses[2] = {0, 0};
  json answers[2];
  std::vector<std::thread> senders;
  for (int i = 0; i < 2; ++i) {
    senders.emplace_back([&, i] {
      const httplib::Headers headers{{"X-Vantor-Player", "bob:fedcba9876543210fedcba"}, {"X-Vantor-Token", tokens[i]}};
      const auto res = clients[i]->Post("/api/v1/rounds", headers, Text(other), "application/octet-stream");
      if (!res) return;
      statuses[i] = res->status;
      answers[i] = json::parse(res->body, nullptr, false);
    });
  }
  for (std::thread& sender : senders) sender.join();
  EXPECT_EQ(std::min(statuses[0], statuses[1]), 200) << answers[0] << answers[1];
  EXPECT_EQ(std::max(statuses[0], statuses[1]), 201) << answers[0] << answers[1];
  EXPECT_EQ(answers[0]["id"], answers[1]["id"]);
  const json both = Get("/api/v1/table")["rounds"];
  ASSERT_EQ(both.size(), 2u) << both;
  EXPECT_EQ(both[1]["id"], answers[0]["id"]);
}

INSTANTIATE_TEST_SUITE_P(Databases, WorldServerTest, server_tests::kBackends, server_tests::BackendName);
INSTANTIATE_TEST_SUITE_P(Databases, WorldServerOutageTest, ::testing::Values(std::string("postgresql")),
                         server_tests::BackendName);
INSTANTIATE_TEST_SUITE_P(Databases, WorldServerSharedTest, ::testing::Values(std::string("postgresql")),
                         server_tests::BackendName);
INSTANTIATE_TEST_SUITE_P(Databases, WorldServerPoolTest, ::testing::Values(std::string("sqlite")),
                         server_tests::BackendName);

}  // namespace
