#include "menu/game_menu.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "config/settings.h"
#include "helpers/font.h"
#include "helpers/gui.h"
#include "platform/hge_headless.h"
#include "replay/replay_folder.h"
#include "scores/score_table.h"
#include "tests/support/coded_font.h"
#include "tests/support/headless_engine.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::CodedFont;
using testing_support::TempDir;

constexpr float kDt = 1.0f / 60.0f;
constexpr DWORD kFocused = 0xFFFFFFFF;
constexpr DWORD kUnfocused = 0xFF7F7FFF;
constexpr DWORD kShadow = 0xFF191919;

// One run of letters drawn with the same top and colour. In the coded font
// "New Game" is 80 wide, "Quit" 40.
using Caption = testing_support::DrawnLine;

// The real engine on the dummy drivers, a score table, and the menu built on
// them, looking its replays up in the real folder beside the score file. Input is pushed as SDL events,
// seen by the next frame's event pump, and then read by the menu.
class GameMenuTest : public ::testing::Test {
 protected:
  GameMenuTest() {
    std::filesystem::create_directory(dir.path() / "Content");
    dir.Write("Content/font1.fnt", CodedFont());
  }
  ~GameMenuTest() override {
    menu.reset();
  }
  void SetUp() override { ASSERT_TRUE(engine.ok) << engine.error(); }
  void Build() {
    menu = std::make_unique<vtr::GameMenu>(hge, &scores, [this](std::size_t index) {
      return index < scores.Entries().size() &&
             !vtr::FindReplay(vtr::Settings::Instance().ScoreFile, scores.Entries()[index]).empty();
    });
  }

  // One frame: the engine pumps the pushed events, then the menu reads them;
  // true when the player chose "Quit". Any other choice is kept in chosen.
  bool Frame() {
    headless::RunFrame(hge);
    const vtr::MenuChoice choice = menu->Update(kDt);
    if (choice.kind != vtr::MenuChoice::Kind::None) chosen.push_back(choice);
    return choice.kind == vtr::MenuChoice::Kind::Quit;
  }
  // A key pressed in one frame and let go in the next; the press frame's result.
  bool Key(int key) {
    headless::PushKey(key, true);
    const bool quit = Frame();
    headless::PushKey(key, false);
    Frame();
    return quit;
  }
  bool Move(float x, float y) {
    headless::PushMouseMove(x, y);
    return Frame();
  }
  bool Button(bool down, float x, float y) {
    headless::PushMouseButton(HGEK_LBUTTON, down, x, y);
    return Frame();
  }
  int MainFocus() const { return menu->MainPage()->GetFocus(); }

  // Draws the menu and reads its captions back from the quads.
  std::vector<Caption> Draw() {
    return testing_support::ReadDrawnLines(hge, [this] { menu->Render(false, ""); });
  }
  // The colour each caption (not its shadow) is drawn in, in drawing order.
  std::vector<DWORD> CaptionColours() {
    std::vector<DWORD> colours;
    for (const Caption& c : Draw()) {
      if (c.colour != kShadow) colours.push_back(c.colour);
    }
    return colours;
  }

  TempDir dir;
  testing_support::HeadlessEngine engine{{.logFile = "test.log", .render = false, .fixedFrameTime = kDt}};
  HGE* hge = engine.hge;
  vtr::ScoreTable scores;
  std::unique_ptr<vtr::GameMenu> menu;
  std::vector<vtr::MenuChoice> chosen;
};

using Colours = std::vector<DWORD>;

