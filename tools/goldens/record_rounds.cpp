// Records the golden rounds: whole rounds of the real game, played headless
// through the menu with pushed input, each chosen to exercise a rule. For
// every round it keeps the replay the game itself wrote, re-simulates it in
// the same process, and refuses to keep a round whose re-simulation differs
// from the live round in score, highest combo or the state hash after any
// frame. The replays and their expected values go to OUT_DIR:
//
//   vantor_record_rounds OUT_DIR      (scripts/record-golden-rounds runs it)
//
// OUT_DIR/rounds.txt holds one "name score combo hash" line per round.
// Re-record whenever the rules version goes up.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "actors/actor_list.h"
#include "actors/rocket.h"
#include "app/app.h"
#include "config/settings.h"
#include "game/game.h"
#include "game/replay_driver.h"
#include "game/rocket_spawner.h"
#include "platform/hge_headless.h"
#include "platform/hge_record.h"
#include "replay/replay_folder.h"

namespace fs = std::filesystem;
using namespace vtr;

namespace {

constexpr float kFrame = 1.0f / 60.0f;

// What a scenario sees before each frame: it may push input for that frame.
struct Turn {
  Game& game;
  int frame;  // frames since the round started (0: the first recorded one)
  float nextDt;
  // A click the devices cannot give (the window clamps the cursor inside the
  // field): the frame's input is handed to the game as it is.
  std::function<void(float x, float y)> exactClick;
};

struct Scenario {
  const char* name;
  const char* covers;
  std::map<std::string, std::string> settings;  // overrides of the defaults
  std::function<void(const Turn&)> play;
  std::function<float(int)> frameTime = [](int) { return kFrame; };
};

void Click(float x, float y) {
  headless::PushMouseMove(x, y);
  headless::PushMouseButton(HGEK_LBUTTON, true, x, y);
  headless::PushMouseButton(HGEK_LBUTTON, false, x, y);
}

void Tap(int key) {
  headless::PushKey(key, true);
  headless::PushKey(key, false);
}

// The rising rocket with the most others within 100 pixels, preferring dual
// rockets when asked; false when the sky is empty.
bool DensestRocket(bool preferDual, float* x, float* y) {
  std::vector<const Rocket*> rockets;
  for (const auto& actor : ActorList::Instance()) {
    const auto* rocket = dynamic_cast<const Rocket*>(actor.get());
    if (rocket && actor->alive && actor->collidable && !actor->dying && actor->y < 740.0f) rockets.push_back(rocket);
  }
  int best = -1;
  const Rocket* chosen = nullptr;
  for (const Rocket* a : rockets) {
    int near = 0;
    for (const Rocket* b : rockets) {
      const float dx = a->x - b->x;
      const float dy = a->y - b->y;
      if (dx * dx + dy * dy < 100.0f * 100.0f) ++near;
    }
    if (preferDual && dynamic_cast<const SpecialRocket*>(a)) near += 1000;
    if (near > best) {
      best = near;
      chosen = a;
    }
  }
  if (!chosen) return false;
  // Where it will be when the player's rocket, at 200 pixels a second from
  // the launch point, gets there.
  float ax = chosen->x;
  float ay = chosen->y;
  for (int i = 0; i < 4; ++i) {
    const float t = std::sqrt((ax - 512.0f) * (ax - 512.0f) + (ay - 768.0f) * (ay - 768.0f)) / 200.0f;
    ax = chosen->x + chosen->vx * t;
    ay = chosen->y + chosen->vy * t;
  }
  *x = ax;
  *y = ay;
  return true;
}

void Autopilot(const Turn& t, int every, bool preferDual = false) {
  if (t.frame % every != every - 1) return;
  float x = 0.0f;
  float y = 0.0f;
  if (DensestRocket(preferDual, &x, &y)) Click(x, y);
}

std::vector<Scenario> Scenarios() {
  std::vector<Scenario> list;
  list.push_back({"chains", "long chains and their combo texts", {},
                  [](const Turn& t) { Autopilot(t, 30); }});
  list.push_back({"duals", "dual rockets caught, their second rockets and the chains these start",
                  {{"DualRocketSpawnDelay", "2"}}, [](const Turn& t) { Autopilot(t, 20, true); }});
  list.push_back({"floor", "shots into an empty sky down to the multiplier's floor, then catches", {},
                  [](const Turn& t) {
                    if (t.frame < 300) {
                      if (t.frame % 3 == 0) Click(160.0f + static_cast<float>(t.frame % 7), 40.0f);
                    } else {
                      Autopilot(t, 25);
                    }
                  }});
  list.push_back({"decay", "a multiplier far above 1 decaying with every shot",
                  {{"MultiplierAddition", "0.7"}, {"MultiplierDecreasePerSecond", "3"}},
                  [](const Turn& t) { Autopilot(t, 12); }});
  list.push_back({"pause", "a pause mid-round: Escape, the menu's keys and cursor, Escape again", {},
                  [](const Turn& t) {
                    if (t.frame == 1200 || t.frame == 1500) Tap(HGEK_ESCAPE);
                    if (t.frame > 1200 && t.frame < 1500) {
                      if (t.frame % 40 == 0) Tap(t.frame % 80 == 0 ? HGEK_DOWN : HGEK_UP);
                      if (t.frame % 5 == 0) headless::PushMouseMove(300.0f + t.frame % 300, 200.0f + t.frame % 250);
                    }
                    if (t.frame < 1200 || t.frame > 1500) Autopilot(t, 30);
                  }});
  list.push_back({"escape-bursts", "Escape while the last bursts play out enters the score at once", {},
                  [](const Turn& t) {
                    if (t.game.CurrentRound().roundOver && !t.game.ScoreEntered() && t.frame % 3 == 0) Tap(HGEK_ESCAPE);
                    if (!t.game.CurrentRound().roundOver) Autopilot(t, 20);
                  }});
  list.push_back({"timeout-shot", "a shot in the very frame the time runs out", {{"StartingTime", "20"}},
                  [](const Turn& t) {
                    if (!t.game.CurrentRound().roundOver && t.game.CurrentRound().timeLeft - t.nextDt <= 0.0f) {
                      float x = 500.0f;
                      float y = 300.0f;
                      DensestRocket(false, &x, &y);
                      Click(x, y);
                    } else if (!t.game.CurrentRound().roundOver) {
                      Autopilot(t, 30);
                    }
                  }});
  list.push_back({"launch-point", "clicks exactly on the launch point and on the bottom edge", {{"StartingTime", "25"}},
                  [](const Turn& t) {
                    if (t.frame == 60 || t.frame == 600) t.exactClick(512.0f, 768.0f);
                    if (t.frame == 90) Click(512.0f, 767.0f);
                    if (t.frame == 120) t.exactClick(0.0f, 768.0f);
                    if (t.frame > 150) Autopilot(t, 30);
                  }});
  list.push_back({"settings", "non-default settings: a short round, fast spawns, other scores and combo texts",
                  {{"StartingTime", "30"},
                   {"RocketSpawnDelay", "0.3"},
                   {"BonusRocketSpawnDelay", "1.1"},
                   {"DualRocketSpawnDelay", "4"},
                   {"RocketVelocity", "80"},
                   {"RocketScore", "150"},
                   {"DualRocketScore", "700"},
                   {"ShowCombosAfterAmount", "2"},
                   {"MultiplierRocketFirePenalty", "0.05"},
                   {"MultiplierPenaltyMin", "0.5"},
                   {"TimeWarning2", "5"},
                   {"SystemScreenWidth", "900"}},
                  [](const Turn& t) { Autopilot(t, 15); }});
  Scenario jitter{"jitter", "real-time frame times (whole microseconds, uneven) and a cursor that never rests", {},
                  [](const Turn& t) {
                    headless::PushMouseMove(200.0f + static_cast<float>((t.frame * 7) % 600),
                                            100.0f + static_cast<float>((t.frame * 3) % 500));
                    Autopilot(t, 27);
                  }};
  jitter.frameTime = [](int frame) {
    // Frames of 16.7 ms give or take 1 ms, now and then a slow one of 30 ms,
    // in whole microseconds as the engine measures real time.
    const unsigned h = static_cast<unsigned>(frame) * 2654435761u;
    const int micros = frame % 97 == 0 ? 30000 : 16667 + static_cast<int>((h >> 16) % 2001u) - 1000;
    return static_cast<float>(micros) / 1.0e6f;
  };
  list.push_back(jitter);
  return list;
}

std::string SettingsText(const std::vector<std::pair<std::string, std::string>>& defaults,
                         const std::map<std::string, std::string>& overrides) {
  std::string text;
  for (const auto& [key, value] : defaults) {
    const auto found = overrides.find(key);
    text.append(key).append(" ").append(found != overrides.end() ? found->second : value).append("\n");
  }
  return text;
}

struct Recorded {
  std::int32_t score = 0;
  std::uint32_t combo = 0;
  std::uint64_t hash = 0;
  std::string replayPath;
};

// Plays one scenario in a fresh folder; false with a message on failure.
bool Play(const Scenario& scenario, std::uint32_t seed, const fs::path& folder, const std::string& settingsText,
          Recorded* out) {
  fs::create_directories(folder);
  std::ofstream(folder / "Settings.vtr") << settingsText;
  StartOptions options;
  options.folder = folder.string();
  options.headless = true;
  options.audio = false;
  options.render = false;
  options.fixedFrameTime = kFrame;
  App app(options);
  if (!app.Start()) {
    std::fprintf(stderr, "%s: the game did not start: %s\n", scenario.name, app.error().c_str());
    return false;
  }
  Game& game = *app.game();
  // Fixed seeds instead of the clock's: recording again changes the files
  // only where the rules changed.
  SeedLaunchGenerator(seed);
  app.engine()->Random_Seed(static_cast<int>(seed));
  Tap(HGEK_ENTER);  // "New Game" has the focus
  int frame = -1;   // -1 until the round has started
  std::uint64_t hash = kStateHashStart;
  for (int guard = 0; guard < 60 * 60 * 10; ++guard) {
    const float dt = frame >= 0 ? scenario.frameTime(frame) : kFrame;
    bool injected = false;
    const auto exactClick = [&](float x, float y) {
      hge_record::InputFrame input;
      input.mouseX = x;
      input.mouseY = y;
      input.key = HGEK_LBUTTON;
      input.keys[HGEK_LBUTTON] = hge_record::kHeld | hge_record::kWentDown | hge_record::kWentUp;
      hge_record::InjectInput(app.engine(), input);
      injected = true;
    };
    if (frame >= 0) scenario.play(Turn{game, frame, dt, exactClick});
    headless::SetFixedFrameTime(app.engine(), dt);
    const bool quit = app.Frame();
    if (injected) hge_record::EndInjection(app.engine());
    if (quit) break;
    if (frame < 0) {
      if (game.CurrentRound().roundRunning) frame = 0;  // "New Game" ran in this frame; the next one is recorded
      continue;
    }
    ++frame;
    hash = FoldGameState(hash, game);
    if (game.ScoreEntered()) break;
  }
  if (!game.ScoreEntered()) {
    std::fprintf(stderr, "%s: the round never ended\n", scenario.name);
    return false;
  }
  out->score = game.CurrentRound().score;
  out->combo = game.CurrentRound().highestCombo;
  out->hash = hash;
  const std::vector<StoredReplay> stored = ListReplays(ReplayFolderFor(Settings::Instance().ScoreFile));
  if (stored.size() != 1) {
    std::fprintf(stderr, "%s: expected one replay, found %zu\n", scenario.name, stored.size());
    return false;
  }
  out->replayPath = fs::absolute(stored.front().path).string();

  Replay replay;
  std::string error;
  if (ReadReplayFile(out->replayPath, &replay, &error) != ReplayError::None) {
    std::fprintf(stderr, "%s: %s\n", scenario.name, error.c_str());
    return false;
  }
  const Verdict verdict = VerifyReplay(&game, replay);
  if (!verdict.ok() || verdict.stateHash != hash || replay.frameCount != static_cast<std::uint32_t>(frame)) {
    std::fprintf(stderr, "%s: the replay does not reproduce the live round: %s, hash %016llx live %016llx\n",
                 scenario.name, VerdictLine(replay, verdict).c_str(),
                 static_cast<unsigned long long>(verdict.stateHash), static_cast<unsigned long long>(hash));
    return false;
  }
  std::printf("%-14s score %8u  combo %3u  frames %5u  %6zu bytes  %s\n", scenario.name,
              static_cast<std::uint32_t>(out->score), out->combo, replay.frameCount,
              SerializeReplay(replay).size(), scenario.covers);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vantor_record_rounds OUT_DIR\n");
    return 2;
  }
  const fs::path out = fs::absolute(argv[1]);
  fs::create_directories(out);
  const fs::path content = fs::canonical("/proc/self/exe").parent_path() / "Content";

