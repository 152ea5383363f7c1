#include "menu/game_menu.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "config/settings.h"
#include "helpers/font.h"
#include "helpers/gui.h"
#include "menu/menu_item.h"
#include "scores/score_page.h"
#include "scores/score_table.h"

namespace vtr {

namespace {

constexpr int kNavigation = HGEGUI_UPDOWN | HGEGUI_CYCLED;
constexpr int kNumpad0 = 96;  // key code of the numeric pad's 0; 1 to 9 follow
constexpr int kAlignCentre = 2;
constexpr DWORD kCaptionColour = 0xFFB0B0D0;
constexpr DWORD kMessageColour = 0xFFFF3333;  // the new-entry red
constexpr std::size_t kKnownReplaysKept = 32;
constexpr int kDailyKey = 'D';
constexpr int kWorldKey = 'W';
constexpr float kWorldCaptionGap = 62.0f;  // under "Back", below the watch caption
constexpr float kDailyCaptionY = 470.0f;  // under "Quit", above nothing
constexpr float kPausedTitleY = 190.0f;   // between the logo and "New Game"
constexpr float kPausedTimeY = 235.0f;
constexpr DWORD kPausedColour = 0xFFFFFFFF;
// The results page's summary, in the same band as the pause title: between
// the logo and the first score line.
constexpr float kSummaryTitleY = 180.0f;
constexpr float kNewBestY = 216.0f;
constexpr float kSummaryLineY = 238.0f;
constexpr float kSummaryLineStep = 20.0f;
// The first-time hint, under "Quit" and today's challenge.
constexpr float kHintY = 530.0f;
constexpr float kHintScale = 0.55f;  // a little smaller, to keep it between the side panels
constexpr const char* kHint =
    "Click to launch a rocket: its burst catches rising rockets. Catches chain; each shot costs multiplier";

// The watching keys as the caption names them: runs of lines as "1-3",
// lines on their own as "5", so "1-3, 5".
std::string KeyList(const std::vector<int>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size();) {
    std::size_t end = i;
    while (end + 1 < lines.size() && lines[end + 1] == lines[end] + 1) ++end;
    if (!text.empty()) text += ", ";
    text += std::to_string(lines[i]);
    if (end > i) text.append("-").append(std::to_string(lines[end]));
    i = end + 1;
  }
  return text;
}

// The world lines the keys watch: those drawn, once the table is in.
int WorldLinesWatchable(const WorldPage& world) {
  if (world.status != WorldPage::Status::Ready) return 0;
  return static_cast<int>(std::min(world.lines.size(), static_cast<std::size_t>(kWorldLinesShown)));
}

}  // namespace

GameMenu::GameMenu(HGE* engine, const ScoreTable* scores, ReplayLookup hasReplay)
    : engine_(engine), scores_(scores), hasReplay_(std::move(hasReplay)) {
  assert(engine_ != nullptr && scores_ != nullptr && "the menu reads the engine's input and shows a table");
  const float x = static_cast<float>(Settings::Instance().SystemScreenWidth / 2);
  font_ = std::make_unique<hgeFont>("Content/font1.fnt", false);

  mainPage_ = std::make_unique<hgeGUI>();
  mainPage_->AddControl(std::make_unique<VtrMenuItem>(kNewGame, font_.get(), x, 300.0f, "New Game"));
  mainPage_->AddControl(
      std::make_unique<VtrMenuItem>(kHighScores, font_.get(), x, 350.0f, "High Scores"));
  mainPage_->AddControl(std::make_unique<VtrMenuItem>(kQuit, font_.get(), x, 400.0f, "Quit"));
  mainPage_->SetNavigationMode(kNavigation);
  mainPage_->SetFocus(kNewGame);
  mainPage_->Enter();

  highScorePage_ = std::make_unique<hgeGUI>();
  highScorePage_->AddControl(std::make_unique<VtrMenuItem>(kBack, font_.get(), x, 500.0f, "Back"));
  highScorePage_->SetNavigationMode(kNavigation);
  highScorePage_->SetFocus(kBack);
}

GameMenu::~GameMenu() = default;

