// The sound registry on the real audio layer (SDL_mixer, dummy driver).
#include "audio/sound_manager.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/hge.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_file.h"

namespace {

using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteToneWav;
using vtr::SoundEntry;
using vtr::SoundManager;

// Gives the manager a working audio system for one test, and takes it (and
// the entries made over it) back afterwards.
class SoundManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    ASSERT_EQ(audio::System_Create(&system_), audio::kOk);
    ASSERT_EQ(system_->init(100, 0, nullptr), audio::kOk);
    SoundManager::Instance().system = system_;
    WriteToneWav("long.wav", 3.0f);
    WriteToneWav("other.wav", 3.0f);
    WriteToneWav("short.wav", 0.02f);
  }
  void TearDown() override {
    SoundManager::Instance().sounds.clear();
    SoundManager::Instance().system = nullptr;
    delete system_;
  }

  static float Volume(audio::Channel channel) {
    float volume = -1.0f;
    channel.getVolume(&volume);
    return volume;
  }

  TempDir dir_;
  audio::System* system_ = nullptr;
};

TEST_F(SoundManagerTest, NameRegisteredTwiceKeepsTheFirstSound) {
  SoundManager& manager = SoundManager::Instance();
  ASSERT_TRUE(manager.Register("long.wav", "music", true));
  SoundEntry* first = manager.Find("music");
  audio::Sound* firstSound = first->sound;

  EXPECT_FALSE(manager.Register("other.wav", "music", false));
  EXPECT_EQ(manager.Find("music"), first);
  EXPECT_EQ(first->sound, firstSound);
  EXPECT_EQ(manager.sounds.size(), 1u);
}

TEST_F(SoundManagerTest, UnknownNameGivesAHarmlessSilentEntry) {
  SoundManager& manager = SoundManager::Instance();
  EXPECT_FALSE(manager.Register("missing.wav", "exp1", false));
  EXPECT_EQ(manager.sounds.count("exp1"), 0u);

  SoundEntry* silent = manager.Find("exp1");
  ASSERT_NE(silent, nullptr);
  EXPECT_EQ(manager.Find("never-registered"), silent);
  silent->SetVolume(0.4f);
  for (int frame = 0; frame < 200; ++frame) {  // the music keep-alive, frame after frame
    if (!silent->IsPlaying()) silent->Play();
  }
  EXPECT_FALSE(silent->IsPlaying());
  EXPECT_TRUE(silent->channel.empty());

  // It took no channel: all 100 are still free for real sounds.
  ASSERT_TRUE(manager.Register("long.wav", "rocket1", false));
  SoundEntry* rocket = manager.Find("rocket1");
  for (int play = 0; play < 100; ++play) {
    rocket->Play();
    ASSERT_TRUE(rocket->IsPlaying()) << "play " << play;
  }
}

TEST_F(SoundManagerTest, NoWorkingSystemRegistersNothing) {
  SoundManager& manager = SoundManager::Instance();
  audio::System* unstarted = nullptr;
  manager.system = nullptr;
  EXPECT_FALSE(manager.Register("long.wav", "exp1", false));
  manager.Update();  // the frame upkeep without a system is harmless
  {
    ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    ASSERT_EQ(audio::System_Create(&unstarted), audio::kOk);
  }
  manager.system = unstarted;  // created but never initialised
  EXPECT_FALSE(manager.Register("long.wav", "exp1", false));
  EXPECT_TRUE(manager.sounds.empty());
  manager.system = system_;
  delete unstarted;
}

TEST_F(SoundManagerTest, VolumeGoesToTheNextPlayAndOnlyTheLatestPlay) {
  SoundManager& manager = SoundManager::Instance();
  ASSERT_TRUE(manager.Register("long.wav", "exp1", false));
  SoundEntry* explosion = manager.Find("exp1");
  explosion->SetVolume(0.5f);  // before any play: only stored
  EXPECT_FALSE(explosion->IsPlaying());

  explosion->Play();
  const audio::Channel first = explosion->channel;
  EXPECT_FLOAT_EQ(Volume(first), 0.5f);
  explosion->Play();
  const audio::Channel second = explosion->channel;
  ASSERT_FALSE(first == second);

  explosion->SetVolume(1.2f);  // stored as given, heard at full volume
  EXPECT_EQ(explosion->volume, 1.2f);
  EXPECT_FLOAT_EQ(Volume(second), 1.0f);
  EXPECT_FLOAT_EQ(Volume(first), 0.5f);
  bool firstPlaying = false;
  audio::Channel(first).isPlaying(&firstPlaying);
  EXPECT_TRUE(firstPlaying);  // both sound
  EXPECT_TRUE(explosion->IsPlaying());
}

TEST_F(SoundManagerTest, MusicThatEndedCanBePlayedAgain) {
  SoundManager& manager = SoundManager::Instance();
  ASSERT_TRUE(manager.Register("short.wav", "music", true));
  SoundEntry* music = manager.Find("music");
  music->Play();
  EXPECT_TRUE(music->IsPlaying());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (music->IsPlaying() && std::chrono::steady_clock::now() < deadline) {
    manager.Update();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_FALSE(music->IsPlaying());
  music->Play();
  EXPECT_TRUE(music->IsPlaying());
}

TEST_F(SoundManagerTest, PlayRandomPlaysEveryListedEntryAndNothingElse) {
  SoundManager& manager = SoundManager::Instance();
  ASSERT_TRUE(manager.Register("long.wav", "rocket1", false));
  ASSERT_TRUE(manager.Register("other.wav", "rocket2", false));
  ASSERT_TRUE(manager.Register("long.wav", "exp3", false));
  SoundEntry* rocket1 = manager.Find("rocket1");
  SoundEntry* rocket2 = manager.Find("rocket2");
  const std::vector<SoundEntry*> rockets = {rocket1, rocket2};

  HGE* hge = hgeCreate(0x180);
  ASSERT_NE(hge, nullptr);
  int played[2] = {0, 0};
  for (int shot = 0; shot < 40; ++shot) {
    const audio::Channel before1 = rocket1->channel;
    const audio::Channel before2 = rocket2->channel;
    vtr::PlayRandom(hge, rockets);
    const bool changed1 = !(rocket1->channel == before1);
    const bool changed2 = !(rocket2->channel == before2);
    ASSERT_NE(changed1, changed2) << "exactly one entry plays per call, shot " << shot;
    played[changed1 ? 0 : 1] += 1;
  }
  EXPECT_GT(played[0], 0);
  EXPECT_GT(played[1], 0);
  EXPECT_TRUE(manager.Find("exp3")->channel.empty());

  vtr::PlayRandom(hge, {});  // an empty list plays nothing
  hge->Release();
}

}  // namespace
