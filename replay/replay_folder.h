// Where replays are kept: a Replays/ folder beside the score file, one file
// per high-score entry, named by the entry's time and score
// ("<time>-<score>.vtreplay"), so each line of the table finds its round.
//
// The folder stays bounded: after a replay is stored, the replays of entries
// that are no longer among the table's first kKeptReplays are removed, except
// the one just stored, so the latest round is always there to watch. Only
// files named like replays are ever removed, and the temporaries of replay
// writes cut short by a kill ("<time>-<score>.vtreplay.tmp", once a minute
// old, so another copy's write under way is left alone; at once when not a
// regular file). The listing never counts a temporary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "replay/replay_file.h"
#include "scores/score_table.h"

namespace vtr {

// The entries of the high-score page.
inline constexpr std::size_t kKeptReplays = 5;

// The Replays folder beside scoreFile.
std::string ReplayFolderFor(const std::string& scoreFile);
// The file name of an entry's replay.
std::string ReplayFileName(std::int64_t time, std::uint32_t score);

// A replay found in the folder.
struct StoredReplay {
  std::string path;
  std::int64_t time = 0;
  std::uint32_t score = 0;
};
// Every file of the folder named like a replay, oldest entry time first.
std::vector<StoredReplay> ListReplays(const std::string& folder);

// The path of the entry's replay beside scoreFile; "" when there is none.
std::string FindReplay(const std::string& scoreFile, const ScoreEntry& entry);

// Writes the replay into the folder beside scoreFile (making the Replays
// folder, but not the folder of scoreFile when that is missing) and removes
// the replays of entries that fell out of the table's top. False, with one
// line in the engine log, when it could not be written.
bool StoreReplay(const std::string& scoreFile, const Replay& replay, const std::vector<ScoreEntry>& table);

}  // namespace vtr
