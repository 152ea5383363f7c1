// The engine's life, states, start-up, loop and timer. Drawing and textures
// live in hge_sdl_gfx.cpp, input in hge_sdl_input.cpp, the log, files and
// random numbers in hge_sdl_services.cpp.
#include "platform/hge_sdl.h"

#include <SDL_image.h>

#include <algorithm>
#include <cmath>
#include <cassert>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "platform/folders.h"
#include "platform/hge_record.h"
#include "platform/log.h"
#include "platform/x11_window_guard.h"

namespace hge_sdl {
namespace {

Engine* g_engine = nullptr;

// Set by SIGINT, SIGTERM or SIGHUP (the terminal the game was started from
// closed); the loop ends at its next frame.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
volatile std::sig_atomic_t g_stopSignal = 0;
struct sigaction g_oldActions[std::size(kStopSignals)];

// The first signal asks the loop to end cleanly; a second one, sent because
// the first went unanswered (the game hangs, or is not in its loop yet),
// ends the process the default way.
void OnStopSignal(int signal) {
  if (g_stopSignal) {
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return;
  }
  g_stopSignal = 1;
}

constexpr int kFallbackWidth = 1024;
constexpr int kFallbackHeight = 768;
constexpr int kFallbackBpp = 32;
constexpr int kMaxScreenSide = 16384;

bool ValidScreenSide(int side) { return side > 0 && side <= kMaxScreenSide; }
bool ValidBpp(int bpp) { return bpp == 16 || bpp == 24 || bpp == 32; }

// F11, or Alt+Enter: the keys that toggle fullscreen.
bool IsFullscreenKey(const SDL_Keysym& key) {
  if (key.sym == SDLK_F11) return true;
  return (key.sym == SDLK_RETURN || key.sym == SDLK_KP_ENTER) && (key.mod & KMOD_ALT) != 0;
}

}  // namespace

Engine::Engine() { Random_Seed(0); }

Engine::~Engine() { System_Shutdown(); }

Engine* Engine::Acquire() {
  if (!g_engine) g_engine = new Engine();
  ++g_engine->references_;
  return g_engine;
}

Engine* Engine::Current() { return g_engine; }

void Engine::Release() {
  assert(references_ > 0 && "Release without a matching hgeCreate");
  if (--references_ > 0) return;
  g_engine = nullptr;
  delete this;
}

bool Engine::Fail(const std::string& message) {
  error_ = message;
  System_Log("%s", message.c_str());
  return false;
}

// ---------------------------------------------------------------- states

void Engine::System_SetState(hgeBoolState state, bool value) {
  switch (state) {
    case HGE_WINDOWED:
      windowed_ = value;
      if (window_) ApplyWindowMode();
      break;
    case HGE_USESOUND: useSound_ = value; break;
    case HGE_HIDEMOUSE:
      hideMouse_ = value;
      if (videoStarted_) SDL_ShowCursor(value ? SDL_DISABLE : SDL_ENABLE);
      break;
    case HGE_SHOWSPLASH: showSplash_ = value; break;
  }
}

void Engine::System_SetState(hgeFuncState state, hgeCallback value) {
  if (state == HGE_FRAMEFUNC) frameFunc_ = value;
  if (state == HGE_RENDERFUNC) renderFunc_ = value;
}

void Engine::System_SetState(hgeIntState state, int value) {
  switch (state) {
    case HGE_SCREENWIDTH: screenWidth_ = value; break;
    case HGE_SCREENHEIGHT: screenHeight_ = value; break;
    case HGE_SCREENBPP: screenBpp_ = value; break;
    case HGE_WINDOWWIDTH:
    case HGE_WINDOWHEIGHT:
      (state == HGE_WINDOWWIDTH ? windowedSize_.width : windowedSize_.height) = value;
      if (window_ && windowed_) SDL_SetWindowSize(window_, windowedSize_.width, windowedSize_.height);
      break;
  }
}

void Engine::System_SetState(hgeStringState state, const char* value) {
  const std::string text = value ? value : "";
  if (state == HGE_TITLE) {
    title_ = text;
    if (window_) SDL_SetWindowTitle(window_, title_.c_str());
  }
  if (state == HGE_ICON) {
    icon_ = text;
    ApplyIcon();
  }
  if (state == HGE_LOGFILE) {
    logFile_ = text;
    // Every run starts a fresh log.
    if (!logFile_.empty()) {
      if (std::FILE* file = std::fopen(logFile_.c_str(), "w")) std::fclose(file);
    }
  }
}

bool Engine::System_GetState(hgeBoolState state) {
  switch (state) {
    case HGE_WINDOWED: return windowed_;
    case HGE_USESOUND: return useSound_;
    case HGE_HIDEMOUSE: return hideMouse_;
    case HGE_SHOWSPLASH: return showSplash_;
  }
  return false;
}

hgeCallback Engine::System_GetState(hgeFuncState state) {
  return state == HGE_FRAMEFUNC ? frameFunc_ : state == HGE_RENDERFUNC ? renderFunc_ : nullptr;
}

int Engine::System_GetState(hgeIntState state) {
  switch (state) {
    case HGE_SCREENWIDTH: return screenWidth_;
    case HGE_SCREENHEIGHT: return screenHeight_;
    case HGE_SCREENBPP: return screenBpp_;
    case HGE_WINDOWWIDTH: return WindowedSize().width;
    case HGE_WINDOWHEIGHT: return WindowedSize().height;
  }
  return 0;
}

const char* Engine::System_GetState(hgeStringState state) {
  if (state == HGE_TITLE) return title_.c_str();
  if (state == HGE_ICON) return icon_.c_str();
  if (state == HGE_LOGFILE) return logFile_.c_str();
  return "";
}

// ---------------------------------------------------------------- system

bool Engine::System_Initiate() {
  if (renderer_) return true;
  error_.clear();
  // Lines of the start-up logged before the log existed (the settings' own),
  // after what the caller logged first.
  platform::FlushWaitingLog(
      [](const char* line, void* engine) { static_cast<Engine*>(engine)->System_Log("%s", line); }, this);

  if (!ValidScreenSide(screenWidth_) || !ValidScreenSide(screenHeight_)) {
    System_Log("Screen size %dx%d cannot be had; using %dx%d", screenWidth_, screenHeight_,
               kFallbackWidth, kFallbackHeight);
    screenWidth_ = kFallbackWidth;
    screenHeight_ = kFallbackHeight;
  }
  if (!ValidBpp(screenBpp_)) {
    System_Log("Colour depth %d cannot be had; using %d", screenBpp_, kFallbackBpp);
    screenBpp_ = kFallbackBpp;
  }

  // Our own handlers end the loop on SIGINT, SIGTERM and SIGHUP, not SDL's.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  platform::InstallX11ErrorGuard();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) {
    return Fail(std::string("Cannot start the video system: ") + SDL_GetError());
  }
  videoStarted_ = true;
  // SDL falls back to its invisible offscreen driver when there is no
  // display; a game nobody can see is no start, unless it was asked for.
  const char* driver = SDL_GetCurrentVideoDriver();
  const char* wanted = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  if (driver && std::strcmp(driver, "offscreen") == 0 && !(wanted && std::strstr(wanted, "offscreen"))) {
    System_Shutdown();
    return Fail("Cannot open a window: no display is available");
  }
  if (!CreateWindowAndRenderer()) {
    System_Shutdown();
    return false;
  }
  platform::GuardX11Window(window_);
  if ((IMG_Init(IMG_INIT_PNG) & IMG_INIT_PNG) == 0) {
    System_Log("PNG support could not be started: %s", IMG_GetError());
  }
  ApplyIcon();
  SDL_ShowCursor(hideMouse_ ? SDL_DISABLE : SDL_ENABLE);
  SDL_StartTextInput();
  InstallSignalHandlers();

