// The engine's services that need no window: the log, whole files in
// memory and the random number generator.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/folders.h"
#include "platform/checked_file.h"
#include "platform/hge_sdl.h"

namespace hge_sdl {
namespace {

constexpr std::size_t kMaxResourceBytes = 16u * 1024u * 1024u;

}  // namespace

// ---------------------------------------------------------------- log

void Engine::System_Log(const char* format, ...) {
  if (logFile_.empty() || !format) return;
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (std::FILE* file = std::fopen(logFile_.c_str(), "a")) {
    std::fprintf(file, "%s\n", line);
    std::fclose(file);
  }
}

// ---------------------------------------------------------------- files

void* Engine::Resource_Load(const char* filename, DWORD* size) {
  if (size) *size = 0;
  if (!filename) return nullptr;
  const std::string path = vtr::ContentPath(filename);
  platform::CheckedFile file = platform::CheckedFile::OpenForReading(path);
  if (!file.IsOpen()) {
    System_Log("Cannot load resource %s", path.c_str());
    return nullptr;
  }
  // Resources are small text files (the font); a bound keeps a huge or
  // endless one from filling memory.
  std::string data;
  bool truncated = false;
  if (!file.ReadUpTo(kMaxResourceBytes, &data, &truncated) || truncated) {
    System_Log("Cannot read resource %s%s", path.c_str(), truncated ? ": larger than 16 MB" : "");
    return nullptr;
  }
  auto* copy = static_cast<char*>(std::malloc(data.size() + 1));
  if (!copy) return nullptr;
  std::copy(data.begin(), data.end(), copy);
  copy[data.size()] = '\0';
  if (size) *size = static_cast<DWORD>(data.size());
  return copy;
}

void Engine::Resource_Free(void* res) { std::free(res); }

// ---------------------------------------------------------------- random

// A 64-bit linear congruential generator whose high half is the output: the
// low bits of an LCG repeat quickly, the high ones do not.
std::uint32_t Engine::NextRandom() {
  randomState_ = randomState_ * 6364136223846793005ULL + 1442695040888963407ULL;
  return static_cast<std::uint32_t>(randomState_ >> 32);
}

void Engine::Random_Seed(int seed) {
  const auto value = seed != 0 ? static_cast<std::uint32_t>(seed) : static_cast<std::uint32_t>(std::time(nullptr));
  randomState_ = value;
  NextRandom();
}

int Engine::Random_Int(int min, int max) {
  if (max < min) std::swap(min, max);
  const std::uint64_t span = static_cast<std::uint64_t>(static_cast<std::int64_t>(max) - min) + 1;
  const std::uint64_t offset = (static_cast<std::uint64_t>(NextRandom()) * span) >> 32;
  return static_cast<int>(static_cast<std::int64_t>(min) + static_cast<std::int64_t>(offset));
}

float Engine::Random_Float(float min, float max) {
  // 24 random bits over 2^24 - 1 steps reach both ends exactly.
  const float unit = static_cast<float>(NextRandom() >> 8) / 16777215.0f;
  const float value = min + (max - min) * unit;
  return std::clamp(value, std::min(min, max), std::max(min, max));
}

}  // namespace hge_sdl
