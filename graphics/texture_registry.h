// Every image the game loads, kept once as an engine texture under a name.
// Sprites are built from textures they take from here by name. The registry
// owns the textures: FreeAll gives them back to the engine at the end.
#pragma once

#include <cstddef>
#include <map>
#include <string>

#include "platform/hge.h"

namespace vtr {

class TextureRegistry {
 public:
  // The handle stored under name, for reading or assigning; an unknown name
  // is first added with the handle 0. Assigning over a handle does not free
  // the texture it held.
  HTEXTURE& TextureFor(const std::string& name);
  // The handle stored under name, 0 when the name is unknown; never adds.
  HTEXTURE FindTexture(const std::string& name) const;
  // Frees every entry with Texture_Free in ascending name order, empty
  // handles included, then forgets them all.
  void FreeAll(HGE* hge);
  // Number of registered names.
  std::size_t Size() const { return textures_.size(); }

 private:
  // Names are case-sensitive and ordered byte by byte as unsigned chars.
  std::map<std::string, HTEXTURE> textures_;
};

}  // namespace vtr
