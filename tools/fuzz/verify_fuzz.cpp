// The whole check of a replay given any bytes: read, then played again on the
// real game, headless, as `vantor --verify` does. Each input is also tried
// with its checksum made right, so the fuzzer's changes reach the settings,
// clocks and frames behind it. A replay the reader accepts must play to an
// end, restore the game as it found it, and stay within the run's time and
// memory bounds; at most kFramesPlayed of its frames are played, so every
// input costs a bounded share of the worst case (which the benchmarks
// measure over a whole file).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "actors/actor_list.h"
#include "app/app.h"
#include "app/verify.h"
#include "game/game.h"
#include "game/replay_driver.h"
#include "replay/replay_file.h"
#include "tools/fuzz/fuzz_support.h"

namespace {

// 100 frames: 10 s of a round in the longest frames, long enough for a
// round with a short StartingTime to end. The costliest file we know (sky
// full of rockets whose trails grow fastest with the longest frames) plays
// these in about 2 s under the sanitizers; 600 took up to 11 s, past the
// run's bound of 5 s an input.
constexpr std::uint32_t kFramesPlayed = 100;

vtr::App& Game() {
  static vtr::App* app = [] {
    vtr::StartOptions options = vtr::VerifyOptions();
    options.folder = fuzz::PrivateDir();
    options.contentFolder = VANTOR_ROOT_DIR;  // the game's own Content: its particles decide the rounds
    options.endOnSignal = false;  // libFuzzer handles the signals
    // The game works in its data folder; libFuzzer's paths are the caller's.
    const std::filesystem::path caller = std::filesystem::current_path();
    auto* started = new vtr::App(options);
    if (!started->Start()) fuzz::Fail("the game does not start headless");
    std::filesystem::current_path(caller);
    return started;
  }();
  return *app;
}

void Check(const std::uint8_t* data, std::size_t size) {
  vtr::Replay replay;
  std::string error;
  if (vtr::ParseReplay(data, size, &replay, &error) != vtr::ReplayError::None) return;
  if (replay.frameCount > kFramesPlayed) replay.frameCount = kFramesPlayed;
  vtr::Game* game = Game().game();
  const std::vector<vtr::SettingValue> before = vtr::CaptureSettings();
  const std::size_t entries = game->scores.Entries().size();
  vtr::VerifyReplay(game, replay);
  if (vtr::CaptureSettings() != before) fuzz::Fail("the settings were not given back");
  if (game->scores.Entries().size() != entries) fuzz::Fail("the score table was not given back");
  if (vtr::ActorList::Instance().size() != 0) fuzz::Fail("the replayed round's actors were left behind");
}

}  // namespace

// The game starts before the first input: its start-up (the Content) is no
// input's cost.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Game();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Check(data, size);
  if (size >= vtr::kReplayChecksumEnd && size <= vtr::kReplayMaxFileBytes) {
    std::vector<std::uint8_t> sealed(data, data + size);
    vtr::SealReplayBytes(sealed);
    // A file whose checksum was right already is not played twice.
    if (!std::equal(sealed.begin(), sealed.end(), data)) Check(sealed.data(), sealed.size());
  }
  return 0;
}
