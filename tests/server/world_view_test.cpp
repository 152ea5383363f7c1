// The world table in the real game: a real world server on SQLite holding two
// of today's rounds, recorded by the game headless and sent as a client
// sends them; the game, with online play on, turns its high-score page to
// the world table, shows both lines in rank order and watches one to its
// end. A server out of reach or not to be trusted gives a reason and no crash;
// with online play off, W does nothing and no connection is opened.
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <ctime>
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
#include "game/playback.h"
#include "menu/game_menu.h"
#include "platform/hge_headless.h"
#include "replay/daily.h"
#include "replay/frame_codec.h"
#include "replay/replay_folder.h"
#include "server/world_server.h"
#include "tests/support/daily_round.h"
#include "tests/support/temp_dir.h"

namespace {

using nlohmann::json;

vtr::StartOptions GameOptions(const std::filesystem::path& folder) {
  vtr::Settings::Instance().ShowSplash = false;
  return testing_support::QuietGameIn(folder);
}

// Today's round played by the game headless, a shot at a rising rocket every
// `every` frames; the stored replay file's bytes.
std::vector<std::uint8_t> RecordTodaysRound(const std::filesystem::path& folder, int every) {
  vtr::App app(GameOptions(folder));
  EXPECT_TRUE(app.Start()) << app.error();
  app.game()->NewDailyRound(static_cast<std::int64_t>(std::time(nullptr)));
  for (int i = 0; i < 2000 && !app.game()->ScoreEntered(); ++i) {
    if (i % every == 0) testing_support::ShootARisingRocket();
    app.Frame();
  }
  return testing_support::OnlyStoredReplay();
}

vtr::Replay Parsed(const std::vector<std::uint8_t>& bytes) {
  vtr::Replay replay;
  std::string error;
  EXPECT_EQ(vtr::ParseReplay(bytes.data(), bytes.size(), &replay, &error), vtr::ReplayError::None) << error;
  return replay;
}

std::int64_t RecordedSeconds(const vtr::Replay& replay) {
  vtr::FrameDecoder frames(replay.frames);
  float dt = 0.0f;
  hge_record::InputFrame input;
  std::string error;
  double seconds = 0.0;
  while (frames.Next(&dt, &input, &error)) seconds += dt;
  return static_cast<std::int64_t>(seconds);
}

// The game that views the table: Online.vtr written as the player would,
// started on its high-score page.
class Viewer {
 public:
  Viewer(const std::filesystem::path& folder, const std::string& online) : app_(GameOptions(folder)) {
    std::ofstream(folder / "Online.vtr") << online;
    EXPECT_TRUE(app_.Start()) << app_.error();
    game = app_.game();
    game->menu->highScoresShown = true;
  }
  void Frame() { app_.Frame(); }
  void Key(int key) {
    headless::PushKey(key, true);
    app_.Frame();
    headless::PushKey(key, false);
    app_.Frame();
  }
  // Frames, a little real time apart, until done says so (at most 30 s).
  template <typename Done>
  bool FramesUntil(Done done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      app_.Frame();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }
  const vtr::WorldPage& Page() const { return game->menu->world; }

  vtr::Game* game = nullptr;

