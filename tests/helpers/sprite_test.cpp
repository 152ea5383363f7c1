#include "helpers/sprite.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "platform/hge.h"
#include "platform/hge_headless.h"
#include "tests/support/headless_engine.h"
#include "tests/support/png_writer.h"
#include "tests/support/temp_dir.h"

namespace {

// The real engine, headless, with a tap that keeps every quad it is given.
class SpriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(engine.ok) << engine.error();
    engine.WatchQuads();
  }

  // A real texture of the given size, loaded from a fresh PNG.
  HTEXTURE Texture(int width, int height) {
    const std::string name = "tex" + std::to_string(width) + "x" + std::to_string(height) + ".png";
    EXPECT_TRUE(testing_support::WriteSolidPng(dir.path() / name, width, height, 0xFFFFFFFF));
    const HTEXTURE tex = hge->Texture_Load(name.c_str(), 0, false);
    EXPECT_NE(tex, 0u) << "could not load " << name;
    return tex;
  }

  // The quad the engine receives when the sprite is drawn at (x, y).
  hgeQuad Drawn(hgeSprite& sprite, float x = 0.0f, float y = 0.0f) {
    quads.clear();
    hge->Gfx_BeginScene(0);
    sprite.Render(x, y);
    hge->Gfx_EndScene();
    EXPECT_EQ(quads.size(), 1u);
    return quads.empty() ? hgeQuad{} : quads.back();
  }

  hgeQuad DrawnTransformed(hgeSprite& sprite, float x, float y, float rot, float hscale,
                           float vscale) {
    quads.clear();
    hge->Gfx_BeginScene(0);
    sprite.RenderTransformed(x, y, rot, hscale, vscale);
    hge->Gfx_EndScene();
    EXPECT_EQ(quads.size(), 1u);
    return quads.empty() ? hgeQuad{} : quads.back();
  }

  testing_support::TempDir dir;
  testing_support::HeadlessEngine engine;
  HGE* hge = engine.hge;
  std::vector<hgeQuad>& quads = engine.quads;
};

void ExpectCorners(const hgeQuad& q, float left, float top, float right, float bottom) {
  EXPECT_FLOAT_EQ(q.v[0].x, left);   EXPECT_FLOAT_EQ(q.v[0].y, top);
  EXPECT_FLOAT_EQ(q.v[1].x, right);  EXPECT_FLOAT_EQ(q.v[1].y, top);
  EXPECT_FLOAT_EQ(q.v[2].x, right);  EXPECT_FLOAT_EQ(q.v[2].y, bottom);
  EXPECT_FLOAT_EQ(q.v[3].x, left);   EXPECT_FLOAT_EQ(q.v[3].y, bottom);
}

// Texture coordinates of the corners 0..3 as (u, v) pairs.
void ExpectTexCoords(const hgeQuad& q, float u0, float v0, float u1, float v1, float u2, float v2,
                     float u3, float v3) {
  EXPECT_FLOAT_EQ(q.v[0].tx, u0); EXPECT_FLOAT_EQ(q.v[0].ty, v0);
  EXPECT_FLOAT_EQ(q.v[1].tx, u1); EXPECT_FLOAT_EQ(q.v[1].ty, v1);
  EXPECT_FLOAT_EQ(q.v[2].tx, u2); EXPECT_FLOAT_EQ(q.v[2].ty, v2);
  EXPECT_FLOAT_EQ(q.v[3].tx, u3); EXPECT_FLOAT_EQ(q.v[3].ty, v3);
}

TEST_F(SpriteTest, NewSpriteCutsItsRectangleOutOfTheTexture) {
  const HTEXTURE tex = Texture(256, 128);
  hgeSprite sprite(tex, 32, 16, 64, 32);
  const hgeQuad q = Drawn(sprite);
  ExpectTexCoords(q, 0.125f, 0.125f, 0.375f, 0.125f, 0.375f, 0.375f, 0.125f, 0.375f);
  EXPECT_EQ(q.tex, tex);
  EXPECT_EQ(q.blend, BLEND_DEFAULT);
  for (const hgeVertex& v : q.v) {
    EXPECT_EQ(v.col, 0xFFFFFFFFu);
    EXPECT_EQ(v.z, 0.5f);
  }
}

TEST_F(SpriteTest, NoTextureCountsAsOneByOne) {
  hgeSprite sprite(0, 3, 4, 10, 20);
  const hgeQuad q = Drawn(sprite);
  ExpectTexCoords(q, 3, 4, 13, 4, 13, 24, 3, 24);
  EXPECT_EQ(q.tex, 0u);
}

TEST_F(SpriteTest, RenderPutsTheHotSpotOnThePoint) {
  hgeSprite sprite(Texture(64, 64), 0, 0, 40, 20);
  ExpectCorners(Drawn(sprite, 100, 50), 100, 50, 140, 70);
  sprite.SetHotSpot(10, 5);
  ExpectCorners(Drawn(sprite, 100, 50), 90, 45, 130, 65);
}

