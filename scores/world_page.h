// The world table's view of the high-score page: today's best round of each
// player at the world table's server, as the page draws it. The lines come
// from a stranger's server, already checked (online/world_table.h); this
// file only draws what it is given: the title, then the lines, "loading..."
// while they come, or why they could not be had.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class hgeFont;

namespace vtr {

// One line of the world table: a player's best round of the day.
struct WorldLine {
  std::int64_t rank = 0;
  std::string name;
  std::int32_t score = 0;
  std::uint32_t combo = 0;
  std::uint32_t pauses = 0;
  std::int64_t id = 0;  // the round's number at the server, which names its replay

  bool operator==(const WorldLine&) const = default;
};

// What the page knows of today's world table.
struct WorldPage {
  enum class Status { Loading, Ready, Failed };
  Status status = Status::Loading;
  std::vector<WorldLine> lines;  // Ready: best first
  std::string reason;            // Failed: one line saying why
  bool fetchingRound = false;    // a line's round is on its way, to be watched
  std::string player;            // the player's own name: that line is red

  bool operator==(const WorldPage&) const = default;
};

// The world view shows as many lines as the local page's top lines.
inline constexpr int kWorldLinesShown = 5;
inline constexpr const char* kWorldTitle = "World - today";  // the font has no en dash

// Draws the title centred on centreX, then up to kWorldLinesShown lines from
// the local lines' top and 40 pixels apart ("rank. name" on the left, the
// score and the highest combo in columns on the right), or a line saying the
// table is loading, empty or out of reach. The font's colour and scale are
// the same afterwards.
void DrawWorldPage(hgeFont* font, const WorldPage& page, float centreX);

}  // namespace vtr
