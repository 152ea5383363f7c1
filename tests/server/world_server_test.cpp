// The world table's server, run for real on 127.0.0.1, once with its SQLite
// file in a temporary folder and once on a throwaway PostgreSQL cluster:
// today's round, recorded by the real game headless, is accepted and ranked;
// forged, foreign and oversized files are refused with the status and reason
// a client can act on; the table and the stored replays answer as stored; a
// database gone answers 503 until it is back.
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
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
#include "replay/replay_folder.h"
#include "server/world_server.h"
#include "tests/server/databases.h"
#include "tests/support/temp_dir.h"

namespace {

using nlohmann::json;

constexpr std::int64_t kMorning = 1796688000 + 9 * 3600;  // 2026-12-08, 09:00 UTC
const std::string kAlice = "alice:0123456789abcdef0123";

// Today's round played by the real game, headless, with a shot at a rising
// rocket every `every` frames; the stored replay file's bytes. With a
// changed, the same file with one byte of its frame stream changed (and the
// checksum made right again) such that the game plays it to another result.
std::vector<std::uint8_t> RecordDailyRound(const std::filesystem::path& folder, int every,
                                           std::vector<std::uint8_t>* changed = nullptr) {
  std::filesystem::create_directories(folder);
  vtr::StartOptions options;
  options.folder = folder.string();
  options.loadSettings = false;
  options.fixedFrameTime = 0.1f;
  options.headless = true;
  options.render = false;
  options.audio = false;
  vtr::App app(options);
  EXPECT_TRUE(app.Start()) << app.error();
  app.game()->NewDailyRound(kMorning);
  for (int i = 0; i < 2000 && !app.game()->ScoreEntered(); ++i) {
    for (const auto& actor : vtr::ActorList::Instance()) {
      if (i % every != 0 || actor->kind != vtr::kRocket || !actor->collidable || actor->dying) continue;
      headless::PushMouseMove(actor->x, actor->y);
      headless::PushMouseButton(HGEK_LBUTTON, true, actor->x, actor->y);
      headless::PushMouseButton(HGEK_LBUTTON, false, actor->x, actor->y);
      break;
    }
    app.Frame();
  }
  EXPECT_TRUE(app.game()->ScoreEntered());
  const auto stored = vtr::ListReplays(vtr::ReplayFolderFor(vtr::Settings::Instance().ScoreFile));
  EXPECT_EQ(stored.size(), 1u);
  std::ifstream in(stored.at(0).path, std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
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

class WorldServerTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    std::string skip, failure;
    const std::string database = server_tests::DatabaseFor(GetParam(), &skip, &failure);
    if (!skip.empty()) GTEST_SKIP() << skip;
    ASSERT_TRUE(failure.empty()) << failure;
    // The game runs once per process: the rounds are recorded before the
    // server starts its own.
    best = RecordDailyRound(dir.path() / "alice", 40, &changedInput);
    other = RecordDailyRound(dir.path() / "bob", 3);
    vtr::server::ServerOptions options;
    options.port = 0;
    options.dataFolder = (dir.path() / "server").string();
    options.database = database;
    options.contentFolder = VANTOR_SOURCE_DIR "/";
    options.clock = [] { return kMorning + 3600; };
    server = std::make_unique<vtr::server::WorldServer>(options);
    std::string error;
    ASSERT_TRUE(server->Start(&error)) << error;
    running = std::thread([this] { server->Run(); });
    client = std::make_unique<httplib::Client>("127.0.0.1", server->port());
    // A round is played again before the answer: slow under the sanitizers
    // on a busy machine, past the client's default 5 s.
    client->set_read_timeout(60, 0);
    // Answered once the server's loop runs: a Stop before that would be lost.
    Get("/healthz");
  }
  void TearDown() override {
    if (server) server->Stop();
    if (running.joinable()) running.join();
  }

  // Status and JSON body of a round sent as player ("" sends no header).
  std::pair<int, json> Send(const std::string& body, const std::string& player = kAlice) {
    httplib::Headers headers;
    if (!player.empty()) headers.emplace("X-Vantor-Player", player);
    const auto res = client->Post("/api/v1/rounds", headers, body, "application/octet-stream");
    if (!res) return {0, json{}};
    return {res->status, json::parse(res->body, nullptr, false)};
  }
  json Get(const std::string& path, int status = 200) {
    const auto res = client->Get(path);
    EXPECT_TRUE(res && res->status == status) << path << ": " << (res ? res->body : "no answer");
    return res ? json::parse(res->body, nullptr, false) : json{};
  }

  testing_support::TempDir dir;
  std::vector<std::uint8_t> best, other, changedInput;
  std::unique_ptr<vtr::server::WorldServer> server;
  std::thread running;
  std::unique_ptr<httplib::Client> client;
};

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

  // A second server on the same port fails instead of sharing it.
  vtr::server::ServerOptions same;
  same.port = server->port();
  same.dataFolder = (dir.path() / "second").string();
  vtr::server::WorldServer second(same);
  std::string error;
  EXPECT_FALSE(second.Start(&error));
  EXPECT_NE(error.find("cannot listen on 127.0.0.1:"), std::string::npos) << error;
}

// Only a database server can go away under the world table's.
using WorldServerOutageTest = WorldServerTest;

TEST_P(WorldServerOutageTest, AnUnreachableDatabaseAnswers503UntilItIsBack) {
  std::string why;
  testing_support::PgCluster* cluster = testing_support::PgCluster::Shared(&why);
  ASSERT_TRUE(cluster->Stop());
  const auto sent = Send(Text(best));
  EXPECT_EQ(sent.first, 503) << sent.second;
  EXPECT_NE(sent.second.value("error", "").find("try again"), std::string::npos) << sent.second;
  const auto table = client->Get("/api/v1/table");
  ASSERT_TRUE(table);
  EXPECT_EQ(table->status, 503);
  EXPECT_EQ(table->get_header_value("Retry-After"), "5");
  Get("/api/v1/rounds/1/replay", 503);

  ASSERT_TRUE(cluster->Start());
  EXPECT_EQ(Send(Text(best)).first, 201);
  EXPECT_EQ(Get("/api/v1/table")["rounds"].size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Databases, WorldServerTest, server_tests::kBackends, server_tests::BackendName);
INSTANTIATE_TEST_SUITE_P(Databases, WorldServerOutageTest, ::testing::Values(std::string("postgresql")),
                         server_tests::BackendName);

}  // namespace
