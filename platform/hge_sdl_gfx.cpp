// The persistent canvas, the frame's record and quad batching.
//
// Everything is drawn into the canvas, a target texture the size of the
// picture in the window (hge_sdl_window.cpp), which Gfx_EndScene copies to
// the window. The canvas is never cleared by the engine, so a frame paints
// over the previous one whatever the backend does with its back buffers.
// A scene's quads (in the game's logical coordinates) and clears are
// recorded until Gfx_EndScene, which compares the record with the previous
// scene's and, unless they are the same, draws it: the quads are scaled to
// the canvas and wait in a batch until the texture or blend mode changes or
// the batch is full; then the whole batch goes to SDL as one geometry call.
#include <SDL_image.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/hge_sdl.h"

namespace hge_sdl {
namespace {


SDL_Color ToSdlColor(DWORD argb) {
  return SDL_Color{static_cast<Uint8>(argb >> 16), static_cast<Uint8>(argb >> 8), static_cast<Uint8>(argb),
                   static_cast<Uint8>(argb >> 24)};
}

// Alpha blend when the flag is set, otherwise additive. The vertex colour
// always multiplies the texel: SDL has no per-vertex colour add.
SDL_BlendMode ToSdlBlend(int blend) {
  return (blend & BLEND_ALPHABLEND) != 0 ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_ADD;
}

// The frame's record is compared byte for byte: a quad has no padding.
static_assert(sizeof(hgeQuad) == 4 * (5 * sizeof(float) + sizeof(DWORD)) + sizeof(HTEXTURE) + sizeof(int));

// A quad that cannot change a pixel: every corner off one side of the
// screen, a corner that is not a number, all four alphas 0 (both blend
// modes scale the source by its alpha), or no area in either triangle (a
// letter of a broken font 0 pixels wide and millions tall kept SDL's
// software renderer busy for minutes drawing nothing).
bool CannotChangeAPixel(const hgeQuad& quad, int width, int height) {
  bool left = true, right = true, above = true, below = true, transparent = true;
  for (const hgeVertex& v : quad.v) {
    if (!std::isfinite(v.x) || !std::isfinite(v.y)) return true;
    left = left && v.x <= 0.0f;
    right = right && v.x >= static_cast<float>(width);
    above = above && v.y <= 0.0f;
    below = below && v.y >= static_cast<float>(height);
    transparent = transparent && (v.col >> 24) == 0;
  }
  if (left || right || above || below || transparent) return true;
  const auto twiceArea = [&quad](int a, int b, int c) {
    const hgeVertex &p = quad.v[a], &q = quad.v[b], &r = quad.v[c];
    return (static_cast<double>(q.x) - p.x) * (static_cast<double>(r.y) - p.y) -
           (static_cast<double>(r.x) - p.x) * (static_cast<double>(q.y) - p.y);
  };
  return twiceArea(0, 1, 2) == 0.0 && twiceArea(0, 2, 3) == 0.0;
}

// An untextured quad still carries the texture coordinates of its sprite,
// which are in pixels when the sprite's texture failed to load (0..1024 for
// the background). SDL refuses a whole draw call when any coordinate lies
// outside 0..1, and every texel of the white texture is the same, so each
// quad spans the whole texture instead. (Not one point for all corners: the
// software renderer then draws the quad without its additive blending.)
void ForgetTextureCoordinates(SDL_Vertex* vertices, std::size_t count) {
  static constexpr SDL_FPoint kCorners[4] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};
  for (std::size_t i = 0; i < count; ++i) vertices[i].tex_coord = kCorners[i % 4];
}

// SDL's software renderer draws a one-colour axis-aligned rectangle as a
// scaled copy through a temporary picture the size of the whole rectangle,
// off-screen parts included: a letter of a broken font a million pixels wide
// asks for gigabytes, and the draw fails. A rectangle that reaches farther
// than a screen's width or height beyond the screen is cut to the screen
// before it reaches SDL; nothing the game draws comes near that, so its
// pictures are untouched. The texture coordinates follow the corners: across
// an axis-aligned rectangle whose texture coordinates form a parallelogram
// they are linear in x and y, so the cut quad shows the part of the picture
// that was on the screen (the software renderer rounds the cut edges to
// whole texels). Quads of any other shape are left alone; SDL clips their
// triangles itself.
void CutRectangleToScreen(SDL_Vertex* v, int width, int height) {
  // Corners 0 and 2 are opposite, so for a rectangle they span it all; the
  // quads of a frame almost all leave here.
  const double x0 = v[0].position.x, y0 = v[0].position.y;
  const double x2 = v[2].position.x, y2 = v[2].position.y;
  const double w = width, h = height;
  const auto near = [](double p, double side) { return p >= -side && p <= 2.0 * side; };
  if (near(x0, w) && near(x2, w) && near(y0, h) && near(y2, h)) return;

  const auto sameColor = [](SDL_Color a, SDL_Color b) {
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
  };
  if (!sameColor(v[0].color, v[1].color) || !sameColor(v[0].color, v[2].color) ||
      !sameColor(v[0].color, v[3].color)) {
    return;
  }
  // Corners 1 and 3 share an x or a y with each of corners 0 and 2.
  const bool alongX = v[0].position.y == v[1].position.y && v[1].position.x == v[2].position.x &&
                      v[2].position.y == v[3].position.y && v[3].position.x == v[0].position.x;
  const bool alongY = v[0].position.x == v[1].position.x && v[1].position.y == v[2].position.y &&
                      v[2].position.x == v[3].position.x && v[3].position.y == v[0].position.y;
  if (!alongX && !alongY) return;
  if (x0 == x2 || y0 == y2) return;

  // Texture coordinates as a function of the position: corner 0 plus a step
  // along x and a step along y, taken from the corners beside it.
  const SDL_FPoint uv0 = v[0].tex_coord;
  const SDL_FPoint uvX = (alongX ? v[1] : v[3]).tex_coord;  // the corner sharing y with corner 0
  const SDL_FPoint uvY = (alongX ? v[3] : v[1]).tex_coord;  // the corner sharing x with corner 0
  const auto same = [](double a, double b) {
    return std::abs(a - b) <= 1e-6 * std::max({1.0, std::abs(a), std::abs(b)});
  };
  if (!same(static_cast<double>(uvX.x) + uvY.x - uv0.x, v[2].tex_coord.x) ||
      !same(static_cast<double>(uvX.y) + uvY.y - uv0.y, v[2].tex_coord.y)) {
    return;  // not a parallelogram: SDL draws it as two triangles
  }
  const double dudx = (uvX.x - uv0.x) / (x2 - x0), dvdx = (uvX.y - uv0.y) / (x2 - x0);
  const double dudy = (uvY.x - uv0.x) / (y2 - y0), dvdy = (uvY.y - uv0.y) / (y2 - y0);
  for (int i = 0; i < 4; ++i) {
    const double x = std::clamp(static_cast<double>(v[i].position.x), 0.0, w);
    const double y = std::clamp(static_cast<double>(v[i].position.y), 0.0, h);
    v[i].position = SDL_FPoint{static_cast<float>(x), static_cast<float>(y)};
    v[i].tex_coord = SDL_FPoint{static_cast<float>(uv0.x + (x - x0) * dudx + (y - y0) * dudy),
                                static_cast<float>(uv0.y + (x - x0) * dvdx + (y - y0) * dvdy)};
  }
}

}  // namespace

