// contentgen: makes every picture, the bitmap font, the music and the sound
// effects of the game.
//
//   contentgen build <ContentDir> [--fonts <dir>] [--seed <n>]
//   contentgen preview <ContentDir> <out.png>
//
// build writes the files into ContentDir (made when missing); the same seed
// always writes the same bytes. preview composes a screenshot of the play
// screen from a Content folder (and <out>_splash.png with the splash).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "content.h"

namespace {

constexpr unsigned long long kDefaultSeed = 0x56414e544f52ull;  // "VANTOR"

int Usage() {
  std::fprintf(stderr,
               "usage: contentgen build <ContentDir> [--fonts <dir>] [--seed <n>]\n"
               "       contentgen preview <ContentDir> <out.png>\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  if (command == "preview") {
    if (argc != 4) return Usage();
    return contentgen::MakePreview(argv[2], argv[3]) ? 0 : 1;
  }
  if (command != "build") return Usage();

  contentgen::Context ctx{argv[2], "/usr/share/fonts/truetype/dejavu", kDefaultSeed};
  for (int i = 3; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--fonts" && i + 1 < argc) {
      ctx.fontDir = argv[++i];
    } else if (arg == "--seed" && i + 1 < argc) {
      char* end = nullptr;
      ctx.seed = std::strtoull(argv[++i], &end, 0);
      if (!end || *end != '\0') return Usage();
    } else {
      return Usage();
    }
  }
  std::error_code error;
  std::filesystem::create_directories(ctx.outDir, error);
  if (error) {
    std::fprintf(stderr, "contentgen: cannot make %s: %s\n", ctx.outDir.c_str(), error.message().c_str());
    return 1;
  }
  using Maker = bool (*)(const contentgen::Context&);
  const Maker makers[] = {contentgen::MakeSky,         contentgen::MakeParticles, contentgen::MakeLogos,
                          contentgen::MakeIcon,        contentgen::MakeBitmapFont, contentgen::MakeEffects,
                          contentgen::MakeMusic,       contentgen::MakeNotice};
  for (Maker make : makers)
    if (!make(ctx)) return 1;
  std::printf("contentgen: wrote the content into %s\n", ctx.outDir.c_str());
  return 0;
}