TEST_F(GameMenuTest, OpensWithNewGameFocusedAndEachCaptionOverItsShadow) {
  Build();
  const std::vector<Caption> drawn = Draw();
  ASSERT_EQ(drawn.size(), 6u);
  const char* texts[] = {"New Game", "High Scores", "Quit"};
  for (int i = 0; i < 3; ++i) {
    const Caption& shadow = drawn[2 * i];
    const Caption& caption = drawn[2 * i + 1];
    EXPECT_EQ(caption.text, texts[i]);
    EXPECT_EQ(caption.Centre(), 512.0f);
    EXPECT_EQ(caption.y, 300.0f + 50.0f * i);
    EXPECT_EQ(caption.colour, i == 0 ? kFocused : kUnfocused);
    EXPECT_EQ(shadow.text, texts[i]);
    EXPECT_EQ(shadow.colour, kShadow);
    EXPECT_EQ(shadow.x, caption.x + 3.0f);
    EXPECT_EQ(shadow.y, caption.y + 3.0f);
  }
  // The font keeps the last caption's colour.
  EXPECT_EQ(menu->Font()->GetColor(), kUnfocused);
}

TEST_F(GameMenuTest, ArrowsWalkTheMainPageAndWrap) {
  Build();
  Key(HGEK_DOWN);
  EXPECT_EQ(MainFocus(), vtr::GameMenu::kHighScores);
  EXPECT_EQ(CaptionColours(), (Colours{kUnfocused, kFocused, kUnfocused}));
  Key(HGEK_DOWN);
  EXPECT_EQ(MainFocus(), vtr::GameMenu::kQuit);
  Key(HGEK_DOWN);
  EXPECT_EQ(MainFocus(), vtr::GameMenu::kNewGame);
  Key(HGEK_UP);
  EXPECT_EQ(MainFocus(), vtr::GameMenu::kQuit);
  EXPECT_EQ(CaptionColours(), (Colours{kUnfocused, kUnfocused, kFocused}));
  // Left and right are no navigation keys here, and do not activate.
  EXPECT_FALSE(Key(HGEK_LEFT));
  EXPECT_EQ(MainFocus(), vtr::GameMenu::kQuit);
}

TEST_F(GameMenuTest, EnterAndSpaceActivateInTheSameFrame) {
  Build();
  Key(HGEK_DOWN);
  headless::PushKey(HGEK_ENTER, true);
  Frame();
  EXPECT_TRUE(menu->highScoresShown);
  // The Enter that opened the page did not also press its "Back".
  headless::PushKey(HGEK_ENTER, false);
  Frame();
  EXPECT_TRUE(menu->highScoresShown);

  headless::PushKey(HGEK_SPACE, true);
  Frame();
  EXPECT_FALSE(menu->highScoresShown);
  EXPECT_EQ(MainFocus(), vtr::GameMenu::kNewGame);
  headless::PushKey(HGEK_SPACE, false);
  Frame();
  EXPECT_FALSE(menu->highScoresShown);

  Key(HGEK_UP);
  EXPECT_TRUE(Key(HGEK_SPACE));
}

TEST_F(GameMenuTest, AClickActivatesOnTheRelease) {
  Build();
  EXPECT_FALSE(Move(512.0f, 410.0f));
  EXPECT_FALSE(Button(true, 512.0f, 410.0f));
  EXPECT_TRUE(Button(false, 512.0f, 410.0f));
}

TEST_F(GameMenuTest, HoveringMovesTheFocusUntilTheArrowsTakeIt) {
  Build();
  Move(512.0f, 410.0f);  // onto "Quit"
  EXPECT_EQ(MainFocus(), vtr::GameMenu::kQuit);
  EXPECT_EQ(CaptionColours(), (Colours{kUnfocused, kUnfocused, kFocused}));

  // Resting on "Quit", the arrows still move the focus; moving within the
  // caption gives no new hover notice.
  Key(HGEK_UP);
  EXPECT_EQ(MainFocus(), vtr::GameMenu::kHighScores);
  Move(520.0f, 405.0f);
  EXPECT_EQ(MainFocus(), vtr::GameMenu::kHighScores);

  // Leaving keeps the focus; coming back takes it again.
  Move(100.0f, 100.0f);
  EXPECT_EQ(MainFocus(), vtr::GameMenu::kHighScores);
  Move(512.0f, 410.0f);
  EXPECT_EQ(MainFocus(), vtr::GameMenu::kQuit);
}

