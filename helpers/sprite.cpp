// A sprite keeps its engine quad ready between draws: texture coordinates,
// colours, depth and blend persist until changed, and each draw only
// recomputes the four corner positions before handing the quad over.
//
// Flipping mirrors the texture coordinates. With the hot-spot flip on, the
// hot spot is mirrored as well, by the flip state the sprite had before the
// call (after undoing the mirroring of the previous call); so a call that
// flips the picture and switches the hot-spot flip on at once leaves the hot
// spot where it was.
#include "helpers/sprite.h"

#include <cassert>
#include <climits>
#include <cmath>
#include <cstdint>
#include <utility>

HGE* hgeSprite::hge_ = nullptr;

namespace {

// A texture size as the sprite divides by it. No texture counts as 1 so that
// texture coordinates equal the pixel values given; an engine that reports
// nothing usable for a handle (0 or less) gets the same treatment rather
// than a division by zero.
float TextureExtent(HTEXTURE tex, int reported) {
  return (tex != 0 && reported > 0) ? static_cast<float>(reported) : 1.0f;
}

// Rounds to the nearest int, halves to even (the helper layer's rule).
// False when the value is not a finite number within int's range.
bool RoundToInt(float value, int* out) {
  const double rounded = std::nearbyint(static_cast<double>(value));
  if (!(rounded >= static_cast<double>(INT_MIN) && rounded <= static_cast<double>(INT_MAX))) {
    return false;
  }
  *out = static_cast<int>(rounded);
  return true;
}

void SwapTexCoords(hgeVertex& a, hgeVertex& b) {
  std::swap(a.tx, b.tx);
  std::swap(a.ty, b.ty);
}

}  // namespace

hgeSprite::hgeSprite(HTEXTURE texture, float x, float y, float w, float h)
    : tx_(x), ty_(y), width_(w), height_(h) {
  hge_ = hgeCreate(HGE_VERSION);

  texWidth_ = TextureExtent(texture, texture ? hge_->Texture_GetWidth(texture, false) : 0);
  texHeight_ = TextureExtent(texture, texture ? hge_->Texture_GetHeight(texture, false) : 0);

  quad_.tex = texture;
  quad_.blend = BLEND_DEFAULT;
  for (hgeVertex& v : quad_.v) {
    v.z = 0.5f;
    v.col = 0xFFFFFFFF;
  }

  SetTexels(x, y, x + w, y + h);
}

hgeSprite::hgeSprite(const hgeSprite& other)
    : quad_(other.quad_),
      tx_(other.tx_),
      ty_(other.ty_),
      width_(other.width_),
      height_(other.height_),
      texWidth_(other.texWidth_),
      texHeight_(other.texHeight_),
      hotX_(other.hotX_),
      hotY_(other.hotY_),
      xFlip_(other.xFlip_),
      yFlip_(other.yFlip_),
      hsFlip_(other.hsFlip_) {
  hge_ = hgeCreate(HGE_VERSION);
}

hgeSprite::~hgeSprite() { hge_->Release(); }

void hgeSprite::Render(float x, float y) {
  const float left = x - hotX_;
  const float top = y - hotY_;
  const float right = x + width_ - hotX_;
  const float bottom = y + height_ - hotY_;

  quad_.v[0].x = left;  quad_.v[0].y = top;
  quad_.v[1].x = right; quad_.v[1].y = top;
  quad_.v[2].x = right; quad_.v[2].y = bottom;
  quad_.v[3].x = left;  quad_.v[3].y = bottom;

  hge_->Gfx_RenderQuad(&quad_);
}

void hgeSprite::RenderTransformed(float x, float y, float rot, float hscale, float vscale) {
  if (vscale == 0.0f) vscale = hscale;

  const float left = -hotX_ * hscale;
  const float top = -hotY_ * vscale;
  const float right = (width_ - hotX_) * hscale;
  const float bottom = (height_ - hotY_) * vscale;

  if (rot != 0.0f) {
    const float cr = std::cos(rot);
    const float sr = std::sin(rot);
    const float corners[4][2] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
    for (int i = 0; i < 4; ++i) {
      const float a = corners[i][0];
      const float b = corners[i][1];
      quad_.v[i].x = a * cr - b * sr + x;
      quad_.v[i].y = a * sr + b * cr + y;
    }
  } else {
    quad_.v[0].x = left + x;  quad_.v[0].y = top + y;
    quad_.v[1].x = right + x; quad_.v[1].y = top + y;
    quad_.v[2].x = right + x; quad_.v[2].y = bottom + y;
    quad_.v[3].x = left + x;  quad_.v[3].y = bottom + y;
  }

  hge_->Gfx_RenderQuad(&quad_);
}

void hgeSprite::SetTexture(HTEXTURE tex) {
  const float newWidth = TextureExtent(tex, tex ? hge_->Texture_GetWidth(tex, false) : 0);
  const float newHeight = TextureExtent(tex, tex ? hge_->Texture_GetHeight(tex, false) : 0);
  quad_.tex = tex;

  // Keep the same texel rectangle on the new texture: coordinates are
  // rescaled, so flips and a squeezed texture rectangle survive.
  if (newWidth != texWidth_ || newHeight != texHeight_) {
    for (hgeVertex& v : quad_.v) {
      v.tx = v.tx * texWidth_ / newWidth;
      v.ty = v.ty * texHeight_ / newHeight;
    }
    texWidth_ = newWidth;
    texHeight_ = newHeight;
  }
}