TEST_F(SpriteTest, RenderTransformedScalesAndTurnsAboutTheHotSpot) {
  hgeSprite sprite(Texture(64, 64), 0, 0, 40, 20);
  sprite.SetHotSpot(10, 5);

  // Unturned at scale 1: the same corners as Render.
  ExpectCorners(DrawnTransformed(sprite, 100, 50, 0, 1, 1), 90, 45, 130, 65);
  // vscale 0 takes hscale for both axes.
  ExpectCorners(DrawnTransformed(sprite, 100, 50, 0, 2, 0), 80, 40, 160, 80);
  ExpectCorners(DrawnTransformed(sprite, 100, 50, 0, 2, 0.5f), 80, 47.5f, 160, 57.5f);

  // A quarter turn clockwise on screen: the top-left corner, 10 left of and
  // 5 above the hot spot, ends up 5 right of and 10 above it.
  const hgeQuad q = DrawnTransformed(sprite, 100, 50, std::numbers::pi_v<float> / 2, 1, 1);
  const float expected[4][2] = {{105, 40}, {105, 80}, {85, 80}, {85, 40}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(q.v[i].x, expected[i][0], 1e-4f) << "corner " << i;
    EXPECT_NEAR(q.v[i].y, expected[i][1], 1e-4f) << "corner " << i;
  }
}

TEST_F(SpriteTest, SetColorPaintsAllCornersOrOne) {
  hgeSprite sprite(0, 0, 0, 8, 8);
  sprite.SetColor(0x80112233);
  sprite.SetColor(0xFF00FF00, 2);
  const hgeQuad q = Drawn(sprite);
  EXPECT_EQ(q.v[0].col, 0x80112233u);
  EXPECT_EQ(q.v[1].col, 0x80112233u);
  EXPECT_EQ(q.v[2].col, 0xFF00FF00u);
  EXPECT_EQ(q.v[3].col, 0x80112233u);
  EXPECT_EQ(sprite.GetColor(), 0x80112233u);
}

TEST_F(SpriteTest, SetTextureRectWithoutAdjustSizeSqueezesThePicture) {
  hgeSprite sprite(Texture(256, 128), 0, 0, 64, 32);
  sprite.SetTextureRect(32, 0, 128, 64, false);
  hgeQuad q = Drawn(sprite);
  ExpectCorners(q, 0, 0, 64, 32);
  ExpectTexCoords(q, 0.125f, 0, 0.625f, 0, 0.625f, 0.5f, 0.125f, 0.5f);

  sprite.SetTextureRect(32, 0, 128, 64);
  ExpectCorners(Drawn(sprite), 0, 0, 128, 64);
}

TEST_F(SpriteTest, SetTextureRectKeepsTheFlips) {
  hgeSprite sprite(Texture(256, 128), 0, 0, 64, 32);
  sprite.SetFlip(true, true);
  sprite.SetTextureRect(128, 64, 64, 32);
  ExpectTexCoords(Drawn(sprite), 0.75f, 0.75f, 0.5f, 0.75f, 0.5f, 0.5f, 0.75f, 0.5f);
  bool fx = false, fy = false;
  sprite.GetFlip(&fx, &fy);
  EXPECT_TRUE(fx);
  EXPECT_TRUE(fy);
}

TEST_F(SpriteTest, SetTextureKeepsTheTexelRectangle) {
  hgeSprite sprite(Texture(256, 128), 32, 16, 64, 32);
  sprite.SetFlip(true, false);
  const HTEXTURE bigger = Texture(512, 256);
  sprite.SetTexture(bigger);
  hgeQuad q = Drawn(sprite);
  EXPECT_EQ(q.tex, bigger);
  ExpectTexCoords(q, 0.1875f, 0.0625f, 0.0625f, 0.0625f, 0.0625f, 0.1875f, 0.1875f, 0.1875f);

  sprite.SetTexture(0);
  ExpectTexCoords(Drawn(sprite), 96, 16, 32, 16, 32, 48, 96, 48);
}

TEST_F(SpriteTest, FlipsMirrorTheTextureCoordinates) {
  hgeSprite sprite(Texture(256, 128), 0, 0, 64, 32);
  sprite.SetFlip(true, false);
  ExpectTexCoords(Drawn(sprite), 0.25f, 0, 0, 0, 0, 0.25f, 0.25f, 0.25f);
  sprite.SetFlip(true, false);  // nothing changes: already flipped
  ExpectTexCoords(Drawn(sprite), 0.25f, 0, 0, 0, 0, 0.25f, 0.25f, 0.25f);
  sprite.SetFlip(false, true);
  ExpectTexCoords(Drawn(sprite), 0, 0.25f, 0.25f, 0.25f, 0.25f, 0, 0, 0);
  sprite.SetFlip(false, false);
  ExpectTexCoords(Drawn(sprite), 0, 0, 0.25f, 0, 0.25f, 0.25f, 0, 0.25f);
}

