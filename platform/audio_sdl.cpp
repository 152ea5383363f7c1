// The audio library over SDL2_mixer.
//
// Every play owns a slot of our own table: one slot per mixer channel, plus
// one for the mixer's single music stream. A slot is free, held or playing.
// A held play is a paused play that has not been handed to the mixer yet, so
// not one sample of it can be heard until it is unpaused; a playing one has
// been given to the mixer on the mixer channel of the same index (we pick the
// channel, never the mixer). The mixer reports the end of a play from its
// audio thread; that callback only raises an atomic flag for the slot. The
// flag is read, and the slot freed, only on the caller's thread, and freeing
// a slot bumps its generation: a handle carries slot and generation, so the
// handle of an older play no longer matches once its slot serves another
// play, and its calls report the play as over and change nothing.
//
// The device is opened with float samples, so the mixer's sum of many loud
// plays is kept whole instead of being clipped to 16 bits; the master
// limiter (platform/audio_limiter.h) in the mixer's post-mix hook then brings
// it under full scale, and SDL converts to whatever the hardware takes.
// NOTE: this relies on SDL adding float samples without clamping them to
// -1..1, as SDL 2.26 does; a mixer that clamps would clip before the limiter.
#include "platform/audio.h"

#include "platform/folders.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <atomic>
#include <cmath>
#include <vector>

#include "platform/audio_limiter.h"
#include "platform/checked_file.h"
#include "platform/log.h"

namespace audio {

// A sound made from a file: loaded whole (chunk) or streamed (music).
class Sound {
 public:
  Mix_Chunk* chunk = nullptr;
  Mix_Music* music = nullptr;
  System* owner = nullptr;
};

namespace {

constexpr int kMaxChannels = 4096;
constexpr int kSampleRate = 44100;
constexpr int kBufferSamples = 512;

// The end flags of the system holding the device, one per slot, the music
// slot last. Published before the mixer callbacks are registered, which
// takes the mixer's lock, and withdrawn after they are unregistered.
std::atomic<std::atomic<bool>*> g_ended{nullptr};
std::atomic<int> g_musicSlot{0};

// SDL_mixer has one device per process: the system that opened it.
System* g_deviceOwner = nullptr;

// Runs on the mixer's audio thread, after every channel has been summed.
void LimitOutput(void* data, Uint8* stream, int bytes) {
  auto* limiter = static_cast<Limiter*>(data);
  const int frameBytes = static_cast<int>(sizeof(float)) * limiter->Channels();
  limiter->Process(reinterpret_cast<float*>(stream), bytes / frameBytes);
}

// Runs on the mixer's audio thread (or inside a halt call).
void OnChannelFinished(int channel) {
  std::atomic<bool>* ended = g_ended.load(std::memory_order_acquire);
  if (ended != nullptr && channel >= 0 && channel < g_musicSlot.load(std::memory_order_relaxed)) {
    ended[channel].store(true, std::memory_order_release);
  }
}

// Runs on the mixer's audio thread (or inside a halt call).
void OnMusicFinished() {
  std::atomic<bool>* ended = g_ended.load(std::memory_order_acquire);
  if (ended != nullptr) {
    ended[g_musicSlot.load(std::memory_order_relaxed)].store(true, std::memory_order_release);
  }
}

// Below 0 (or not a number) is silence, above 1 full volume.
float ClampVolume(float volume) {
  if (!(volume > 0.0f)) return 0.0f;
  return volume > 1.0f ? 1.0f : volume;
}

int MixerVolume(float clamped) {
  return static_cast<int>(std::lround(clamped * static_cast<float>(MIX_MAX_VOLUME)));
}

enum class SlotState : unsigned char { kFree, kHeld, kPlaying };

struct Slot {
  SlotState state = SlotState::kFree;
  std::uint32_t generation = 0;  // bumped (wrapping) each time the slot is freed
  Sound* sound = nullptr;
  float volume = 1.0f;  // clamped
  bool paused = false;  // a playing slot paused by the caller
};

}  // namespace

struct System::Impl {
  enum class Stage { kCreated, kReady, kFailed };

