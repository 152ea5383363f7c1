#include "bench/daily_rounds.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <vector>

#include "app/app.h"
#include "bench/session.h"
#include "config/settings.h"
#include "game/game.h"
#include "platform/hge_headless.h"
#include "replay/daily.h"
#include "replay/replay_folder.h"
#include "tests/support/hostile_replay.h"
#include "tests/support/temp_dir.h"

namespace bench {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr int kMaxFrames = 100000;  // a 60 s round at 1,000 Hz, and then some

bool WriteWhole(const fs::path& path, const Bytes& bytes) {
  const fs::path temporary = path.string() + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) return false;
  }
  std::error_code failed;
  fs::rename(temporary, path, failed);
  return !failed;
}

Bytes ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes{std::istreambuf_iterator<char>(in), {}};
}

// What the table must refuse, made from a valid round (and the one before,
// another seed's, for its inputs); kind chosen by number. Sets kind and the
// HTTP status the table answers.
Bytes Hostile(int number, const vtr::Replay& round, const Bytes& file, const vtr::Replay& before, std::int64_t at,
              std::string* kind, int* status) {
  std::mt19937 random(static_cast<std::uint32_t>(number));
  vtr::Replay edited = round;
  *status = 422;
  switch (number % 12) {
    case 0: {
      *kind = "truncated";
      *status = 400;
      return Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(file.size() * 2 / 3));
    }
    case 1: {
      *kind = "flipped";  // the checksum left as it was
      *status = 400;
      Bytes bytes = file;
      bytes[bytes.size() / 2 + random() % (bytes.size() / 2)] ^= static_cast<std::uint8_t>(1u << (random() % 8));
      return bytes;
    }
    case 2: {
      *kind = "garbage";
      *status = 400;
      Bytes bytes(file.size());
      for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random());
      return bytes;
    }
    case 3: {
      *kind = "oversized";  // a whole round with 64 KB of noise after it
      *status = 413;
      Bytes bytes = file;
      for (int i = 0; i < 65536; ++i) bytes.push_back(static_cast<std::uint8_t>(random()));
      return bytes;
    }
    case 4:
      *kind = "score";
      edited.score += 100;
      break;
    case 5:
      *kind = "combo";
      edited.highestCombo += 1;
      break;
    case 6:
      if (before.frames.empty() || before.score == round.score) {
        *kind = "score";
        edited.score -= 10;
        break;
      }
      *kind = "inputs";  // another round's shots under this one's score
      edited.frames = before.frames;
      edited.frameCount = before.frameCount;
      break;
    case 7: {
      *kind = "day";
      const vtr::RoundStart yesterday = vtr::DailyRoundStart(vtr::DailyDateAt(at - 86400));
      edited.start.launchState = yesterday.launchState;
      edited.start.engineRandomState = yesterday.engineRandomState;
      break;
    }
    case 8:
      *kind = "settings";
      testing_support::MakeSettingsAbsurd(edited);
      break;
    case 9:
      *kind = "notdaily";
      edited.start.daily = false;
      break;
    case 10:
      *kind = "rules";
      edited.rulesVersion += 1;
      break;
    default:
      *kind = "shortframes";  // 100 us frames, which the game never records
      testing_support::MakeQuietFrames(edited, 3600, 100);
      break;
  }
  return vtr::SerializeReplay(edited);
}

}  // namespace

int RecordDailyRounds(const DailyRoundsOptions& options) {
  const std::int64_t at = options.at > 0 ? options.at : static_cast<std::int64_t>(std::time(nullptr));
  std::error_code failed;
  // The game changes the working folder as it starts.
  const fs::path out = fs::absolute(options.out, failed);
  fs::create_directories(out / "valid", failed);
  fs::create_directories(out / "hostile", failed);
  if (failed) {
    std::fprintf(stderr, "daily-rounds: %s: %s\n", options.out.c_str(), failed.message().c_str());
    return 1;
  }
  testing_support::TempDir dir(true);
  vtr::StartOptions start;
  start.folder = dir.path().string();
  start.loadSettings = false;
  start.fixedFrameTime = 1.0f / static_cast<float>(options.frameHz);
  start.headless = true;
  start.render = false;
  start.audio = false;
  vtr::App app(start);
  if (!app.Start()) {
    std::fprintf(stderr, "daily-rounds: the game did not start: %s\n", app.error().c_str());
    return 3;
  }
  const std::string replays = vtr::ReplayFolderFor(vtr::Settings::Instance().ScoreFile);
  std::set<std::string> streams;  // the frames of every round written: each round's own
  vtr::Replay before;
  int written = 0;
  // Round n tries the seeds 16n + 1 to 16n + 16 until one plays shots of its
  // own: two recorders of other numbers never try the same seed.
  std::uint32_t attempt = 0;
  while (written < options.count) {
    const auto seed = static_cast<std::uint32_t>(options.first + written) * 16u + ++attempt;
    if (attempt > 16) {
      std::fprintf(stderr, "daily-rounds: round %d: sixteen seeds played the same shots as others\n", options.first + written);
      return 1;
    }
    app.game()->NewDailyRound(at);
    Autopilot autopilot(seed);
    for (int i = 0; i < kMaxFrames && !app.game()->ScoreEntered(); ++i) {
      autopilot.BeforeFrame();
      app.Frame();
    }
    const std::vector<vtr::StoredReplay> stored = vtr::ListReplays(replays);
    if (!app.game()->ScoreEntered() || stored.size() != 1) {
      std::fprintf(stderr, "daily-rounds: seed %u ended without its one replay (%zu found)\n", seed, stored.size());
      return 1;
    }
    const Bytes file = ReadWhole(stored[0].path);
    fs::remove(stored[0].path, failed);
    vtr::Replay round;
    std::string error;
    if (vtr::ParseReplay(file.data(), file.size(), &round, &error) != vtr::ReplayError::None) {
      std::fprintf(stderr, "daily-rounds: seed %u: %s\n", seed, error.c_str());
      return 1;
    }
    if (!streams.emplace(round.frames.begin(), round.frames.end()).second) continue;  // the same shots as another seed's
    attempt = 0;
    const int number = options.first + written;
    char name[32];
    std::snprintf(name, sizeof name, "%06d", number);
    std::string kind;
    int status = 0;
    const Bytes hostile = Hostile(number, round, file, before, at, &kind, &status);
    const std::string hostileName = std::string(name) + "-" + kind + "-" + std::to_string(status) + ".vtreplay";
    // The hostile file first: a valid one on the disk always has its partner.
    if (!WriteWhole(out / "hostile" / hostileName, hostile) ||
        !WriteWhole(out / "valid" / (std::string(name) + ".vtreplay"), file)) {
      std::fprintf(stderr, "daily-rounds: cannot write into %s\n", options.out.c_str());
      return 1;
    }
    before = round;
    ++written;
  }
  return 0;
}

}  // namespace bench