  SDL_RendererInfo info{};
  SDL_GetRendererInfo(renderer_, &info);
  System_Log("Video driver %s, renderer %s%s, screen %dx%dx%d in a %dx%d window (%dx%d pixels), refresh %.0f Hz",
             SDL_GetCurrentVideoDriver(), info.name ? info.name : "?", vsync_ ? " with vsync" : "",
             screenWidth_, screenHeight_, screenBpp_, windowSize_.width, windowSize_.height, drawableSize_.width,
             drawableSize_.height, refreshRate_);
  lastTick_ = SDL_GetPerformanceCounter();
  return true;
}

// The window keeps the window manager's generic icon when ours cannot be
// read: a line in the log, and the game starts all the same.
void Engine::ApplyIcon() {
  if (!window_ || icon_.empty()) return;
  const std::string path = vtr::ContentPath(icon_.c_str());
  SDL_RWops* stream = SDL_RWFromFile(path.c_str(), "rb");
  if (!stream) {
    System_Log("Cannot load the window icon %s: %s", path.c_str(), SDL_GetError());
    return;
  }
  const bool png = IMG_isPNG(stream) != 0;
  SDL_Surface* icon = png ? IMG_LoadPNG_RW(stream) : nullptr;
  SDL_RWclose(stream);
  if (!icon) {
    System_Log("Cannot load the window icon %s: %s", path.c_str(), png ? IMG_GetError() : "not a PNG image");
    return;
  }
  SDL_SetWindowIcon(window_, icon);
  SDL_FreeSurface(icon);
}

