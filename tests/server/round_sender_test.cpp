// The game as the world table's client, against a real server on SQLite:
// a daily round played headless is sent and ranked, and its results page
// says so; with the server gone the round waits in the outbox and the next
// start sends it; a refused round is not sent again. With online play off,
// a daily round makes no connection and writes nothing of online play.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "actors/actor_list.h"
#include "app/app.h"
#include "game/game.h"
#include "menu/game_menu.h"
#include "online/round_sender.h"
#include "platform/hge_headless.h"
#include "server/world_server.h"
#include "tests/support/daily_round.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using vtr::online::SendVerdict;

constexpr std::int64_t kMorning = 1796688000 + 9 * 3600;  // 2026-12-08, 09:00 UTC
// More than a round's minute and its last bursts, less than that and the
// server's slack.
constexpr std::int64_t kRoundWall = 75;
constexpr auto kPatience = std::chrono::seconds(120);  // sanitizers, a busy machine

TEST(RoundSenderJudge, AnswersAtTheirBounds) {
  const struct {
    long status;
    const char* body;
    SendVerdict::Kind kind;
    const char* line;
  } cases[] = {
      {201, R"({"id": 4, "rank": 12, "of": 340})", SendVerdict::Kind::Sent, "rank 12 of 340"},
      {200, R"({"id": 4, "rank": 1, "of": 1})", SendVerdict::Kind::Sent, "rank 1 of 1"},
      {201, R"({"id": 4, "rank": 3})", SendVerdict::Kind::Sent, "sent"},
      {201, R"({"rank": 9, "of": 2})", SendVerdict::Kind::Sent, "sent"},  // no such rank
      {400, R"({"error": "bad file"})", SendVerdict::Kind::Refused, "not sent: bad file"},
      {403, R"({"error": "the name alice is taken by another key"})", SendVerdict::Kind::Refused,
       "not sent: the name alice is taken by another key"},
      {409, R"({"error": "x"})", SendVerdict::Kind::Refused, "not sent: x"},
      {413, "", SendVerdict::Kind::Refused, "not sent: the server answered HTTP 413"},
      {422, "{\"error\": \"a\\\"b\\u0007\"}", SendVerdict::Kind::Refused, "not sent: a\"b?"},
      {429, R"({"error": "too many"})", SendVerdict::Kind::Kept, "not sent: too many; it is sent again at the next start"},
      {500, "", SendVerdict::Kind::Kept, "not sent: the server answered HTTP 500; it is sent again at the next start"},
      {503, R"({"error": "busy"})", SendVerdict::Kind::Kept, "not sent: busy; it is sent again at the next start"},
      {404, "", SendVerdict::Kind::Kept, "not sent: the server answered HTTP 404; it is sent again at the next start"},
  };
  for (const auto& c : cases) {
    vtr::online::HttpAnswer answer;
    answer.status = c.status;
    answer.body = c.body;
    const SendVerdict verdict = vtr::online::JudgeAnswer(answer);
    EXPECT_EQ(verdict.kind, c.kind) << c.status << " " << c.body;
    EXPECT_EQ(verdict.line, c.line) << c.status << " " << c.body;
  }
  vtr::online::HttpAnswer none;
  none.error = "Couldn't connect to server\n\x01";
  const SendVerdict unanswered = vtr::online::JudgeAnswer(none);
  EXPECT_EQ(unanswered.kind, SendVerdict::Kind::Kept);
  EXPECT_EQ(unanswered.line,
            "not sent: the server could not be reached (Couldn't connect to server?" "?); it is sent again at the next "
            "start");
}

// Plays the daily round begun by the game to its results page, a shot at a
// rising rocket now and then.
void PlayToResults(vtr::App& app) {
  for (int i = 0; i < 3000 && !app.game()->menu->roundSummary; ++i) {
    if (i % 30 == 0) testing_support::ShootARisingRocket();
    app.Frame();
  }
  ASSERT_TRUE(app.game()->menu->roundSummary) << "the results page never opened";
}

std::size_t FilesIn(const fs::path& folder) {
  std::error_code error;
  std::size_t count = 0;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) ++count;
  return count;
}

