// What the actors need from the session they play in, and nothing more: the
// particle texture an explosion's ring is cut from, and the explosion sounds.
// The game is the stage; actors reach nothing else of it.
#pragma once

#include "platform/hge.h"

namespace vtr {

class Stage {
 public:
  // The "particles" texture; 0 before it is loaded (nothing is drawn then).
  virtual HTEXTURE ParticleTexture() const = 0;
  // Plays one of the explosion sounds, chosen at random.
  virtual void PlayExplosionSound() = 0;

 protected:
  ~Stage() = default;
};

}  // namespace vtr