// ---------------------------------------------------------------- scene

bool Engine::Gfx_BeginScene(HTARGET target) {
  if (!renderer_) return Fail("Gfx_BeginScene: the engine is not initiated");
  if (target != 0) return Fail("Gfx_BeginScene: only the screen can be a render target");
  inScene_ = true;
  frame_.clear();
  frameClears_.clear();
  sceneDrawCalls_ = 0;
  sceneQuads_ = 0;
  sceneBeganTick_ = SDL_GetPerformanceCounter();
  return true;
}

// A frame whose record equals the previous one's would paint the picture
// the canvas already holds, so it is neither drawn nor presented: a still
// menu costs the game's update and the comparison, nothing more. Only a
// window that needs its picture again (exposed, resized, another mode, a
// texture changed) draws it anyway. (A picture that does not cover the
// whole canvas and is painted over the previous one would change a little
// with each repetition; that change stops at the first repeated frame.)
void Engine::Gfx_EndScene() {
  if (!renderer_ || !inScene_) return;
  inScene_ = false;
  const Uint64 endBegan = SDL_GetPerformanceCounter();
  const bool repeated = redrawFrames_ == 0 && frame_.size() == previousFrame_.size() &&
                        frameClears_ == previousClears_ &&
                        (frame_.empty() ||
                         std::memcmp(frame_.data(), previousFrame_.data(), frame_.size() * sizeof(hgeQuad)) == 0);
  if (!repeated) {
    std::size_t clear = 0;
    for (std::size_t i = 0; i < frame_.size(); ++i) {
      for (; clear < frameClears_.size() && frameClears_[clear].before == i; ++clear) ClearCanvas(frameClears_[clear].color);
      DrawQuad(frame_[i]);
    }
    for (; clear < frameClears_.size(); ++clear) ClearCanvas(frameClears_[clear].color);
    FlushBatch();
    PresentCanvas();
  }
  frame_.swap(previousFrame_);
  frameClears_.swap(previousClears_);
  lastSceneDrawCalls_ = sceneDrawCalls_;
  lastSceneQuads_ = sceneQuads_;
  lastScenePresented_ = !repeated;
  presentedThisFrame_ = !repeated;

  const double frequency = static_cast<double>(SDL_GetPerformanceFrequency());
  const Uint64 ended = SDL_GetPerformanceCounter();
  lastSceneTimes_.submit = static_cast<double>(endBegan - sceneBeganTick_) / frequency;
  lastSceneTimes_.flush = static_cast<double>(ended - endBegan) / frequency;
}

