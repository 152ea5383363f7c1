// The menu: one object with two pages. The main page offers "New Game",
// "High Scores" and "Quit"; the high-score page shows the five best scores
// and "Back". The same menu is the start menu, the pause menu and the results
// screen: which of these it is follows from the game's flags, not from here.
//
// Only one page takes input in a frame, so a click or key can never act on
// both pages. Each page keeps its focus between visits, except that going
// back to the main page always focuses "New Game" again.
//
// The menu acts on nothing outside itself: a frame's Update reports what the
// player chose, and the game acts on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/hge.h"
#include "scores/world_page.h"

class hgeFont;
class hgeGUI;

namespace vtr {

class ScoreTable;

// What the player chose in one frame of the menu.
struct MenuChoice {
  // ShowWorld: the page turned to the world table (to be fetched afresh);
  // WatchWorld: a line of it is to be watched.
  enum class Kind { None, NewGame, Quit, Watch, Daily, ShowWorld, WatchWorld };
  Kind kind = Kind::None;
  // Watch: index in the score table of the round to watch; WatchWorld: index
  // of the world table's line.
  std::size_t entry = 0;

  bool operator==(const MenuChoice&) const = default;
};

// What the results page says of the round that has just ended, above the
// table: the time ran out, whether its entry heads the table, and how it went.
struct RoundSummary {
  bool newBest = false;
  std::uint32_t catches = 0;
  std::uint32_t shots = 0;
  std::uint32_t longestChain = 0;
  std::uint32_t multiplier = 0;  // at the end, in hundredths as the HUD reads it
  // How the world table took a daily round ("World: rank 3 of 12"); empty
  // for any other round, or with online play off: no line then.
  std::string world;

  bool operator==(const RoundSummary&) const = default;
};

class GameMenu {
 public:
  // Item ids of the main page and of the high-score page.
  static constexpr int kNewGame = 1;
  static constexpr int kHighScores = 2;
  static constexpr int kQuit = 3;
  static constexpr int kBack = 1;

  // Whether the score table's entry at an index has a replay to watch.
  using ReplayLookup = std::function<bool(std::size_t)>;

  // Loads the menu's font and builds both pages, centred on half the
  // SystemScreenWidth setting; the main page opens with "New Game" focused.
  // The table is the one the high-score page shows; it and the engine must
  // outlive the menu.
  GameMenu(HGE* engine, const ScoreTable* scores, ReplayLookup hasReplay);
  ~GameMenu();
  GameMenu(const GameMenu&) = delete;
  GameMenu& operator=(const GameMenu&) = delete;

  // One frame of the active page's input, and what the player chose in it.
  MenuChoice Update(float dt);
  // Draws the active page; the high-score page with the score lines, a line
  // when the round's score could not be saved (or not yet: saveWaiting), and
  // under "Back" the message (when there is one) or which keys watch a round.
  void Render(bool saveFailed, const std::string& message, bool saveWaiting = false);

  hgeFont* Font() const { return font_.get(); }
  hgeGUI* MainPage() const { return mainPage_.get(); }
  hgeGUI* HighScorePage() const { return highScorePage_.get(); }

  // False: the main page is active; true: the high-score page is. The end of
  // a finished round sets it directly to open the results, leaving that
  // page's focus as it was.
  bool highScoresShown = false;
  // The main page offers today's challenge (key D, with a caption under the
  // items): only where no round is under way, set by the game.
  bool dailyOffered = false;
  // Set while the menu is the pause menu of a round under way: the main page
  // then says "Paused" and the round's time left above its items.
  std::optional<float> pausedTimeLeft;
  // Set by the game as the results page opens at the end of a round; the
  // page shows it until "Back" (so never on a page opened from the menu).
  std::optional<RoundSummary> roundSummary;
  // The main page's line of help, until the player has finished a round.
  bool firstTimeHint = false;
  // Online play is on: W turns the high-score page between the local table
  // and the world table (worldShown), which shows `world` as the game has it.
  // Off, the page is exactly the local one and W does nothing.
  bool worldOffered = false;
  bool worldShown = false;
  WorldPage world;

 private:
  // Moves "Back" below the score lines drawn for the current table.
  void PlaceBack();
  // The keys that watch a line's round: the entry's choice, or None.
  MenuChoice WatchKeys();
  // The line under the watch caption that says what W turns to.
  void DrawWorldCaption();
  static constexpr float kCaptionScale = 0.6f;
  void DrawCaption(float y, const std::string& text, DWORD colour, float scale = kCaptionScale);
  void DrawPausedTitle(float timeLeft);
  void DrawRoundSummary(const RoundSummary& summary);
  // The line under "Back": which keys watch, or why a round could not.
  void DrawWatchCaption(const std::string& message);
  bool HasReplay(std::size_t index);

  // Entries whose replay the folder was asked about, and the answer.
  struct KnownReplay {
    std::int64_t time;
    std::uint32_t score;
    bool found;
  };
  std::vector<KnownReplay> knownReplays_;

  HGE* engine_;               // not owned
  const ScoreTable* scores_;  // not owned
  ReplayLookup hasReplay_;
  // The font outlives the pages, whose items draw with it.
  std::unique_ptr<hgeFont> font_;
  std::unique_ptr<hgeGUI> mainPage_;
  std::unique_ptr<hgeGUI> highScorePage_;
};

}  // namespace vtr
