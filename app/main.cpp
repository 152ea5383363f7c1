// Vantor: the desktop game, its Content and files found from where it lives.
//
//   vantor                  plays
//   vantor --verify FILE    re-simulates a recorded round and checks its score
//   vantor --verify-all     the same for every replay beside the score file
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "app/verify.h"

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--verify") == 0) return vtr::VerifyCommand(argv[2]);
  if (argc == 2 && std::strcmp(argv[1], "--verify-all") == 0) return vtr::VerifyAllCommand();
  if (argc > 1) {
    std::fprintf(stderr, "usage: vantor [--verify FILE | --verify-all]\n");
    return 2;
  }
  vtr::StartOptions options;  // folders found from the executable, audio, real time, a window
  return vtr::RunGame(options);
}
