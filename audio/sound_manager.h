// Named sounds. The game registers each of its sounds once under a name and
// keeps plain pointers to the entries, which the manager owns and never
// removes. An entry remembers only its latest play: playing it again while an
// earlier play still sounds leaves the earlier one running out of reach.
// Looking up a name that was never registered (say its file failed to load)
// gives a shared silent entry, so callers never need to test what they get;
// and with no working audio system every operation quietly does nothing.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio.h"

class HGE;

namespace vtr {

// One registered sound, its volume and the channel of its latest play.
struct SoundEntry {
  // Starts the sound from its beginning on a free channel at the entry's volume.
  void Play();
  // Stores the volume (unclamped) and applies it at once to the latest play.
  void SetVolume(float newVolume);
  // Whether the latest play is still sounding; false before the first play.
  bool IsPlaying();

  audio::System* system = nullptr;  // copied from the manager
  audio::Sound* sound = nullptr;    // null only for the silent entry
  audio::Channel channel;           // latest play; empty until the first
  float volume = 1.0f;              // 0 silent to 1 full
};

class SoundManager {
 public:
  // The one manager, made on first use and never destroyed.
  static SoundManager& Instance();
  // Loads fileName (streamed when stream is true) under name; false, and
  // nothing loaded, when the name is taken or the file cannot be loaded.
  bool Register(const std::string& fileName, const std::string& name, bool stream);
  // The entry under name, or the shared silent entry when there is none.
  SoundEntry* Find(const std::string& name);
  // Per-frame upkeep of the audio system; nothing when there is none.
  void Update();
  // Mutes or unmutes music and effects together; every entry keeps its
  // volume. Remembered also without an audio system.
  void SetMuted(bool muted);
  bool Muted() const { return muted_; }

  // Made and initialised by the entry point; null until then.
  audio::System* system = nullptr;
  // The registry, by name (case-sensitive); owns the entries.
  std::map<std::string, std::unique_ptr<SoundEntry>> sounds;

 private:
  SoundManager() = default;
  SoundEntry silent_;
  bool muted_ = false;
};

// Plays one entry of list, picked with the engine's random numbers; nothing
// for an empty list.
void PlayRandom(HGE* hge, const std::vector<SoundEntry*>& list);

}  // namespace vtr
