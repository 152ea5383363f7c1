// The settings file as the game writes it with every default, kept once in
// tests/support/default_settings.vtr for the tests and for the scripts that
// play the game under X.
#pragma once

#include <string>

namespace testing_support {

// The 32 lines of the default settings file.
std::string DefaultSettingsText();

// The default settings file with values replaced by key, as pairs of words:
// "StartingTime 5 ShowSplash 0". A later pair for a key wins.
std::string SettingsText(const std::string& changes);

}  // namespace testing_support