MenuChoice GameMenu::Update(float dt) {
  if (!highScoresShown) {
    const bool daily = dailyOffered && engine_->Input_KeyDown(kDailyKey);
    switch (mainPage_->Update(dt)) {
      case kNewGame:
        return {MenuChoice::Kind::NewGame};
      case kHighScores:
        highScorePage_->SetFocus(kBack);
        highScorePage_->Enter();
        highScoresShown = true;
        break;
      case kQuit:
        return {MenuChoice::Kind::Quit};
      default:
        if (daily) return {MenuChoice::Kind::Daily};
        break;
    }
  } else {
    if (!worldOffered) worldShown = false;
    const bool turned = worldOffered && engine_->Input_KeyDown(kWorldKey);
    if (turned) worldShown = !worldShown;
    PlaceBack();
    const MenuChoice watch = WatchKeys();
    if (highScorePage_->Update(dt) == kBack) {
      highScoresShown = false;
      worldShown = false;
      roundSummary.reset();
      mainPage_->Enter();
      mainPage_->SetFocus(kNewGame);
    }
    if (turned && worldShown) return {MenuChoice::Kind::ShowWorld};
    return turned ? MenuChoice{} : watch;
  }
  return {};
}

void GameMenu::Render(bool saveFailed, const std::string& message, bool saveWaiting) {
  if (highScoresShown) {
    if (worldShown) {
      DrawWorldPage(font_.get(), world, std::floor(static_cast<float>(Settings::Instance().SystemScreenWidth) * 0.5f));
    } else {
      if (roundSummary) DrawRoundSummary(*roundSummary);
      DrawScoreLines(font_.get(), scores_->Entries());
    }
    PlaceBack();
    if (saveFailed || saveWaiting) {
      DrawSaveFailure(font_.get(), highScorePage_->GetControl(kBack)->rect.y2 + 10.0f, saveWaiting && !saveFailed);
    }
    highScorePage_->Render();
    DrawWatchCaption(message);
    if (worldOffered) DrawWorldCaption();
  } else {
    mainPage_->Render();
    if (dailyOffered) DrawCaption(kDailyCaptionY, "D: today's challenge", kCaptionColour);
    if (pausedTimeLeft) DrawPausedTitle(*pausedTimeLeft);
    if (firstTimeHint) DrawCaption(kHintY, kHint, kCaptionColour, kHintScale);
  }
}

// "Back" stands one line below the fifth score line, or below the sixth when
// the latest round's line is drawn under the five.
void GameMenu::PlaceBack() {
  hgeGUIObject* back = highScorePage_->GetControl(kBack);
  const int lines = worldShown ? kWorldLinesShown : std::max(kScoreLinesShown, ScoreLineCount(scores_->Entries()));
  const float top = kScoreLinesTop + kScoreLineStep * static_cast<float>(lines);
  back->rect.Set(back->rect.x1, top, back->rect.x2, top + (back->rect.y2 - back->rect.y1));
}

// 1 to 5 watch the five lines' rounds, 6 the sixth line's; on the number
// row or the numeric pad.
MenuChoice GameMenu::WatchKeys() {
  HGE* engine = engine_;
  const std::vector<ScoreEntry>& entries = scores_->Entries();
  const int lines = worldShown ? WorldLinesWatchable(world) : ScoreLineCount(entries);
  for (int line = 1; line <= lines; ++line) {
    if (!engine->Input_KeyDown('0' + line) && !engine->Input_KeyDown(kNumpad0 + line)) continue;
    if (worldShown) return {MenuChoice::Kind::WatchWorld, static_cast<std::size_t>(line - 1)};
    const std::size_t index =
        line <= kScoreLinesShown ? static_cast<std::size_t>(line - 1) : NewEntryBelowTopLines(entries);
    return {MenuChoice::Kind::Watch, index};
  }
  return {};
}