void Engine::Gfx_Clear(DWORD color) {
  if (!renderer_) return;
  if (inScene_) {
    frameClears_.push_back(SceneClear{frame_.size(), color});
    return;
  }
  ClearCanvas(color);
  RedrawFor(1);
}

void Engine::ClearCanvas(DWORD color) {
  FlushBatch();
  const SDL_Color c = ToSdlColor(color);
  SDL_SetRenderDrawColor(renderer_, c.r, c.g, c.b, c.a);
  SDL_RenderClear(renderer_);
}

// Quads of a scene join the frame's record, drawn at its end; a quad given
// outside a scene is drawn with the next scene's.
void Engine::Gfx_RenderQuad(const hgeQuad* quad) {
  if (!quad) return;
  if (quadTap_) quadTap_(*quad);
  if (!renderer_) return;
  ++sceneQuads_;
  if (CannotChangeAPixel(*quad, screenWidth_, screenHeight_)) return;
  if (inScene_) {
    frame_.push_back(*quad);
  } else {
    DrawQuad(*quad);
    RedrawFor(1);
  }
}

void Engine::DrawQuad(const hgeQuad& quad) {
  const SDL_BlendMode blend = ToSdlBlend(quad.blend);
  if (!batchVertices_.empty() && (quad.tex != batchTexture_ || blend != batchBlend_)) FlushBatch();
  if (batchVertices_.size() >= kMaxBatchQuads * 4) FlushBatch();
  batchTexture_ = quad.tex;
  batchBlend_ = blend;

  const int base = static_cast<int>(batchVertices_.size());
  for (const hgeVertex& v : quad.v) {
    batchVertices_.push_back(SDL_Vertex{SDL_FPoint{v.x, v.y}, ToSdlColor(v.col), SDL_FPoint{v.tx, v.ty}});
  }
  CutRectangleToScreen(&batchVertices_[static_cast<std::size_t>(base)], screenWidth_, screenHeight_);
  ToCanvas(&batchVertices_[static_cast<std::size_t>(base)], 4);
  // Two triangles: top left, top right, bottom right; top left, bottom right, bottom left.
  for (int corner : {0, 1, 2, 0, 2, 3}) batchIndices_.push_back(base + corner);
}

// Logical positions to canvas pixels (unchanged at scale 1).
void Engine::ToCanvas(SDL_Vertex* vertices, std::size_t count) const {
  if (scaleX_ == 1.0f && scaleY_ == 1.0f) return;
  for (std::size_t i = 0; i < count; ++i) {
    vertices[i].position.x *= scaleX_;
    vertices[i].position.y *= scaleY_;
  }
}

// A texture handle that is unknown or freed draws untextured.
SDL_Texture* Engine::TextureOrWhite(HTEXTURE tex) const {
  if (tex != 0 && tex <= textures_.size() && textures_[tex - 1].texture) return textures_[tex - 1].texture;
  return white_;
}