void hgeSprite::SetTextureRect(float x, float y, float w, float h, bool adjustSize) {
  tx_ = x;
  ty_ = y;
  if (adjustSize) {
    width_ = w;
    height_ = h;
  }

  // Always from the given w and h: without adjustSize the picture is
  // stretched or squeezed into the drawn size.
  SetTexels(x, y, x + w, y + h);
  Reflip();
}

void hgeSprite::SetTexels(float left, float top, float right, float bottom) {
  const float u0 = left / texWidth_;
  const float v0 = top / texHeight_;
  const float u1 = right / texWidth_;
  const float v1 = bottom / texHeight_;
  quad_.v[0].tx = u0; quad_.v[0].ty = v0;
  quad_.v[1].tx = u1; quad_.v[1].ty = v0;
  quad_.v[2].tx = u1; quad_.v[2].ty = v1;
  quad_.v[3].tx = u0; quad_.v[3].ty = v1;
}

void hgeSprite::Reflip() {
  const bool flipX = xFlip_, flipY = yFlip_, flipHotSpot = hsFlip_;
  xFlip_ = false;
  yFlip_ = false;
  SetFlip(flipX, flipY, flipHotSpot);
}

void hgeSprite::SetColor(DWORD col, int i) {
  assert(i >= -1 && i <= 3 && "SetColor: corner index is -1 (all) or 0..3");
  if (i == -1) {
    for (hgeVertex& v : quad_.v) v.col = col;
  } else if (i >= 0 && i <= 3) {
    quad_.v[i].col = col;
  }
}

void hgeSprite::SetZ(float z, int i) {
  assert(i >= -1 && i <= 3 && "SetZ: corner index is -1 (all) or 0..3");
  if (i == -1) {
    for (hgeVertex& v : quad_.v) v.z = z;
  } else if (i >= 0 && i <= 3) {
    quad_.v[i].z = z;
  }
}

void hgeSprite::SetFlip(bool bX, bool bY, bool bHotSpot) {
  // Undo the hot spot's old mirroring, then mirror it by the new switch; both
  // use the flip state from before this call.
  if (hsFlip_ && xFlip_) hotX_ = width_ - hotX_;
  if (hsFlip_ && yFlip_) hotY_ = height_ - hotY_;
  hsFlip_ = bHotSpot;
  if (hsFlip_ && xFlip_) hotX_ = width_ - hotX_;
  if (hsFlip_ && yFlip_) hotY_ = height_ - hotY_;

  if (bX != xFlip_) {
    SwapTexCoords(quad_.v[0], quad_.v[1]);
    SwapTexCoords(quad_.v[3], quad_.v[2]);
    xFlip_ = !xFlip_;
  }
  if (bY != yFlip_) {
    SwapTexCoords(quad_.v[0], quad_.v[3]);
    SwapTexCoords(quad_.v[1], quad_.v[2]);
    yFlip_ = !yFlip_;
  }
}

hgeAnimatedSprite::hgeAnimatedSprite(HTEXTURE tex, int nframes, float fps, float x, float y,
                                     float w, float h)
    : hgeSprite(tex, x, y, w, h) {
  assert(nframes >= 1 && "hgeAnimatedSprite: a strip has at least one frame");
  origWidth_ = hge_->Texture_GetWidth(tex, true);
  nFrames_ = nframes >= 1 ? nframes : 1;
  frameTime_ = fps != 0.0f ? 1.0f / fps : 0.0f;
  SetFrame(0);
}

// Frames lie side by side from the texture rectangle to the right edge of
// the source image, then continue row by row below, each row starting at the
// image's left edge. An image narrower than one frame (also: no texture, for
// which the engine reports no width) has no rows to wrap onto, so its frames
// simply continue along the first row.
void hgeAnimatedSprite::SetFrame(int n) {
  n %= nFrames_;
  if (n < 0) n += nFrames_;
  curFrame_ = n;

  float left = tx_ + static_cast<float>(n) * width_;
  float top = ty_;

  int frameWidth = 0;
  int rowRest = 0;
  const bool wraps = left > static_cast<float>(origWidth_) - width_ &&
                     RoundToInt(width_, &frameWidth) && frameWidth >= 1 &&
                     origWidth_ / frameWidth >= 1 &&
                     RoundToInt(static_cast<float>(origWidth_) - tx_, &rowRest);
  if (wraps) {
    const std::int64_t columns = origWidth_ / frameWidth;
    // Frames left after the first row; 64-bit so no pair of ints overflows.
    const std::int64_t rest = std::int64_t{n} - rowRest / frameWidth;
    left = width_ * static_cast<float>(rest % columns);
    top = ty_ + height_ * static_cast<float>(rest / columns + 1);
  }

  SetTexels(left, top, left + width_, top + height_);
  Reflip();
}