  Stage stage = Stage::kCreated;
  bool subsystemUp = false;
  std::vector<Slot> slots;  // mixer channels, then the music slot
  std::unique_ptr<std::atomic<bool>[]> ended;
  std::vector<std::unique_ptr<Sound>> sounds;
  std::unique_ptr<Limiter> limiter;  // hooked into the mixer while the device is open
  int cursor = 0;

  bool muted = false;

  bool Ready() const { return stage == Stage::kReady; }
  // The mixer's level for a play at this volume.
  int Level(float volume) const { return muted ? 0 : MixerVolume(volume); }
  int MusicSlot() const { return static_cast<int>(slots.size()) - 1; }

  void Release(int index) {
    Slot& slot = slots[static_cast<size_t>(index)];
    slot.state = SlotState::kFree;
    slot.generation += 1;  // wraps; only equality matters
    slot.sound = nullptr;
    slot.paused = false;
  }

  // Frees the slot when the mixer has reported its play over.
  void Reap(int index) {
    if (slots[static_cast<size_t>(index)].state == SlotState::kPlaying &&
        ended[static_cast<size_t>(index)].load(std::memory_order_acquire)) {
      Release(index);
    }
  }

  // The slot of a handle's play, or null when the play is over.
  Slot* Live(int index, std::uint32_t generation) {
    if (index < 0 || index > MusicSlot()) return nullptr;
    Reap(index);
    Slot& slot = slots[static_cast<size_t>(index)];
    if (slot.state == SlotState::kFree || slot.generation != generation) return nullptr;
    return &slot;
  }

  // Hands a held play to the mixer.
  int Start(int index) {
    Slot& slot = slots[static_cast<size_t>(index)];
    slot.state = SlotState::kPlaying;
    slot.paused = false;
    ended[static_cast<size_t>(index)].store(false, std::memory_order_release);
    const int volume = Level(slot.volume);
    if (slot.sound->music != nullptr) {
      Mix_VolumeMusic(volume);
      if (Mix_PlayMusic(slot.sound->music, 1) != 0) {
        Release(index);
        return kErrPlayback;
      }
      return kOk;
    }
    // The mixer never reports the end of an empty chunk: it is over at once.
    if (slot.sound->chunk->alen == 0) {
      Release(index);
      return kOk;
    }
    Mix_Volume(index, volume);
    if (Mix_PlayChannel(index, slot.sound->chunk, 0) < 0) {
      Release(index);
      return kErrPlayback;
    }
    return kOk;
  }

  int FreeChannel() {
    const int count = MusicSlot();
    for (int step = 0; step < count; ++step) {
      const int index = (cursor + step) % count;
      Reap(index);
      if (slots[static_cast<size_t>(index)].state == SlotState::kFree) {
        cursor = (index + 1) % count;
        return index;
      }
    }
    return -1;
  }

  int Load(System* owner, const char* name, unsigned mode, bool stream, Sound** sound) {
    if (sound == nullptr) return kErrInvalidParam;
    *sound = nullptr;
    if (!Ready()) return kErrNotReady;
    if (name == nullptr || mode != kModeDefault) return kErrInvalidParam;
    auto made = std::make_unique<Sound>();
    made->owner = owner;
    const std::string path = vtr::ContentPath(name);
    // Only a regular file reaches the decoders (a FIFO or a device is
    // refused and logged by the open).
    SDL_RWops* source = platform::OpenCheckedRWops(path.c_str());
    if (source == nullptr) {
      platform::Log("Cannot load sound %s: not a readable regular file", path.c_str());
      return kErrFile;
    }
    if (stream) {
      made->music = Mix_LoadMUS_RW(source, 1);
    } else {
      made->chunk = Mix_LoadWAV_RW(source, 1);
    }
    if (made->music == nullptr && made->chunk == nullptr) {
      platform::Log("Cannot load sound %s: %s", path.c_str(), Mix_GetError());
      return kErrFile;
    }
    *sound = made.get();
    sounds.push_back(std::move(made));
    return kOk;
  }