bool Engine::DrawBatch(SDL_Texture* texture, SDL_BlendMode blend, const SDL_Vertex* vertices, int vertexCount,
                       const int* indices) {
  SDL_SetTextureBlendMode(texture, blend);
  return SDL_RenderGeometry(renderer_, texture, vertices, vertexCount, indices, vertexCount / 4 * 6) == 0;
}

void Engine::FlushBatch() {
  if (batchVertices_.empty()) return;
  SDL_Texture* texture = TextureOrWhite(batchTexture_);
  if (texture == white_) ForgetTextureCoordinates(batchVertices_.data(), batchVertices_.size());
  if (!DrawBatch(texture, batchBlend_, batchVertices_.data(), static_cast<int>(batchVertices_.size()),
                 batchIndices_.data())) {
    System_Log("Drawing %zu quads failed: %s", batchVertices_.size() / 4, SDL_GetError());
  }
  ++sceneDrawCalls_;
  batchVertices_.clear();
  batchIndices_.clear();
}

double Engine::ReplayQuads(const std::vector<hgeQuad>& quads) {
  if (!renderer_) return 0.0;
  FlushBatch();
  replayVertices_.clear();
  replayIndices_.clear();
  replayRuns_.clear();
  for (const hgeQuad& quad : quads) {
    if (CannotChangeAPixel(quad, screenWidth_, screenHeight_)) continue;
    SDL_Texture* texture = TextureOrWhite(quad.tex);
    const SDL_BlendMode blend = ToSdlBlend(quad.blend);
    if (replayRuns_.empty() || replayRuns_.back().texture != texture || replayRuns_.back().blend != blend) {
      replayRuns_.push_back(ReplayRun{texture, blend, replayVertices_.size(), 0});
    }
    const int base = static_cast<int>(replayRuns_.back().vertexCount);
    for (const hgeVertex& v : quad.v) {
      replayVertices_.push_back(SDL_Vertex{SDL_FPoint{v.x, v.y}, ToSdlColor(v.col), SDL_FPoint{v.tx, v.ty}});
    }
    CutRectangleToScreen(&replayVertices_.back() - 3, screenWidth_, screenHeight_);
    ToCanvas(&replayVertices_.back() - 3, 4);
    if (texture == white_) ForgetTextureCoordinates(&replayVertices_.back() - 3, 4);
    replayRuns_.back().vertexCount += 4;
    // Indices of the longest run serve every run: each starts at vertex 0.
    if (replayIndices_.size() < replayRuns_.back().vertexCount / 4 * 6) {
      for (int corner : {0, 1, 2, 0, 2, 3}) replayIndices_.push_back(base + corner);
    }
  }

  const Uint64 began = SDL_GetPerformanceCounter();
  for (const ReplayRun& run : replayRuns_) {
    DrawBatch(run.texture, run.blend, replayVertices_.data() + run.firstVertex, static_cast<int>(run.vertexCount),
              replayIndices_.data());
  }
  PresentCanvas();
  const Uint64 ended = SDL_GetPerformanceCounter();
  return static_cast<double>(ended - began) / static_cast<double>(SDL_GetPerformanceFrequency());
}

std::string Engine::VideoDriverName() const {
  const char* name = videoStarted_ ? SDL_GetCurrentVideoDriver() : nullptr;
  return name ? name : "";
}

std::string Engine::RendererName() const {
  SDL_RendererInfo info{};
  if (!renderer_ || SDL_GetRendererInfo(renderer_, &info) != 0 || !info.name) return "";
  return info.name;
}

std::uint32_t Engine::ReadPixel(int x, int y) {
  if (!renderer_ || x < 0 || y < 0 || x >= screenWidth_ || y >= screenHeight_) return 0;
  FlushBatch();
  // The canvas pixel under the logical pixel's centre.
  const SDL_Rect rect{std::min(static_cast<int>((x + 0.5) * scaleX_), canvasSize_.width - 1),
                      std::min(static_cast<int>((y + 0.5) * scaleY_), canvasSize_.height - 1), 1, 1};
  std::uint32_t pixel = 0;
  if (SDL_RenderReadPixels(renderer_, &rect, SDL_PIXELFORMAT_ARGB8888, &pixel, sizeof pixel) != 0) {
    System_Log("Reading the canvas failed: %s", SDL_GetError());
    return 0;
  }
  return pixel;
}

}  // namespace hge_sdl
