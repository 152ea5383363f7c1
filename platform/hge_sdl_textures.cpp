// Textures: PNG images loaded into slots whose index is the handle.
#include <SDL_image.h>

#include <algorithm>

#include "platform/checked_file.h"
#include "platform/folders.h"
#include "platform/hge_sdl.h"
#include "platform/x11_window_guard.h"

namespace hge_sdl {

// With size 0 the name is a file; otherwise it points at size bytes of PNG
// data in memory. Only PNG images are accepted.
HTEXTURE Engine::Texture_Load(const char* filename, DWORD size, bool /*bMipmap*/) {
  const std::string path = size != 0 ? "<memory>" : filename ? vtr::ContentPath(filename) : "<null>";
  const char* name = path.c_str();
  if (!renderer_) {
    System_Log("Cannot load texture %s: the engine is not initiated", name);
    return 0;
  }
  if (!filename) {
    System_Log("Cannot load texture %s", name);
    return 0;
  }
  // A file name reaches SDL only as a stream over a checked regular file.
  SDL_RWops* stream = size != 0 ? SDL_RWFromConstMem(filename, static_cast<int>(std::min<DWORD>(size, INT32_MAX)))
                                : platform::OpenCheckedRWops(name);
  if (!stream) {
    System_Log("Cannot load texture %s: %s", name, size != 0 ? SDL_GetError() : "not a readable regular file");
    return 0;
  }
  SDL_Surface* surface = IMG_isPNG(stream) ? IMG_LoadPNG_RW(stream) : nullptr;
  const std::string why = surface ? "" : (IMG_isPNG(stream) ? IMG_GetError() : "not a PNG image");
  SDL_RWclose(stream);
  if (!surface) {
    System_Log("Cannot load texture %s: %s", name, why.c_str());
    return 0;
  }
  SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer_, surface);
  const TextureSlot slot{texture, surface->w, surface->h};
  SDL_FreeSurface(surface);
  if (!texture) {
    System_Log("Cannot make texture %s: %s", name, SDL_GetError());
    return 0;
  }

  // The lowest free slot is reused, which keeps handles small.
  for (std::size_t i = 0; i < textures_.size(); ++i) {
    if (!textures_[i].texture) {
      textures_[i] = slot;
      RedrawFor(1);  // the handle may have named other pixels before
      return static_cast<HTEXTURE>(i + 1);
    }
  }
  textures_.push_back(slot);
  RedrawFor(1);
  return static_cast<HTEXTURE>(textures_.size());
}

void Engine::Texture_Free(HTEXTURE tex) {
  if (tex == 0 || tex > textures_.size() || !textures_[tex - 1].texture) return;
  if (tex == batchTexture_) FlushBatch();
  if (!platform::X11DisplayGone()) SDL_DestroyTexture(textures_[tex - 1].texture);
  textures_[tex - 1] = TextureSlot{};
  RedrawFor(1);
}

int Engine::Texture_GetWidth(HTEXTURE tex, bool /*bOriginal*/) {
  return tex != 0 && tex <= textures_.size() ? textures_[tex - 1].width : 0;
}

int Engine::Texture_GetHeight(HTEXTURE tex, bool /*bOriginal*/) {
  return tex != 0 && tex <= textures_.size() ? textures_[tex - 1].height : 0;
}

void Engine::FreeTextures() {
  for (TextureSlot& slot : textures_) {
    if (slot.texture && !platform::X11DisplayGone()) SDL_DestroyTexture(slot.texture);
  }
  textures_.clear();
}

}  // namespace hge_sdl
