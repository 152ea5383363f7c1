// The engine's benchmark controls: the limit replay must draw exactly what
// the scene drew (or the benchmark compares against a different picture),
// and the scene's time must split into submission and flush without being
// counted twice.
#include "platform/hge_headless.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "platform/hge.h"
#include "tests/support/headless_engine.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

using testing_support::RectQuad;

class HeadlessControls : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(engine.ok) << engine.error(); }

  std::vector<std::uint32_t> Pixels() {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < kHeight; y += 3) {
      for (int x = 0; x < kWidth; x += 3) pixels.push_back(headless::ReadPixel(hge, x, y));
    }
    return pixels;
  }

  testing_support::TempDir dir;
  testing_support::HeadlessEngine engine{{.width = kWidth, .height = kHeight}};
  HGE* hge = engine.hge;
};

// Overlapping quads of both blend modes, one off screen and one invisible,
// drawn by a scene, then replayed onto a black canvas.
TEST_F(HeadlessControls, ReplayDrawsWhatTheSceneDrew) {
  const std::vector<hgeQuad> quads = {
      RectQuad(0, 0, 40, 30, 0xFF2040A0, 0, BLEND_DEFAULT),
      RectQuad(20, 10, 60, 45, 0x80FF8000, 0, BLEND_DEFAULT),
      RectQuad(10, 20, 50, 40, 0xC0008020, 0, BLEND_COLORMUL | BLEND_ALPHAADD),
      RectQuad(-30, -30, -5, -5, 0xFFFFFFFF, 0, BLEND_DEFAULT),
      RectQuad(0, 0, 64, 48, 0x00FFFFFF, 0, BLEND_DEFAULT),
      RectQuad(30, 0, 64, 20, 0xFF00FF00, 0, BLEND_DEFAULT),
  };
  std::vector<hgeQuad> seen;
  headless::SetQuadTap(hge, [&](const hgeQuad& quad) { seen.push_back(quad); });
  hge->Gfx_BeginScene(0);
  hge->Gfx_Clear(0xFF000000);
  for (const hgeQuad& quad : quads) hge->Gfx_RenderQuad(&quad);
  hge->Gfx_EndScene();
  headless::SetQuadTap(hge, {});
  ASSERT_EQ(seen.size(), quads.size());
  const std::vector<std::uint32_t> drawn = Pixels();

  hge->Gfx_BeginScene(0);
  hge->Gfx_Clear(0xFF000000);
  hge->Gfx_EndScene();
  ASSERT_NE(Pixels(), drawn);
  EXPECT_GE(headless::ReplayQuads(hge, seen), 0.0);
  EXPECT_EQ(Pixels(), drawn);
}

TEST_F(HeadlessControls, SceneTimeSplitsIntoSubmissionAndFlush) {
  const hgeQuad quad = RectQuad(0, 0, 64, 48, 0xFF102030, 0, BLEND_DEFAULT);
  const hgeQuad added = RectQuad(5, 5, 30, 30, 0xFF102030, 0, BLEND_COLORMUL | BLEND_ALPHAADD);
  const auto began = std::chrono::steady_clock::now();
  hge->Gfx_BeginScene(0);
  // A blend change in between flushes a batch inside the scene.
  for (int i = 0; i < 200; ++i) hge->Gfx_RenderQuad(i % 50 == 0 ? &added : &quad);
  hge->Gfx_EndScene();
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

  const headless::SceneTimes times = headless::LastSceneTimes(hge);
  EXPECT_GE(times.submit, 0.0);
  EXPECT_GT(times.flush, 0.0);
  EXPECT_LE(times.submit + times.flush, wall);
  EXPECT_EQ(headless::LastSceneDrawCalls(hge), 8);
}

}  // namespace
