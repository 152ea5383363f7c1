// The settings file holds 32 lines of "Key value" in a fixed order. It is
// read by position only: the first word of a line is skipped whatever it
// says, and the value goes to the member of that line, so any whitespace
// separates the words. The first value that cannot be read puts the stream
// in its failed state, and from there on nothing more is read: that member
// and all later ones keep the values they had before (the defaults at
// start-up, the previous load's values later). The file is written only when
// it cannot be opened for reading, so a missing file is re-created from the
// values in memory.
#include "config/settings.h"

#include <fstream>
#include <istream>
#include <ostream>

namespace vtr {
namespace {

// Skips the key word, then reads the value with the stream's own extraction
// for the member's type (a bool as 0 or 1). The value goes through a scratch
// variable: a failed extraction stores 0 or a limit by the stream's rules,
// and the member must keep its old value instead.
template <typename T>
void ReadEntry(std::istream& in, T& member) {
  std::string key;
  T value{};
  if (in >> key >> value) member = value;
}

}  // namespace

Settings& Settings::Instance() {
  static Settings* instance = new Settings();
  return *instance;
}

void Settings::Load() {
  std::ifstream in(SettingsFile);
  if (!in.is_open()) {
    Save();
    return;
  }
  ForEachSettingsEntry(*this, [&in](const char*, auto& member) { ReadEntry(in, member); });
}

void Settings::Save() {
  std::ofstream out(SettingsFile);
  if (!out.is_open()) return;
  ForEachSettingsEntry(*this, [&out](const char* key, const auto& member) {
    out << key << ' ' << member << std::endl;
  });
}

}  // namespace vtr
