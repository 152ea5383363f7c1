#include "graphics/texture_registry.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/hge.h"
#include "tests/support/headless_engine.h"
#include "tests/support/png_writer.h"
#include "tests/support/temp_dir.h"

namespace {

using vtr::TextureRegistry;

TEST(TextureRegistry, TextureForAddsAndFindTextureOnlyLooks) {
  TextureRegistry textures;
  textures.TextureFor("particles") = 5;
  EXPECT_EQ(textures.FindTexture("particles"), 5u);
  EXPECT_EQ(textures.FindTexture("Particles"), 0u) << "names are case-sensitive";
  EXPECT_EQ(textures.FindTexture("particles "), 0u);
  EXPECT_EQ(textures.Size(), 1u) << "FindTexture never adds";

  EXPECT_EQ(textures.TextureFor("logo"), 0u);
  EXPECT_EQ(textures.Size(), 2u);
  EXPECT_EQ(textures.FindTexture("logo"), 0u);

  textures.TextureFor("particles") = 9;
  EXPECT_EQ(textures.FindTexture("particles"), 9u);
  EXPECT_EQ(textures.Size(), 2u);
}

// The real engine, with every Texture_Free call noted on the way through.
class FreeRecorder final : public HGE {
 public:
  explicit FreeRecorder(HGE* real) : real_(real) {}
  ~FreeRecorder() override = default;

  std::vector<HTEXTURE> freed;

  void Texture_Free(HTEXTURE tex) override {
    freed.push_back(tex);
    real_->Texture_Free(tex);
  }

  void Release() override { real_->Release(); }
  bool System_Initiate() override { return real_->System_Initiate(); }
  void System_Shutdown() override { real_->System_Shutdown(); }
  bool System_Start() override { return real_->System_Start(); }
  const char* System_GetErrorMessage() override { return real_->System_GetErrorMessage(); }
  void System_Log(const char* format, ...) override {
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    real_->System_Log("%s", line);
  }
  void System_SetState(hgeBoolState s, bool v) override { real_->System_SetState(s, v); }
  void System_SetState(hgeFuncState s, hgeCallback v) override { real_->System_SetState(s, v); }
  void System_SetState(hgeIntState s, int v) override { real_->System_SetState(s, v); }
  void System_SetState(hgeStringState s, const char* v) override { real_->System_SetState(s, v); }
  bool System_GetState(hgeBoolState s) override { return real_->System_GetState(s); }
  hgeCallback System_GetState(hgeFuncState s) override { return real_->System_GetState(s); }
  int System_GetState(hgeIntState s) override { return real_->System_GetState(s); }
  const char* System_GetState(hgeStringState s) override { return real_->System_GetState(s); }
  void* Resource_Load(const char* f, DWORD* size) override { return real_->Resource_Load(f, size); }
  void Resource_Free(void* res) override { real_->Resource_Free(res); }
  float Timer_GetDelta() override { return real_->Timer_GetDelta(); }
  void Random_Seed(int seed) override { real_->Random_Seed(seed); }
  int Random_Int(int lo, int hi) override { return real_->Random_Int(lo, hi); }
  float Random_Float(float lo, float hi) override { return real_->Random_Float(lo, hi); }
  void Input_GetMousePos(float* x, float* y) override { real_->Input_GetMousePos(x, y); }
  int Input_GetMouseWheel() override { return real_->Input_GetMouseWheel(); }
  bool Input_KeyDown(int key) override { return real_->Input_KeyDown(key); }
  bool Input_KeyUp(int key) override { return real_->Input_KeyUp(key); }
  bool Input_GetKeyState(int key) override { return real_->Input_GetKeyState(key); }
  int Input_GetKey() override { return real_->Input_GetKey(); }
  int Input_GetChar() override { return real_->Input_GetChar(); }
  bool Gfx_BeginScene(HTARGET target) override { return real_->Gfx_BeginScene(target); }
  void Gfx_EndScene() override { real_->Gfx_EndScene(); }
  void Gfx_Clear(DWORD color) override { real_->Gfx_Clear(color); }
  void Gfx_RenderQuad(const hgeQuad* quad) override { real_->Gfx_RenderQuad(quad); }
  HTEXTURE Texture_Load(const char* f, DWORD size, bool mip) override {
    return real_->Texture_Load(f, size, mip);
  }
  int Texture_GetWidth(HTEXTURE tex, bool orig) override { return real_->Texture_GetWidth(tex, orig); }
  int Texture_GetHeight(HTEXTURE tex, bool orig) override {
    return real_->Texture_GetHeight(tex, orig);
  }

 private:
  HGE* real_;
};

TEST(TextureRegistry, FreeAllFreesEveryEntryOnceInNameOrder) {
  testing_support::TempDir dir;
  testing_support::HeadlessEngine engine;
  ASSERT_TRUE(engine.ok) << engine.error();
  HGE* hge = engine.hge;

  // Byte order, unsigned: capitals before small letters, a name before its
  // longer namesakes, bytes of 0x80 and above (UTF-8 letters) last.
  const std::vector<std::string> names = {"zebra", "\xC3\xA9toile", "logo2", "Zeta", "logo",
                                          "missing"};
  TextureRegistry textures;
  for (const std::string& name : names) {
    if (name != "missing") {
      const std::string file = name + ".png";
      ASSERT_TRUE(testing_support::WriteSolidPng(dir.path() / file, 4, 2, 0xFF808080));
    }
    textures.TextureFor(name) = hge->Texture_Load((name + ".png").c_str(), 0, false);
  }
  ASSERT_EQ(textures.FindTexture("missing"), 0u);

  const std::vector<HTEXTURE> expected = {
      textures.FindTexture("Zeta"), textures.FindTexture("logo"), textures.FindTexture("logo2"),
      0u /* missing */, textures.FindTexture("zebra"), textures.FindTexture("\xC3\xA9toile")};
  for (HTEXTURE tex : expected) {
    if (tex != 0) {
      EXPECT_EQ(hge->Texture_GetWidth(tex, false), 4);
    }
  }

  FreeRecorder recorder(hge);
  textures.FreeAll(&recorder);
  EXPECT_EQ(recorder.freed, expected);
  EXPECT_EQ(textures.Size(), 0u);
  EXPECT_EQ(textures.FindTexture("logo"), 0u);
  for (HTEXTURE tex : expected) {
    EXPECT_EQ(hge->Texture_GetWidth(tex, false), 0) << "texture " << tex << " still alive";
  }
}

}  // namespace
