// Rounds of the real game, played headless through the menu with pushed
// input, are recorded from "New Game" to the entry of their score, stored
// beside the score file, and play back to the same score and state.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "actors/actor_list.h"
#include "actors/rocket.h"
#include "config/settings.h"
#include "game/game.h"
#include "game/replay_driver.h"
#include "helpers/gui.h"
#include "menu/game_menu.h"
#include "platform/hge_headless.h"
#include "replay/replay_folder.h"
#include "tests/support/headless_game.h"

namespace {

// A table's rows as comparable values: score, time, new mark.
std::vector<std::tuple<std::uint32_t, std::int64_t, bool>> EntriesOf(const vtr::ScoreTable& table) {
  std::vector<std::tuple<std::uint32_t, std::int64_t, bool>> rows;
  for (const vtr::ScoreEntry& e : table.Entries()) rows.emplace_back(e.score, e.time, e.isNew);
  return rows;
}

class RoundRecording : public ::testing::Test {
 protected:
  RoundRecording() {
    vtr::Settings::Instance().StartingTime = 4.0f;
    session = std::make_unique<testing_support::HeadlessGame>();
    game = session->game;
    headless::SetFixedFrameTime(session->hge, 1.0f / 60.0f);
    headless::SetRenderEnabled(session->hge, false);
  }

  void Tap(int key) {
    headless::PushKey(key, true);
    headless::PushKey(key, false);
  }

  // One frame; folds the state into the live hash once the round runs.
  void Frame() {
    headless::RunFrame(session->hge);
    if (counting) {
      ++frames;
      hash = vtr::FoldGameState(hash, *game);
    }
  }

  // "New Game" from the focused menu item; counting starts with the next frame.
  void NewGame() {
    if (game->menu->highScoresShown) {  // the results page: "Back" first
      Tap(HGEK_ENTER);
      Frame();
    }
    Tap(HGEK_ENTER);
    Frame();
    ASSERT_TRUE(game->CurrentRound().roundRunning);
    StartCounting();
  }

  void StartCounting() {
    counting = true;
    frames = 0;
    hash = vtr::kStateHashStart;
  }

  // Shots at the first rising rocket every half second until the score is in.
  void PlayToTheEnd() {
    for (int i = 0; i < 60 * 30 && !game->ScoreEntered(); ++i) {
      if (i % 30 == 29) {
        for (const auto& actor : vtr::ActorList::Instance()) {
          if (actor->kind == vtr::kRocket && actor->collidable && !actor->dying && actor->y < 700.0f) {
            headless::PushMouseMove(actor->x + actor->vx, actor->y + actor->vy);
            headless::PushMouseButton(HGEK_LBUTTON, true, actor->x + actor->vx, actor->y + actor->vy);
            headless::PushMouseButton(HGEK_LBUTTON, false, actor->x + actor->vx, actor->y + actor->vy);
            break;
          }
        }
      }
      Frame();
    }
    ASSERT_TRUE(game->ScoreEntered());
    counting = false;
  }

  vtr::Replay StoredReplayOfTheNewEntry() {
    vtr::Replay replay;
    for (const vtr::ScoreEntry& entry : game->scores.Entries()) {
      if (!entry.isNew) continue;
      const std::string path = vtr::FindReplay(vtr::Settings::Instance().ScoreFile, entry);
      EXPECT_FALSE(path.empty()) << "no replay for the new entry";
      std::string error;
      EXPECT_EQ(vtr::ReadReplayFile(path, &replay, &error), vtr::ReplayError::None) << error;
    }
    return replay;
  }

  std::unique_ptr<testing_support::HeadlessGame> session;
  vtr::Game* game = nullptr;
  bool counting = false;
  std::uint32_t frames = 0;
  std::uint64_t hash = 0;
};

}  // namespace