 private:
  vtr::App app_;
};

TEST(WorldView, ShowsTodaysLinesInRankOrderAndWatchesOneToItsEnd) {
  testing_support::TempDir dir;
  const std::vector<std::uint8_t> rounds[] = {RecordTodaysRound(dir.path() / "alice", 40),
                                              RecordTodaysRound(dir.path() / "bob", 3),
                                              RecordTodaysRound(dir.path() / "dave", 7)};
  const char* names[] = {"alice", "bob", "dave"};

  std::atomic<std::int64_t> now{static_cast<std::int64_t>(std::time(nullptr))};
  vtr::server::ServerOptions options;
  options.port = 0;
  options.dataFolder = (dir.path() / "server").string();
  options.contentFolder = VANTOR_SOURCE_DIR "/";
  options.workerProgram = VANTOR_SERVER_PROGRAM;
  options.clock = [&now] { return now.load(); };
  options.pool.workers = 1;
  options.perPlayer = {1000, 1};  // the clock goes back for each token
  options.perAddress = {1000, 1};
  vtr::server::WorldServer server(options);
  std::string error;
  ASSERT_TRUE(server.Start(&error)) << error;
  std::thread running([&server] { server.Run(); });
  struct Stopping {
    vtr::server::WorldServer& server;
    std::thread& running;
    ~Stopping() {
      server.Stop();
      running.join();
    }
  } stopping{server, running};
  httplib::Client client("127.0.0.1", server.port());
  client.set_read_timeout(120, 0);
  // Each round sent as the game sends it: a token as the round starts, the
  // file once it is over.
  const std::int64_t sentAt = now.load();
  const auto send = [&](int i) {
    now = sentAt - RecordedSeconds(Parsed(rounds[i]));
    const auto token = client.Post("/api/v1/daily/token", "", "text/plain");
    now = sentAt;
    ASSERT_TRUE(token && token->status == 201) << (token ? token->body : "no answer");
    const httplib::Headers headers{{"X-Vantor-Player", std::string(names[i]) + ":0123456789abcdef0123"},
                                   {"X-Vantor-Token", json::parse(token->body).value("token", "")}};
    const auto sent = client.Post("/api/v1/rounds", headers,
                                  std::string(rounds[i].begin(), rounds[i].end()), "application/octet-stream");
    ASSERT_TRUE(sent && sent->status == 201) << (sent ? sent->body : "no answer");
  };
  send(0);
  send(1);
  const vtr::Replay alice = Parsed(rounds[0]), bob = Parsed(rounds[1]);
  ASSERT_NE(alice.score, bob.score);
  const bool aliceFirst = alice.score > bob.score;
  const vtr::Replay& first = aliceFirst ? alice : bob;
  const vtr::Replay& second = aliceFirst ? bob : alice;

  Viewer viewer(dir.path() / "carol",
                "Server http://127.0.0.1:" + std::to_string(server.port()) + "\nName carol\n");
  viewer.Key('W');
  EXPECT_TRUE(viewer.game->menu->worldShown);
  ASSERT_TRUE(viewer.FramesUntil([&] { return viewer.Page().status != vtr::WorldPage::Status::Loading; }));
  ASSERT_EQ(viewer.Page().status, vtr::WorldPage::Status::Ready) << viewer.Page().reason;
  ASSERT_EQ(viewer.Page().lines.size(), 2u);
  const vtr::WorldLine& top = viewer.Page().lines[0];
  EXPECT_EQ(top.name, aliceFirst ? "alice" : "bob");
  EXPECT_EQ(top.rank, 1);
  EXPECT_EQ(top.score, first.score);
  EXPECT_EQ(top.combo, first.highestCombo);
  EXPECT_EQ(viewer.Page().lines[1].rank, 2);
  EXPECT_EQ(viewer.Page().lines[1].score, second.score);

  // The second line's round: fetched, then played to its end as recorded.
  viewer.Key('2');
  ASSERT_TRUE(viewer.FramesUntil([&] { return viewer.game->Watching() || !viewer.game->WatchMessage().empty(); }))
      << "the round never came";
  ASSERT_TRUE(viewer.game->Watching()) << viewer.game->WatchMessage();
  EXPECT_EQ(viewer.game->CurrentPlayback()->Recorded().score, second.score);
  EXPECT_EQ(viewer.game->CurrentPlayback()->Recorded().frames, second.frames);
  for (int i = 0; i < 5000 && viewer.game->Watching(); ++i) viewer.Frame();
  EXPECT_FALSE(viewer.game->Watching());
  EXPECT_TRUE(viewer.game->LastWatchFaithful()) << viewer.game->LastWatchOutcome();
  EXPECT_FALSE(viewer.game->LastWatchLeftEarly());
  EXPECT_EQ(viewer.game->WatchMessage(), "");
  // Back on the world view, its lines as they were.
  EXPECT_TRUE(viewer.game->menu->highScoresShown && viewer.game->menu->worldShown);
  viewer.Frame();
  EXPECT_EQ(viewer.Page().lines.size(), 2u);

  // Each time the page turns to the world table it is fetched afresh.
  send(2);
  viewer.Key('W');
  EXPECT_FALSE(viewer.game->menu->worldShown);
  viewer.Key('W');
  ASSERT_TRUE(viewer.FramesUntil([&] { return viewer.Page().status != vtr::WorldPage::Status::Loading; }));
  EXPECT_EQ(viewer.Page().lines.size(), 3u);
}

// A server out of reach, one whose table is not today's, and one whose
// rounds are not its lines' (unreadable, another's, missing): the page or
// the line under "Back" says why, nothing is played, and the game goes on.
TEST(WorldView, AServerOutOfReachOrNotToBeTrustedIsToldAndNothingPlays) {
  testing_support::TempDir dir;
  const std::vector<std::uint8_t> round = RecordTodaysRound(dir.path() / "eve", 5);
  const std::int32_t claimed = Parsed(round).score + 1;
  std::atomic<bool> today{false};
  httplib::Server liar;
  liar.Get("/api/v1/table", [&](const httplib::Request&, httplib::Response& res) {
    json lines = json::array();
    for (int id = 1; id <= 3; ++id) {
      lines.push_back({{"rank", id}, {"name", "eve" + std::to_string(id)}, {"score", claimed}, {"combo", 0},
                       {"pauses", 0}, {"id", id}, {"time", 0}});
    }
    const auto now = static_cast<std::int64_t>(std::time(nullptr));
    const std::string day = today ? vtr::DailyDateText(vtr::DailyDateAt(now)) : "1999-01-01";
    res.set_content(json{{"date", day}, {"rounds", lines}}.dump(), "application/json");
  });
  std::atomic<bool> slow{false};
  liar.Get(R"(/api/v1/rounds/(\d+)/replay)", [&](const httplib::Request& req, httplib::Response& res) {
    if (slow) std::this_thread::sleep_for(std::chrono::milliseconds(400));
    if (req.matches[1] == "1") res.set_content(std::string(round.begin(), round.end()), "application/octet-stream");
    if (req.matches[1] == "2") res.set_content("VTRREPLY and nothing after", "application/octet-stream");
    if (req.matches[1] == "3") {
      res.status = 404;
      res.set_content(R"({"error":"no such round"})", "application/json");
    }
  });
  const int port = liar.bind_to_any_port("127.0.0.1");
  std::thread serving([&liar] { liar.listen_after_bind(); });
  while (!liar.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  // A port nothing listens on any more.
  int closedPort = 0;
  {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    closedPort = ntohs(address.sin_port);
    close(fd);
  }
  const auto online = [](int at) { return "Server http://127.0.0.1:" + std::to_string(at) + "\nName carol\n"; };

  const struct {
    int port;
    const char* reason;
  } tables[] = {{closedPort, "onnect"}, {port, "not today's"}};
  int n = 0;
  for (const auto& c : tables) {
    Viewer viewer(dir.path() / std::to_string(++n), online(c.port));
    viewer.Key('W');
    ASSERT_TRUE(viewer.FramesUntil([&] { return viewer.Page().status != vtr::WorldPage::Status::Loading; }));
    EXPECT_EQ(viewer.Page().status, vtr::WorldPage::Status::Failed);
    EXPECT_NE(viewer.Page().reason.find(c.reason), std::string::npos) << viewer.Page().reason;
    EXPECT_TRUE(viewer.Page().lines.empty());
    viewer.Key('1');
    for (int i = 0; i < 10; ++i) viewer.Frame();
    EXPECT_FALSE(viewer.game->Watching());
  }

  today = true;
  Viewer viewer(dir.path() / "carol", online(port));
  viewer.Key('W');
  ASSERT_TRUE(viewer.FramesUntil([&] { return viewer.Page().status != vtr::WorldPage::Status::Loading; }));
  ASSERT_EQ(viewer.Page().lines.size(), 3u) << viewer.Page().reason;
  const struct {
    int key;
    const char* message;
  } rounds[] = {{'1', "The server sent another round than its line's"},
                {'2', "This round cannot be played back"},
                {'3', "The round could not be fetched: no such round (404)"}};
  for (const auto& c : rounds) {
    viewer.Key(c.key);
    ASSERT_TRUE(viewer.FramesUntil([&] { return !viewer.game->WatchMessage().empty(); })) << c.message;
    EXPECT_EQ(viewer.game->WatchMessage().rfind(c.message, 0), 0u) << viewer.game->WatchMessage();
    EXPECT_FALSE(viewer.game->Watching());
  }
  // A round asked for while an earlier one is still on its way: only the
  // later one's answer counts.
  slow = true;
  viewer.Key('1');
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // its request sent
  viewer.Key('2');
  ASSERT_TRUE(viewer.FramesUntil([&] { return !viewer.game->WatchMessage().empty(); }));
  EXPECT_EQ(viewer.game->WatchMessage().rfind("This round cannot be played back", 0), 0u) << viewer.game->WatchMessage();
  liar.stop();
  serving.join();
}

// A listening socket that counts the connections made to it.
class Listener {
 public:
  Listener() {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(listen(fd_, 8), 0);
    socklen_t size = sizeof address;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
  }
  ~Listener() { close(fd_); }
  // Whether a connection comes within the time given.
  bool Connected(int milliseconds) {
    pollfd waiting{fd_, POLLIN, 0};
    return poll(&waiting, 1, milliseconds) == 1;
  }
  int port = 0;

 private:
  int fd_ = -1;
};

TEST(WorldView, WithOnlinePlayOffTheKeyDoesNothingAndNoConnectionIsMade) {
  testing_support::TempDir dir;
  Listener listener;
  const std::string server = "Server http://127.0.0.1:" + std::to_string(listener.port) + "\n";
  {
    // A server but no name: off.
    Viewer viewer(dir.path() / "off", server);
    viewer.Key('W');
    for (int i = 0; i < 20; ++i) viewer.Frame();
    EXPECT_FALSE(viewer.game->menu->worldShown);
    EXPECT_FALSE(viewer.game->menu->worldOffered);
    EXPECT_EQ(viewer.game->WorldTableFetches(), nullptr);
    EXPECT_FALSE(listener.Connected(300));
  }
  std::ifstream written(dir.path() / "off" / "Online.vtr");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), server);
  // The same with a name: the connection comes (so the check above sees one).
  Viewer viewer(dir.path() / "on", server + "Name carol\n");
  viewer.Key('W');
  EXPECT_TRUE(listener.Connected(5000));
}

}  // namespace