class RoundSenderTest : public ::testing::Test {
 protected:
  void SetUp() override { StartServer(0); }
  void TearDown() override { StopServer(); }

  void StartServer(int port) {
    vtr::server::ServerOptions options;
    options.port = port;
    options.dataFolder = (dir.path() / "server").string();
    options.contentFolder = VANTOR_SOURCE_DIR "/";
    options.workerProgram = VANTOR_SERVER_PROGRAM;
    options.clock = [this] { return now.load(); };
    options.pool.workers = 1;
    options.perPlayer = {1000, 1};
    options.perAddress = {1000, 1};
    server = std::make_unique<vtr::server::WorldServer>(options);
    std::string error;
    ASSERT_TRUE(server->Start(&error)) << error;
    running = std::thread([this] { server->Run(); });
  }
  void StopServer() {
    if (server) server->Stop();
    if (running.joinable()) running.join();
    server.reset();
  }

  // A game in the player's folder, with online play on for this server.
  std::unique_ptr<vtr::App> StartGame(int port) {
    std::ofstream(game / "Online.vtr") << "Server http://127.0.0.1:" << port << "\nName alice\n";
    auto app = std::make_unique<vtr::App>(testing_support::QuietGameIn(game));
    EXPECT_TRUE(app->Start()) << app->error();
    return app;
  }
  // Today's round from its start to its results page, its minute passing
  // on the server's clock once the token is in.
  void PlayDaily(vtr::App& app) {
    app.game()->NewDailyRound(kMorning);
    ASSERT_TRUE(app.game()->Sender());
    ASSERT_TRUE(app.game()->Sender()->WaitIdle(kPatience));
    now += kRoundWall;
    PlayToResults(app);
  }
  std::string WorldLine(vtr::App& app) {
    EXPECT_TRUE(app.game()->Sender()->WaitIdle(kPatience));
    app.Frame();
    return app.game()->menu->roundSummary ? app.game()->menu->roundSummary->world : "no results page";
  }
  nlohmann::json Table(int port) {
    httplib::Client client("127.0.0.1", port);
    const auto res = client.Get("/api/v1/table");
    return res ? nlohmann::json::parse(res->body, nullptr, false)["rounds"] : nlohmann::json();
  }

  testing_support::TempDir dir;
  fs::path game = [this] {
    fs::create_directories(dir.path() / "player");
    return dir.path() / "player";
  }();
  std::atomic<std::int64_t> now{kMorning + 60};
  std::unique_ptr<vtr::server::WorldServer> server;
  std::thread running;
};

TEST_F(RoundSenderTest, ADailyRoundIsSentAndRankedAndItsPageSaysSo) {
  const int port = server->port();
  auto app = StartGame(port);
  PlayDaily(*app);
  EXPECT_EQ(WorldLine(*app), "World: rank 1 of 1");
  const auto table = Table(port);
  ASSERT_EQ(table.size(), 1u) << table;
  EXPECT_EQ(table[0]["name"], "alice");
  EXPECT_EQ(table[0]["score"], app->game()->CurrentRound().score);
  EXPECT_EQ(FilesIn(game / "Outbox"), 0u) << "a ranked round leaves the outbox";
  // The key made for the first send is the player's from now on.
  const vtr::OnlineSettings kept = vtr::LoadOnlineSettings((game / "Online.vtr").string());
  EXPECT_EQ(kept.key.size(), 32u);
  EXPECT_EQ(kept.name, "alice");
}