// With the display gone, SDL's teardown of the renderer and the window would
// talk to a server that is no more (and may end the process, or wait for an
// answer for ever): what they hold there goes with the process instead.
void Engine::System_Shutdown() {
  const bool displayGone = platform::X11DisplayGone();
  batchVertices_.clear();
  batchIndices_.clear();
  FreeTextures();
  if (!displayGone) {
    if (white_) SDL_DestroyTexture(white_);
    if (canvas_) SDL_DestroyTexture(canvas_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
  }
  white_ = nullptr;
  canvas_ = nullptr;
  canvasSize_ = windowSize_ = drawableSize_ = Size{};
  scaleX_ = scaleY_ = 1.0f;
  renderer_ = nullptr;
  window_ = nullptr;
  RestoreSignalHandlers();
  if (videoStarted_) {
    IMG_Quit();
    if (!displayGone) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER);
    videoStarted_ = false;
  }
}

void Engine::InstallSignalHandlers() {
  if (signalsInstalled_) return;
  struct sigaction action{};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // A signal the game was started ignoring stays ignored: `nohup vantor`
  // outlives its terminal.
  for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
    sigaction(kStopSignals[i], nullptr, &g_oldActions[i]);
    if (g_oldActions[i].sa_handler != SIG_IGN) sigaction(kStopSignals[i], &action, nullptr);
  }
  signalsInstalled_ = true;
}

void Engine::RestoreSignalHandlers() {
  if (!signalsInstalled_) return;
  for (std::size_t i = 0; i < std::size(kStopSignals); ++i) sigaction(kStopSignals[i], &g_oldActions[i], nullptr);
  signalsInstalled_ = false;
}

bool Engine::System_Start() {
  if (!renderer_) return Fail("System_Start: the engine is not initiated");
  if (!frameFunc_) return Fail("System_Start: no frame function is set");
  // The game's audio layer has opened its device by now.
  const char* audioDriver = SDL_GetCurrentAudioDriver();
  System_Log("Audio driver %s", audioDriver ? audioDriver : "none");

  RestartClock();
  for (int frames = 0; frameLimit_ == 0 || frames < frameLimit_; ++frames) {
    if (Suspended()) WaitWhileSuspended();
    if (RunFrame()) break;
    PaceFrame();
  }
  return true;
}

bool Engine::RunFrame() {
  input_.BeginFrame();
  presentedThisFrame_ = false;
  PumpEvents();
  // A window destroyed from outside ends the game like a close.
  if (platform::X11WindowLost()) quitRequested_ = true;
  if (ConsumeQuit()) return true;
  SyncViewport();
  UpdateDelta();
  if (frameFunc_ && frameFunc_()) return true;
  if (renderEnabled_ && renderFunc_) renderFunc_();
  return false;
}

// One pass of the loop for a host that calls the frames itself (the
// browser's animation frame), which cannot sleep in WaitWhileSuspended:
// while the window is suspended, events are handled and no frame runs, and
// the time it stood still does not count in the next frame's delta.
bool Engine::StepFrame() {
  if (Suspended()) {
    PumpEvents();
    if (ConsumeQuit()) return true;
    if (Suspended()) {
      RestartClock();
      return false;
    }
  }
  return RunFrame();
}

void Engine::PumpEvents() {
  SDL_Event event;
  while (SDL_PollEvent(&event)) HandleEvent(event);
}

