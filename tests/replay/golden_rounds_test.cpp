// The golden rounds of tests/golden, recorded with the real game by
// scripts/record-golden-rounds, must play out to exactly their recorded
// score, highest combo and state hash (taken after every frame) in every
// build: optimised or not, sanitized or not, gcc or clang. A difference means
// the rules or the floats they compute with have changed.
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "game/replay_driver.h"
#include "replay/replay_file.h"
#include "tests/support/headless_game.h"

namespace {

struct Golden {
  std::string name;
  std::uint32_t score = 0;
  std::uint32_t combo = 0;
  std::string hash;
};

std::vector<Golden> ReadGoldens() {
  std::vector<Golden> goldens;
  std::ifstream in(std::string(VANTOR_SOURCE_DIR) + "/tests/golden/rounds.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    Golden golden;
    fields >> golden.name >> golden.score >> golden.combo >> golden.hash;
    goldens.push_back(golden);
  }
  return goldens;
}

std::string Hex(std::uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

}  // namespace

TEST(GoldenRounds, EveryRecordedRoundReproducesItsScoreComboAndState) {
  const std::vector<Golden> goldens = ReadGoldens();
  ASSERT_GE(goldens.size(), 8u) << "tests/golden/rounds.txt is missing rounds";
  // A change meant to alter how rounds play out raises kReplayRulesVersion
  // (replay/replay_file.h) and records these rounds again with
  // scripts/record-golden-rounds; any other difference is a fault.
  testing_support::HeadlessGame session;
  // One game plays them all, one after another, as --verify-all does: no
  // round may depend on what an earlier one left behind.
  for (const Golden& golden : goldens) {
    SCOPED_TRACE(golden.name);
    vtr::Replay replay;
    std::string error;
    ASSERT_EQ(vtr::ReadReplayFile(std::string(VANTOR_SOURCE_DIR) + "/tests/golden/" + golden.name + ".vtreplay",
                                  &replay, &error),
              vtr::ReplayError::None)
        << error;
    EXPECT_EQ(static_cast<std::uint32_t>(replay.score), golden.score);
    const vtr::Verdict verdict = vtr::VerifyReplay(session.game, replay);
    EXPECT_TRUE(verdict.ok()) << vtr::VerdictLine(replay, verdict)
                              << "\n(if the rules were changed on purpose, see the note above)";
    EXPECT_EQ(static_cast<std::uint32_t>(verdict.score), golden.score);
    EXPECT_EQ(verdict.highestCombo, golden.combo);
    EXPECT_EQ(Hex(verdict.stateHash), golden.hash);
  }
}
