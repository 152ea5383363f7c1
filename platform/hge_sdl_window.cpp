// The window, the renderer and the canvas's place in the window.
//
// The game draws at its logical size (the screen size it was configured
// with) and never learns the window's size. The window is resizable; the
// picture is scaled to the largest size of the same aspect that fits the
// window's drawable, with black bars where the shapes differ (Viewport).
// The canvas is the size of the picture in drawable pixels, so a HiDPI or
// a large window gets a picture drawn at its own resolution, not a small one
// blurred up. The sizes are checked every frame: a window resized, moved to
// another display or made fullscreen, and a display that changed its mode,
// all come down to a new drawable size.
#include <SDL_image.h>

#include <algorithm>

#include "platform/hge_sdl.h"

namespace hge_sdl {

// At start the window has the logical size, or the largest size of the same
// aspect that fits the usable area of its display when that is smaller.
// A size asked for (a remembered one) is held to the usable area instead.
Size Engine::InitialWindowSize() const {
  const Size logical{screenWidth_, screenHeight_};
  SDL_Rect usable{};
  const bool known = SDL_GetDisplayUsableBounds(0, &usable) == 0;
  if (windowedSize_.width > 0 && windowedSize_.height > 0) {
    if (!known) return windowedSize_;
    return Size{std::clamp(windowedSize_.width, 1, std::max(usable.w, 1)),
                std::clamp(windowedSize_.height, 1, std::max(usable.h, 1))};
  }
  return known ? FitWithAspect(logical, Size{usable.w, usable.h}) : logical;
}

// The usable area does not count the window's own decorations, which a
// window manager reports only once the window is shown; a window that no
// longer fits once they are known is made smaller and centred again.
void Engine::FitDecorations() {
  int top = 0, left = 0, bottom = 0, right = 0;
  SDL_Rect usable{};
  const int display = std::max(SDL_GetWindowDisplayIndex(window_), 0);
  if (SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right) != 0) return;
  if (SDL_GetDisplayUsableBounds(display, &usable) != 0) return;
  const Size room{usable.w - left - right, usable.h - top - bottom};
  int width = 0, height = 0;
  SDL_GetWindowSize(window_, &width, &height);
  if (width <= room.width && height <= room.height) return;
  const Size fitted = FitWithAspect(Size{screenWidth_, screenHeight_}, room);
  SDL_SetWindowSize(window_, fitted.width, fitted.height);
  SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED_DISPLAY(display), SDL_WINDOWPOS_CENTERED_DISPLAY(display));
}

bool Engine::CreateWindowAndRenderer() {
  const Size size = InitialWindowSize();
  window_ = SDL_CreateWindow(title_.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, size.width, size.height,
                             SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
  if (!window_) return Fail(std::string("Cannot open a window: ") + SDL_GetError());
  SDL_SetWindowMinimumSize(window_, std::min(screenWidth_, kMinWindowSide), std::min(screenHeight_, kMinWindowSide));

  SDL_SetHint(SDL_HINT_RENDER_BATCHING, "1");
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
  renderer_ = SDL_CreateRenderer(window_, -1,
                                 SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC | SDL_RENDERER_TARGETTEXTURE);
  if (!renderer_) {
    System_Log("No accelerated renderer (%s); drawing in software", SDL_GetError());
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE | SDL_RENDERER_TARGETTEXTURE);
  }
  if (!renderer_) return Fail(std::string("Cannot create a renderer: ") + SDL_GetError());

  // Shown only now: a renderer may make the window again (for OpenGL), and
  // nobody should see a window come and go.
  SDL_ShowWindow(window_);
  SDL_PumpEvents();
  FitDecorations();
  if (!windowed_) ApplyWindowMode();

  SDL_RendererInfo info{};
  SDL_GetRendererInfo(renderer_, &info);
  // The software renderer reports vsync but never waits for it.
  vsync_ = (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0 && (info.flags & SDL_RENDERER_SOFTWARE) == 0;
  UpdateRefreshRate();

  if (!SyncViewport()) return false;

  // Untextured quads draw a white texel times their vertex colour: the
  // software renderer ignores additive blending for untextured rectangles.
  white_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, 1, 1);
  const Uint32 white = 0xFFFFFFFF;
  if (!white_ || SDL_UpdateTexture(white_, nullptr, &white, sizeof white) != 0) {
    return Fail(std::string("Cannot create a texture: ") + SDL_GetError());
  }

  batchVertices_.reserve(kMaxBatchQuads * 4);
  batchIndices_.reserve(kMaxBatchQuads * 6);
  return true;
}

void Engine::UpdateRefreshRate() {
  SDL_DisplayMode mode{};
  const int display = SDL_GetWindowDisplayIndex(window_);
  if (display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 && mode.refresh_rate > 0) {
    refreshRate_ = mode.refresh_rate;
  }
}

// Fits the picture to the window as it is now; a new picture size makes a
// new canvas. False only when no canvas could be made at all.
bool Engine::SyncViewport() {
  if (displayChanged_) {
    displayChanged_ = false;
    KeepWindowOnDisplay();
    UpdateRefreshRate();
  }
  Size window{}, drawable{};
  SDL_GetWindowSize(window_, &window.width, &window.height);
  // Not the renderer's output size: with the software renderer that is the
  // size of the render target, the canvas itself.
  SDL_GetWindowSizeInPixels(window_, &drawable.width, &drawable.height);
  if (canvas_ && window == windowSize_ && drawable == drawableSize_) return true;
  windowSize_ = window;
  drawableSize_ = drawable;
  viewport_ = Viewport(Size{screenWidth_, screenHeight_}, window, drawable);
  RedrawFor(kSettleFrames);
  if (canvas_ && canvasSize_ == Size{viewport_.Width(), viewport_.Height()}) return true;
  if (canvas_) UpdateRefreshRate();  // perhaps another display
  return ResizeCanvas();
}

