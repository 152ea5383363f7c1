// A recorded round watched with drawing, timed frame by frame: the same
// round the browser build plays in `scripts/web measure`, so the two builds'
// frame times compare on one machine.
#pragma once

#include <string>

namespace bench {

// Plays FILE as `vantor --replay` does (the defaults' settings folder, no
// sound), headless on the backend's video driver, one recorded frame per
// drawn frame of 1/60 s, and prints one line of figures:
//   watch BACKEND frames N frame_ms mean M median M p95 M max M
//         update_ms mean M render_ms mean M outcome "..."
// The frame is the engine's whole pass (input, update, drawing, present).
// 0 when the round played to its end as recorded.
int RunWatch(const std::string& file, const std::string& backend);

}  // namespace bench