TEST_F(RoundRecording, APlayedRoundPlaysBackToItsScoreAndState) {
  NewGame();
  PlayToTheEnd();
  const std::int32_t score = game->CurrentRound().score;
  const vtr::Replay replay = StoredReplayOfTheNewEntry();
  EXPECT_EQ(replay.score, score);
  EXPECT_EQ(replay.highestCombo, game->CurrentRound().highestCombo);
  EXPECT_EQ(replay.frameCount, frames);

  // Played back on a game still showing its splash, as --verify starts one.
  const vtr::ScoreTable tableBefore = game->scores;
  game->ShowSplash();
  const vtr::Verdict verdict = vtr::VerifyReplay(game, replay);
  EXPECT_TRUE(verdict.ok()) << vtr::VerdictLine(replay, verdict);
  EXPECT_EQ(verdict.stateHash, hash);
  EXPECT_EQ(vtr::VerdictLine(replay, verdict),
            "recorded " + std::to_string(score) + ", re-simulated " + std::to_string(score) + ": ok");
  // The replay wrote nothing, and left the table in memory as it was: one
  // replay checked after another finds its entry where the table holds it.
  vtr::ScoreTable onDisk;
  onDisk.Load(vtr::Settings::Instance().ScoreFile, 0);
  EXPECT_EQ(onDisk.Entries().size(), game->scores.Entries().size());
  EXPECT_EQ(EntriesOf(game->scores), EntriesOf(tableBefore));

  // A score claimed higher than played is caught.
  vtr::Replay claimed = replay;
  claimed.score += 100;
  const vtr::Verdict inflated = vtr::VerifyReplay(game, claimed);
  EXPECT_FALSE(inflated.ok());
  EXPECT_NE(vtr::VerdictLine(claimed, inflated).find("MISMATCH"), std::string::npos);

  // A second round afterwards is recorded as usual, and verifies too.
  NewGame();
  PlayToTheEnd();
  const vtr::Replay second = StoredReplayOfTheNewEntry();
  EXPECT_EQ(second.frameCount, frames);
  EXPECT_TRUE(vtr::VerifyReplay(game, second).ok());
}

// A replay that stops during the last bursts, its round over but its score
// not yet in, is a mismatch; and nothing of that round reaches the score file
// or the Replays folder, not even when the game ends right after, as it does
// after --verify.
TEST_F(RoundRecording, AReplayCutShortLeavesTheScoreFileAndTheReplaysAlone) {
  NewGame();
  PlayToTheEnd();
  const vtr::Replay replay = StoredReplayOfTheNewEntry();
  vtr::Replay cut = replay;
  vtr::FrameDecoder decoder(replay.frames);
  vtr::FrameEncoder encoder;
  float dt = 0.0f;
  hge_record::InputFrame input;
  for (std::uint32_t i = 0; i + 5 < replay.frameCount && decoder.Next(&dt, &input, nullptr); ++i) {
    encoder.Add(dt, input);
  }
  encoder.Flush();
  cut.frames = encoder.Stream();
  cut.frameCount = encoder.Count();

  const std::string scoreFile = vtr::Settings::Instance().ScoreFile;
  const auto read = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  const std::string scoresBefore = read(scoreFile);
  const std::size_t replaysBefore = vtr::ListReplays(vtr::ReplayFolderFor(scoreFile)).size();

  const vtr::Verdict verdict = vtr::VerifyReplay(game, cut);
  EXPECT_FALSE(verdict.ok());
  EXPECT_NE(vtr::VerdictLine(cut, verdict).find("did not end where it was recorded"), std::string::npos);
  session->app.Shutdown();  // the game ends, its folder still there
  EXPECT_EQ(read(scoreFile), scoresBefore);
  EXPECT_EQ(vtr::ListReplays(vtr::ReplayFolderFor(scoreFile)).size(), replaysBefore);
}

TEST_F(RoundRecording, AnAbandonedRoundLeavesNoReplay) {
  NewGame();
  for (int i = 0; i < 90; ++i) Frame();
  Tap(HGEK_ESCAPE);  // pause: the menu opens on "New Game"
  Frame();
  ASSERT_TRUE(game->CurrentRound().menuShown);
  Tap(HGEK_ENTER);
  Frame();
  ASSERT_FALSE(game->CurrentRound().menuShown);
  StartCounting();
  PlayToTheEnd();
  const vtr::Replay replay = StoredReplayOfTheNewEntry();
  EXPECT_EQ(replay.frameCount, frames) << "the abandoned round's frames were kept";
  EXPECT_EQ(vtr::ListReplays(vtr::ReplayFolderFor(vtr::Settings::Instance().ScoreFile)).size(), 1u);
  const vtr::Verdict verdict = vtr::VerifyReplay(game, replay);
  EXPECT_TRUE(verdict.ok()) << vtr::VerdictLine(replay, verdict);
  EXPECT_EQ(verdict.stateHash, hash);
}