  void Close() {
    // No callback may run once these return: each takes the mixer's lock.
    Mix_SetPostMix(nullptr, nullptr);
    Mix_ChannelFinished(nullptr);
    Mix_HookMusicFinished(nullptr);
    Mix_HaltChannel(-1);
    Mix_HaltMusic();
    for (auto& sound : sounds) {
      if (sound->chunk != nullptr) Mix_FreeChunk(sound->chunk);
      if (sound->music != nullptr) Mix_FreeMusic(sound->music);
    }
    sounds.clear();
    Mix_CloseAudio();
    Mix_Quit();
    limiter.reset();
    g_ended.store(nullptr, std::memory_order_release);
  }

  // Puts the limiter on the mixer's output. The device's rate and channel
  // count may differ from what was asked; its sample format may not.
  void HookLimiter() {
    int rate = 0;
    Uint16 format = 0;
    int channels = 0;
    if (Mix_QuerySpec(&rate, &format, &channels) == 0 || format != AUDIO_F32SYS || rate < 1 || channels < 1) {
      SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION, "The audio device has no float output: no limiter");
      return;
    }
    limiter = std::make_unique<Limiter>(rate, channels);
    Mix_SetPostMix(LimitOutput, limiter.get());
  }
};

System::System() : impl_(std::make_unique<Impl>()) {}

System::~System() {
  if (impl_->Ready()) {
    impl_->Close();
    g_deviceOwner = nullptr;
  }
  if (impl_->subsystemUp) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

int System_Create(System** system) {
  if (system == nullptr) return kErrInvalidParam;
  *system = nullptr;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION, "Cannot start SDL audio: %s", SDL_GetError());
    return kErrInitFailed;
  }
  *system = new System();
  (*system)->impl_->subsystemUp = true;
  return kOk;
}

int System::init(int maxChannels, unsigned /*flags*/, void* /*extraDriverData*/) {
  Impl& impl = *impl_;
  if (impl.stage == Impl::Stage::kReady) return kErrInvalidParam;
  if (impl.stage == Impl::Stage::kFailed) return kErrNotReady;
  if (maxChannels < 1 || maxChannels > kMaxChannels) return kErrInvalidParam;
  if (g_deviceOwner != nullptr) {
    SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION, "The audio device is held by another system");
    impl.stage = Impl::Stage::kFailed;
    return kErrInitFailed;
  }
  if ((Mix_Init(MIX_INIT_MP3) & MIX_INIT_MP3) == 0) {
    SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION, "No MP3 decoder: %s", Mix_GetError());
  }
  if (Mix_OpenAudio(kSampleRate, AUDIO_F32SYS, 2, kBufferSamples) != 0) {
    SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION, "Cannot open the audio device: %s", Mix_GetError());
    Mix_Quit();
    impl.stage = Impl::Stage::kFailed;
    return kErrInitFailed;
  }
  if (Mix_AllocateChannels(maxChannels) != maxChannels) {
    SDL_LogWarn(SDL_LOG_CATEGORY_APPLICATION, "Cannot allocate %d mixer channels", maxChannels);
    Mix_CloseAudio();
    Mix_Quit();
    impl.stage = Impl::Stage::kFailed;
    return kErrInitFailed;
  }
  const auto slotCount = static_cast<size_t>(maxChannels) + 1;
  impl.slots.assign(slotCount, Slot{});
  impl.ended = std::make_unique<std::atomic<bool>[]>(slotCount);
  g_musicSlot.store(maxChannels, std::memory_order_relaxed);
  g_ended.store(impl.ended.get(), std::memory_order_release);
  Mix_ChannelFinished(OnChannelFinished);
  Mix_HookMusicFinished(OnMusicFinished);
  impl.HookLimiter();
  g_deviceOwner = this;
  impl.stage = Impl::Stage::kReady;
  return kOk;
}

int System::createSound(const char* name, unsigned mode, void* /*exinfo*/, Sound** sound) {
  return impl_->Load(this, name, mode, false, sound);
}

int System::createStream(const char* name, unsigned mode, void* /*exinfo*/, Sound** sound) {
  return impl_->Load(this, name, mode, true, sound);
}

