// Watching recorded rounds in the running game: rounds played headless
// through the menu with pushed input are recorded, then watched from the
// high-score page with its keys. A watched round must draw what the live one
// drew, obey the watcher's keys, and leave the live session exactly as it was.
#include "game/playback.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "actors/actor_list.h"
#include "actors/rocket.h"
#include "app/app.h"
#include "audio/sound_manager.h"
#include "config/settings.h"
#include "game/game.h"
#include "game/replay_driver.h"
#include "helpers/font.h"
#include "menu/game_menu.h"
#include "platform/hge_headless.h"
#include "replay/replay_folder.h"
#include "tests/support/coded_font.h"
#include "tests/support/headless_game.h"
#include "tests/support/scoped_env.h"

namespace {

namespace fs = std::filesystem;

constexpr float kDt = 1.0f / 60.0f;

std::string FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::vector<std::string> FolderListing(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    names.push_back(it->path().filename().string() + " " + FileBytes(it->path()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

// FNV-1a over the quads of one frame, byte by byte. A texture counts by its
// size, not its handle: the watched round's menu loads its font afresh.
std::uint64_t HashQuads(HGE* hge, const std::vector<hgeQuad>& quads, std::size_t count) {
  std::uint64_t hash = 14695981039346656037ull;
  for (std::size_t i = 0; i < count; ++i) {
    hgeQuad quad = quads[i];
    quad.tex = static_cast<HTEXTURE>(hge->Texture_GetWidth(quad.tex) << 16 | hge->Texture_GetHeight(quad.tex));
    unsigned char bytes[sizeof(hgeQuad)];
    std::memcpy(bytes, &quad, sizeof bytes);
    for (unsigned char b : bytes) hash = (hash ^ b) * 1099511628211ull;
  }
  return hash;
}

bool SameEntries(const std::vector<vtr::ScoreEntry>& a, const std::vector<vtr::ScoreEntry>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].score != b[i].score || a[i].time != b[i].time || a[i].isNew != b[i].isNew) return false;
  }
  return true;
}

// What `vantor --replay FILE` starts with, in a game folder of its own.
vtr::StartOptions ReplayCommand(const fs::path& folder, const fs::path& file) {
  vtr::StartOptions options;
  options.folder = folder.string();
  options.loadSettings = false;
  options.audio = false;
  options.render = false;
  options.fixedFrameTime = kDt;
  options.replayFile = file.string();
  return options;
}

class PlaybackTest : public ::testing::Test {
 protected:
  PlaybackTest() {
    vtr::Settings::Instance().StartingTime = 3.0f;
    session = std::make_unique<testing_support::HeadlessGame>();
    game = session->game;
    hge = session->hge;
    headless::SetFixedFrameTime(hge, kDt);
    headless::SetRenderEnabled(hge, false);
  }
  ~PlaybackTest() override { headless::SetQuadTap(hge, {}); }

  void Tap(int key) {
    headless::PushKey(key, true);
    headless::PushKey(key, false);
  }
  // One frame of the loop: input, Game::Frame, drawing when it is on.
  void Frame() { headless::RunFrame(hge); }
  void Frames(int n) {
    for (int i = 0; i < n; ++i) Frame();
  }

  // "New Game" from the menu's first page.
  void NewGame() {
    if (game->menu->highScoresShown) {
      Tap(HGEK_ENTER);  // "Back" of the results page
      Frame();
    }
    Tap(HGEK_ENTER);
    Frame();
    ASSERT_TRUE(game->CurrentRound().roundRunning);
  }

  // Aims at a rising rocket every half second for up to frames frames, or
  // until the score is entered.
  void Play(int frames) {
    for (int i = 0; i < frames && !game->ScoreEntered(); ++i) {
      if (i % 30 == 29) {
        for (const auto& actor : vtr::ActorList::Instance()) {
          if (actor->kind == vtr::kRocket && actor->collidable && !actor->dying && actor->y < 700.0f) {
            const float x = actor->x + actor->vx;
            const float y = actor->y + actor->vy;
            headless::PushMouseMove(x, y);
            headless::PushMouseButton(HGEK_LBUTTON, true, x, y);
            headless::PushMouseButton(HGEK_LBUTTON, false, x, y);
            break;
          }
        }
      }
      Frame();
    }
  }

