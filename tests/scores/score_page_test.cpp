#include "scores/score_page.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "helpers/font.h"
#include "platform/hge_headless.h"
#include "scores/score_table.h"
#include "tests/support/coded_font.h"
#include "tests/support/headless_engine.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::CodedFont;

using testing_support::TempDir;

// Letters drawn with the same top and colour, one after another.
using Line = testing_support::DrawnLine;

class ScorePageTest : public ::testing::Test {
 protected:
  ScorePageTest() { dir.Write("coded.fnt", CodedFont()); }
  void SetUp() override { ASSERT_TRUE(engine.ok) << engine.error(); }

  // Draws the lines of a table and reads them back from the quads: letters
  // with the same top and colour, one after another, make one line.
  std::vector<Line> Draw(hgeFont& font, const std::vector<vtr::ScoreEntry>& entries) {
    return testing_support::ReadDrawnLines(hge, [&] { vtr::DrawScoreLines(&font, entries); });
  }

  static std::vector<vtr::ScoreEntry> Scores(std::vector<std::uint32_t> scores, int newAt = -1) {
    std::vector<vtr::ScoreEntry> entries;
    for (std::size_t i = 0; i < scores.size(); ++i) {
      entries.push_back({scores[i], 1000 + static_cast<std::int64_t>(i), static_cast<int>(i) == newAt});
    }
    return entries;
  }

  TempDir dir;
  testing_support::HeadlessEngine engine{{.logFile = "test.log"}};
  HGE* hge = engine.hge;
};

constexpr DWORD kRed = 0xFFFF3333;
constexpr DWORD kBlue = 0xFF6666FF;

TEST_F(ScorePageTest, DrawsUpToFiveNumberedLinesFromTheTop) {
  hgeFont font("coded.fnt");

  EXPECT_TRUE(Draw(font, {}).empty());

  std::vector<Line> lines = Draw(font, Scores({12500, 700, 0}));
  ASSERT_EQ(lines.size(), 3u);
  const char* texts[] = {"1. 12500", "2. 700", "3. 0"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(lines[i].text, texts[i]);
    EXPECT_EQ(lines[i].x, 450.0f);
    EXPECT_EQ(lines[i].y, 300.0f + 40.0f * i);
    EXPECT_EQ(lines[i].colour, kBlue);
  }

  std::vector<std::uint32_t> forty;
  for (std::uint32_t s = 40; s > 0; --s) forty.push_back(s * 10);
  lines = Draw(font, Scores(forty));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].text, "1. 400");
  EXPECT_EQ(lines[4].text, "5. 360");
  EXPECT_EQ(lines[4].y, 460.0f);
}

TEST_F(ScorePageTest, ScoresAreWrittenUnsignedInPlainDecimal) {
  hgeFont font("coded.fnt");
  const std::vector<Line> lines = Draw(font, Scores({4000000000u, 1000000}));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text, "1. 4000000000");
  EXPECT_EQ(lines[1].text, "2. 1000000");
}

TEST_F(ScorePageTest, OnlyTheLatestRoundIsRedAndInTheTopFiveItTakesNoExtraLine) {
  hgeFont font("coded.fnt");
  for (int at = 0; at < 5; ++at) {
    const std::vector<vtr::ScoreEntry> entries = Scores({900, 800, 700, 600, 500, 400}, at);
    const std::vector<Line> lines = Draw(font, entries);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(vtr::ScoreLineCount(entries), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(lines[i].colour, i == at ? kRed : kBlue) << at << " " << i;
  }
}

TEST_F(ScorePageTest, ALatestRoundBelowTheFiveGetsASixthRedLineWithItsRank) {
  hgeFont font("coded.fnt");
  std::vector<std::uint32_t> scores;
  for (std::uint32_t s = 40; s > 0; --s) scores.push_back(s * 10);  // 400 down to 10
  const std::vector<std::string> topFive = {"1. 400", "2. 390", "3. 380", "4. 370", "5. 360"};

  // Ranks 6, 27 and the very last: the five lines stay, the sixth names it.
  for (int at : {5, 26, 39}) {
    const std::vector<vtr::ScoreEntry> entries = Scores(scores, at);
    const std::vector<Line> lines = Draw(font, entries);
    ASSERT_EQ(lines.size(), 6u) << at;
    EXPECT_EQ(vtr::ScoreLineCount(entries), 6);
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(lines[i].text, topFive[i]);
      EXPECT_EQ(lines[i].colour, kBlue);
      EXPECT_EQ(lines[i].y, 300.0f + 40.0f * i);
    }
    EXPECT_EQ(lines[5].text, std::to_string(at + 1) + ". " + std::to_string(entries[at].score));
    EXPECT_EQ(lines[5].colour, kRed);
    EXPECT_EQ(lines[5].x, 450.0f);
    EXPECT_EQ(lines[5].y, 500.0f);
  }
  EXPECT_EQ(Draw(font, Scores(scores, 26))[5].text, "27. 140");

  // No latest round in the table: five lines only.
  EXPECT_EQ(Draw(font, Scores(scores)).size(), 5u);
  EXPECT_EQ(vtr::ScoreLineCount(Scores({300, 200})), 2);
}

TEST_F(ScorePageTest, EqualScoresShowInTableOrderWithTheNewerOneRed) {
  // No score file: the table starts with its single entry of 100, and a
  // finished round of 100 goes below it.
  vtr::ScoreTable table;
  table.Load("Scores.vtr", 1000);
  table.Enter(100, 2000);
  hgeFont font("coded.fnt");
  const std::vector<Line> lines = Draw(font, table.Entries());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text, "1. 100");
  EXPECT_EQ(lines[0].colour, kBlue);
  EXPECT_EQ(lines[1].text, "2. 100");
  EXPECT_EQ(lines[1].colour, kRed);
}

TEST_F(ScorePageTest, TheFontKeepsItsColour) {
  hgeFont font("coded.fnt");
  font.SetColor(0x80123456);
  Draw(font, Scores({300, 200}, 1));
  EXPECT_EQ(font.GetColor(), 0x80123456u);
  Draw(font, {});
  EXPECT_EQ(font.GetColor(), 0x80123456u);
}

}  // namespace
