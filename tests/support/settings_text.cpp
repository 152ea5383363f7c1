#include "tests/support/settings_text.h"

#include <fstream>
#include <sstream>

namespace testing_support {

std::string DefaultSettingsText() {
  std::ifstream in(std::string(VANTOR_SOURCE_DIR) + "/tests/support/default_settings.vtr", std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string SettingsText(const std::string& changes) {
  std::string text = DefaultSettingsText();
  std::istringstream pairs(changes);
  std::string key;
  std::string value;
  while (pairs >> key >> value) {
    // The line that starts with the key (BonusRocketScore is not RocketScore).
    const std::size_t found = ("\n" + text).find("\n" + key + " ");
    if (found == std::string::npos) continue;
    const std::size_t end = text.find('\n', found);
    text.replace(found, end - found, key + " " + value);
  }
  return text;
}

}  // namespace testing_support
