// The command-line checks of recorded rounds. Both re-simulate headless (no
// window, no audio, as fast as the machine goes) in the game's own folder,
// and neither writes a file.
#pragma once

#include <string>

#include "app/app.h"

namespace vtr {

// Exit statuses of the checks.
inline constexpr int kVerifyOk = 0;
inline constexpr int kVerifyMismatch = 1;
inline constexpr int kVerifyUnreadable = 2;

// How a check that plays recorded rounds starts the game: headless, silent,
// drawing nothing, writing no file, and ended by the first stop signal
// (nothing to save). Callers change only what differs (folders, signals).
StartOptions VerifyOptions();

// `--verify FILE`: plays FILE to its end and prints one line, "recorded S,
// re-simulated S: ok" or "... MISMATCH", or the reader's one-line error.
// 0 only on ok, 2 when the file cannot be read or played back.
int VerifyCommand(const std::string& file);

// `--verify-all`: the same for every replay in the Replays folder beside the
// score file, each line also saying whether the score table holds the entry
// the replay belongs to; then a summary line. 0 when every replay is ok and
// has its entry, 2 when any could not be read, 1 otherwise.
int VerifyAllCommand();

}  // namespace vtr