TEST_F(GameMenuTest, APressDraggedOffHighScoresStillOpensThePage) {
  Build();
  Move(512.0f, 360.0f);
  Button(true, 512.0f, 360.0f);
  EXPECT_FALSE(menu->highScoresShown);
  Move(900.0f, 700.0f);
  Button(false, 900.0f, 700.0f);
  EXPECT_TRUE(menu->highScoresShown);
}

TEST_F(GameMenuTest, BackReturnsToTheMainPageWithNewGameFocused) {
  Build();
  Key(HGEK_DOWN);
  Key(HGEK_DOWN);  // "Quit" focused before leaving
  Move(512.0f, 360.0f);
  Button(true, 512.0f, 360.0f);
  Button(false, 512.0f, 360.0f);
  ASSERT_TRUE(menu->highScoresShown);

  // An empty score table: only "Back", over its shadow.
  std::vector<Caption> drawn = Draw();
  ASSERT_EQ(drawn.size(), 2u);
  EXPECT_EQ(drawn[1].text, "Back");
  EXPECT_EQ(drawn[1].y, 500.0f);
  EXPECT_EQ(drawn[1].colour, kFocused);
  EXPECT_EQ(drawn[1].Centre(), 512.0f);

  // A click on the main page's captions does nothing while it is hidden.
  Move(512.0f, 410.0f);
  Button(true, 512.0f, 410.0f);
  EXPECT_FALSE(Button(false, 512.0f, 410.0f));
  EXPECT_TRUE(menu->highScoresShown);

  Move(512.0f, 510.0f);
  Button(true, 512.0f, 510.0f);
  EXPECT_TRUE(menu->highScoresShown);
  Button(false, 512.0f, 510.0f);
  EXPECT_FALSE(menu->highScoresShown);
  EXPECT_EQ(MainFocus(), vtr::GameMenu::kNewGame);
  EXPECT_EQ(CaptionColours(), (Colours{kFocused, kUnfocused, kUnfocused}));
}

TEST_F(GameMenuTest, NewGameAndQuitAreReportedOnceEach) {
  using Kind = vtr::MenuChoice::Kind;
  Build();
  EXPECT_FALSE(Key(HGEK_ENTER));
  EXPECT_EQ(chosen, (std::vector<vtr::MenuChoice>{{Kind::NewGame}}));

  EXPECT_FALSE(Key(HGEK_DOWN));
  EXPECT_FALSE(Key(HGEK_DOWN));
  EXPECT_TRUE(Key(HGEK_ENTER));
  EXPECT_EQ(chosen, (std::vector<vtr::MenuChoice>{{Kind::NewGame}, {Kind::Quit}}));
}

// 1 to 5 choose the five lines' rounds and 6 the sixth line's, on the number
// row or the numeric pad; a line the page does not show chooses nothing.
TEST_F(GameMenuTest, TheNumberKeysChooseTheRoundOfTheirLine) {
  using Kind = vtr::MenuChoice::Kind;
  scores.Load("Scores.vtr", 1000);  // the starting entry of 100
  for (std::int32_t s = 200; s <= 600; s += 100) scores.Enter(s, 2000);
  scores.Enter(50, 3000);  // the latest round, seventh: drawn as the sixth line
  Build();
  menu->highScoresShown = true;
  const struct {
    int key;
    std::size_t entry;
  } cases[] = {{'1', 0}, {'5', 4}, {96 + 2, 1}, {'6', 6}};
  for (const auto& c : cases) {
    chosen.clear();
    Key(c.key);
    EXPECT_EQ(chosen, (std::vector<vtr::MenuChoice>{{Kind::Watch, c.entry}})) << c.key;
  }
  chosen.clear();
  Key('7');
  Key('0');
  EXPECT_TRUE(chosen.empty());
}

