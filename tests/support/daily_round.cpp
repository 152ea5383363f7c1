#include "tests/support/daily_round.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "actors/actor_list.h"
#include "config/settings.h"
#include "platform/hge_headless.h"
#include "replay/replay_folder.h"

namespace testing_support {

vtr::StartOptions QuietGameIn(const std::filesystem::path& folder) {
  std::filesystem::create_directories(folder);
  vtr::StartOptions options;
  options.folder = folder.string();
  options.contentFolder = VANTOR_SOURCE_DIR;
  options.loadSettings = false;
  options.fixedFrameTime = 0.1f;
  options.headless = true;
  options.render = false;
  options.audio = false;
  return options;
}

bool ShootARisingRocket() {
  for (const auto& actor : vtr::ActorList::Instance()) {
    if (actor->kind != vtr::kRocket || !actor->collidable || actor->dying) continue;
    headless::PushMouseMove(actor->x, actor->y);
    headless::PushMouseButton(HGEK_LBUTTON, true, actor->x, actor->y);
    headless::PushMouseButton(HGEK_LBUTTON, false, actor->x, actor->y);
    return true;
  }
  return false;
}

std::vector<std::uint8_t> OnlyStoredReplay() {
  const auto stored = vtr::ListReplays(vtr::ReplayFolderFor(vtr::Settings::Instance().ScoreFile));
  EXPECT_EQ(stored.size(), 1u);
  if (stored.empty()) return {};
  std::ifstream in(stored.front().path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace testing_support
