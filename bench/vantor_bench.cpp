// The benchmark of the whole game: runs the real game on the real engine
// headless, with an autopilot player, and prints per-scenario figures and the
// performance targets. Each run happens in a child process of its own, as
// the game runs once per process; the parent reads the runs' CSV files back,
// plots them and prints the table.
//
//   vantor_bench [default|stress|all] [--backend software|opengl|all]
//                [--frames N] [--stress-frames N] [--out DIR]
//   vantor_bench soak --frames N [--sample-every N] [--render-every N]
//                     [--no-memory-check]
//   vantor_bench report [DIR]     the table and plots again from DIR's CSVs
//   vantor_bench hostile [--frames N] [--frame-us N] [--settings default|absurd] [--pause-at N] [--write FILE]
//                                 the costliest replay played to its end
//   vantor_bench watch FILE [--backend software|opengl]
//                                 a recorded round watched with drawing, timed
//   vantor_bench daily-rounds --out DIR [--first N] [--count N] [--at SECONDS] [--hz N]
//                                 today's round played by the autopilot with N seeds,
//                                 and a hostile file made from each
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/daily_rounds.h"
#include "bench/hostile.h"
#include "bench/report.h"
#include "bench/session.h"
#include "bench/soak.h"
#include "bench/watch.h"