// D starts today's challenge from the main page only where the game offers
// it (never in a pause), and its caption shows just then.
TEST_F(GameMenuTest, TodaysChallengeOnlyWhereOffered) {
  using Kind = vtr::MenuChoice::Kind;
  Build();
  const auto captioned = [this]() {
    for (const Caption& c : Draw()) {
      if (c.text == "D: today's challenge") return true;
    }
    return false;
  };
  const struct {
    bool offered;
    bool highScores;
    bool chosen;
  } cases[] = {{true, false, true}, {false, false, false}, {true, true, false}};
  for (const auto& c : cases) {
    menu->dailyOffered = c.offered;
    menu->highScoresShown = c.highScores;
    chosen.clear();
    Key('D');
    EXPECT_EQ(chosen, c.chosen ? std::vector<vtr::MenuChoice>{{Kind::Daily}} : std::vector<vtr::MenuChoice>{});
    EXPECT_EQ(captioned(), c.chosen);
  }
}

// The pause menu says so, with the round's time left, above its items; the
// start menu, the results and the high-score page opened from a pause don't.
TEST_F(GameMenuTest, ThePauseMenuSaysPausedAndTheTimeLeft) {
  Build();
  const auto lines = [this]() {
    std::vector<std::string> texts;
    for (const Caption& c : Draw()) {
      if (c.colour != kShadow && c.y < 290.0f) texts.push_back(c.text);
    }
    return texts;
  };
  EXPECT_TRUE(lines().empty());
  menu->pausedTimeLeft = 42.26f;
  EXPECT_EQ(lines(), (std::vector<std::string>{"Paused", "42.3 s left in the round"}));
  menu->pausedTimeLeft = -0.01f;  // the last frame's overshoot reads 0
  EXPECT_EQ(lines(), (std::vector<std::string>{"Paused", "0.0 s left in the round"}));
  menu->highScoresShown = true;
  for (const std::string& text : lines()) EXPECT_NE(text, "Paused");
}

// The results summary and the first-time hint only add lines: every line
// drawn without them is drawn in the same place and colour with them.
TEST_F(GameMenuTest, TheSummaryAndTheHintAddLinesAndMoveNothing) {
  scores.Load("Scores.vtr", 1000);
  scores.Enter(250, 2000);
  Build();
  const auto lines = [this] {
    std::vector<std::string> drawn;
    for (const Caption& c : Draw()) {
      drawn.push_back(c.text + "@" + std::to_string(c.x) + "," + std::to_string(c.y) + "#" + std::to_string(c.colour));
    }
    return drawn;
  };
  // The lines drawn now besides the earlier ones, which must all be there, in order.
  const auto added = [&](const std::vector<std::string>& before) {
    std::vector<std::string> extra;
    std::size_t kept = 0;
    for (const std::string& line : lines()) {
      if (kept < before.size() && line == before[kept]) {
        ++kept;
      } else {
        extra.push_back(line.substr(0, line.find('@')));
      }
    }
    EXPECT_EQ(kept, before.size()) << "a line moved or went";
    return extra;
  };
  using Texts = std::vector<std::string>;
  const Texts main = lines();
  menu->highScoresShown = true;
  const Texts page = lines();
  menu->roundSummary = vtr::RoundSummary{true, 12, 30, 4294967295u, 185, ""};
  menu->firstTimeHint = true;
  EXPECT_EQ(added(page), (Texts{"Time's up", "New best!", "Catches: 12   Shots: 30",
                                "Longest chain: 4294967295   Multiplier: 185 %"}));
  const std::vector<Caption> results = Draw();  // the summary's last line, then "1. 250"
  EXPECT_LE(results[3].y + 0.6f * 20.0f, results[4].y) << "clear of the table";
  menu->roundSummary->newBest = false;
  EXPECT_EQ(added(page).size(), 3u);
  menu->highScoresShown = false;
  EXPECT_EQ(added(main),
            (Texts{"Click to launch a rocket: its burst catches rising rockets. Catches chain; each shot costs multiplier"}));
  const std::vector<Caption> hinted = Draw();  // "Quit", then the hint
  EXPECT_GE(hinted.back().y, hinted[hinted.size() - 2].y + 20.0f) << "clear of the items";
  // "Back" puts the summary away: "High Scores" opens the plain page.
  menu->highScoresShown = true;
  Key(HGEK_ENTER);
  EXPECT_FALSE(menu->roundSummary.has_value());
}