void Engine::HandleEvent(const SDL_Event& event) {
  if (event.type == SDL_QUIT) {
    quitRequested_ = true;
  } else if (event.type == SDL_WINDOWEVENT) {
    switch (event.window.event) {
      case SDL_WINDOWEVENT_CLOSE: quitRequested_ = true; break;
      case SDL_WINDOWEVENT_MINIMIZED: minimized_ = true; break;
      case SDL_WINDOWEVENT_RESTORED:
      case SDL_WINDOWEVENT_MAXIMIZED: minimized_ = false; break;
      case SDL_WINDOWEVENT_HIDDEN: hidden_ = true; break;
      case SDL_WINDOWEVENT_SHOWN: hidden_ = false; break;
      case SDL_WINDOWEVENT_FOCUS_LOST:
        // Without a window manager the window may never get focus, yet lose
        // it to a message box: only a window that had focus waits for it.
        focusLost_ = hadFocus_;
        input_.ReleaseAll();
        break;
      case SDL_WINDOWEVENT_FOCUS_GAINED:
        hadFocus_ = true;
        focusLost_ = false;
        break;
      case SDL_WINDOWEVENT_EXPOSED: RedrawFor(kSettleFrames); break;
      default: break;
    }
  } else if (event.type == SDL_DISPLAYEVENT) {
    displayChanged_ = true;
  } else if (event.type == SDL_KEYDOWN && IsFullscreenKey(event.key.keysym)) {
    if (event.key.repeat == 0) {
      windowed_ = !windowed_;
      ApplyWindowMode();
    }
  } else if (event.type == SDL_RENDER_TARGETS_RESET || event.type == SDL_RENDER_DEVICE_RESET) {
    RedrawFor(kSettleFrames);  // the canvas lost its picture
  } else {
    input_.Handle(event);
  }
}

// Sleeps in SDL_WaitEvent until the window is back (or the game must end);
// the time asleep does not count in the next frame's delta. A window
// uncovered or resized meanwhile is shown the picture the game stopped on:
// no frame is drawn, but without a compositor the window system keeps no
// copy of what was under another window.
void Engine::WaitWhileSuspended() {
  SDL_Event event;
  while (Suspended() && !quitRequested_ && !g_stopSignal) {
    if (SDL_WaitEventTimeout(&event, 100)) {
      HandleEvent(event);
      const bool lostPicture = event.type == SDL_WINDOWEVENT && (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
                                                                 event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED);
      if (lostPicture && !minimized_ && !hidden_ && SyncViewport()) ShowCanvas();
    }
    if (platform::X11WindowLost()) quitRequested_ = true;
  }
  RestartClock();
}

bool Engine::ConsumeQuit() {
  if (!quitRequested_ && !g_stopSignal) return false;
  quitRequested_ = false;
  g_stopSignal = 0;
  return true;
}

const char* Engine::System_GetErrorMessage() { return error_.c_str(); }

// ---------------------------------------------------------------- timer

float Engine::Timer_GetDelta() { return delta_; }

// The clock as if a frame of one refresh period had just ended: the first
// frame after a start or a wait lasts that long, never the few microseconds
// since the reset (no paced frame is that short, and a recorded round with
// such a frame would look played by a tool).
void Engine::RestartClock() {
  const double frequency = static_cast<double>(SDL_GetPerformanceFrequency());
  const auto period = static_cast<Uint64>(frequency / std::max(refreshRate_, 1.0));
  const Uint64 now = SDL_GetPerformanceCounter();
  lastTick_ = now > period ? now - period : 0;
}

void Engine::UpdateDelta() {
  const Uint64 now = SDL_GetPerformanceCounter();
  const double seconds = static_cast<double>(now - lastTick_) / static_cast<double>(SDL_GetPerformanceFrequency());
  lastTick_ = now;
  // Real time in whole microseconds: finer than anything a frame can show,
  // and a recorded round's frame times then code in a byte or two each.
  // At least one: no frame passes in no time.
  const double micros = std::max(1.0, std::round(std::min(seconds, double{hge_record::kMaxFrameTime}) * 1.0e6));
  delta_ = fixedDelta_ > 0.0f ? fixedDelta_ : static_cast<float>(micros) / 1.0e6f;
}

// Without vsync a frame lasts at least one refresh period. With vsync the
// present paces the loop; the limiter only stops a renderer that claims vsync
// but does not wait (as some virtual displays do) from running flat out.
void Engine::PaceFrame() {
  if (fixedDelta_ > 0.0f) return;
  double period = 1.0 / refreshRate_;
  if (vsync_ && presentedThisFrame_) period /= 2.0;
  const double frequency = static_cast<double>(SDL_GetPerformanceFrequency());
  const double elapsed = static_cast<double>(SDL_GetPerformanceCounter() - lastTick_) / frequency;
  const double remaining = period - elapsed;
  if (remaining > 0.0) SDL_Delay(static_cast<Uint32>(remaining * 1000.0));
}

}  // namespace hge_sdl

HGE* hgeCreate(int ver) {
  if (ver != HGE_VERSION) return nullptr;
  return hge_sdl::Engine::Acquire();
}
