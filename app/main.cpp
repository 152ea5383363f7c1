// Vantor: the desktop game, its Content and files found from where it lives.
//
//   vantor                  plays
//   vantor --replay FILE    plays a recorded round in the window, then quits
//   vantor --replay-hold N FILE
//                           plays it up to its recorded frame N and stays
//                           there (a still picture, until Escape)
//   vantor --daily          plays today's challenge at once
//   vantor --verify FILE    re-simulates a recorded round and checks its score
//   vantor --verify-all     the same for every replay beside the score file
//   vantor --online SERVER NAME
//                           turns online play on (Online.vtr) and exits
//   vantor --offline        turns it off and exits
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
#include "app/online_command.h"
#include "app/verify.h"

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--verify") == 0) return vtr::VerifyCommand(argv[2]);
  if (argc == 2 && std::strcmp(argv[1], "--verify-all") == 0) return vtr::VerifyAllCommand();
  if (argc == 4 && std::strcmp(argv[1], "--online") == 0) return vtr::OnlineCommand(argv[2], argv[3]);
  if (argc == 2 && std::strcmp(argv[1], "--offline") == 0) return vtr::OfflineCommand();
  vtr::StartOptions options;  // folders found from the executable, audio, real time, a window
  const bool hold = argc == 4 && std::strcmp(argv[1], "--replay-hold") == 0;
  if ((argc == 3 && std::strcmp(argv[1], "--replay") == 0) || hold) {
    if (hold && !vtr::ParseHoldFrame(argv[2], &options.replayHold)) {
      std::fprintf(stderr, "--replay-hold takes a recorded frame from 1 on, not \"%s\"\n", argv[2]);
      return 2;
    }
    std::error_code error;  // a path that cannot be made absolute is tried as given
    const std::filesystem::path file = std::filesystem::absolute(argv[argc - 1], error);
    options.replayFile = error ? argv[argc - 1] : file.string();
  } else if (argc == 2 && std::strcmp(argv[1], "--daily") == 0) {
    options.daily = true;
  } else if (argc > 1) {
    std::fprintf(stderr, "usage: vantor [--daily | --replay FILE | --replay-hold N FILE | --verify FILE | --verify-all |\n"
                 "               --online SERVER NAME | --offline]\n");
    return 2;
  }
  return vtr::RunGame(options);
}