namespace {

using namespace bench;

struct Backend {
  const char* name;
  const char* videoDriver;
  const char* renderDriver;  // null: the engine's own choice
};

const Backend kBackends[] = {
    {"software", "dummy", nullptr},
    {"opengl", "offscreen", "opengl"},
};

struct Options {
  std::vector<std::string> scenarios = {"default", "stress"};
  std::vector<const Backend*> backends = {&kBackends[0], &kBackends[1]};
  int defaultFrames = 3600;  // one whole 60 s round
  int stressFrames = 3600;
  int stressReplayEvery = 4;
  std::string out = "bench-results";
};

// Runs one scenario on one backend in this (child) process; writes the CSV.
int RunChild(const std::string& scenario, const Backend& backend, int frames, int replayEvery,
             const std::string& csv) {
  setenv("SDL_VIDEODRIVER", backend.videoDriver, 1);
  if (backend.renderDriver) setenv("SDL_RENDER_DRIVER", backend.renderDriver, 1);
  Session session(scenario == "stress" ? Scenario::kStress : Scenario::kDefault, true);
  if (!session.ok()) {
    std::fprintf(stderr, "%s on %s: cannot start: %s\n", scenario.c_str(), backend.name, session.error().c_str());
    return 3;
  }
  Run run{scenario, session.Backend(), {}};
  if (backend.renderDriver && run.backend.find(backend.renderDriver) == std::string::npos) {
    std::fprintf(stderr, "%s: got %s instead\n", backend.name, run.backend.c_str());
    return 3;
  }
  run.frames.reserve(static_cast<std::size_t>(frames));
  for (int i = 0; i < frames && !session.stopped(); ++i) run.frames.push_back(session.Frame(i % replayEvery == 0));
  if (session.stopped()) return 4;
  if (!WriteCsv(csv, run)) {
    std::fprintf(stderr, "cannot write %s\n", csv.c_str());
    return 1;
  }
  return 0;
}

bool RunInChild(const std::string& scenario, const Backend& backend, const Options& options,
                const std::string& csv) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const bool stress = scenario == "stress";
    _exit(RunChild(scenario, backend, stress ? options.stressFrames : options.defaultFrames,
                   stress ? options.stressReplayEvery : 1, csv));
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void PrintRow(const char* name, Spread s, const char* unit) {
  std::printf("    %-34s median %10.3f   p99 %10.3f %s\n", name, s.median, s.p99, unit);
}

template <typename F>
Spread Over(const std::vector<FrameSample>& frames, F value, bool onlyReplayed = false) {
  std::vector<double> values;
  for (const FrameSample& f : frames) {
    if (!onlyReplayed || f.replay >= 0) values.push_back(value(f));
  }
  return SpreadOf(std::move(values));
}

const char* Verdict(bool met) { return met ? "met" : "NOT MET"; }

void Report(const Run& run, const std::string& png) {
  const std::vector<FrameSample>& f = run.frames;
  std::printf("\n%s scenario on %s: %zu frames (plot %s)\n", run.scenario.c_str(), run.backend.c_str(), f.size(),
              png.c_str());
  PrintRow("update", Over(f, [](auto& s) { return s.update; }), "ms");
  PrintRow("drawing up to the engine", Over(f, [](auto& s) { return s.submit; }), "ms");
  PrintRow("engine flush, rasterise, present", Over(f, [](auto& s) { return s.flush; }), "ms");
  PrintRow("full frame", Over(f, [](auto& s) { return s.Frame(); }), "ms");
  PrintRow("own work (update + drawing)", Over(f, [](auto& s) { return s.OwnWork(); }), "ms");
  PrintRow("limit replay of the same quads", Over(f, [](auto& s) { return s.replay; }, true), "ms");
  PrintRow("live particles", Over(f, [](auto& s) { return double(s.particles); }), "");
  PrintRow("quads", Over(f, [](auto& s) { return double(s.quads); }), "");
  PrintRow("draw calls", Over(f, [](auto& s) { return double(s.drawCalls); }), "");
  PrintRow("actors", Over(f, [](auto& s) { return double(s.actors); }), "");

  if (run.scenario == "default") {
    const Spread frame = Over(f, [](auto& s) { return s.Frame(); }, true);
    const Spread limit = Over(f, [](auto& s) { return s.replay; }, true);
    const Spread ratio = Over(f, [](auto& s) { return s.replay > 0 ? s.Frame() / s.replay : 0.0; }, true);
    const double medians = limit.median > 0 ? frame.median / limit.median : 0.0;
    std::printf("  TARGET full frame within 1.10x of the limit replay: %.3f ms / %.3f ms = %.3fx "
                "(per-frame ratio median %.3fx, p99 %.3fx): %s\n",
                frame.median, limit.median, medians, ratio.median, ratio.p99, Verdict(medians <= 1.10));
  } else {
    const Spread own = Over(f, [](auto& s) { return s.OwnWork(); });
    std::printf("  TARGET own work at stress under 4.2 ms at the median: %.3f ms (p99 %.3f): %s\n", own.median,
                own.p99, Verdict(own.median < 4.2));
    const ParticleFit fit = FitParticles(f, 8);
    std::printf("  own work against live particles (buckets of equal width):\n");
    for (const ParticleFit::Bucket& b : fit.buckets) {
      std::printf("    %8.0f particles: %7.3f ms  (%.4f ms per 1,000; %zu frames)\n", b.particles, b.ownMs,
                  b.particles > 0 ? b.ownMs / (b.particles / 1000.0) : 0.0, b.frames);
    }
    auto perThousand = [](const ParticleFit::Bucket& b) {
      return b.particles > 0 ? b.ownMs / (b.particles / 1000.0) : 0.0;
    };
    const double lowCost = fit.buckets.empty() ? 0.0 : perThousand(fit.buckets.front());
    const double highCost = fit.buckets.empty() ? 0.0 : perThousand(fit.buckets.back());
    const double growth = lowCost > 0.0 ? highCost / lowCost : 0.0;
    std::printf("  TARGET own work grows no faster than linearly: %.4f ms per 1,000 particles at %.0f, %.4f at %.0f "
                "(ratio %.2f); least-squares slope %.4f ms per 1,000 in the lower half, %.4f in the upper "
                "(each may grow by at most 1.25x for noise): %s\n",
                lowCost, fit.buckets.empty() ? 0.0 : fit.buckets.front().particles, highCost,
                fit.buckets.empty() ? 0.0 : fit.buckets.back().particles, growth, fit.lowSlope, fit.highSlope,
                Verdict(fit.buckets.size() >= 2 && growth <= 1.25 &&
                        fit.highSlope <= 1.25 * std::max(fit.lowSlope, 0.0)));
  }
}

// Reads one run's CSV back, plots it and prints its figures.
bool ReportRun(const std::string& base) {
  Run run;
  if (!ReadCsv(base + ".csv", &run)) {
    std::printf("  cannot read %s.csv\n", base.c_str());
    return false;
  }
  if (!WritePlot(base + ".png", run)) std::printf("  cannot write %s.png\n", base.c_str());
  Report(run, base + ".png");
  return true;
}

int RunBenchmarks(Options options) {
  // Each run works in a fresh folder of its own: the results' path must not
  // depend on the working directory.
  std::filesystem::create_directories(options.out);
  options.out = std::filesystem::absolute(options.out).lexically_normal().string();
  int failures = 0;
  for (const Backend* backend : options.backends) {
    for (const std::string& scenario : options.scenarios) {
      const std::string base = options.out + "/" + scenario + "-" + backend->name;
      std::printf("running %s on %s...\n", scenario.c_str(), backend->name);
      if (!RunInChild(scenario, *backend, options, base + ".csv")) {
        std::printf("  %s on %s did not run or could not write its CSV file (see above); skipped\n",
                    scenario.c_str(), backend->name);
        failures += backend == &kBackends[0] ? 1 : 0;  // only the software path is required
        continue;
      }
      if (!ReportRun(base)) ++failures;
    }
  }
  std::printf("\nper-frame figures in %s/*.csv; plots: white full frame, orange own work, cyan limit replay, "
              "grey live particles (scaled to the height), a tick per second of game time\n",
              options.out.c_str());
  return failures == 0 ? 0 : 1;
}

// The table and plots again from the CSV files of an earlier run.
int ReportFolder(const std::string& folder) {
  int found = 0;
  for (const Backend& backend : kBackends) {
    for (const char* scenario : {"default", "stress"}) {
      const std::string base = folder + "/" + scenario + "-" + backend.name;
      if (std::filesystem::exists(base + ".csv")) found += ReportRun(base) ? 1 : 0;
    }
  }
  if (found == 0) std::printf("no results in %s\n", folder.c_str());
  return found > 0 ? 0 : 1;
}

int IntArg(const char* text) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  return end && *end == '\0' && value > 0 && value < 100000000 ? static_cast<int>(value) : -1;
}

