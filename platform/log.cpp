#include "platform/log.h"

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/hge_sdl.h"

namespace platform {
namespace {

constexpr std::size_t kMaxWaitingLines = 64;

std::vector<std::string>& WaitingLines() {
  static auto* lines = new std::vector<std::string>();
  return *lines;
}

}  // namespace

void Log(const char* format, ...) {
  if (!format) return;
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);

  hge_sdl::Engine* engine = hge_sdl::Engine::Current();
  if (engine && *engine->System_GetState(HGE_LOGFILE) != '\0') {
    engine->System_Log("%s", line);
  } else if (WaitingLines().size() < kMaxWaitingLines) {
    WaitingLines().emplace_back(line);
  }
}

void FlushWaitingLog(void (*writeLine)(const char* line, void* context), void* context) {
  std::vector<std::string> lines;
  lines.swap(WaitingLines());
  for (const std::string& line : lines) writeLine(line.c_str(), context);
}

}  // namespace platform