// A message when a round could not be played back; otherwise, when any line
// has a replay, the keys of the lines that do.
void GameMenu::DrawWatchCaption(const std::string& message) {
  const float y = highScorePage_->GetControl(kBack)->rect.y2 + 40.0f;
  std::string text = message;
  DWORD colour = kMessageColour;
  if (text.empty() && worldShown) {
    const int lines = WorldLinesWatchable(world);
    if (world.fetchingRound) {
      text = "fetching the round...";
    } else if (lines > 0) {
      text = (lines > 1 ? "1-" + std::to_string(lines) : std::string("1")) + ": watch a round";
    } else {
      return;
    }
    colour = kCaptionColour;
  } else if (text.empty()) {
    const int lines = ScoreLineCount(scores_->Entries());
    std::vector<int> watchable;
    for (int line = 1; line <= lines; ++line) {
      const std::size_t index = line <= kScoreLinesShown ? static_cast<std::size_t>(line - 1)
                                                          : NewEntryBelowTopLines(scores_->Entries());
      if (HasReplay(index)) watchable.push_back(line);
    }
    if (watchable.empty()) return;
    text = KeyList(watchable) + ": watch a round";
    colour = kCaptionColour;
  }
  DrawCaption(y, text, colour);
}

void GameMenu::DrawWorldCaption() {
  const float y = highScorePage_->GetControl(kBack)->rect.y2 + kWorldCaptionGap;
  DrawCaption(y, worldShown ? "W: local table" : std::string("W: ") + kWorldTitle, kCaptionColour);
}

// "Paused" in the menu's own letters, and under it the time the round has
// left, to a tenth of a second (as the HUD would show it, rounded).
void GameMenu::DrawPausedTitle(float timeLeft) {
  const float width = static_cast<float>(Settings::Instance().SystemScreenWidth);
  const DWORD previousColour = font_->GetColor();
  font_->SetColor(kPausedColour);
  font_->Render(std::floor(width * 0.5f), kPausedTitleY, kAlignCentre, "Paused");
  font_->SetColor(previousColour);
  char line[48];
  const double seconds = std::isfinite(timeLeft) ? std::clamp(static_cast<double>(timeLeft), 0.0, 1.0e9) : 0.0;
  std::snprintf(line, sizeof line, "%.1f s left in the round", seconds);
  DrawCaption(kPausedTimeY, line, kCaptionColour);
}

// "Time's up" in the menu's letters, "New best!" in the new entry's red
// when the round heads the table, and two lines of how the round went.
void GameMenu::DrawRoundSummary(const RoundSummary& summary) {
  const float width = static_cast<float>(Settings::Instance().SystemScreenWidth);
  const DWORD previousColour = font_->GetColor();
  font_->SetColor(kPausedColour);
  font_->Render(std::floor(width * 0.5f), kSummaryTitleY, kAlignCentre, "Time's up");
  font_->SetColor(previousColour);
  if (summary.newBest) DrawCaption(kNewBestY, "New best!", kMessageColour);
  DrawCaption(kSummaryLineY,
              "Catches: " + std::to_string(summary.catches) + "   Shots: " + std::to_string(summary.shots),
              kCaptionColour);
  DrawCaption(kSummaryLineY + kSummaryLineStep,
              "Longest chain: " + std::to_string(summary.longestChain) +
                  "   Multiplier: " + std::to_string(summary.multiplier) + " %",
              kCaptionColour);
  if (!summary.world.empty()) DrawCaption(kSummaryLineY + 2 * kSummaryLineStep, summary.world, kCaptionColour);
}

// A line of small text, centred on the screen.
void GameMenu::DrawCaption(float y, const std::string& text, DWORD colour, float scale) {
  const float width = static_cast<float>(Settings::Instance().SystemScreenWidth);
  const DWORD previousColour = font_->GetColor();
  font_->SetScale(scale);
  font_->SetColor(colour);
  font_->Render(std::floor(width * 0.5f), y, kAlignCentre, text.c_str());
  font_->SetScale(1.0f);
  font_->SetColor(previousColour);
}

// Whether the entry has a replay, asked of the folder once per entry: the
// page is drawn every frame.
bool GameMenu::HasReplay(std::size_t index) {
  const std::vector<ScoreEntry>& entries = scores_->Entries();
  if (index >= entries.size()) return false;
  const ScoreEntry& entry = entries[index];
  for (const KnownReplay& known : knownReplays_) {
    if (known.time == entry.time && known.score == entry.score) return known.found;
  }
  if (knownReplays_.size() >= kKnownReplaysKept) knownReplays_.clear();
  knownReplays_.push_back({entry.time, entry.score, hasReplay_(index)});
  return knownReplays_.back().found;
}

}  // namespace vtr