// The pause menu takes the focus from the item the cursor moves onto, so the
// item the cursor rested on when "New Game" was chosen by key decides what
// the keys do in a pause: a replay must start from it.
TEST_F(RoundRecording, APauseActsOnTheMenuAsTheRoundLeftIt) {
  headless::PushMouseMove(512.0f, 415.0f);  // over "Quit": the focus goes there
  Frame();
  ASSERT_EQ(game->menu->MainPage()->GetFocus(), vtr::GameMenu::kQuit);
  Tap(HGEK_UP);
  Frame();
  Tap(HGEK_UP);
  Frame();
  ASSERT_EQ(game->menu->MainPage()->GetFocus(), vtr::GameMenu::kNewGame);
  NewGame();  // by key, the cursor still over "Quit"

  for (int i = 0; i < 60; ++i) Frame();
  Tap(HGEK_ESCAPE);  // pause
  Frame();
  Tap(HGEK_DOWN);  // "High Scores"
  Frame();
  Tap(HGEK_ENTER);
  Frame();
  ASSERT_TRUE(game->menu->highScoresShown);
  Tap(HGEK_ENTER);  // "Back"
  Frame();
  Tap(HGEK_ESCAPE);  // and on with the round
  Frame();
  ASSERT_FALSE(game->CurrentRound().menuShown);
  PlayToTheEnd();

  const vtr::Replay replay = StoredReplayOfTheNewEntry();
  EXPECT_EQ(replay.start.menuHovered, vtr::GameMenu::kQuit);
  game->menu->MainPage()->SetHovered(0);  // as in the fresh game --verify starts
  const vtr::Verdict verdict = vtr::VerifyReplay(game, replay);
  EXPECT_TRUE(verdict.ok()) << vtr::VerdictLine(replay, verdict);
  EXPECT_EQ(verdict.stateHash, hash);
}

// Played back, a round draws exactly what it drew live: every quad of every
// frame, the particles, rings, texts and HUD included.
TEST_F(RoundRecording, PlaybackDrawsEveryFrameAsTheRoundDrewIt) {
  vtr::Settings::Instance().StartingTime = 1.5f;  // drawing headless is slow
  vtr::Settings::Instance().Save();
  headless::SetRenderEnabled(session->hge, true);
  std::uint64_t quads = vtr::kStateHashStart;
  headless::SetQuadTap(session->hge, [&quads](const hgeQuad& quad) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&quad);
    for (std::size_t i = 0; i < sizeof quad; ++i) quads = (quads ^ bytes[i]) * 1099511628211ull;
  });
  NewGame();
  std::vector<std::uint64_t> live;
  quads = vtr::kStateHashStart;
  for (int i = 0; i < 60 * 30 && !game->ScoreEntered(); ++i) {
    if (i % 20 == 19) {
      headless::PushMouseMove(300.0f + i % 400, 200.0f + i % 300);
      headless::PushMouseButton(HGEK_LBUTTON, true, 300.0f + i % 400, 200.0f + i % 300);
      headless::PushMouseButton(HGEK_LBUTTON, false, 300.0f + i % 400, 200.0f + i % 300);
    }
    Frame();
    live.push_back(quads);
  }
  ASSERT_TRUE(game->ScoreEntered());
  const vtr::Replay replay = StoredReplayOfTheNewEntry();

  vtr::ReplayDriver driver(game, replay);
  driver.Start();
  std::vector<std::uint64_t> played;
  quads = vtr::kStateHashStart;
  while (driver.Step()) {
    game->Render();
    played.push_back(quads);
  }
  driver.Stop();
  headless::SetQuadTap(session->hge, {});
  ASSERT_EQ(played.size(), live.size());
  // The last frame opens the results page, whose table holds the replayed
  // entry beside the live one: what a watcher shows after the round is its own.
  for (std::size_t i = 0; i + 1 < live.size(); ++i) ASSERT_EQ(played[i], live[i]) << "frame " << i;
}