// Desktop fullscreen (the picture scaled as in any window) or back to the
// window's own size, centred. A switch that fails leaves the mode as it was.
//
// The window is first laid over the whole display by hand: without a window
// manager (a bare X server) nobody answers SDL's request for fullscreen, and
// the window would keep its size while SDL drew for the display's.
void Engine::ApplyWindowMode() {
  const bool fullscreen = (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) != 0;
  if (fullscreen == !windowed_) return;
  const int display = std::max(SDL_GetWindowDisplayIndex(window_), 0);
  if (!windowed_) {
    SDL_GetWindowSize(window_, &windowedSize_.width, &windowedSize_.height);
    SDL_Rect bounds{};
    if (SDL_GetDisplayBounds(display, &bounds) == 0) {
      SDL_SetWindowPosition(window_, bounds.x, bounds.y);
      SDL_SetWindowSize(window_, bounds.w, bounds.h);
    }
  }
  if (SDL_SetWindowFullscreen(window_, windowed_ ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
    System_Log("Cannot %s fullscreen: %s", windowed_ ? "leave" : "enter", SDL_GetError());
    windowed_ = !windowed_;
    return;
  }
  if (windowed_ && windowedSize_.width > 0 && windowedSize_.height > 0) {
    SDL_SetWindowSize(window_, windowedSize_.width, windowedSize_.height);
    SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED_DISPLAY(display), SDL_WINDOWPOS_CENTERED_DISPLAY(display));
  }
  RedrawFor(kSettleFrames);
}

// A display that changed its mode or went away may leave a window larger
// than the display it is now on: it is held to that display's usable area.
// (A fullscreen window follows its display by itself.)
void Engine::KeepWindowOnDisplay() {
  if (!windowed_) return;
  SDL_Rect usable{};
  const int display = std::max(SDL_GetWindowDisplayIndex(window_), 0);
  if (SDL_GetDisplayUsableBounds(display, &usable) != 0) return;
  int width = 0, height = 0;
  SDL_GetWindowSize(window_, &width, &height);
  if (width <= usable.w && height <= usable.h) return;
  SDL_SetWindowSize(window_, std::min(width, usable.w), std::min(height, usable.h));
  SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED_DISPLAY(display), SDL_WINDOWPOS_CENTERED_DISPLAY(display));
}

// The window's size when not fullscreen: its size now while it is a window.
Size Engine::WindowedSize() const {
  if (!window_ || !windowed_ || (SDL_GetWindowFlags(window_) & (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_MINIMIZED)) != 0) {
    return windowedSize_;
  }
  Size size;
  SDL_GetWindowSize(window_, &size.width, &size.height);
  return size;
}

// A canvas the size of the picture. The old canvas's picture is scaled into
// the new one, so the frame that is not cleared still paints over the last.
// When the new one cannot be made, the old one stays (and is scaled on
// presenting).
bool Engine::ResizeCanvas() {
  FlushBatch();
  const Size size{viewport_.Width(), viewport_.Height()};
  SDL_Texture* canvas =
      SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET, size.width, size.height);
  if (!canvas) {
    System_Log("Cannot make a %dx%d canvas: %s", size.width, size.height, SDL_GetError());
    return canvas_ != nullptr || Fail(std::string("Cannot create the frame canvas: ") + SDL_GetError());
  }
  SDL_SetTextureBlendMode(canvas, SDL_BLENDMODE_NONE);
  SDL_SetRenderTarget(renderer_, canvas);
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  if (canvas_) {
    SDL_RenderCopy(renderer_, canvas_, nullptr, nullptr);
    SDL_DestroyTexture(canvas_);
  }
  canvas_ = canvas;
  canvasSize_ = size;
  scaleX_ = static_cast<float>(viewport_.ScaleX());
  scaleY_ = static_cast<float>(viewport_.ScaleY());
  return true;
}

// Copies the canvas into its place in the window, between black bars, and
// presents it; drawing goes on into the canvas afterwards.
void Engine::ShowCanvas() {
  SDL_SetRenderTarget(renderer_, nullptr);
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  const SDL_Rect place{viewport_.X(), viewport_.Y(), viewport_.Width(), viewport_.Height()};
  SDL_RenderCopy(renderer_, canvas_, nullptr, &place);
  SDL_RenderPresent(renderer_);
  SDL_SetRenderTarget(renderer_, canvas_);
  ++presents_;
}

// A drawn scene shown: one frame fewer that must be drawn whatever it holds.
void Engine::PresentCanvas() {
  ShowCanvas();
  if (redrawFrames_ > 0) --redrawFrames_;
}

headless::WindowSize Engine::GetWindowSize() const {
  headless::WindowSize size;
  if (window_) SDL_GetWindowSize(window_, &size.width, &size.height);
  return size;
}

void Engine::SetWindowSize(int width, int height) {
  if (window_) SDL_SetWindowSize(window_, width, height);
}

}  // namespace hge_sdl
