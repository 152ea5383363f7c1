#include "bench/watch.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <system_error>
#include <utility>
#include <vector>

#include "app/app.h"
#include "game/game.h"
#include "platform/hge_headless.h"
#include "replay/frame_codec.h"
#include "replay/replay_file.h"
#include "tests/support/temp_dir.h"

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

double g_updateMs = 0.0;
double g_renderMs = 0.0;

double MsSince(Clock::time_point began) {
  return std::chrono::duration<double, std::milli>(Clock::now() - began).count();
}

bool TimedFrame() {
  const Clock::time_point began = Clock::now();
  const bool quit = vtr::FrameFunc();
  g_updateMs += MsSince(began);
  return quit;
}

bool TimedRender() {
  const Clock::time_point began = Clock::now();
  const bool result = vtr::RenderFunc();
  g_renderMs += MsSince(began);
  return result;
}

double Mean(const std::vector<double>& values) {
  return values.empty() ? 0.0 : std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

// The value below which `share` of the sorted values lie.
double Quantile(const std::vector<double>& sorted, double share) {
  if (sorted.empty()) return 0.0;
  const auto last = static_cast<double>(sorted.size() - 1);
  return sorted[static_cast<std::size_t>(std::clamp(share * last, 0.0, last))];
}

}  // namespace

int RunWatch(const std::string& file, const std::string& backend) {
  if (backend != "software" && backend != "opengl") {
    std::fprintf(stderr, "watch: no backend %s (software or opengl)\n", backend.c_str());
    return 2;
  }
  setenv("SDL_VIDEODRIVER", backend == "software" ? "dummy" : "offscreen", 1);
  if (backend == "opengl") setenv("SDL_RENDER_DRIVER", "opengl", 1);
  std::error_code ignored;
  const std::string path = std::filesystem::absolute(file, ignored).string();
  vtr::Replay replay;
  std::string error;
  if (vtr::ReadReplayFile(path, &replay, &error) != vtr::ReplayError::None) {
    std::fprintf(stderr, "%s: %s\n", file.c_str(), error.c_str());
    return 2;
  }
  const testing_support::TempDir dir(true);
  vtr::StartOptions options;
  options.folder = dir.path().string();
  options.audio = false;
  options.logFile.clear();
  options.fixedFrameTime = 1.0f / 60.0f;
  options.replayFile = path;
  options.frameFunc = TimedFrame;
  options.renderFunc = TimedRender;
  vtr::App app(options);
  if (!app.Start()) {
    std::fprintf(stderr, "watch: cannot start: %s\n", app.error().c_str());
    return 3;
  }
  const std::string used = headless::VideoDriverName(app.engine()) + "/" + headless::RendererName(app.engine());
  app.game()->Watch(std::move(replay), true);
  std::vector<double> frames;
  std::vector<double> updates;
  std::vector<double> renders;
  bool quit = false;
  // The playback ends on its own a moment after the last recorded frame;
  // the bound only stops a playback that never would.
  while (!quit && frames.size() < std::size_t{2} * vtr::kReplayMaxFrames) {
    g_updateMs = g_renderMs = 0.0;
    const Clock::time_point began = Clock::now();
    quit = app.Frame();
    frames.push_back(MsSince(began));
    updates.push_back(g_updateMs);
    renders.push_back(g_renderMs);
  }
  const std::string outcome = app.game()->LastWatchOutcome();
  const bool faithful = app.game()->LastWatchFaithful();
  app.Shutdown();
  std::vector<double> sorted = frames;
  std::sort(sorted.begin(), sorted.end());
  std::printf("watch %s frames %zu frame_ms mean %.3f median %.3f p95 %.3f max %.3f update_ms mean %.3f "
              "render_ms mean %.3f outcome \"%s\"\n",
              used.c_str(), frames.size(), Mean(frames), Quantile(sorted, 0.5), Quantile(sorted, 0.95),
              sorted.empty() ? 0.0 : sorted.back(), Mean(updates), Mean(renders), outcome.c_str());
  return quit && faithful ? 0 : 1;
}

}  // namespace bench
