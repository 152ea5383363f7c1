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

#include <cmath>
#include <istream>
#include <sstream>

#include "platform/atomic_file.h"
#include "platform/checked_file.h"
#include "platform/log.h"

namespace vtr {
namespace {

// The 32 lines need a few hundred bytes; a path may stretch one to a few
// thousand. Whatever lies past this is never read.
constexpr std::size_t kMaxFileBytes = 16 * 1024;

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

// Holds value to [low, high], logging a change. Infinities and NaN never get
// here: the stream's extraction refuses them, which stops the reading.
void Hold(const char* key, float& value, float low, float high) {
  const float used = std::fmin(std::fmax(value, low), high);
  if (used == value) return;
  platform::Log("Settings: %s %g read, %g used", key, static_cast<double>(value), static_cast<double>(used));
  value = used;
}

void Hold(const char* key, std::int32_t& value, std::int32_t used) {
  if (used == value) return;
  platform::Log("Settings: %s %d read, %d used (the window's size)", key, value, used);
  value = used;
}

}  // namespace

Settings& Settings::Instance() {
  static Settings* instance = new Settings();
  return *instance;
}

void Settings::Load() {
  platform::CheckedFile file = platform::CheckedFile::OpenForReading(SettingsFile);
  if (!file.IsOpen()) {
    // A folder, FIFO or device of that name was refused (and logged): it is
    // no settings file to re-create.
    if (file.Status() != platform::OpenStatus::NotRegular) Save();
    return;
  }
  platform::BoundedFileBuffer buffer(file, kMaxFileBytes);
  std::istream in(&buffer);
  ForEachSettingsEntry(*this, [&in](const char*, auto& member) { ReadEntry(in, member); });
  HoldPlayableRanges();
}

void Settings::UseScreenSize(std::int32_t width, std::int32_t height) {
  windowWidth_ = width;
  windowHeight_ = height;
  HoldPlayableRanges();
}

// A multiplier step below 0 lets the multiplier, and with it a round's score,
// go negative; a huge one overflows every catch. A round or splash longer than
// a day never ends: single-precision steps of a frame no longer move the
// clock. Everything else a player may set stays as read.
void Settings::HoldPlayableRanges() {
  Hold("MultiplierAddition", MultiplierAddition, 0.0f, kMaxMultiplierStep);
  Hold("MultiplierDecreasePerSecond", MultiplierDecreasePerSecond, 0.0f, kMaxMultiplierStep);
  Hold("MultiplierRocketFirePenalty", MultiplierRocketFirePenalty, 0.0f, kMaxMultiplierStep);
  Hold("MultiplierPenaltyMin", MultiplierPenaltyMin, 0.0f, kMaxMultiplierStep);
  Hold("StartingTime", StartingTime, -HUGE_VALF, kMaxSeconds);
  Hold("SplashTime", SplashTime, -HUGE_VALF, kMaxSeconds);
  if (windowWidth_ > 0 && windowHeight_ > 0) {
    Hold("SystemScreenWidth", SystemScreenWidth, windowWidth_);
    Hold("SystemScreenHeight", SystemScreenHeight, windowHeight_);
  }
}

void Settings::Save() {
  std::ostringstream out;
  ForEachSettingsEntry(*this, [&out](const char* key, const auto& member) { out << key << ' ' << member << '\n'; });
  platform::AtomicWriteOptions options;
  options.inPlaceWhenFolderClosed = true;
  platform::WriteFileAtomically(SettingsFile, out.str(), options);
}

}  // namespace vtr
