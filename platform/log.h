// One line in the game's log (VTR.log) from anywhere in the game, also
// before the engine has opened its log: such lines wait (the first 64 of
// them) and are written right after the log is started.
#pragma once

namespace platform {

// Appends one formatted line to the engine's log, or keeps it until the log
// is started.
void Log(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Writes the waiting lines through write_line and forgets them; called by
// the engine when its log starts.
void FlushWaitingLog(void (*writeLine)(const char* line, void* context), void* context);

}  // namespace platform
