#include "actors/actor.h"

#include <cmath>

#include "actors/actor_list.h"

namespace vtr {

Actor::Actor(Stage* stage, std::int32_t kind)
    : stage(stage), id(ActorList::Instance().TakeId()), kind(kind) {}

bool Actor::Collides(const Actor& other) const {
  if (other.id == id) return false;
  return Collides(other.x, other.y, other.radius);
}

bool Actor::Collides(float px, float py, float pr) const {
  const float dx = px - x;
  const float dy = py - y;
  const float distance = std::sqrt(dx * dx + dy * dy);
  // Written as "not farther than" so that a NaN anywhere counts as a hit.
  return !(distance > radius + pr);
}

}  // namespace vtr
