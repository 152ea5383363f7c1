#include "bench/hostile.h"

#include <sys/resource.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "actors/actor_list.h"
#include "app/app.h"
#include "app/verify.h"
#include "game/game.h"
#include "game/replay_driver.h"
#include "game/rocket_spawner.h"
#include "replay/frame_codec.h"
#include "tests/support/hostile_replay.h"
#include "tests/support/temp_dir.h"

namespace bench {
namespace {

struct Usage {
  double cpuSeconds = 0.0;
  long peakKiB = 0;
};

Usage Now() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return {seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_maxrss};
}

}  // namespace

int RunHostile(const HostileOptions& options) {
  const std::uint32_t frames = options.frames > 0 ? options.frames : vtr::kReplayMaxFrames;
  vtr::Replay costliest = testing_support::GoldenReplay("chains");
  if (!options.defaults) testing_support::MakeSettingsAbsurd(costliest);
  testing_support::MakeQuietFrames(costliest, frames, options.micros);
  if (options.pauseAt > 0 && options.pauseAt + 1 < frames) {
    // The round runs to pauseAt and spends every frame after it in the pause
    // menu: what paused frames cost.
    vtr::FrameEncoder encoder;
    const float dt = static_cast<float>(options.micros) / 1.0e6f;
    hge_record::InputFrame still, down, up;
    down.keys[HGEK_ESCAPE] = hge_record::kHeld | hge_record::kWentDown;
    up.keys[HGEK_ESCAPE] = hge_record::kWentUp;
    for (std::uint32_t i = 0; i < frames; ++i) encoder.Add(dt, i == options.pauseAt ? down : i == options.pauseAt + 1 ? up : still);
    encoder.Flush();
    costliest.frames = encoder.Stream();
    costliest.frameCount = encoder.Count();
  }
  const std::vector<std::uint8_t> bytes = vtr::SerializeReplay(costliest);
  if (!options.write.empty() && !vtr::WriteReplayFile(options.write, costliest)) {
    std::fprintf(stderr, "hostile: cannot write %s\n", options.write.c_str());
    return 1;
  }
  vtr::Replay replay;
  std::string error;
  if (vtr::ParseReplay(bytes.data(), bytes.size(), &replay, &error) != vtr::ReplayError::None) {
    std::printf("hostile: the reader refuses the file (%zu bytes, %u frames): %s\n", bytes.size(), frames,
                error.c_str());
    return 0;  // refused before it costs anything: the best outcome
  }

  // Started as `vantor --verify` starts: headless, silent, drawing nothing.
  testing_support::TempDir dir(true);
  vtr::StartOptions start = vtr::VerifyOptions();
  start.folder = dir.path();
  start.endOnSignal = false;  // the benchmark's own runner ends it
  vtr::App app(start);
  if (!app.Start()) {
    std::fprintf(stderr, "hostile: the game does not start headless\n");
    return 1;
  }
  const Usage began = Now();
  std::printf("hostile: %zu bytes, %u frames of %u us, %s settings; started at %ld KiB resident\n", bytes.size(),
              frames, options.micros, options.defaults ? "the default" : "absurd", began.peakKiB);
  vtr::Game* game = app.game();
  vtr::ReplayDriver driver(game, replay);
  driver.Start();
  std::uint32_t fullAt = 0;
  Usage atFull;
  while (driver.Step() && !game->ScoreEntered()) {
    const std::size_t actors = vtr::ActorList::Instance().size();
    if (fullAt == 0 && actors >= vtr::kSkyCapacity) {
      fullAt = driver.Played();
      atFull = Now();
    }
    if (driver.Played() % options.sampleEvery == 0) {
      const Usage now = Now();
      std::printf("hostile: frame %8u  actors %5zu  cpu %8.1f s  peak %7ld KiB\n", driver.Played(), actors,
                  now.cpuSeconds - began.cpuSeconds, now.peakKiB);
      std::fflush(stdout);
    }
  }
  const std::uint32_t played = driver.Played();
  driver.Stop();
  const Usage ended = Now();
  const double cpu = ended.cpuSeconds - began.cpuSeconds;
  std::printf("hostile: played %u frames in %.1f s of CPU (%.3f ms a frame", played, cpu,
              played > 0 ? cpu * 1000.0 / played : 0.0);
  if (fullAt > 0 && played > fullAt) {
    std::printf("; %.3f ms a frame with the sky full, from frame %u", (ended.cpuSeconds - atFull.cpuSeconds) * 1000.0 / (played - fullAt), fullAt);
  }
  std::printf("), at most %ld KiB resident\n", ended.peakKiB);
  return 0;
}

}  // namespace bench
