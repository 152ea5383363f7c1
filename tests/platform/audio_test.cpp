// The audio layer on the real SDL_mixer: the dummy driver for the channel
// rules, the disk driver where the samples that really come out matter.
#include "platform/audio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
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

using testing_support::ReadWav;
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

// The disk driver's file: the device's float samples as they left the mixer.
std::vector<float> ReadSamples(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<float> samples(bytes.size() / sizeof(float));
  std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
  return samples;
}

bool AnySound(const std::vector<float>& samples) {
  for (float sample : samples) {
    if (sample != 0) return true;
  }
  return false;
}

float Peak(const std::vector<float>& samples) {
  float peak = 0;
  for (float sample : samples) peak = std::max(peak, std::abs(sample));
  return peak;
}

// Samples that a 16-bit output would carry at full scale (32767 or beyond).
int AtFullScale(const std::vector<float>& samples) {
  int count = 0;
  for (float sample : samples) count += std::abs(sample) >= 32767.0f / 32768.0f ? 1 : 0;
  return count;
}

double Decibels(double ratio) { return 20.0 * std::log10(ratio); }

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
  EXPECT_GE(silent.size() * sizeof(float), 64u * 1024u);
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

// Plays the game's explosion sounds `count` at a time, all started in the
// same instant at full volume, and gives back what the device received.
std::vector<float> MixExplosions(const std::filesystem::path& out, int count) {
  std::vector<float> none;
  ScopedEnv file("SDL_DISKAUDIOFILE", out.string());
  auto system = ReadySystem(100);
  std::vector<audio::Sound*> explosions;
  for (const char* name : {"exp1.wav", "exp2.wav", "exp3.wav"}) {
    audio::Sound* sound = nullptr;
    const std::string path = std::string(VANTOR_SOURCE_DIR) + "/Content/" + name;
    EXPECT_EQ(system->createSound(path.c_str(), audio::kModeDefault, nullptr, &sound), audio::kOk) << path;
    if (sound == nullptr) return none;
    explosions.push_back(sound);
  }
  std::vector<audio::Channel> plays(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(system->playSound(audio::kChannelFree, explosions[static_cast<size_t>(i) % 3], true, &plays[i]),
              audio::kOk);
  }
  for (auto& play : plays) play.setPaused(false);  // in one go, as the round's end starts them in one frame
  for (auto& play : plays) EXPECT_TRUE(WaitUntilOver(*system, play));
  system.reset();  // closing the device flushes the file
  return ReadSamples(out);
}

// The end of a round bursts every rocket at once: thirty explosions summed
// would be many times full scale. None of it may clip, and it must still be
// loud; one explosion alone comes out as loud as it is.
TEST(Audio, MassBurstNeverReachesFullScaleAndASingleOneKeepsItsPeak) {
  TempDir dir;
  ScopedEnv driver("SDL_AUDIODRIVER", "disk");

  const std::vector<float> mass = MixExplosions(dir.path() / "mass.raw", 30);
  ASSERT_FALSE(mass.empty());
  EXPECT_EQ(AtFullScale(mass), 0);
  EXPECT_GT(Decibels(Peak(mass)), -1.5) << "the mass burst is as loud as the output allows";

  const std::vector<float> single = MixExplosions(dir.path() / "single.raw", 1);
  const double unlimited = ReadWav(std::string(VANTOR_SOURCE_DIR) + "/Content/exp1.wav").Peak();
  ASSERT_GT(unlimited, 0.0);
  EXPECT_NEAR(Decibels(Peak(single)), Decibels(unlimited), 1.0);
}

TEST(Audio, MuteSilencesEveryPlayAndUnmuteGivesTheVolumesBack) {
  TempDir dir;
  WriteToneWav("tone.wav", 3.0f);
  ScopedEnv driver("SDL_AUDIODRIVER", "disk");
  const auto output = dir.path() / "out.raw";
  constexpr std::uintmax_t kMutedBytes = 32 * 1024;
  {
    ScopedEnv file("SDL_DISKAUDIOFILE", output.string());
    auto system = ReadySystem(4);
    audio::Sound* tone = nullptr;
    ASSERT_EQ(system->createSound("tone.wav", audio::kModeDefault, nullptr, &tone), audio::kOk);
    ASSERT_EQ(system->setMute(true), audio::kOk);
    audio::Channel channel;  // started while muted
    ASSERT_EQ(system->playSound(audio::kChannelFree, tone, true, &channel), audio::kOk);
    channel.setVolume(0.8f);
    ASSERT_EQ(channel.setPaused(false), audio::kOk);
    float volume = 0.0f;
    channel.getVolume(&volume);
    EXPECT_EQ(volume, 0.8f);  // the play keeps its own volume
    // Everything written so far was mixed while muted.
    ASSERT_TRUE(WaitForOutput(output, kMutedBytes));
    EXPECT_TRUE(Playing(channel));
    ASSERT_EQ(system->setMute(false), audio::kOk);  // the play goes on, heard
    ASSERT_TRUE(WaitForOutput(output, kMutedBytes + 128 * 1024));
    EXPECT_TRUE(Playing(channel));
  }
  const auto samples = ReadSamples(output);
  ASSERT_GE(samples.size(), (kMutedBytes + 128 * 1024) / sizeof(float));
  const std::vector<float> muted(samples.begin(), samples.begin() + kMutedBytes / sizeof(float));
  const std::vector<float> unmuted(samples.begin() + kMutedBytes / sizeof(float), samples.end());
  EXPECT_FALSE(AnySound(muted));
  EXPECT_TRUE(AnySound(unmuted));
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
