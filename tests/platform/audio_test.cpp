// The audio layer on the real SDL_mixer: the dummy driver for the channel
// rules, the disk driver where the samples that really come out matter.
#include "platform/audio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_file.h"

namespace {

using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteToneWav;

std::unique_ptr<audio::System> ReadySystem(int channels) {
  audio::System* made = nullptr;
  EXPECT_EQ(audio::System_Create(&made), audio::kOk);
  std::unique_ptr<audio::System> system(made);
  if (system) {
    EXPECT_EQ(system->init(channels, 0, nullptr), audio::kOk);
  }
  return system;
}

bool Playing(audio::Channel& channel) {
  bool playing = false;
  channel.isPlaying(&playing);
  return playing;
}

// Runs the frame upkeep until the play is over; false if it never ends.
bool WaitUntilOver(audio::System& system, audio::Channel& channel) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    system.update();
    if (!Playing(channel)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

// Waits until the disk driver has written at least `bytes` of mixed output.
bool WaitForOutput(const std::filesystem::path& file, std::uintmax_t bytes) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    std::error_code ignored;
    if (std::filesystem::file_size(file, ignored) >= bytes && !ignored) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

std::vector<std::int16_t> ReadSamples(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::int16_t> samples(bytes.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    const auto low = static_cast<std::uint8_t>(bytes[2 * i]);
    const auto high = static_cast<std::uint8_t>(bytes[2 * i + 1]);
    samples[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(low | (high << 8)));
  }
  return samples;
}

bool AnySound(const std::vector<std::int16_t>& samples) {
  for (std::int16_t sample : samples) {
    if (sample != 0) return true;
  }
  return false;
}

TEST(Audio, StaleHandleAfterReuseIsOverAndChangesNothing) {
  TempDir dir;
  ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
  WriteToneWav("blip.wav", 0.01f);
  WriteToneWav("long.wav", 2.0f);
  auto system = ReadySystem(1);  // one channel: the second play must reuse it
  audio::Sound* blip = nullptr;
  audio::Sound* longTone = nullptr;
  ASSERT_EQ(system->createSound("blip.wav", audio::kModeDefault, nullptr, &blip), audio::kOk);
  ASSERT_EQ(system->createSound("long.wav", audio::kModeDefault, nullptr, &longTone), audio::kOk);

  audio::Channel first;
  ASSERT_EQ(system->playSound(audio::kChannelFree, blip, false, &first), audio::kOk);
  ASSERT_TRUE(WaitUntilOver(*system, first));

  audio::Channel second;
  ASSERT_EQ(system->playSound(audio::kChannelFree, longTone, true, &second), audio::kOk);
  EXPECT_FALSE(second == first);
  EXPECT_TRUE(Playing(second));

  bool playing = true;
  EXPECT_EQ(first.isPlaying(&playing), audio::kErrInvalidHandle);
  EXPECT_FALSE(playing);
  EXPECT_EQ(first.setVolume(0.1f), audio::kErrInvalidHandle);
  EXPECT_EQ(first.setPaused(false), audio::kErrInvalidHandle);
  float volume = -1.0f;
  ASSERT_EQ(second.getVolume(&volume), audio::kOk);
  EXPECT_EQ(volume, 1.0f);
  EXPECT_TRUE(Playing(second));  // still held: the stale unpause did not start it

  // Out-of-range volumes: below 0 is silence, above 1 full volume.
  ASSERT_EQ(second.setVolume(1.2f), audio::kOk);
  second.getVolume(&volume);
  EXPECT_EQ(volume, 1.0f);
  ASSERT_EQ(second.setVolume(-0.5f), audio::kOk);
  second.getVolume(&volume);
  EXPECT_EQ(volume, 0.0f);
}

TEST(Audio, PlaySoundFailsCleanlyWhenEveryChannelIsBusy) {
  TempDir dir;
  ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
  WriteToneWav("blip.wav", 0.01f);
  auto system = ReadySystem(3);
  audio::Sound* blip = nullptr;
  audio::Sound* music = nullptr;
  ASSERT_EQ(system->createSound("blip.wav", audio::kModeDefault, nullptr, &blip), audio::kOk);
  ASSERT_EQ(system->createStream("blip.wav", audio::kModeDefault, nullptr, &music), audio::kOk);

  audio::Channel held[3];
  for (auto& channel : held) {
    ASSERT_EQ(system->playSound(audio::kChannelFree, blip, true, &channel), audio::kOk);
  }
  audio::Channel refused;
  EXPECT_EQ(system->playSound(audio::kChannelFree, blip, true, &refused), audio::kErrNoChannel);
  EXPECT_TRUE(refused.empty());
  for (auto& channel : held) EXPECT_TRUE(Playing(channel));

  // The stream has a channel of its own, and only one.
  audio::Channel tune;
  audio::Channel secondTune;
  ASSERT_EQ(system->playSound(audio::kChannelFree, music, false, &tune), audio::kOk);
  EXPECT_EQ(system->playSound(audio::kChannelFree, music, false, &secondTune), audio::kErrNoChannel);
  ASSERT_TRUE(WaitUntilOver(*system, tune));
  EXPECT_EQ(system->playSound(audio::kChannelFree, music, false, &secondTune), audio::kOk);

  // A finished play gives its channel back.
  ASSERT_EQ(held[1].setPaused(false), audio::kOk);
  ASSERT_TRUE(WaitUntilOver(*system, held[1]));
  EXPECT_EQ(system->playSound(audio::kChannelFree, blip, true, &refused), audio::kOk);
  EXPECT_TRUE(Playing(refused));
  EXPECT_TRUE(Playing(held[0]));
  EXPECT_TRUE(Playing(held[2]));
}

TEST(Audio, PausedPlayIsSilentUntilUnpaused) {
  TempDir dir;
  WriteToneWav("tone.wav", 0.1f);
  ScopedEnv driver("SDL_AUDIODRIVER", "disk");

  // A held play and a play at a volume below 0: nothing may come out.
  const auto quiet = dir.path() / "quiet.raw";
  {
    ScopedEnv file("SDL_DISKAUDIOFILE", quiet.string());
    auto system = ReadySystem(4);
    audio::Sound* tone = nullptr;
    ASSERT_EQ(system->createSound("tone.wav", audio::kModeDefault, nullptr, &tone), audio::kOk);
    audio::Channel held;
    audio::Channel muted;
    ASSERT_EQ(system->playSound(audio::kChannelFree, tone, true, &held), audio::kOk);
    ASSERT_EQ(system->playSound(audio::kChannelFree, tone, true, &muted), audio::kOk);
    muted.setVolume(-1.0f);
    ASSERT_EQ(muted.setPaused(false), audio::kOk);
    ASSERT_TRUE(WaitUntilOver(*system, muted));
    ASSERT_TRUE(WaitForOutput(quiet, 64 * 1024));
    EXPECT_TRUE(Playing(held));
  }  // closing the device flushes the file
  const auto silent = ReadSamples(quiet);
  EXPECT_GE(silent.size(), 32u * 1024u);
  EXPECT_FALSE(AnySound(silent));

  // The same play, unpaused, is heard.
  const auto loud = dir.path() / "loud.raw";
  {
    ScopedEnv file("SDL_DISKAUDIOFILE", loud.string());
    auto system = ReadySystem(4);
    audio::Sound* tone = nullptr;
    ASSERT_EQ(system->createSound("tone.wav", audio::kModeDefault, nullptr, &tone), audio::kOk);
    audio::Channel channel;
    ASSERT_EQ(system->playSound(audio::kChannelFree, tone, true, &channel), audio::kOk);
    ASSERT_EQ(channel.setPaused(false), audio::kOk);
    ASSERT_TRUE(WaitUntilOver(*system, channel));
  }
  EXPECT_TRUE(AnySound(ReadSamples(loud)));
}

TEST(Audio, SystemThatFailedRefusesEveryCall) {
  TempDir dir;
  ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
  WriteToneWav("tone.wav", 0.1f);

  {
    ScopedEnv noDriver("SDL_AUDIODRIVER", "no-such-driver");
    audio::System* none = reinterpret_cast<audio::System*>(&dir);
    EXPECT_NE(audio::System_Create(&none), audio::kOk);
    EXPECT_EQ(none, nullptr);
  }

  auto expectRefusal = [](audio::System& system) {
    audio::Sound* sound = reinterpret_cast<audio::Sound*>(&system);
    EXPECT_EQ(system.createSound("tone.wav", audio::kModeDefault, nullptr, &sound), audio::kErrNotReady);
    EXPECT_EQ(sound, nullptr);
    EXPECT_EQ(system.createStream("tone.wav", audio::kModeDefault, nullptr, &sound), audio::kErrNotReady);
    EXPECT_EQ(sound, nullptr);
    audio::Channel channel;
    EXPECT_EQ(system.playSound(audio::kChannelFree, nullptr, false, &channel), audio::kErrNotReady);
    EXPECT_TRUE(channel.empty());
    EXPECT_EQ(system.update(), audio::kErrNotReady);
  };

  {
    // The disk driver cannot open a file in a missing folder: no device.
    ScopedEnv diskDriver("SDL_AUDIODRIVER", "disk");
    ScopedEnv file("SDL_DISKAUDIOFILE", (dir.path() / "missing" / "out.raw").string());
    audio::System* made = nullptr;
    ASSERT_EQ(audio::System_Create(&made), audio::kOk);
    std::unique_ptr<audio::System> failed(made);
    EXPECT_EQ(failed->init(100, 0, nullptr), audio::kErrInitFailed);
    expectRefusal(*failed);
    EXPECT_NE(failed->init(100, 0, nullptr), audio::kOk);  // a failed start is final
  }

  // Created but never initialised.
  audio::System* made = nullptr;
  ASSERT_EQ(audio::System_Create(&made), audio::kOk);
  std::unique_ptr<audio::System> fresh(made);
  expectRefusal(*fresh);
  EXPECT_EQ(fresh->init(100, 0, nullptr), audio::kOk);
  audio::Sound* sound = nullptr;
  EXPECT_EQ(fresh->createSound("tone.wav", audio::kModeDefault, nullptr, &sound), audio::kOk);
}

TEST(Audio, MissingOrGarbageFileFailsToLoad) {
  TempDir dir;
  ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
  dir.Write("garbage.wav", std::string(4096, '\x5a'));
  dir.Write("empty.mp3", "");
  auto system = ReadySystem(4);
  for (const char* name : {"missing.wav", "garbage.wav", "empty.mp3"}) {
    audio::Sound* sound = reinterpret_cast<audio::Sound*>(&dir);
    EXPECT_EQ(system->createSound(name, audio::kModeDefault, nullptr, &sound), audio::kErrFile) << name;
    EXPECT_EQ(sound, nullptr) << name;
    sound = reinterpret_cast<audio::Sound*>(&dir);
    EXPECT_EQ(system->createStream(name, audio::kModeDefault, nullptr, &sound), audio::kErrFile) << name;
    EXPECT_EQ(sound, nullptr) << name;
  }
}

}  // namespace
