// SDL streams over checked files: SDL's loaders read a descriptor that has
// already been found to be a regular file, instead of opening the name again.
#include <SDL.h>

#include <cstdio>

#include "platform/checked_file.h"

namespace platform {

SDL_RWops* OpenCheckedRWops(const char* name) {
  if (name == nullptr) return nullptr;
  CheckedFile file = CheckedFile::OpenForReading(name);
  if (!file.IsOpen()) return nullptr;
  std::FILE* stream = ::fdopen(file.Descriptor(), "rb");
  if (stream == nullptr) return nullptr;
  file.Release();  // the stream owns the descriptor now
  SDL_RWops* ops = SDL_RWFromFP(stream, SDL_TRUE);
  if (ops == nullptr) std::fclose(stream);
  return ops;
}

}  // namespace platform
