// The audio library: one system object, sounds made from files (loaded whole
// or streamed), and channels that play them. Every call returns a result
// code, 0 for success; every call on a system that failed to create or to
// initialise fails and does nothing. The SDL2_mixer implementation lives in
// platform/audio_sdl.cpp.
#pragma once

#include <cstdint>
#include <memory>

namespace audio {

enum Result : int {
  kOk = 0,
  kErrNotReady = 1,      // the system was not created or not initialised
  kErrInitFailed = 2,    // no audio device could be opened
  kErrFile = 3,          // missing or undecodable file
  kErrNoChannel = 4,     // all channels are busy
  kErrInvalidHandle = 5, // a null sound or a channel handle of a finished play
  kErrInvalidParam = 6,
  kErrPlayback = 7,      // the mixer refused to start a play
};

inline constexpr unsigned kModeDefault = 0;  // no looping, 2D
inline constexpr int kChannelFree = -1;      // "any free channel"

class System;
class Sound;

// A handle to one play of a sound. It outlives the play: once the sound has
// ended and its mixer channel serves another play, the old handle reports
// isPlaying false and its calls change nothing. A default handle is empty.
class Channel {
 public:
  Channel() = default;
  // Sets the volume of this play; below 0 is silence, above 1 full volume.
  int setVolume(float volume);
  // Unpausing starts the play; not one sample is heard before it.
  int setPaused(bool paused);
  // playing receives false once the play has ended (or the handle is stale).
  int isPlaying(bool* playing);
  // volume receives the level of this play, clamped to 0..1.
  int getVolume(float* volume);
  // True for a handle that was never given a play.
  bool empty() const { return system_ == nullptr; }
  // Two handles are equal when they name the same play.
  bool operator==(const Channel&) const = default;

 private:
  friend class System;
  System* system_ = nullptr;
  int slot_ = -1;
  std::uint32_t generation_ = 0;
};

class System {
 public:
  // Opens the audio device with maxChannels mixer channels (512-sample buffer,
  // float samples) and a master limiter that keeps the output under full scale.
  // Only one system can hold the device at a time; a failed init is final.
  int init(int maxChannels, unsigned flags, void* extraDriverData);
  // Loads the whole file (effects). Sounds belong to the system.
  int createSound(const char* name, unsigned mode, void* exinfo, Sound** sound);
  // Streams the file (music).
  int createStream(const char* name, unsigned mode, void* exinfo, Sound** sound);
  // Starts the sound at its beginning on a free channel (channelIndex must be
  // kChannelFree), paused when asked; fails with kErrNoChannel when every
  // channel is busy. A stream plays on the one music channel. The handle is
  // left empty on failure; channel may be null.
  int playSound(int channelIndex, Sound* sound, bool paused, Channel* channel);
  // Per-frame upkeep: frees the channels of finished plays.
  int update();
  // Silences every play, music and effects, now and to come, without
  // touching their volumes; unmuting gives each its volume back.
  int setMute(bool mute);

  // Stops every play, frees every sound and closes the device.
  ~System();
  System(const System&) = delete;
  System& operator=(const System&) = delete;

 private:
  friend class Channel;
  friend int System_Create(System** system);
  System();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Creates the one system object. Fails (non-zero, system null) when SDL's
// audio subsystem cannot be started.
int System_Create(System** system);

}  // namespace audio
