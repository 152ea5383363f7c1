// Today's challenge played by the real game headless, for the world table's
// tests: a quiet game in a folder of its own, a shot at a rising rocket now
// and then, and the replay the round left.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "app/app.h"

namespace testing_support {

// A game in folder (made when missing): settings in memory, fixed 0.1 s
// frames, no picture and no sound.
vtr::StartOptions QuietGameIn(const std::filesystem::path& folder);
// Aims and clicks at the first rocket still rising, for the next frame;
// false when there is none.
bool ShootARisingRocket();
// The bytes of the only replay beside the game's score file (an expectation
// fails when there is not exactly one).
std::vector<std::uint8_t> OnlyStoredReplay();

}  // namespace testing_support
