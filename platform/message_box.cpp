#include "platform/message_box.h"

#include <SDL.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

// The dummy and offscreen drivers have no screen to show a box on; asking
// SDL anyway could open one on a display the run never meant to use.
bool HeadlessVideo() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver) driver = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  if (!driver) return false;
  return std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0;
}

#ifdef __EMSCRIPTEN__

// The browser shows the box in the page, with no process or signal of its own.
bool ShowUntilClosedOrStopped(Uint32 flags, const char* caption, const char* text) {
  return SDL_ShowSimpleMessageBox(flags, caption, text, nullptr) == 0;
}

#else

// The signals that end the game; one arriving while a box is up closes it.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
volatile std::sig_atomic_t g_signalDuringBox = 0;
// /proc/self/task/<the box's thread>/children, written before the box shows.
char g_childrenList[64] = {};

// SDL's box on X runs in a child process of the thread that shows it, which
// the thread waits for, whatever signal comes. Ending that child is what
// closes the box; everything here is safe in a signal handler.
void OnSignalDuringBox(int signal) {
  g_signalDuringBox = signal;
  const int list = open(g_childrenList, O_RDONLY | O_CLOEXEC);
  if (list < 0) return;
  char text[256];
  const ssize_t length = read(list, text, sizeof text - 1);
  close(list);
  pid_t pid = 0;
  for (ssize_t i = 0; i < length; ++i) {
    if (text[i] >= '0' && text[i] <= '9' && pid < 100'000'000) {
      pid = pid * 10 + (text[i] - '0');
    } else {
      if (pid > 0) kill(pid, SIGKILL);
      pid = 0;
    }
  }
  if (pid > 0) kill(pid, SIGKILL);
}

// SDL's box waits for the player, and no signal gets it out of there by
// itself: a stop signal while it is up ends the box's process, and is then
// raised again under the handler the process had before the box, so the game
// stops as that handler says (the engine's loop ends at its first frame,
// with its teardown), as if the box had been closed first.
bool ShowUntilClosedOrStopped(Uint32 flags, const char* caption, const char* text) {
  std::snprintf(g_childrenList, sizeof g_childrenList, "/proc/self/task/%ld/children",
                static_cast<long>(syscall(SYS_gettid)));
  struct sigaction previous[std::size(kStopSignals)];
  struct sigaction during{};
  during.sa_handler = OnSignalDuringBox;
  sigemptyset(&during.sa_mask);
  for (int signal : kStopSignals) sigaddset(&during.sa_mask, signal);
  g_signalDuringBox = 0;
  for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
    sigaction(kStopSignals[i], nullptr, &previous[i]);
    if (previous[i].sa_handler != SIG_IGN) sigaction(kStopSignals[i], &during, nullptr);  // ignored stays ignored
  }
  const bool shown = SDL_ShowSimpleMessageBox(flags, caption, text, nullptr) == 0 || g_signalDuringBox != 0;
  for (std::size_t i = 0; i < std::size(kStopSignals); ++i) sigaction(kStopSignals[i], &previous[i], nullptr);
  if (g_signalDuringBox != 0) std::raise(g_signalDuringBox);
  return shown;
}

#endif  // __EMSCRIPTEN__

}  // namespace

bool ShowMessageBox(const char* caption, const char* text, bool errorIcon) {
  caption = caption ? caption : "";
  text = text ? text : "";
  const Uint32 flags = errorIcon ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
  if (!HeadlessVideo() && ShowUntilClosedOrStopped(flags, caption, text)) return true;
  std::fprintf(stderr, "%s: %s\n", caption, text);
  return false;
}
