// The settings loader given any bytes as its file. Each input starts from the
// defaults, read back from a file written once at start-up, so a crash
// replays from its input alone whatever ran before it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/settings.h"
#include "tools/fuzz/fuzz_support.h"

namespace {

std::string g_defaults;
std::string g_input;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_defaults = fuzz::PathFor("Defaults.vtr");
  g_input = fuzz::PathFor("Settings.vtr");
  vtr::Settings& settings = vtr::Settings::Instance();
  settings.SettingsFile = g_defaults;
  settings.Save();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vtr::Settings& settings = vtr::Settings::Instance();
  settings.SettingsFile = g_defaults;
  settings.Load();

  // The file names the next settings file itself: it must not send a later
  // load (or the save after a failed open) anywhere outside the folder.
  fuzz::WriteFile(g_input, data, size);
  settings.SettingsFile = g_input;
  settings.Load();
  return 0;
}
