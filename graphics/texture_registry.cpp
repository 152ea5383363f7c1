#include "graphics/texture_registry.h"

#include <cassert>

namespace vtr {

HTEXTURE& TextureRegistry::TextureFor(const std::string& name) { return textures_[name]; }

HTEXTURE TextureRegistry::FindTexture(const std::string& name) const {
  const auto found = textures_.find(name);
  return found != textures_.end() ? found->second : 0;
}

void TextureRegistry::FreeAll(HGE* hge) {
  assert(hge && "TextureRegistry::FreeAll needs the engine the textures came from");
  if (hge) {
    for (const auto& [name, handle] : textures_) hge->Texture_Free(handle);
  }
  textures_.clear();
}

}  // namespace vtr
