// Vantor: the desktop game, its Content and files found from where it lives.
//
//   vantor                  plays
//   vantor --replay FILE    plays a recorded round in the window, then quits
//   vantor --daily          plays today's challenge at once
//   vantor --verify FILE    re-simulates a recorded round and checks its score
//   vantor --verify-all     the same for every replay beside the score file
//
// Exit status: 0 after "Quit", a closed window or a stop signal (SIGINT,
// SIGTERM, SIGHUP); 3 when no window could be opened (no graphical session);
// 4 when the display went away under the game; a replay's 1 and 2 (see
// RunGame); 2 for an unknown option.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/app.h"
#include "app/verify.h"

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--verify") == 0) return vtr::VerifyCommand(argv[2]);
  if (argc == 2 && std::strcmp(argv[1], "--verify-all") == 0) return vtr::VerifyAllCommand();
  vtr::StartOptions options;  // folders found from the executable, audio, real time, a window
  if (argc == 3 && std::strcmp(argv[1], "--replay") == 0) {
    std::error_code error;  // a path that cannot be made absolute is tried as given
    const std::filesystem::path file = std::filesystem::absolute(argv[2], error);
    options.replayFile = error ? argv[2] : file.string();
  } else if (argc == 2 && std::strcmp(argv[1], "--daily") == 0) {
    options.daily = true;
  } else if (argc > 1) {
    std::fprintf(stderr, "usage: vantor [--daily | --replay FILE | --verify FILE | --verify-all]\n");
    return 2;
  }
  return vtr::RunGame(options);
}
