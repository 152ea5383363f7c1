#include "audio/sound_manager.h"

#include "platform/hge.h"

namespace vtr {

void SoundEntry::Play() {
  // The silent entry, or no audio system: nothing to start.
  if (system == nullptr || sound == nullptr) return;
  // The play starts paused so that its volume is set before anything is heard.
  system->playSound(audio::kChannelFree, sound, true, &channel);
  channel.setVolume(volume);
  channel.setPaused(false);
}

void SoundEntry::SetVolume(float newVolume) {
  volume = newVolume;
  if (!channel.empty()) channel.setVolume(volume);
}

bool SoundEntry::IsPlaying() {
  if (channel.empty()) return false;
  bool playing = false;
  channel.isPlaying(&playing);
  return playing;
}

SoundManager& SoundManager::Instance() {
  static SoundManager* manager = new SoundManager();  // never destroyed
  return *manager;
}

bool SoundManager::Register(const std::string& fileName, const std::string& name, bool stream) {
  if (sounds.count(name) != 0) return false;
  if (system == nullptr) return false;
  auto entry = std::make_unique<SoundEntry>();
  entry->system = system;
  const int result = stream
      ? system->createStream(fileName.c_str(), audio::kModeDefault, nullptr, &entry->sound)
      : system->createSound(fileName.c_str(), audio::kModeDefault, nullptr, &entry->sound);
  if (result != audio::kOk || entry->sound == nullptr) return false;
  sounds.emplace(name, std::move(entry));
  return true;
}

SoundEntry* SoundManager::Find(const std::string& name) {
  auto found = sounds.find(name);
  return found != sounds.end() ? found->second.get() : &silent_;
}

void SoundManager::Update() {
  if (system != nullptr) system->update();
}

void SoundManager::SetMuted(bool muted) {
  muted_ = muted;
  if (system != nullptr) system->setMute(muted);
}

void PlayRandom(HGE* hge, const std::vector<SoundEntry*>& list) {
  if (hge == nullptr || list.empty()) return;
  const int last = static_cast<int>(list.size()) - 1;
  const int index = hge->Random_Int(0, last);
  // Guard the index: a generator out of its bounds must not read past the list.
  if (index < 0 || index > last || list[static_cast<size_t>(index)] == nullptr) return;
  list[static_cast<size_t>(index)]->Play();
}

}  // namespace vtr
