#include "platform/x11_window_guard.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <atomic>

#include "platform/log.h"

namespace platform {
namespace {

Display* g_display = nullptr;
Window g_window = 0;
bool g_lost = false;
// Raised by the error handlers, which may run inside any Xlib call.
std::atomic<bool> g_errorSeen{false};
std::atomic<bool> g_displayGone{false};
bool g_displayGoneLogged = false;
std::atomic<int> g_firstError{0};

int OnXError(Display*, XErrorEvent* error) {
  int none = 0;
  g_firstError.compare_exchange_strong(none, error->error_code);
  g_errorSeen.store(true);
  return 0;
}

// The connection to the X server broke (the server ended: a logout, a
// crash, a killed Xvfb). Xlib's own answer prints a line and exits at once,
// skipping the teardown. Noted instead; once an I/O error is seen, Xlib
// turns every later call on that display into a failure that returns, so
// the loop and the teardown run on to their end.
int OnXIOError(Display*) {
  g_displayGone.store(true);
  return 0;
}

void OnXIOErrorExit(Display*, void*) { g_displayGone.store(true); }

// SDL's windows listen for their own destruction; the event itself only
// reaches us as a window-manager event.
int WatchDestroy(void*, SDL_Event* event) {
  if (event->type == SDL_SYSWMEVENT && event->syswm.msg->subsystem == SDL_SYSWM_X11) {
    const XEvent& x = event->syswm.msg->msg.x11.event;
    if (x.type == DestroyNotify && x.xdestroywindow.window == g_window) g_errorSeen.store(true);
  }
  return 1;
}

}  // namespace

void InstallX11ErrorGuard() {
  static bool installed = false;
  if (installed) return;
  XSetErrorHandler(OnXError);
  XSetIOErrorHandler(OnXIOError);
  installed = true;
}

void GuardX11Window(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window == nullptr || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
  g_display = info.info.x11.display;
  g_window = info.info.x11.window;
  g_lost = false;
  g_errorSeen.store(false);
  XSetIOErrorExitHandler(g_display, OnXIOErrorExit, nullptr);
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
  SDL_AddEventWatch(WatchDestroy, nullptr);
}

bool X11DisplayGone() { return g_displayGone.load(); }

bool X11WindowLost() {
  if (g_lost) return true;
  if (g_displayGone.load()) {
    if (!g_displayGoneLogged) Log("The connection to the display was lost; ending the game");
    g_displayGoneLogged = true;
    return true;
  }
  if (g_display == nullptr || !g_errorSeen.exchange(false)) return false;
  XSync(g_display, False);
  XWindowAttributes attributes;
  g_errorSeen.store(false);
  const bool exists = XGetWindowAttributes(g_display, g_window, &attributes) != 0;
  XSync(g_display, False);
  if (!exists || g_errorSeen.load()) {
    g_lost = true;
    Log("The window was destroyed from outside (X error %d); ending the game", g_firstError.load());
  } else {
    g_firstError.store(0);
  }
  return g_lost;
}

}  // namespace platform
