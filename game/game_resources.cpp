// The game's resources: its textures, sounds and pictures, and the particle
// descriptions of the rocket trails and the explosion burst.
#include "audio/sound_manager.h"
#include "config/settings.h"
#include "game/game.h"
#include "helpers/font.h"
#include "helpers/sprite.h"

namespace vtr {

namespace {

struct TextureFile {
  const char* name;
  const char* file;
};

constexpr TextureFile kTextures[] = {
    {"background", "Content/vtr_bg_full_1024.png"},
    {"black_alpha", "Content/sidebar_10.png"},
    {"particles", "Content/particles.png"},
    {"logo", "Content/vtr_Logo.png"},
    {"splash", "Content/qzk_logo.png"},
};

// What the five trails and bursts share: the particle sprite, straight up,
// no forces, no spin, full colour variation and half alpha variation.
hgeEmitterInfo BaseDescription(hgeSprite* sprite) {
  hgeEmitterInfo info;
  info.sprite = sprite;
  info.fDirection = 0.0f;
  info.fGravityMin = info.fGravityMax = 0.0f;
  info.fRadialAccelMin = info.fRadialAccelMax = 0.0f;
  info.fTangentialAccelMin = info.fTangentialAccelMax = 0.0f;
  info.fSpinStart = info.fSpinEnd = info.fSpinVar = 0.0f;
  info.fColorVar = 1.0f;
  info.fAlphaVar = 0.5f;
  return info;
}

// A rocket trail: 200 particles a second until stopped, streaming straight
// back from the rocket's path.
hgeEmitterInfo TrailDescription(hgeSprite* sprite, float sizeStart, float sizeEnd, const hgeColor& start,
                                const hgeColor& end) {
  hgeEmitterInfo info = BaseDescription(sprite);
  info.nEmission = 200;
  info.fLifetime = -1.0f;
  info.fParticleLifeMin = 1.0f;
  info.fParticleLifeMax = 2.0f;
  info.fSpread = 0.0f;
  info.bRelative = true;
  info.fSpeedMin = 50.0f;
  info.fSpeedMax = 75.0f;
  info.fSizeStart = sizeStart;
  info.fSizeEnd = sizeEnd;
  info.fSizeVar = 1.0f;
  info.colColorStart = start;
  info.colColorEnd = end;
  return info;
}

// The burst of an explosion: about 20 particles in every direction.
hgeEmitterInfo BurstDescription(hgeSprite* sprite) {
  hgeEmitterInfo info = BaseDescription(sprite);
  info.nEmission = 100;
  info.fLifetime = 0.2f;
  info.fParticleLifeMin = 0.5f;
  info.fParticleLifeMax = 1.0f;
  info.fSpread = 6.2831855f;
  info.bRelative = false;
  info.fSpeedMin = 100.0f;
  info.fSpeedMax = 150.0f;
  info.fSizeStart = 0.5f;
  info.fSizeEnd = 0.7f;
  info.fSizeVar = 1.0f;
  info.colColorStart = {0.8f, 0.65f, 0.1f, 1.0f};
  info.colColorEnd = {0.3f, 0.15f, 0.8f, 0.0f};
  return info;
}

}  // namespace

void Game::LoadTextures() {
  for (const TextureFile& texture : kTextures) {
    TextureFor(texture.name) = engine->Texture_Load(texture.file, 0, false);
  }
}

void Game::LoadSounds() {
  SoundManager& sounds = SoundManager::Instance();
  sounds.Register("Content/vtr_music.mp3", "music", true);
  sounds.Register("Content/exp1.wav", "exp1", false);
  sounds.Register("Content/exp2.wav", "exp2", false);
  sounds.Register("Content/exp3.wav", "exp3", false);
  sounds.Register("Content/rocket1.wav", "rocket1", false);
  sounds.Register("Content/rocket2.wav", "rocket2", false);
  sounds.Register("Content/warning.wav", "warning", false);

  soundVolume_ = Settings::Instance().VolumeSound;
  for (const char* name : {"exp1", "exp2"}) {
    SoundEntry* entry = sounds.Find(name);
    entry->SetVolume(soundVolume_);
    explosionSounds_.push_back(entry);
  }
  for (const char* name : {"rocket1", "rocket2"}) {
    SoundEntry* entry = sounds.Find(name);
    entry->SetVolume(soundVolume_);
    rocketSounds_.push_back(entry);
  }
  sounds.Find("warning")->SetVolume(soundVolume_ * 0.2f);
}

void Game::PlayLaunchSound() { PlayRandom(engine, rocketSounds_); }

void Game::PlayExplosionSound() { PlayRandom(engine, explosionSounds_); }

// Loaded after the textures: the combo texts' font, the sprites, and the
// particle descriptions that share the particle sprite.
void Game::LoadPictures() {
  Settings& settings = Settings::Instance();
  textFont_ = std::make_unique<hgeFont>("Content/font1.fnt", false);
  settings.TextFont = textFont_.get();

  particleSprite_ = std::make_unique<hgeAnimatedSprite>(TextureFor("particles"), 16, 1.0f, 0.0f, 0.0f, 32.0f, 32.0f);
  particleSprite_->SetHotSpot(16.0f, 16.0f);
  particleSprite_->SetFrame(7);
  background_ = std::make_unique<hgeSprite>(TextureFor("background"), 0.0f, 0.0f, 1024.0f, 768.0f);
  leftPanel_ = std::make_unique<hgeSprite>(TextureFor("black_alpha"), 0.0f, 0.0f, 150.0f, 768.0f);
  rightPanel_ = std::make_unique<hgeSprite>(TextureFor("black_alpha"), 0.0f, 0.0f, 150.0f, 768.0f);
  logo_ = std::make_unique<hgeSprite>(TextureFor("logo"), 0.0f, 0.0f, 550.0f, 143.0f);
  logo_->SetHotSpot(275.0f, 71.0f);
  splash_ = std::make_unique<hgeSprite>(TextureFor("splash"), 0.0f, 0.0f, 500.0f, 558.0f);
  splash_->SetHotSpot(250.0f, 279.0f);
  particleSprite_->SetBlendMode(BLEND_COLORMUL | BLEND_ALPHAADD | BLEND_NOZWRITE);

  hgeSprite* sprite = particleSprite_.get();
  settings.RocketParticles = TrailDescription(sprite, 0.3f, 0.1f, settings.RocketColorStart, settings.RocketColorEnd);
  settings.ExplosionParticles = BurstDescription(sprite);
  settings.TargetRocketParticles =
      TrailDescription(sprite, 0.3f, 0.2f, settings.TargetRocketColorStart, settings.TargetRocketColorEnd);
  settings.BonusRocketParticles =
      TrailDescription(sprite, 0.3f, 0.2f, settings.BonusRocketColorStart, settings.BonusRocketColorEnd);
  settings.DualRocketParticles =
      TrailDescription(sprite, 0.4f, 0.2f, settings.DualRocketColorStart, settings.DualRocketColorEnd);
}

}  // namespace vtr
