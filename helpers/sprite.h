// A rectangle cut out of a texture, held as a ready-made engine quad, drawn
// at a point or rotated and scaled about its hot spot. hgeAnimatedSprite
// selects one frame of a strip of equal frames.
#pragma once

#include "platform/hge.h"

class hgeSprite {
 public:
  // Texture rectangle (x, y, w, h) in texels; a 0 texture counts as 1x1.
  hgeSprite(HTEXTURE texture, float x, float y, float w, float h);
  hgeSprite(const hgeSprite& other);
  hgeSprite& operator=(const hgeSprite&) = delete;
  ~hgeSprite();

  // Axis-aligned, hot spot on (x, y).
  void Render(float x, float y);
  // Rotated (radians) and scaled about the hot spot; vscale 0 means hscale.
  void RenderTransformed(float x, float y, float rot, float hscale, float vscale = 0.0f);

  void SetTexture(HTEXTURE tex);
  // New texture rectangle; adjustSize also takes w, h as the drawn size.
  void SetTextureRect(float x, float y, float w, float h, bool adjustSize = true);
  // Colour of all four corners (i = -1) or of corner i (0..3).
  void SetColor(DWORD col, int i = -1);
  void SetZ(float z, int i = -1);
  void SetBlendMode(int blend) { quad_.blend = blend; }
  void SetHotSpot(float x, float y) { hotX_ = x; hotY_ = y; }
  // Mirrors the texture coordinates; bHotSpot mirrors the hot spot with them.
  void SetFlip(bool bX, bool bY, bool bHotSpot = false);

  HTEXTURE GetTexture() const { return quad_.tex; }
  void GetTextureRect(float* x, float* y, float* w, float* h) const {
    *x = tx_; *y = ty_; *w = width_; *h = height_;
  }
  DWORD GetColor(int i = 0) const { return quad_.v[i].col; }
  float GetZ(int i = 0) const { return quad_.v[i].z; }
  int GetBlendMode() const { return quad_.blend; }
  void GetHotSpot(float* x, float* y) const { *x = hotX_; *y = hotY_; }
  void GetFlip(bool* bX, bool* bY) const { *bX = xFlip_; *bY = yFlip_; }
  float GetWidth() const { return width_; }
  float GetHeight() const { return height_; }
  // The quad as last built (positions of the latest draw).
  const hgeQuad& GetQuad() const { return quad_; }

 protected:
  // Texture coordinates of the four corners from a rectangle in texels.
  void SetTexels(float left, float top, float right, float bottom);
  // Mirrors freshly set, unflipped coordinates again as the flags say.
  void Reflip();

  static HGE* hge_;  // class-wide engine reference

  hgeQuad quad_{};
  float tx_ = 0, ty_ = 0;          // texture rectangle corner, texels
  float width_ = 0, height_ = 0;   // drawn size, pixels
  float texWidth_ = 1, texHeight_ = 1;
  float hotX_ = 0, hotY_ = 0;
  bool xFlip_ = false, yFlip_ = false, hsFlip_ = false;
};

class hgeAnimatedSprite : public hgeSprite {
 public:
  hgeAnimatedSprite(HTEXTURE tex, int nframes, float fps, float x, float y, float w, float h);

  // Selects frame n (taken modulo the frame count); wraps onto further rows.
  void SetFrame(int n);
  int GetFrame() const { return curFrame_; }
  int GetFrames() const { return nFrames_; }

 private:
  int origWidth_ = 0;  // source image width as loaded
  float frameTime_ = 0;
  int nFrames_ = 1;
  int curFrame_ = 0;
};