TEST_F(GameMenuTest, TheRoundsEndOpensTheResultsWithTheNewScoreRed) {
  scores.Load("Scores.vtr", 1000);
  scores.Enter(250, 2000);
  Build();
  menu->highScoresShown = true;  // as the end of a finished round does
  const std::vector<Caption> drawn = Draw();
  ASSERT_EQ(drawn.size(), 4u);
  EXPECT_EQ(drawn[0].text, "1. 250");
  EXPECT_EQ(drawn[0].colour, 0xFFFF3333u);
  EXPECT_EQ(drawn[1].text, "2. 100");
  EXPECT_EQ(drawn[1].colour, 0xFF6666FFu);
  EXPECT_EQ(drawn[3].text, "Back");
  EXPECT_FALSE(Key(HGEK_ENTER));
  EXPECT_FALSE(menu->highScoresShown);
}

TEST_F(GameMenuTest, ASixthLineForARoundBelowTheFiveMovesBackDownALine) {
  scores.Load("Scores.vtr", 1000);  // the starting entry of 100
  for (std::int32_t s = 200; s <= 600; s += 100) scores.Enter(s, 2000);
  scores.Enter(50, 3000);  // the latest round, seventh
  Build();
  menu->highScoresShown = true;
  std::vector<Caption> drawn = Draw();
  ASSERT_EQ(drawn.size(), 8u);
  EXPECT_EQ(drawn[4].text, "5. 200");
  EXPECT_EQ(drawn[5].text, "7. 50");
  EXPECT_EQ(drawn[5].colour, 0xFFFF3333u);
  EXPECT_EQ(drawn[5].y, 500.0f);
  EXPECT_EQ(drawn[7].text, "Back");
  EXPECT_EQ(drawn[7].y, 540.0f);

  // The mouse finds "Back" where it is drawn, not where it stood before.
  Move(512.0f, 510.0f);
  Button(true, 512.0f, 510.0f);
  Button(false, 512.0f, 510.0f);
  EXPECT_TRUE(menu->highScoresShown);
  Move(512.0f, 550.0f);
  Button(true, 512.0f, 550.0f);
  Button(false, 512.0f, 550.0f);
  EXPECT_FALSE(menu->highScoresShown);

  // A round in the top five: "Back" is back at 500.
  scores.Enter(1000, 4000);
  menu->highScoresShown = true;
  drawn = Draw();
  ASSERT_EQ(drawn.size(), 7u);
  EXPECT_EQ(drawn[6].text, "Back");
  EXPECT_EQ(drawn[6].y, 500.0f);
}

// The caption under "Back" names the keys of the lines that have a replay to
// watch, and only those: a line without one does nothing when pressed.
TEST_F(GameMenuTest, TheWatchCaptionNamesOnlyTheLinesWithAReplay) {
  scores.Load("Scores.vtr", 1000);  // the starting entry of 100, never played
  scores.Enter(300, 3000);
  scores.Enter(250, 2000);
  scores.Enter(200, 4000);  // lines: 300, 250, 200, 100
  std::filesystem::create_directory(dir.path() / "Replays");
  const auto caption = [this]() {
    Build();  // a fresh page looks the replays up again
    menu->highScoresShown = true;
    for (const Caption& c : Draw()) {
      if (c.text.find("watch") != std::string::npos) return c.text;
    }
    return std::string("(none)");
  };
  EXPECT_EQ(caption(), "(none)");
  dir.Write("Replays/3000-300.vtreplay", "");
  EXPECT_EQ(caption(), "1: watch a round");
  dir.Write("Replays/2000-250.vtreplay", "");
  EXPECT_EQ(caption(), "1-2: watch a round");
  dir.Write("Replays/1000-100.vtreplay", "");
  EXPECT_EQ(caption(), "1-2, 4: watch a round");
  dir.Write("Replays/4000-200.vtreplay", "");
  EXPECT_EQ(caption(), "1-4: watch a round");
}