TEST_F(RoundSenderTest, WithTheServerDownTheRoundIsKeptAndTheNextStartSendsIt) {
  const int port = server->port();
  {
    auto app = StartGame(port);
    app->game()->NewDailyRound(kMorning);
    ASSERT_TRUE(app->game()->Sender()->WaitIdle(kPatience));  // the token came
    StopServer();
    now += kRoundWall;
    PlayToResults(*app);
    const std::string line = WorldLine(*app);
    EXPECT_EQ(line.rfind("World: not sent: the server could not be reached (", 0), 0u) << line;
    EXPECT_NE(line.find("; it is sent again at the next start"), std::string::npos) << line;
    EXPECT_EQ(FilesIn(game / "Outbox"), 2u) << "the round and its token";
  }
  StartServer(port);
  now += 5;
  auto next = StartGame(port);
  ASSERT_TRUE(next->game()->Sender()->WaitIdle(kPatience));
  for (int i = 0; i < 300 && !next->game()->notice.Showing(); ++i) next->Frame();  // past the splash
  EXPECT_EQ(next->game()->notice.Text(), "World, a round kept from before: rank 1 of 1");
  EXPECT_EQ(FilesIn(game / "Outbox"), 0u);
  EXPECT_EQ(Table(port).size(), 1u);
}

TEST_F(RoundSenderTest, ARefusedRoundIsNotSentAgain) {
  const int port = server->port();
  {
    auto app = StartGame(port);
    app->game()->NewDailyRound(kMorning);
    ASSERT_TRUE(app->game()->Sender()->WaitIdle(kPatience));
    now += kRoundWall + 120;  // a slow clock
    PlayToResults(*app);
    const std::string line = WorldLine(*app);
    EXPECT_EQ(line.rfind("World: not sent: the round's frames last ", 0), 0u) << line;
    EXPECT_NE(line.find("(its clock ran slow)"), std::string::npos) << line;
    EXPECT_EQ(FilesIn(game / "Outbox"), 0u);
  }
  auto next = StartGame(port);
  ASSERT_TRUE(next->game()->Sender()->WaitIdle(kPatience));
  EXPECT_FALSE(next->game()->Sender()->TakeNotice());
  EXPECT_EQ(Table(port).size(), 0u);
}

// A socket listening on 127.0.0.1 at port (0: any); -1 when it cannot.
int Listen(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 8) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  return fd;
}

// A server that takes the connection and never answers: the game's end
// waits for the token's exchange only its short while.
TEST(RoundSenderTeardown, DoesNotWaitForAnAnswerThatDoesNotCome) {
  testing_support::TempDir dir;
  const int silent = Listen(0);
  ASSERT_GE(silent, 0);
  sockaddr_in address{};
  socklen_t size = sizeof address;
  ASSERT_EQ(getsockname(silent, reinterpret_cast<sockaddr*>(&address), &size), 0);
  vtr::online::SenderSetup setup;
  setup.settings = {"http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)), "alice", ""};
  setup.settingsFile = (dir.path() / "Online.vtr").string();
  setup.outbox = (dir.path() / "Outbox").string();
  auto sender = std::make_unique<vtr::online::RoundSender>(setup);
  sender->RoundStarted();
  EXPECT_FALSE(sender->WaitIdle(std::chrono::milliseconds(500))) << "the exchange is under way";
  const auto stopping = std::chrono::steady_clock::now();
  sender.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, setup.stopWait + std::chrono::seconds(1));
  close(silent);
}

TEST(RoundSenderOffline, WithOnlinePlayOffADailyRoundConnectsNowhereAndWritesNothingOfIt) {
  testing_support::TempDir dir;
  // The default server's port (when no other process holds it) and one of
  // the test's own.
  const int usual = Listen(8470);
  const int own = Listen(0);
  ASSERT_GE(own, 0);
  vtr::App app(testing_support::QuietGameIn(dir.path()));
  ASSERT_TRUE(app.Start()) << app.error();
  EXPECT_FALSE(app.game()->Sender());
  app.game()->NewDailyRound(kMorning);
  PlayToResults(app);
  EXPECT_TRUE(app.game()->ScoreEntered());
  EXPECT_EQ(app.game()->menu->roundSummary->world, "");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  for (const int fd : {usual, own}) {
    if (fd < 0) continue;
    EXPECT_LT(accept(fd, nullptr, nullptr), 0) << "a connection came";
    close(fd);
  }
  EXPECT_FALSE(fs::exists(dir.path() / "Online.vtr"));
  EXPECT_FALSE(fs::exists(dir.path() / "Outbox"));
  EXPECT_EQ(FilesIn(dir.path() / "Replays"), 1u) << "the round is kept as any";
}

}  // namespace
