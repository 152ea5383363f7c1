#include "tools/fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

// Leaks inside the system's graphics drivers, not ours (the font target
// starts the engine's video headless).
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libSDL2\nleak:libX11\nleak:libdbus\nleak:libGLX\nleak:libGL\nleak:libLLVM\nleak:swrast\n";
}

namespace fuzz {
namespace {

std::string* g_dir = nullptr;

void RemoveDir() {
  if (!g_dir) return;
  std::error_code ignored;
  std::filesystem::remove_all(*g_dir, ignored);
}

}  // namespace

const std::string& PrivateDir() {
  if (!g_dir) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/vantor-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) Fail("cannot make a private folder for the fuzzed files");
    g_dir = new std::string(pattern);
    std::atexit(RemoveDir);
  }
  return *g_dir;
}

std::string PathFor(const char* name) { return PrivateDir() + "/" + name; }

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) Fail("cannot open a fuzzed file for writing");
  const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
  if (std::fclose(file) != 0 || !written) Fail("cannot write a fuzzed file");
}

void Fail(const char* what) {
  std::fprintf(stderr, "fuzz target: %s\n", what);
  std::abort();
}

}  // namespace fuzz
