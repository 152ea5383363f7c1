#include "menu/game_menu.h"

#include <algorithm>
#include <cassert>

#include "config/settings.h"
#include "game/game.h"
#include "helpers/font.h"
#include "helpers/gui.h"
#include "menu/menu_item.h"
#include "scores/score_page.h"

namespace vtr {

namespace {

constexpr int kNavigation = HGEGUI_UPDOWN | HGEGUI_CYCLED;

}  // namespace

GameMenu::GameMenu(Game* game) : game_(game) {
  assert(game_ != nullptr && "the menu needs the game for New Game and the scores");
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

bool GameMenu::Update(float dt) {
  if (!highScoresShown) {
    switch (mainPage_->Update(dt)) {
      case kNewGame:
        game_->NewRound();  // also hides the menu
        break;
      case kHighScores:
        highScorePage_->SetFocus(kBack);
        highScorePage_->Enter();
        highScoresShown = true;
        break;
      case kQuit:
        return true;
      default:
        break;
    }
  } else {
    PlaceBack();
    if (highScorePage_->Update(dt) == kBack) {
      highScoresShown = false;
      mainPage_->Enter();
      mainPage_->SetFocus(kNewGame);
    }
  }
  return false;
}

void GameMenu::Render() {
  if (highScoresShown) {
    DrawScoreLines(font_.get(), game_->GetScores());
    PlaceBack();
    if (game_->scoreSaveFailed) DrawSaveFailure(font_.get(), highScorePage_->GetControl(kBack)->rect.y2 + 10.0f);
    highScorePage_->Render();
  } else {
    mainPage_->Render();
  }
}

// "Back" stands one line below the fifth score line, or below the sixth when
// the latest round's line is drawn under the five.
void GameMenu::PlaceBack() {
  hgeGUIObject* back = highScorePage_->GetControl(kBack);
  const int lines = std::max(kScoreLinesShown, ScoreLineCount(game_->scores.Entries()));
  const float top = kScoreLinesTop + kScoreLineStep * static_cast<float>(lines);
  back->rect.Set(back->rect.x1, top, back->rect.x2, top + (back->rect.y2 - back->rect.y1));
}

}  // namespace vtr
