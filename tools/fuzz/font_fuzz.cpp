// The bitmap font parser given any bytes as its font file, read through the
// engine's Resource_Load as the game reads it. The engine is started once,
// headless on a tiny screen, and a small glyph picture named font1.png lies
// beside the font file, so "Bitmap = font1.png" loads a real texture and the
// lines after it are parsed too, while any other name fails to load and ends
// the parsing. The parsed font then measures and draws every byte, which
// takes its numbers through the letter sprites and the engine's quad path.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "helpers/font.h"
#include "platform/hge.h"
#include "tools/fuzz/fuzz_support.h"

namespace {

// An 8x8 RGBA PNG, a checkerboard of opaque and clear white.
const std::uint8_t kGlyphPicture[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52,
    0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x08, 0x08, 0x06, 0x00, 0x00, 0x00, 0xc4, 0x0f, 0xbe,
    0x8b, 0x00, 0x00, 0x00, 0x17, 0x49, 0x44, 0x41, 0x54, 0x78, 0xda, 0x63, 0xf8, 0x0f, 0x01, 0x0c,
    0xb8, 0x68, 0x06, 0x7c, 0x92, 0xff, 0x09, 0x49, 0x0e, 0x19, 0x13, 0x00, 0x44, 0x15, 0xdf, 0x21,
    0xc8, 0xcd, 0x50, 0x86, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

HGE* g_hge = nullptr;  // held for the whole run, so the engine outlives every font
std::string g_input;
std::string g_text;  // every byte but zero, in lines

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);

  g_input = fuzz::PathFor("font1.fnt");
  fuzz::WriteFile(fuzz::PathFor("font1.png"), kGlyphPicture, sizeof kGlyphPicture);
  for (int byte = 1; byte < 256; ++byte) g_text.push_back(static_cast<char>(byte));

  g_hge = hgeCreate(HGE_VERSION);
  if (!g_hge) fuzz::Fail("no engine");
  g_hge->System_SetState(HGE_WINDOWED, true);
  g_hge->System_SetState(HGE_USESOUND, false);
  g_hge->System_SetState(HGE_SCREENWIDTH, 64);
  g_hge->System_SetState(HGE_SCREENHEIGHT, 64);
  // Without video every texture fails to load: the parser is still fuzzed,
  // but only up to its first Bitmap line.
  if (!g_hge->System_Initiate()) {
    std::fprintf(stderr, "font_fuzz: the engine did not start (%s); textures will not load\n",
                 g_hge->System_GetErrorMessage());
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::WriteFile(g_input, data, size);
  hgeFont font(g_input.c_str());

  font.GetTextWidth(g_text.c_str());
  if (g_hge->Gfx_BeginScene(0)) {
    font.Render(32.0f, 8.0f, 2, g_text.c_str());
    g_hge->Gfx_EndScene();
  }
  return 0;
}
