// The replay on the disk, and the settings it carries; the layout is in
// replay_layout.cpp.
#include "replay/replay_file.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <sstream>
#include <type_traits>
#include <utility>

#include "config/settings.h"
#include "platform/atomic_file.h"
#include "platform/checked_file.h"

namespace vtr {

std::vector<SettingValue> CaptureSettings() {
  std::vector<SettingValue> values;
  values.reserve(32);
  ForEachSettingsEntry(std::as_const(Settings::Instance()),
                       [&values](const char*, const auto& member) { values.emplace_back(member); });
  return values;
}

void ApplySettings(const std::vector<SettingValue>& values) {
  Settings& settings = Settings::Instance();
  std::size_t i = 0;
  ForEachSettingsEntry(settings, [&](const char* key, auto& member) {
    using T = std::decay_t<decltype(member)>;
    const std::size_t index = i++;
    if (index >= values.size() || !std::holds_alternative<T>(values[index])) return;
    if (std::strcmp(key, "ScoreFile") == 0 || std::strcmp(key, "SettingsFile") == 0) return;
    member = std::get<T>(values[index]);
  });
}

namespace {

// Settings that do not decide how a recorded round plays.
constexpr const char* kNotPlay[] = {"StartingNumberRockets", "ExplosionAlphaStart", "RocketsRemainingWarning1",
                                    "RocketsRemainingWarning2", "ScoreFile", "SettingsFile", "ShowSplash",
                                    "SplashTime", "VolumeMusic", "VolumeSound"};

bool DecidesPlay(const char* key) {
  return std::none_of(std::begin(kNotPlay), std::end(kNotPlay), [key](const char* k) { return std::strcmp(k, key) == 0; });
}

}  // namespace

std::vector<std::string> SettingsOtherThanDefaults(const std::vector<SettingValue>& values) {
  std::vector<std::string> changed;
  std::size_t i = 0;
  ForEachSettingsEntry(Settings::Defaults(), [&](const char* key, const auto& member) {
    using T = std::decay_t<decltype(member)>;
    const std::size_t index = i++;
    if (index >= values.size() || !std::holds_alternative<T>(values[index])) return;
    if (!DecidesPlay(key)) return;
    const T& value = std::get<T>(values[index]);
    if (value == member) return;
    std::ostringstream text;
    text << key << ' ' << value;
    changed.push_back(text.str());
  });
  return changed;
}

std::vector<SettingValue> WithDefaultPlay(std::vector<SettingValue> values) {
  std::size_t i = 0;
  ForEachSettingsEntry(Settings::Defaults(), [&](const char* key, const auto& member) {
    const std::size_t index = i++;
    if (index < values.size() && DecidesPlay(key)) values[index] = member;
  });
  return values;
}

ReplayError ReadReplayFile(const std::string& path, Replay* out, std::string* error) {
  // Only a regular file is read: a FIFO would wait for ever for a writer, and
  // a device could feed bytes without end.
  platform::CheckedFile file = platform::CheckedFile::OpenForReading(path, false);
  if (!file.IsOpen()) {
    if (error) {
      *error = file.Status() == platform::OpenStatus::NotRegular ? path + " is not a regular file"
                                                                 : "cannot open " + path;
    }
    return ReplayError::Unreadable;
  }
  std::string bytes;
  bool larger = file.Size() > kReplayMaxFileBytes;  // refused unread; or grown while read
  if (!larger && !file.ReadUpTo(kReplayMaxFileBytes, &bytes, &larger)) {
    if (error) *error = "cannot read " + path;
    return ReplayError::Unreadable;
  }
  if (larger) {
    if (error) *error = "file at offset 0: larger than " + std::to_string(kReplayMaxFileBytes) + " bytes";
    return ReplayError::Malformed;
  }
  return ParseReplay(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), out, error);
}

bool WriteReplayFile(const std::string& path, const Replay& replay) {
  const std::vector<std::uint8_t> bytes = SerializeReplay(replay);
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return platform::WriteFileAtomically(path, text).ok;
}

}  // namespace vtr