  void PlayARound() {
    NewGame();
    Play(60 * 30);
    ASSERT_TRUE(game->ScoreEntered());
    ASSERT_TRUE(game->menu->highScoresShown);
  }

  // The high-score line (1-based) of the latest round.
  int NewLine() const {
    const auto& entries = game->scores.Entries();
    for (std::size_t i = 0; i < entries.size() && i < 5; ++i) {
      if (entries[i].isNew) return static_cast<int>(i) + 1;
    }
    return 6;
  }

  std::unique_ptr<testing_support::HeadlessGame> session;
  vtr::Game* game = nullptr;
  HGE* hge = nullptr;
};

TEST_F(PlaybackTest, AWatchedRoundDrawsEveryFrameAsPlayedAndLeavesTheSessionAsItWas) {
  // The live round: the quads of every twelfth frame after "New Game" and of
  // the last one (drawing them all headless would take minutes).
  std::vector<hgeQuad> quads;
  headless::SetQuadTap(hge, [&quads](const hgeQuad& q) { quads.push_back(q); });
  auto drawn = [&](std::size_t count) {
    quads.clear();
    game->Render();
    return HashQuads(hge, quads, std::min(count, quads.size()));
  };
  NewGame();
  std::vector<std::uint64_t> live;
  std::vector<std::size_t> liveCounts;
  std::size_t frames = 0;
  for (int i = 0; i < 60 * 30 && !game->ScoreEntered(); ++i) {
    Play(1);
    ++frames;
    if (frames % 12 == 0 || game->ScoreEntered()) {
      live.push_back(drawn(static_cast<std::size_t>(-1)));
      liveCounts.push_back(quads.size());
    }
  }
  ASSERT_TRUE(game->ScoreEntered());
  const std::int32_t liveScore = game->CurrentRound().score;

  const vtr::Settings& settings = vtr::Settings::Instance();
  const std::vector<vtr::ScoreEntry> table = game->scores.Entries();
  const std::string scoreFile = FileBytes(settings.ScoreFile);
  const std::vector<std::string> replays = FolderListing(vtr::ReplayFolderFor(settings.ScoreFile));
  const std::vector<vtr::SettingValue> values = vtr::CaptureSettings();
  ASSERT_EQ(replays.size(), 1u);

  // Watched: the same frames, with the label and the player's cursor drawn
  // on top of them.
  Tap('0' + NewLine());
  std::vector<std::uint64_t> watched;
  do {
    Frame();
    ASSERT_TRUE(game->Watching());
    const std::uint32_t played = game->CurrentPlayback()->FramesPlayed();
    if (played % 12 == 0 || played == frames) {
      const std::size_t sample = watched.size();
      watched.push_back(drawn(sample < liveCounts.size() ? liveCounts[sample] : 0));
      EXPECT_GT(quads.size(), sample < liveCounts.size() ? liveCounts[sample] + 2 : 0) << "the label and cursor";
    }
  } while (game->CurrentPlayback()->FramesPlayed() < frames);
  ASSERT_EQ(game->CurrentPlayback()->FramesRecorded(), frames);
  ASSERT_EQ(watched.size(), live.size());
  for (std::size_t i = 0; i < live.size(); ++i) EXPECT_EQ(watched[i], live[i]) << "sample " << i;
  EXPECT_EQ(game->CurrentRound().score, liveScore);
  headless::SetQuadTap(hge, {});

  // The end stays on screen for a moment, then the page is back.
  Frames(static_cast<int>(std::lround(vtr::Playback::kEndHold / kDt)) - 2);
  EXPECT_TRUE(game->Watching());
  Frames(3);
  ASSERT_FALSE(game->Watching());
  EXPECT_TRUE(game->LastWatchFaithful());
  EXPECT_EQ(game->LastWatchOutcome(), "recorded " + std::to_string(liveScore) + ", played " +
                                          std::to_string(liveScore) + ": ok");
  EXPECT_TRUE(game->WatchMessage().empty());

  // Nothing entered, saved, written or changed.
  EXPECT_TRUE(SameEntries(game->scores.Entries(), table));
  EXPECT_EQ(FileBytes(settings.ScoreFile), scoreFile);
  EXPECT_EQ(FolderListing(vtr::ReplayFolderFor(settings.ScoreFile)), replays);
  EXPECT_EQ(vtr::CaptureSettings(), values);
  EXPECT_EQ(game->CurrentRound().score, liveScore);
  EXPECT_TRUE(game->CurrentRound().menuShown);
  EXPECT_TRUE(game->menu->highScoresShown);
  EXPECT_TRUE(game->CurrentRound().roundOver);
  EXPECT_TRUE(vtr::ActorList::Instance().empty());

  // And the session plays on: "Back" still works from the keyboard.
  Tap(HGEK_ENTER);
  Frame();
  EXPECT_FALSE(game->menu->highScoresShown);
}

TEST_F(PlaybackTest, TheWatchersKeysPauseStepSpeedUpAndLeave) {
  PlayARound();
  const std::vector<vtr::ScoreEntry> table = game->scores.Entries();

  // The starting entry of 100 has no replay: its key does nothing.
  const int line = NewLine();
  const int other = line == 1 ? 2 : 1;
  Tap('0' + other);
  Frame();
  EXPECT_FALSE(game->Watching());

  // The numeric pad's digits watch too.
  Tap(96 + line);
  Frame();
  ASSERT_TRUE(game->Watching());
  const vtr::Playback& playback = *game->CurrentPlayback();
  EXPECT_EQ(playback.FramesPlayed(), 1u);
  Frames(9);
  EXPECT_EQ(playback.FramesPlayed(), 10u);  // real speed: one recorded frame per frame

  Tap(HGEK_SPACE);
  Frames(10);
  EXPECT_TRUE(playback.Paused());
  EXPECT_EQ(playback.FramesPlayed(), 10u);
  Tap(HGEK_RIGHT);  // while paused: one frame
  Frame();
  EXPECT_EQ(playback.FramesPlayed(), 11u);
  Frames(5);
  EXPECT_EQ(playback.FramesPlayed(), 11u);

  Tap(HGEK_SPACE);
  Frame();
  EXPECT_FALSE(playback.Paused());
  EXPECT_EQ(playback.FramesPlayed(), 12u);
  headless::PushKey(HGEK_RIGHT, true);  // held: four times as fast
  Frames(10);
  EXPECT_TRUE(playback.Fast());
  EXPECT_EQ(playback.FramesPlayed(), 52u);
  headless::PushKey(HGEK_RIGHT, false);
  Frames(2);
  EXPECT_EQ(playback.FramesPlayed(), 54u);

  // Escape leaves at once; the page comes back once the key is up.
  headless::PushKey(HGEK_ESCAPE, true);
  Frame();
  EXPECT_FALSE(game->Watching());
  EXPECT_TRUE(game->LastWatchLeftEarly());
  EXPECT_FALSE(game->LastWatchFaithful());
  EXPECT_TRUE(game->WatchMessage().empty());  // leaving is no failure
  Frames(3);
  headless::PushKey(HGEK_ESCAPE, false);
  Frames(2);
  EXPECT_TRUE(game->CurrentRound().menuShown);
  EXPECT_TRUE(game->menu->highScoresShown);
  EXPECT_TRUE(SameEntries(game->scores.Entries(), table));
}

// Real speed after a slow frame: the playback catches up with as many
// recorded frames as the time covers, up to kMaxStepsPerFrame in one frame.
// Time beyond that is dropped but for the half frame the pacing rounds with,
// so the frames after it play at real speed again (one of them plays one
// extra frame) instead of racing to make the lost time up.
TEST_F(PlaybackTest, ASlowFrameIsCaughtUpToTheBoundAndTheRestDropped) {
  PlayARound();
  const int line = NewLine();
  constexpr int kBound = vtr::Playback::kMaxStepsPerFrame;
  constexpr int kAfter = 20;  // real-speed frames after the slow one
  const struct {
    int slowFrame;  // the slow frame's length, in recorded frames
    int inIt;       // recorded frames played in it
    int after;      // and in the kAfter frames that follow
  } cases[] = {{2, 2, kAfter},
               {kBound - 1, kBound - 1, kAfter},
               {kBound, kBound, kAfter},
               {kBound + 1, kBound, kAfter + 1},
               {kBound + 6, kBound, kAfter + 1},
               {150, kBound, kAfter + 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.slowFrame);
    Tap('0' + line);
    Frame();
    ASSERT_TRUE(game->Watching());
    const vtr::Playback& playback = *game->CurrentPlayback();
    Frames(4);
    const std::uint32_t before = playback.FramesPlayed();
    headless::SetFixedFrameTime(hge, kDt * static_cast<float>(c.slowFrame));
    Frame();
    headless::SetFixedFrameTime(hge, kDt);
    EXPECT_EQ(playback.FramesPlayed() - before, static_cast<std::uint32_t>(c.inIt));
    Frames(kAfter);
    EXPECT_EQ(playback.FramesPlayed() - before, static_cast<std::uint32_t>(c.inIt + c.after));
    headless::PushKey(HGEK_ESCAPE, true);
    Frame();
    ASSERT_FALSE(game->Watching());
    headless::PushKey(HGEK_ESCAPE, false);
    Frames(2);
  }
}

TEST_F(PlaybackTest, WatchingFromAPausedRoundGivesTheRoundBackAndItsRecordingStillVerifies) {
  PlayARound();
  const int line = NewLine();
  NewGame();
  Play(90);
  ASSERT_FALSE(game->ScoreEntered());

  // Paused, then the high-score page from the pause menu.
  Tap(HGEK_ESCAPE);
  Frame();
  ASSERT_TRUE(game->CurrentRound().menuShown);
  Tap(HGEK_DOWN);
  Frame();
  Tap(HGEK_ENTER);
  Frame();
  ASSERT_TRUE(game->menu->highScoresShown);

  std::vector<vtr::Actor*> actors;
  for (const auto& actor : vtr::ActorList::Instance()) actors.push_back(actor.get());
  ASSERT_FALSE(actors.empty());
  const std::int32_t score = game->CurrentRound().score;
  const float multiplier = game->CurrentRound().multiplier;
  const float timeLeft = game->CurrentRound().timeLeft;
  const std::uint32_t combo = game->CurrentRound().highestCombo;
  const std::uint32_t hudScore = game->hud.score;
  const vtr::GameMenu* menu = game->menu.get();

  Tap('0' + line);
  Frames(40);
  ASSERT_TRUE(game->Watching());
  EXPECT_NE(game->menu.get(), menu);  // the replayed round has a menu of its own
  Tap(HGEK_ESCAPE);
  Frames(3);
  ASSERT_FALSE(game->Watching());

  std::vector<vtr::Actor*> after;
  for (const auto& actor : vtr::ActorList::Instance()) after.push_back(actor.get());
  EXPECT_EQ(after, actors);
  EXPECT_EQ(game->CurrentRound().score, score);
  EXPECT_EQ(game->CurrentRound().multiplier, multiplier);
  EXPECT_EQ(game->CurrentRound().timeLeft, timeLeft);
  EXPECT_EQ(game->CurrentRound().highestCombo, combo);
  EXPECT_EQ(game->hud.score, hudScore);
  EXPECT_EQ(game->menu.get(), menu);
  // Still paused on the high-score page: the Escape that left the playback
  // did not resume the round.
  EXPECT_TRUE(game->CurrentRound().roundRunning);
  EXPECT_TRUE(game->CurrentRound().menuShown);
  EXPECT_TRUE(game->menu->highScoresShown);

  // "Back", resume, and play the round out: it is recorded whole, and its
  // replay comes to the same score.
  Tap(HGEK_ENTER);
  Frame();
  Tap(HGEK_ESCAPE);
  Frame();
  ASSERT_FALSE(game->CurrentRound().menuShown);
  Play(60 * 30);
  ASSERT_TRUE(game->ScoreEntered());
  vtr::ScoreEntry entry;
  for (const vtr::ScoreEntry& e : game->scores.Entries()) {
    if (e.isNew) entry = e;
  }
  const std::string path = vtr::FindReplay(vtr::Settings::Instance().ScoreFile, entry);
  ASSERT_FALSE(path.empty());
  vtr::Replay replay;
  std::string error;
  ASSERT_EQ(vtr::ReadReplayFile(path, &replay, &error), vtr::ReplayError::None) << error;
  const vtr::Verdict verdict = vtr::VerifyReplay(game, replay);
  EXPECT_TRUE(verdict.ok()) << vtr::VerdictLine(replay, verdict);
}

// The label says "Replay", the round's local date and score, and the
// watcher's pause or speed; a date no calendar holds reads "?". The watched
// round's results page sums it up, and it does not count as a finished round.
TEST_F(PlaybackTest, TheLabelSaysWhatIsWatchedAndTheResultsSumItUp) {
  testing_support::ScopedEnv utc("TZ", "UTC");
  tzset();
  PlayARound();
  const vtr::RoundSummary live = game->menu->roundSummary.value();
  const std::string path = game->ReplayOfEntry(static_cast<std::size_t>(NewLine() - 1));
  vtr::Replay replay;
  std::string error;
  ASSERT_EQ(vtr::ReadReplayFile(path, &replay, &error), vtr::ReplayError::None) << error;
  const std::string score = "Score: " + std::to_string(static_cast<std::uint32_t>(replay.score));
  std::filesystem::remove("FirstRound.vtr");
  game->UseFirstRoundFile("FirstRound.vtr");
  ASSERT_TRUE(game->ShowsFirstTimeHint());

  session->dir.Write("coded.fnt", testing_support::CodedFont());
  hgeFont coded("coded.fnt", false);
  const auto label = [&] {
    std::vector<std::string> lines;
    for (const auto& line : testing_support::ReadDrawnLines(hge, [&] { game->CurrentPlayback()->DrawLabel(coded); })) {
      lines.push_back(line.text);
    }
    return lines;
  };
  const std::pair<std::int64_t, const char*> dates[] = {{86399, "1970-01-01"}, {INT64_MAX, "?"}};
  for (const auto& [entryTime, date] : dates) {
    vtr::Replay copy = replay;
    copy.entryTime = entryTime;
    game->Watch(copy, false);
    Frame();
    EXPECT_EQ(label(), (std::vector<std::string>{"Replay", date, score}));
    game->StopWatching();
  }
  game->Watch(replay, false);
  Tap(HGEK_SPACE);
  headless::PushKey(HGEK_RIGHT, true);  // held while paused: steps a frame, still paused
  Frame();
  EXPECT_EQ(label().back(), "paused");
  Tap(HGEK_SPACE);
  Frame();
  EXPECT_EQ(label().back(), "4x");
  headless::PushKey(HGEK_RIGHT, false);

  while (!game->CurrentPlayback()->Ended()) Frame();
  EXPECT_EQ(game->menu->roundSummary, live);
  Frames(static_cast<int>(vtr::Playback::kEndHold / kDt) + 2);
  ASSERT_FALSE(game->Watching());
  EXPECT_TRUE(game->ShowsFirstTimeHint());
  EXPECT_FALSE(std::filesystem::exists("FirstRound.vtr"));
}

TEST_F(PlaybackTest, ABrokenReplayShowsAMessageAndPlaysNothing) {
  PlayARound();
  const std::vector<vtr::ScoreEntry> table = game->scores.Entries();
  const std::string path = game->ReplayOfEntry(static_cast<std::size_t>(NewLine() - 1));
  ASSERT_FALSE(path.empty());
  const std::string bytes = FileBytes(path);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes.substr(0, bytes.size() / 2);

  Tap('0' + NewLine());
  Frame();
  EXPECT_FALSE(game->Watching());
  EXPECT_EQ(game->WatchMessage().rfind("This round cannot be played back: ", 0), 0u) << game->WatchMessage();
  EXPECT_TRUE(game->menu->highScoresShown);
  EXPECT_TRUE(SameEntries(game->scores.Entries(), table));
  // The message goes after a while.
  Frames(60 * 7);
  EXPECT_TRUE(game->WatchMessage().empty());
}

// Held at a frame: the playback reaches it (played four at a time here, with
// the right arrow held, so a hold between two of the steps must cut the last
// short) and stays there, drawing the same picture whatever the watcher's
// keys, at the first frame, a middle one and the last (past the end's usual
// hold); Escape still leaves.
TEST_F(PlaybackTest, AHeldPlaybackStaysAtItsFrameAndDrawsItStill) {
  PlayARound();
  const auto stored = vtr::ListReplays(vtr::ReplayFolderFor(vtr::Settings::Instance().ScoreFile));
  ASSERT_EQ(stored.size(), 1u);
  vtr::Replay replay;
  std::string error;
  ASSERT_EQ(vtr::ReadReplayFile(stored[0].path, &replay, &error), vtr::ReplayError::None) << error;
  const std::uint32_t last = replay.frameCount;
  std::vector<hgeQuad> quads;
  headless::SetQuadTap(hge, [&quads](const hgeQuad& q) { quads.push_back(q); });
  auto drawn = [&] {
    quads.clear();
    game->Render();
    return HashQuads(hge, quads, quads.size());
  };
  for (const std::uint32_t hold : {1u, 38u, last}) {
    SCOPED_TRACE(hold);
    game->Watch(replay, false, hold);
    const vtr::Playback& playback = *game->CurrentPlayback();
    headless::PushKey(HGEK_RIGHT, true);
    while (!playback.Held() && playback.FramesPlayed() < hold) Frame();
    headless::PushKey(HGEK_RIGHT, false);
    EXPECT_EQ(playback.FramesPlayed(), hold);
    const std::uint64_t still = drawn();
    const int enough = static_cast<int>(vtr::Playback::kEndHold / kDt) + 10;
    for (const int key : {HGEK_SPACE, HGEK_RIGHT, HGEK_SPACE}) {
      Tap(key);
      Frames(enough);
    }
    headless::PushKey(HGEK_RIGHT, true);
    Frames(10);
    headless::PushKey(HGEK_RIGHT, false);
    ASSERT_TRUE(game->Watching());
    EXPECT_EQ(playback.FramesPlayed(), hold);
    EXPECT_FALSE(playback.Paused());
    EXPECT_EQ(drawn(), still);
    Tap(HGEK_ESCAPE);
    Frame();
    EXPECT_FALSE(game->Watching());
    EXPECT_TRUE(game->LastWatchLeftEarly());
    Frames(2);
  }
}

// `--replay-hold N FILE`: N in decimal digits alone, and a frame the file has.
TEST(PlaybackCommand, TheHeldFrameIsReadStrictlyAndMustBeInTheReplay) {
  const struct {
    const char* text;
    std::uint32_t frame;  // 0: refused
  } cases[] = {
      {"1", 1},       {"600", 600}, {"4294967295", 4294967295u}, {"0", 0},  {"4294967296", 0},
      {"", 0},        {"-1", 0},    {"+1", 0},                   {" 1", 0}, {"1 ", 0},
      {"12x", 0},     {"0x10", 0},
  };
  for (const auto& c : cases) {
    std::uint32_t frame = 99;
    EXPECT_EQ(vtr::ParseHoldFrame(c.text, &frame), c.frame != 0) << '"' << c.text << '"';
    EXPECT_EQ(frame, c.frame != 0 ? c.frame : 99u) << '"' << c.text << '"';
  }
  vtr::Replay replay;
  replay.frameCount = 300;
  EXPECT_EQ(vtr::HoldFrameProblem(replay, 1), "");
  EXPECT_EQ(vtr::HoldFrameProblem(replay, 300), "");
  EXPECT_EQ(vtr::HoldFrameProblem(replay, 301), "cannot be held at frame 301: it has frames 1 to 300");
  EXPECT_NE(vtr::HoldFrameProblem(replay, 0), "");
}

TEST(PlaybackCommand, PlaysAFileToItsEndAndQuitsOrRefusesABrokenOne) {
  testing_support::TempDir outside{true};  // with Content
  fs::path file;
  fs::path folder;
  {
    vtr::Settings::Instance().StartingTime = 2.0f;
    testing_support::HeadlessGame session;
    headless::SetFixedFrameTime(session.hge, kDt);
    headless::SetRenderEnabled(session.hge, false);
    headless::PushKey(HGEK_ENTER, true);
    headless::PushKey(HGEK_ENTER, false);
    for (int i = 0; i < 60 * 20 && !session.game->ScoreEntered(); ++i) headless::RunFrame(session.hge);
    ASSERT_TRUE(session.game->ScoreEntered());
    const auto stored = vtr::ListReplays(vtr::ReplayFolderFor(vtr::Settings::Instance().ScoreFile));
    ASSERT_EQ(stored.size(), 1u);
    file = outside.path() / "shared.vtreplay";
    fs::copy_file(stored[0].path, file);
    folder = session.dir.path();
  }

  vtr::StartOptions options = ReplayCommand(outside.path(), file);
  testing::internal::CaptureStdout();
  EXPECT_EQ(vtr::RunGame(options), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout().rfind("recorded ", 0), 0u);
  EXPECT_FALSE(fs::exists(outside.path() / "Scores.vtr"));  // a watched round saves nothing

  const std::string bytes = FileBytes(file);
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes.substr(0, 20);
  testing::internal::CaptureStderr();
  EXPECT_EQ(vtr::RunGame(options), 2);
  const std::string error = testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
  EXPECT_NE(error.find(file.string()), std::string::npos) << error;
}

// A watched round in which the player pressed M and turned the music up
// sounds as it did, and gives the player's own mute and volume back, in the
// game and in Window.vtr, also when `vantor --replay` plays it.
TEST(PlaybackCommand, TheWatchedRoundsMuteAndVolumeKeysAreGivenBack) {
  testing_support::TempDir outside{true};
  fs::path file;
  {
    vtr::Settings::Instance().StartingTime = 1.0f;
    testing_support::HeadlessGame session;
    vtr::Game* game = session.game;
    headless::SetFixedFrameTime(session.hge, kDt);
    headless::SetRenderEnabled(session.hge, false);
    auto tap = [&](int key) {
      headless::PushKey(key, true);
      headless::PushKey(key, false);
      headless::RunFrame(session.hge);
    };
    tap(HGEK_ENTER);  // "New Game"
    tap('M');
    tap(HGEK_ADD);
    for (int i = 0; i < 60 * 20 && !game->ScoreEntered(); ++i) headless::RunFrame(session.hge);
    ASSERT_TRUE(game->ScoreEntered());
    tap('M');  // the player's own: sound back on, the music down again
    tap(HGEK_SUBTRACT);
    const float volume = game->MusicVolume();
    ASSERT_FALSE(vtr::SoundManager::Instance().Muted());

    const auto& entries = game->scores.Entries();
    const auto line = std::find_if(entries.begin(), entries.end(), [](const vtr::ScoreEntry& e) { return e.isNew; });
    tap('1' + static_cast<int>(line - entries.begin()));
    ASSERT_TRUE(game->Watching());
    bool mutedWhileWatching = false;
    for (int i = 0; i < 60 * 20 && game->Watching(); ++i) {
      headless::RunFrame(session.hge);
      mutedWhileWatching = mutedWhileWatching || vtr::SoundManager::Instance().Muted();
    }
    ASSERT_FALSE(game->Watching());
    EXPECT_TRUE(game->LastWatchFaithful());
    EXPECT_TRUE(mutedWhileWatching);
    EXPECT_FALSE(vtr::SoundManager::Instance().Muted());
    EXPECT_EQ(game->MusicVolume(), volume);
    const auto stored = vtr::ListReplays(vtr::ReplayFolderFor(vtr::Settings::Instance().ScoreFile));
    ASSERT_EQ(stored.size(), 1u);
    file = outside.path() / "muted.vtreplay";
    fs::copy_file(stored[0].path, file);
  }

  vtr::StartOptions options = ReplayCommand(outside.path(), file);
  testing::internal::CaptureStdout();
  EXPECT_EQ(vtr::RunGame(options), 0);
  EXPECT_NE(testing::internal::GetCapturedStdout().find(": ok"), std::string::npos);
  EXPECT_NE(FileBytes(outside.path() / "Window.vtr").find("Muted 0"), std::string::npos);
}

}  // namespace