TEST_F(GameMenuTest, CaptionsCentreOnHalfTheScreenWidth) {
  vtr::Settings::Instance().SystemScreenWidth = 800;
  Build();
  std::vector<Caption> drawn = Draw();
  ASSERT_EQ(drawn.size(), 6u);
  for (const Caption& c : drawn) {
    if (c.colour != kShadow) {
      EXPECT_EQ(c.Centre(), 400.0f) << c.text;
    }
  }
  menu->highScoresShown = true;
  drawn = Draw();
  ASSERT_FALSE(drawn.empty());
  EXPECT_EQ(drawn.back().text, "Back");
  EXPECT_EQ(drawn.back().Centre(), 400.0f);

  // Halved as a whole number: an odd width puts the captions half a pixel left.
  vtr::Settings::Instance().SystemScreenWidth = 801;
  Build();
  EXPECT_EQ(Draw()[1].Centre(), 400.0f);
}

// With online play off the page is exactly the local one and W does
// nothing; on, only a caption is added under it, and W turns the page to the
// world table (asking the game to fetch it) and back.
TEST_F(GameMenuTest, TheWorldKeyTurnsThePageOnlyWithOnlinePlayOn) {
  using Kind = vtr::MenuChoice::Kind;
  scores.Load("Scores.vtr", 1000);
  scores.Enter(300, 3000);
  Build();
  menu->highScoresShown = true;
  const std::vector<Caption> local = Draw();
  Key('W');
  EXPECT_TRUE(chosen.empty());
  EXPECT_FALSE(menu->worldShown);
  const std::vector<Caption> again = Draw();
  ASSERT_EQ(again.size(), local.size());
  for (std::size_t i = 0; i < local.size(); ++i) {
    const Caption& now = again[i];
    EXPECT_EQ(std::tie(now.text, now.x, now.y, now.colour),
              std::tie(local[i].text, local[i].x, local[i].y, local[i].colour));
  }

  menu->worldOffered = true;
  std::vector<Caption> drawn = Draw();
  ASSERT_EQ(drawn.size(), local.size() + 1);
  EXPECT_EQ(drawn.back().text, "W: World - today");
  EXPECT_GT(drawn.back().y, local.back().y);

  Key('W');
  EXPECT_EQ(chosen, (std::vector<vtr::MenuChoice>{{Kind::ShowWorld}}));
  EXPECT_TRUE(menu->worldShown);
  drawn = Draw();
  ASSERT_GE(drawn.size(), 3u);
  EXPECT_EQ(drawn[0].text, "World - today");
  EXPECT_EQ(drawn[1].text, "loading...");
  EXPECT_EQ(drawn.back().text, "W: local table");
  for (const Caption& c : drawn) EXPECT_NE(c.text, "1. 300");

  chosen.clear();
  Key('W');
  EXPECT_TRUE(chosen.empty());
  EXPECT_FALSE(menu->worldShown);
  // Turned off while shown (the game's online play gone): the local page.
  menu->worldShown = true;
  menu->worldOffered = false;
  Frame();
  EXPECT_FALSE(menu->worldShown);
}

