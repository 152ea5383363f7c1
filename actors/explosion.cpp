#include "actors/explosion.h"

#include "actors/actor_list.h"
#include "actors/stage.h"
#include "config/settings.h"
#include "helpers/color.h"
#include "helpers/particle_system.h"
#include "helpers/sprite.h"

namespace vtr {

Explosion::Explosion(Stage* stage, std::uint32_t chain, float maxRadius, float x, float y)
    : Actor(stage, kExplosion), maxRadius(maxRadius), chain(chain) {
  const hgeEmitterInfo copy = Settings::Instance().ExplosionParticles;
  burst = std::make_shared<hgeParticleSystem>(&copy);
  this->x = x;
  this->y = y;
  burst->MoveTo(x, y, false);
  burst->Fire();

  // The 32 x 32 ring picture at (96, 64) of the particle strip, drawn centred.
  ring = std::make_shared<hgeSprite>(stage->ParticleTexture(), 0.0f, 0.0f, 1.0f, 1.0f);
  ring->SetTextureRect(96.0f, 64.0f, 32.0f, 32.0f, true);
  ring->SetHotSpot(16.0f, 16.0f);
}

// The ring is declared after the burst, so it goes first.
Explosion::~Explosion() = default;

void Explosion::Update(float dt) {
  age += dt;
  burst->Update(dt);

  // Growth and fade both follow the radius at the start of the update, so the
  // radius stops at the first value at or above the maximum.
  const float r = radius;
  if (maxRadius > r) {
    radius = r + growthRate * dt;
    ringAlpha = 1.0f - r / maxRadius;
  } else {
    ringAlpha = 0.0f;
  }

  if (burst->GetAliveCount() <= 0 && age > 0.1f) {
    if (!dying) OnDeath();
    alive = false;
  }
}

void Explosion::Render() {
  burst->Render();
  ring->SetColor(PackColor(hgeColor{1.0f, 1.0f, 1.0f, ringAlpha}), -1);
  // At a radius of 22 the ring shows at its own size.
  const float scale = radius / (ring->GetWidth() - 10.0f);
  ring->RenderTransformed(x, y, 0.0f, scale, scale);
}

void SpawnExplosion(Stage* stage, std::uint32_t chain, float maxRadius, float x, float y) {
  ActorList::Instance().Add(std::make_shared<Explosion>(stage, chain, maxRadius, x, y));
  stage->PlayExplosionSound();
}

}  // namespace vtr
