// Where the game's picture sits in its window. The game draws and reads the
// mouse in its own (logical) coordinates, always the configured screen size;
// the window may be any size. The picture is scaled to the largest size that
// fits the window's drawable with the same aspect ratio, centred, with black
// bars on the two sides where the shapes differ. On a HiDPI display the
// drawable has more pixels than the window has points, and the picture is
// drawn at the drawable's resolution.
//
// The mapping is exact where it matters: at scale 1 a window point is the
// logical point itself, and a logical point taken to the window and back
// comes back unchanged.
#pragma once

namespace hge_sdl {

struct Size {
  int width = 0;
  int height = 0;
  bool operator==(const Size&) const = default;
};

class Viewport {
 public:
  Viewport() = default;
  // Fits a logical picture into a window of window points whose drawable
  // has drawable pixels. Sizes below 1 count as 1.
  Viewport(Size logical, Size window, Size drawable);

  // The picture's rectangle in drawable pixels.
  int X() const { return x_; }
  int Y() const { return y_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Drawable pixels per logical pixel, along each axis.
  double ScaleX() const { return static_cast<double>(width_) / logical_.width; }
  double ScaleY() const { return static_cast<double>(height_) / logical_.height; }

  // A point in window coordinates as a logical point. A point in a bar or
  // outside the window lands on the nearest edge of the play field: 0, or
  // the last logical pixel.
  void WindowToLogical(double wx, double wy, float* lx, float* ly) const;
  // A logical point in window coordinates (the inverse, inside the picture).
  void LogicalToWindow(float lx, float ly, double* wx, double* wy) const;

 private:
  Size logical_{1, 1};
  double pointScaleX_ = 1.0;  // drawable pixels per window point
  double pointScaleY_ = 1.0;
  int x_ = 0, y_ = 0, width_ = 1, height_ = 1;
};

// The largest size of the logical picture's aspect that fits in room, or the
// logical size itself when that fits. Never below 1x1.
Size FitWithAspect(Size logical, Size room);

}  // namespace hge_sdl