// The world view draws its lines where the local ones stand (the player's
// own in red), says why when it has none, and its lines' keys watch them.
TEST_F(GameMenuTest, TheWorldViewDrawsItsLinesAndTheirKeysWatchThem) {
  using Kind = vtr::MenuChoice::Kind;
  using Status = vtr::WorldPage::Status;
  constexpr DWORD kRed = 0xFFFF3333, kBlue = 0xFF6666FF;
  Build();
  menu->highScoresShown = true;
  menu->worldOffered = true;
  menu->worldShown = true;
  menu->world.status = Status::Ready;
  menu->world.player = "bob";
  menu->world.lines = {{1, "alice", 4200, 9, 0, 31}, {2, "bob", 800, 2, 1, 12}};
  // Runs of letters split where a gap parts them, so that each column reads
  // on its own.
  const auto find = [this](const std::string& text) {
    std::vector<hgeQuad> quads;
    headless::SetQuadTap(hge, [&quads](const hgeQuad& q) { quads.push_back(q); });
    hge->Gfx_BeginScene();
    menu->Render(false, "");
    hge->Gfx_EndScene();
    headless::SetQuadTap(hge, {});
    std::vector<Caption> runs;
    float end = 0.0f;
    for (const hgeQuad& q : quads) {
      const hgeVertex& v = q.v[0];
      if (runs.empty() || runs.back().y != v.y || runs.back().colour != v.col || v.x != end) {
        runs.push_back({v.x, v.y, v.col, ""});
      }
      runs.back().text += static_cast<char>(v.tx);
      end = q.v[1].x;
    }
    for (auto c = runs.rbegin(); c != runs.rend(); ++c) {  // a caption over its shadow
      if (c->text == text) return *c;
    }
    return Caption{0.0f, 0.0f, 0, "(none)"};
  };
  const struct {
    std::string text;
    float y;
    DWORD colour;
  } lines[] = {{"1. alice", 300.0f, kBlue}, {"4200", 300.0f, kBlue}, {"9", 300.0f, kBlue},
               {"2. bob", 340.0f, kRed},    {"800", 340.0f, kRed},   {"2", 340.0f, kRed},
               {"1-2: watch a round", 0.0f, 0}};
  for (const auto& l : lines) {
    const Caption c = find(l.text);
    EXPECT_EQ(c.text, l.text);
    if (l.y > 0.0f) {
      EXPECT_EQ(c.y, l.y) << l.text;
      EXPECT_EQ(c.colour, l.colour) << l.text;
    }
  }
  EXPECT_EQ(find("4200").x + 40.0f, find("800").x + 30.0f);  // the scores end in one column
  EXPECT_EQ(find("Back").y, 500.0f);

  const struct {
    int key;
    bool chooses;
    std::size_t line;
  } keys[] = {{'1', true, 0}, {96 + 2, true, 1}, {'3', false, 0}, {'6', false, 0}};
  for (const auto& k : keys) {
    chosen.clear();
    Key(k.key);
    const std::vector<vtr::MenuChoice> expected =
        k.chooses ? std::vector<vtr::MenuChoice>{{Kind::WatchWorld, k.line}} : std::vector<vtr::MenuChoice>{};
    EXPECT_EQ(chosen, expected) << k.key;
  }

  menu->world.fetchingRound = true;
  EXPECT_EQ(find("fetching the round...").text, "fetching the round...");
  menu->world = {Status::Failed, {}, "Couldn't connect to server", false, "bob"};
  EXPECT_EQ(find("World table not reachable: Couldn't connect to server").colour, kRed);
  chosen.clear();
  Key('1');  // nothing to watch
  EXPECT_TRUE(chosen.empty());
  menu->world = {Status::Ready, {}, "", false, "bob"};
  EXPECT_EQ(find("No rounds yet today").y, 300.0f);

  // Back leaves the world view: the page opens on the local table next time.
  Key(HGEK_ENTER);
  EXPECT_FALSE(menu->highScoresShown);
  EXPECT_FALSE(menu->worldShown);
}

}  // namespace