TEST_F(SpriteTest, HotSpotFollowsTheFlipStateOfTheCallBefore) {
  hgeSprite sprite(0, 0, 0, 32, 16);
  sprite.SetHotSpot(4, 2);
  float hx = 0, hy = 0;

  sprite.SetFlip(true, false, false);
  sprite.SetFlip(true, false, true);
  sprite.GetHotSpot(&hx, &hy);
  EXPECT_EQ(hx, 28);
  EXPECT_EQ(hy, 2);
  ExpectCorners(Drawn(sprite, 100, 100), 72, 98, 104, 114);

  sprite.SetFlip(true, false, false);
  sprite.GetHotSpot(&hx, &hy);
  EXPECT_EQ(hx, 4);

  // Flipping and switching the hot-spot flip on in one call mirrors the
  // picture only: the hot spot goes by the flip state before the call.
  hgeSprite fresh(0, 0, 0, 32, 16);
  fresh.SetHotSpot(4, 2);
  fresh.SetFlip(true, true, true);
  fresh.GetHotSpot(&hx, &hy);
  EXPECT_EQ(hx, 4);
  EXPECT_EQ(hy, 2);
  bool fx = false, fy = false;
  fresh.GetFlip(&fx, &fy);
  EXPECT_TRUE(fx);
  EXPECT_TRUE(fy);
}

TEST_F(SpriteTest, CopiesHoldTheirOwnEngineReference) {
  const HTEXTURE tex = Texture(64, 32);
  {
    hgeSprite original(tex, 0, 0, 16, 16);
    original.SetColor(0x12345678);
    hgeSprite copy(original);
    EXPECT_EQ(Drawn(copy).v[3].col, 0x12345678u);
  }
  // Both sprites gave back exactly what they took: the engine lives on.
  EXPECT_EQ(hge->Texture_GetWidth(tex, false), 64);
}

TEST_F(SpriteTest, FrameNumbersWrapAroundTheStrip) {
  hgeAnimatedSprite sprite(Texture(512, 32), 16, 1.0f, 0, 0, 32, 32);
  EXPECT_EQ(sprite.GetFrame(), 0);
  sprite.SetFrame(-1);
  EXPECT_EQ(sprite.GetFrame(), 15);
  ExpectTexCoords(Drawn(sprite), 480 / 512.0f, 0, 1, 0, 1, 1, 480 / 512.0f, 1);
  sprite.SetFrame(16);
  EXPECT_EQ(sprite.GetFrame(), 0);
  ExpectTexCoords(Drawn(sprite), 0, 0, 32 / 512.0f, 0, 32 / 512.0f, 1, 0, 1);
  sprite.SetFrame(-33);
  EXPECT_EQ(sprite.GetFrame(), 15);
}

TEST_F(SpriteTest, FramesPastTheImageEdgeContinueOnTheNextRow) {
  // Two frames a row on a 64-pixel image: frame 3 is row 1, column 1.
  hgeAnimatedSprite narrow(Texture(64, 128), 16, 1.0f, 0, 0, 32, 32);
  narrow.SetFrame(3);
  ExpectTexCoords(Drawn(narrow), 0.5f, 0.25f, 1, 0.25f, 1, 0.5f, 0.5f, 0.5f);
  narrow.SetFrame(1);
  ExpectTexCoords(Drawn(narrow), 0.5f, 0, 1, 0, 1, 0.25f, 0.5f, 0.25f);

  // The game's particle: frame 7 of a 32x32 strip on a 128-pixel image.
  hgeAnimatedSprite particle(Texture(128, 128), 16, 1.0f, 0, 0, 32, 32);
  particle.SetHotSpot(16, 16);
  particle.SetFrame(7);
  const hgeQuad q = Drawn(particle, 100, 100);
  ExpectTexCoords(q, 0.75f, 0.25f, 1, 0.25f, 1, 0.5f, 0.75f, 0.5f);
  ExpectCorners(q, 84, 84, 116, 116);
}

TEST_F(SpriteTest, SetFrameKeepsTheFlips) {
  hgeAnimatedSprite sprite(Texture(128, 32), 4, 1.0f, 0, 0, 32, 32);
  sprite.SetFlip(true, false);
  sprite.SetFrame(2);
  ExpectTexCoords(Drawn(sprite), 0.75f, 0, 0.5f, 0, 0.5f, 1, 0.75f, 1);
}

TEST_F(SpriteTest, FramesWithoutRowsToWrapOntoStayOnTheFirstRow) {
  // No texture (the engine knows no width) or an image narrower than one
  // frame: there are no columns, so no wrap, and no division by zero.
  hgeAnimatedSprite none(0, 16, 1.0f, 0, 0, 32, 32);
  none.SetFrame(7);
  ExpectTexCoords(Drawn(none), 224, 0, 256, 0, 256, 32, 224, 32);

  hgeAnimatedSprite tooWide(Texture(16, 16), 4, 1.0f, 0, 0, 32, 32);
  tooWide.SetFrame(3);
  EXPECT_EQ(tooWide.GetFrame(), 3);
  ExpectTexCoords(Drawn(tooWide), 6, 0, 8, 0, 8, 2, 6, 2);

  hgeAnimatedSprite sliver(Texture(64, 64), 4, 0.0f, 0, 0, 0.25f, 8);
  sliver.SetFrame(3);
  EXPECT_EQ(sliver.GetFrame(), 3);
}

}  // namespace