int System::playSound(int channelIndex, Sound* sound, bool paused, Channel* channel) {
  Impl& impl = *impl_;
  if (channel != nullptr) *channel = Channel{};
  if (!impl.Ready()) return kErrNotReady;
  if (channelIndex != kChannelFree) return kErrInvalidParam;
  if (sound == nullptr) return kErrInvalidHandle;
  if (sound->owner != this) return kErrInvalidParam;

  int index = -1;
  if (sound->music != nullptr) {
    index = impl.MusicSlot();
    impl.Reap(index);
    if (impl.slots[static_cast<size_t>(index)].state != SlotState::kFree) return kErrNoChannel;
  } else {
    index = impl.FreeChannel();
    if (index < 0) return kErrNoChannel;
  }

  Slot& slot = impl.slots[static_cast<size_t>(index)];
  slot.state = SlotState::kHeld;
  slot.sound = sound;
  slot.volume = 1.0f;
  slot.paused = false;
  const std::uint32_t generation = slot.generation;
  if (!paused) {
    const int result = impl.Start(index);
    if (result != kOk) return result;
  }
  if (channel != nullptr) {
    channel->system_ = this;
    channel->slot_ = index;
    channel->generation_ = generation;
  }
  return kOk;
}

int System::update() {
  Impl& impl = *impl_;
  if (!impl.Ready()) return kErrNotReady;
  for (int index = 0; index <= impl.MusicSlot(); ++index) impl.Reap(index);
  return kOk;
}

int System::setMute(bool mute) {
  Impl& impl = *impl_;
  if (!impl.Ready()) return kErrNotReady;
  impl.muted = mute;
  for (int index = 0; index <= impl.MusicSlot(); ++index) {
    const Slot& slot = impl.slots[static_cast<size_t>(index)];
    if (slot.state != SlotState::kPlaying) continue;
    if (index == impl.MusicSlot()) {
      Mix_VolumeMusic(impl.Level(slot.volume));
    } else {
      Mix_Volume(index, impl.Level(slot.volume));
    }
  }
  return kOk;
}

int Channel::setVolume(float volume) {
  if (system_ == nullptr) return kErrInvalidHandle;
  System::Impl& impl = *system_->impl_;
  if (!impl.Ready()) return kErrNotReady;
  Slot* slot = impl.Live(slot_, generation_);
  if (slot == nullptr) return kErrInvalidHandle;
  slot->volume = ClampVolume(volume);
  if (slot->state == SlotState::kPlaying) {
    if (slot->sound->music != nullptr) {
      Mix_VolumeMusic(impl.Level(slot->volume));
    } else {
      Mix_Volume(slot_, impl.Level(slot->volume));
    }
  }
  return kOk;
}

int Channel::setPaused(bool paused) {
  if (system_ == nullptr) return kErrInvalidHandle;
  System::Impl& impl = *system_->impl_;
  if (!impl.Ready()) return kErrNotReady;
  Slot* slot = impl.Live(slot_, generation_);
  if (slot == nullptr) return kErrInvalidHandle;
  if (slot->state == SlotState::kHeld) {
    return paused ? kOk : impl.Start(slot_);
  }
  if (slot->paused != paused) {
    const bool music = slot->sound->music != nullptr;
    if (music && paused) Mix_PauseMusic();
    if (music && !paused) Mix_ResumeMusic();
    if (!music && paused) Mix_Pause(slot_);
    if (!music && !paused) Mix_Resume(slot_);
    slot->paused = paused;
  }
  return kOk;
}

int Channel::isPlaying(bool* playing) {
  if (playing == nullptr) return kErrInvalidParam;
  *playing = false;
  if (system_ == nullptr) return kErrInvalidHandle;
  System::Impl& impl = *system_->impl_;
  if (!impl.Ready()) return kErrNotReady;
  if (impl.Live(slot_, generation_) == nullptr) return kErrInvalidHandle;
  *playing = true;  // held and paused plays count as playing
  return kOk;
}

int Channel::getVolume(float* volume) {
  if (volume == nullptr) return kErrInvalidParam;
  if (system_ == nullptr) return kErrInvalidHandle;
  System::Impl& impl = *system_->impl_;
  if (!impl.Ready()) return kErrNotReady;
  const Slot* slot = impl.Live(slot_, generation_);
  if (slot == nullptr) return kErrInvalidHandle;
  *volume = slot->volume;
  return kOk;
}

}  // namespace audio
