// The picture's place in the window: fitting with the aspect kept, and the
// mapping of points between window and logical coordinates.
#include "platform/viewport.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace hge_sdl {
namespace {

Size AtLeastOne(Size size) { return Size{std::max(size.width, 1), std::max(size.height, 1)}; }

// The largest logical-shaped rectangle inside room, by whole pixels: the
// limiting side is filled and the other rounded to the nearest pixel.
Size Inscribe(Size logical, Size room) {
  const std::int64_t lw = logical.width, lh = logical.height, rw = room.width, rh = room.height;
  if (rw * lh <= rh * lw) {  // the width limits
    return AtLeastOne(Size{room.width, static_cast<int>(std::min<std::int64_t>((rw * lh * 2 + lw) / (lw * 2), rh))});
  }
  return AtLeastOne(Size{static_cast<int>(std::min<std::int64_t>((rh * lw * 2 + lh) / (lh * 2), rw)), room.height});
}

// One axis of the window-to-logical mapping, clamped to the field.
float ToLogical(double point, double pointScale, int offset, int extent, int logical) {
  if (!std::isfinite(point)) return 0.0f;
  const double pixel = point * pointScale;
  const double value = (pixel - offset) * logical / extent;
  if (value < 0.0) return 0.0f;
  if (value >= logical) return static_cast<float>(logical - 1);
  return static_cast<float>(value);
}

}  // namespace

Viewport::Viewport(Size logical, Size window, Size drawable) : logical_(AtLeastOne(logical)) {
  window = AtLeastOne(window);
  drawable = AtLeastOne(drawable);
  pointScaleX_ = static_cast<double>(drawable.width) / window.width;
  pointScaleY_ = static_cast<double>(drawable.height) / window.height;
  const Size picture = Inscribe(logical_, drawable);
  width_ = picture.width;
  height_ = picture.height;
  x_ = (drawable.width - width_) / 2;
  y_ = (drawable.height - height_) / 2;
}

void Viewport::WindowToLogical(double wx, double wy, float* lx, float* ly) const {
  if (lx) *lx = ToLogical(wx, pointScaleX_, x_, width_, logical_.width);
  if (ly) *ly = ToLogical(wy, pointScaleY_, y_, height_, logical_.height);
}

void Viewport::LogicalToWindow(float lx, float ly, double* wx, double* wy) const {
  if (wx) *wx = (x_ + static_cast<double>(lx) * width_ / logical_.width) / pointScaleX_;
  if (wy) *wy = (y_ + static_cast<double>(ly) * height_ / logical_.height) / pointScaleY_;
}

Size FitWithAspect(Size logical, Size room) {
  logical = AtLeastOne(logical);
  room = AtLeastOne(room);
  if (logical.width <= room.width && logical.height <= room.height) return logical;
  return Inscribe(logical, room);
}

}  // namespace hge_sdl