int Usage() {
  std::fprintf(stderr,
               "usage: vantor_bench [default|stress|all] [--backend software|opengl|all] [--frames N]\n"
               "                    [--stress-frames N] [--out DIR]\n"
               "       vantor_bench soak --frames N [--sample-every N] [--render-every N]\n"
               "                         [--no-memory-check]\n"
               "       vantor_bench report [DIR]\n"
               "       vantor_bench hostile [--frames N] [--frame-us N] [--settings default|absurd] [--pause-at N] [--write FILE]\n"
               "       vantor_bench watch FILE [--backend software|opengl]\n"
               "       vantor_bench daily-rounds --out DIR [--first N] [--count N] [--at SECONDS] [--hz N]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  if (argc >= 2 && std::strcmp(argv[1], "soak") == 0) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    SoakOptions soak;
    for (int i = 2; i < argc; i += 2) {
      if (std::strcmp(argv[i], "--no-memory-check") == 0) {
        soak.checkMemory = false;
        --i;
        continue;
      }
      const int value = i + 1 < argc ? IntArg(argv[i + 1]) : -1;
      if (value < 0) return Usage();
      if (std::strcmp(argv[i], "--frames") == 0) soak.frames = value;
      else if (std::strcmp(argv[i], "--sample-every") == 0) soak.sampleEvery = value;
      else if (std::strcmp(argv[i], "--render-every") == 0) soak.renderEvery = value;
      else return Usage();
    }
    return RunSoak(soak);
  }

  if (argc >= 2 && std::strcmp(argv[1], "hostile") == 0) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    HostileOptions hostile;
    for (int i = 2; i + 1 < argc; i += 2) {
      if (std::strcmp(argv[i], "--write") == 0) {
        hostile.write = argv[i + 1];
        continue;
      }
      if (std::strcmp(argv[i], "--settings") == 0) {
        if (std::strcmp(argv[i + 1], "default") != 0 && std::strcmp(argv[i + 1], "absurd") != 0) return Usage();
        hostile.defaults = std::strcmp(argv[i + 1], "default") == 0;
        continue;
      }
      const int value = IntArg(argv[i + 1]);
      if (value < 0) return Usage();
      if (std::strcmp(argv[i], "--frames") == 0) hostile.frames = static_cast<std::uint32_t>(value);
      else if (std::strcmp(argv[i], "--frame-us") == 0) hostile.micros = static_cast<std::uint32_t>(value);
      else if (std::strcmp(argv[i], "--pause-at") == 0) hostile.pauseAt = static_cast<std::uint32_t>(value);
      else return Usage();
    }
    if (argc % 2 != 0) return Usage();
    return RunHostile(hostile);
  }

  if (argc >= 2 && std::strcmp(argv[1], "daily-rounds") == 0) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    DailyRoundsOptions rounds;
    for (int i = 2; i + 1 < argc; i += 2) {
      if (std::strcmp(argv[i], "--out") == 0) {
        rounds.out = argv[i + 1];
        continue;
      }
      if (std::strcmp(argv[i], "--at") == 0) {
        char* end = nullptr;
        rounds.at = std::strtoll(argv[i + 1], &end, 10);
        if (!end || *end != '\0' || rounds.at <= 0) return Usage();
        continue;
      }
      const bool zero = std::strcmp(argv[i + 1], "0") == 0;
      const int value = zero ? 0 : IntArg(argv[i + 1]);
      if (value < 0) return Usage();
      if (std::strcmp(argv[i], "--first") == 0) rounds.first = value;
      else if (std::strcmp(argv[i], "--count") == 0 && value > 0) rounds.count = value;
      else if (std::strcmp(argv[i], "--hz") == 0 && value >= 10 && value <= 1000) rounds.frameHz = value;
      else return Usage();
    }
    if (argc % 2 != 0 || rounds.out.empty()) return Usage();
    return RecordDailyRounds(rounds);
  }

  if (argc >= 3 && std::strcmp(argv[1], "watch") == 0) {
    if (argc == 3) return RunWatch(argv[2], "software");
    if (argc == 5 && std::strcmp(argv[3], "--backend") == 0) return RunWatch(argv[2], argv[4]);
    return Usage();
  }
  if (argc >= 2 && std::strcmp(argv[1], "report") == 0) {
    if (argc > 3) return Usage();
    return ReportFolder(argc == 3 ? argv[2] : Options{}.out);
  }

  Options options;
  int i = 1;
  if (i < argc && argv[i][0] != '-') {
    const std::string which = argv[i++];
    if (which == "default" || which == "stress") options.scenarios = {which};
    else if (which != "all") return Usage();
  }
  for (; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    const std::string value = argv[i + 1];
    if (flag == "--backend") {
      if (value == "software") options.backends = {&kBackends[0]};
      else if (value == "opengl") options.backends = {&kBackends[1]};
      else if (value != "all") return Usage();
    } else if (flag == "--frames" && IntArg(value.c_str()) > 0) {
      options.defaultFrames = IntArg(value.c_str());
    } else if (flag == "--stress-frames" && IntArg(value.c_str()) > 0) {
      options.stressFrames = IntArg(value.c_str());
    } else if (flag == "--out") {
      options.out = value;
    } else {
      return Usage();
    }
  }
  if (i != argc) return Usage();
  return RunBenchmarks(options);
}