  // The defaults, before any scenario's settings file has been read.
  std::vector<std::pair<std::string, std::string>> defaults;
  ForEachSettingsEntry(Settings::Instance(), [&defaults](const char* key, const auto& member) {
    std::ostringstream value;
    value << member;
    defaults.emplace_back(key, value.str());
  });
  for (auto& [key, value] : defaults) {
    if (key == "ShowSplash") value = '0';
  }

  const fs::path work = fs::temp_directory_path() / ("vantor-rounds-" + std::to_string(::getpid()));
  std::ofstream list(out / "rounds.txt");
  list << "# name score highest-combo state-hash (written by vantor_record_rounds)\n";
  int failures = 0;
  std::uint32_t seed = 20261208;
  for (const Scenario& scenario : Scenarios()) {
    ++seed;
    const fs::path folder = work / scenario.name;
    fs::create_directories(folder);
    fs::create_directory_symlink(content, folder / "Content");
    Recorded recorded;
    if (!Play(scenario, seed, folder, SettingsText(defaults, scenario.settings), &recorded)) {
      ++failures;
      continue;
    }
    fs::copy_file(recorded.replayPath, out / (std::string(scenario.name) + ".vtreplay"),
                  fs::copy_options::overwrite_existing);
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(recorded.hash));
    list << scenario.name << ' ' << static_cast<std::uint32_t>(recorded.score) << ' ' << recorded.combo << ' '
         << hash << '\n';
  }
  std::error_code ignored;
  fs::remove_all(work, ignored);
  return failures == 0 ? 0 : 1;
}
