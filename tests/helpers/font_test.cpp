#include "helpers/font.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "helpers/sprite.h"
#include "platform/hge_headless.h"
#include "tests/support/headless_engine.h"
#include "tests/support/png_writer.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::TempDir;

// A fresh folder with the real engine logging into it; Start() opens the
// dummy window so textures load and quads can be watched.
class FontTest : public ::testing::Test {
 protected:
  void Start() {
    ASSERT_TRUE(engine.Initiate()) << engine.error();
    engine.WatchQuads();
  }
  std::string Log() const { return dir.Read("test.log"); }

  TempDir dir;
  testing_support::HeadlessEngine engine{{.logFile = "test.log", .initiate = false}};
  HGE* hge = engine.hge;
  std::vector<hgeQuad>& quads = engine.quads;
};

// "A": 10 wide, 12 high, pre 1, post 2 (advance 13); "?": 8 wide.
const std::string kLetters =
    "[HGEFONT]\n"
    "Char = 41, 0, 0, 10, 12, 1, 2\n"
    "Char = \"?\", 20, 0, 8, 12, 0, 0\n"
    "Char = 57, 0, 20, 101, 10, 0, 0\n"  // W: 101 wide
    "Char = 4D, 0, 40, 103, 10, 0, 0\n";  // M: 103 wide

TEST_F(FontTest, RejectsAFileWithoutTheExactHeader) {
  dir.Write("blank.fnt", "[HGEFONT] \nChar = 41, 0, 0, 10, 12, 1, 2\n");
  dir.Write("late.fnt", "\n[HGEFONT]\nChar = 41, 0, 0, 10, 12, 1, 2\n");
  dir.Write("empty.fnt", "");

  hgeFont blank("blank.fnt");
  EXPECT_EQ(blank.GetSprite('A'), nullptr);
  EXPECT_EQ(blank.GetTextWidth("AAA"), 0.0f);
  EXPECT_EQ(blank.GetHeight(), 0.0f);
  hgeFont late("late.fnt");
  EXPECT_EQ(late.GetSprite('A'), nullptr);
  hgeFont empty("empty.fnt");

  const std::string log = Log();
  EXPECT_NE(log.find("Font blank.fnt has incorrect format.\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Font late.fnt has incorrect format.\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Font empty.fnt has incorrect format.\n"), std::string::npos) << log;

  // A missing file leaves the font empty without calling it malformed.
  hgeFont missing("missing.fnt");
  EXPECT_EQ(missing.GetTextWidth("A"), 0.0f);
  EXPECT_EQ(Log().find("missing.fnt has incorrect format"), std::string::npos);
}

TEST_F(FontTest, ReadsLettersGivenQuotedOrInHex) {
  dir.Write("hex.fnt", "[HGEFONT]\r\n\r\nChar = 41, 1, 2, 10, 12, 1, 2\r\n");
  dir.Write("quoted.fnt",
            "[HGEFONT]\n"
            "Comment = anything\n"
            "Char=\"A\" ,1 ,  2,10 ,12,\t1,2\n"
            "Char = \" \", 0, 0, 4, 5, 0, 0\n"
            "Char = \"\"\", 0, 0, 6, 5, 0, 0\n"
            "Char = 7a, 0, 0, 7, 5, 0, 0\n"
            "Char = 100, 0, 0, 5, 99, 0, 0\n"    // 256: no such byte
            "Char = FFFFFFFFFFFFFFFF41, 0, 0, 5, 99, 0, 0\n"
            "Char = 42, 1, 2, 3\n"               // numbers missing
            "Char 43, 0, 0, 5, 5, 0, 0\n"        // no equals sign
            "Char = 44, 0, 0, 5, 5, 0, 0\n"
            "Char = \"D\", 0, 0, 9, 5, 3, 4\n");  // replaces the one before
  hgeFont hex("hex.fnt");
  hgeFont quoted("quoted.fnt");

  for (hgeFont* font : {&hex, &quoted}) {
    const hgeSprite* a = font->GetSprite('A');
    ASSERT_NE(a, nullptr);
    float x, y, w, h;
    a->GetTextureRect(&x, &y, &w, &h);
    EXPECT_EQ(x, 1.0f);
    EXPECT_EQ(y, 2.0f);
    EXPECT_EQ(w, 10.0f);
    EXPECT_EQ(h, 12.0f);
    EXPECT_EQ(font->GetPreWidth('A'), 1.0f);
    EXPECT_EQ(font->GetPostWidth('A'), 2.0f);
    EXPECT_EQ(font->GetTextWidth("A"), 13.0f);
  }
  EXPECT_EQ(hex.GetHeight(), 12.0f);

  ASSERT_NE(quoted.GetSprite(' '), nullptr);
  EXPECT_EQ(quoted.GetSprite(' ')->GetWidth(), 4.0f);
  ASSERT_NE(quoted.GetSprite('"'), nullptr);
  EXPECT_EQ(quoted.GetSprite('"')->GetWidth(), 6.0f);
  ASSERT_NE(quoted.GetSprite('z'), nullptr);
  EXPECT_EQ(quoted.GetSprite('z')->GetWidth(), 7.0f);
  EXPECT_EQ(quoted.GetSprite('\0'), nullptr);
  EXPECT_EQ(quoted.GetSprite('\x10'), nullptr);
  EXPECT_EQ(quoted.GetHeight(), 12.0f) << "the ignored line must not count";
  EXPECT_EQ(quoted.GetSprite('B'), nullptr);
  EXPECT_EQ(quoted.GetSprite('C'), nullptr);
  ASSERT_NE(quoted.GetSprite('D'), nullptr);
  EXPECT_EQ(quoted.GetSprite('D')->GetWidth(), 9.0f);
  EXPECT_EQ(quoted.GetPreWidth('D'), 3.0f);
  EXPECT_EQ(quoted.GetPostWidth('D'), 4.0f);
}

TEST_F(FontTest, TextureIsLookedUpBesideTheFontFile) {
  Start();
  std::filesystem::create_directory("fonts");
  ASSERT_TRUE(testing_support::WriteSolidPng("fonts/glyphs.png", 64, 32, 0xFFFFFFFF));
  dir.Write("fonts/f.fnt",
            "[HGEFONT]\n"
            "Char = 41, 0, 0, 10, 12, 1, 2\n"
            "Bitmap =\n"  // no name: ignored
            "Bitmap = glyphs.png\n"
            "Char = 42, 16, 8, 10, 12, 0, 0\n");
  hgeFont font("fonts/f.fnt");
  ASSERT_NE(font.GetTexture(), 0u);
  ASSERT_NE(font.GetSprite('A'), nullptr);
  ASSERT_NE(font.GetSprite('B'), nullptr);
  EXPECT_EQ(font.GetSprite('A')->GetTexture(), 0u) << "letters before the Bitmap line have no texture";
  EXPECT_EQ(font.GetSprite('B')->GetTexture(), font.GetTexture());
  EXPECT_FLOAT_EQ(font.GetSprite('B')->GetQuad().v[0].tx, 16.0f / 64.0f);
  EXPECT_FLOAT_EQ(font.GetSprite('B')->GetQuad().v[0].ty, 8.0f / 32.0f);

  // A texture that cannot be loaded ends the parsing there.
  dir.Write("fonts/broken.fnt",
            "[HGEFONT]\n"
            "Char = 41, 0, 0, 10, 12, 1, 2\n"
            "Bitmap = nothing.png\n"
            "Char = 42, 16, 8, 10, 12, 0, 0\n");
  hgeFont broken("fonts/broken.fnt");
  EXPECT_NE(broken.GetSprite('A'), nullptr);
  EXPECT_EQ(broken.GetSprite('B'), nullptr);
  EXPECT_EQ(broken.GetTexture(), 0u);
}

TEST_F(FontTest, OverlongLinesAndPathsAreSkippedSafely) {
  const std::string fits = "Char = 45, 0, 0, 10, 12, 0, 0";
  const std::string tooLong = "Char = 44, 0, 0, 10, 12, 0, 0";
  dir.Write("long.fnt", "[HGEFONT]\n" + fits + std::string(255 - fits.size(), ' ') + "\n" + tooLong +
                            std::string(256 - tooLong.size(), ' ') + "\n" + "Char = 46, 0, 0, 10, 12, 0, 0\n");
  hgeFont lines("long.fnt");
  EXPECT_NE(lines.GetSprite('E'), nullptr) << "255 characters are allowed";
  EXPECT_EQ(lines.GetSprite('D'), nullptr);
  EXPECT_NE(lines.GetSprite('F'), nullptr) << "parsing goes on after a skipped line";
  EXPECT_NE(Log().find("longer than 255"), std::string::npos);

  // "deep/folder/" is 12 characters: with a 248-character name the path
  // needs 260 and is skipped; with 247 it is tried (and, missing, ends the
  // parsing).
  std::filesystem::create_directories("deep/folder");
  dir.Write("deep/folder/over.fnt",
            "[HGEFONT]\nBitmap=" + std::string(244, 'x') + ".png\nChar = 41, 0, 0, 10, 12, 1, 2\n");
  dir.Write("deep/folder/under.fnt",
            "[HGEFONT]\nBitmap=" + std::string(243, 'x') + ".png\nChar = 41, 0, 0, 10, 12, 1, 2\n");
  hgeFont over("deep/folder/over.fnt");
  hgeFont under("deep/folder/under.fnt");
  EXPECT_NE(over.GetSprite('A'), nullptr);
  EXPECT_EQ(under.GetSprite('A'), nullptr);
  EXPECT_NE(Log().find("longer than 259"), std::string::npos);
}

TEST_F(FontTest, MissingLettersUseTheQuestionMark) {
  Start();
  dir.Write("f.fnt", kLetters);
  dir.Write("noq.fnt", "[HGEFONT]\nChar = 41, 0, 0, 10, 12, 1, 2\n");
  hgeFont font("f.fnt");
  hgeFont noQuestion("noq.fnt");

  EXPECT_EQ(font.GetTextWidth("A\x01"), 13.0f + 8.0f);
  EXPECT_EQ(noQuestion.GetTextWidth("A\x01"), 13.0f);

  font.Render(0, 0, 0, "A\xC8");
  ASSERT_EQ(quads.size(), 2u);
  EXPECT_FLOAT_EQ(quads[1].v[0].tx, 20.0f) << "drawn with the ? letter";  // no texture: texels
  EXPECT_FLOAT_EQ(quads[1].v[0].x, 13.0f);
  quads.clear();
  noQuestion.Render(0, 0, 0, "\x01" "A");
  ASSERT_EQ(quads.size(), 1u);
  EXPECT_FLOAT_EQ(quads[0].v[0].x, 1.0f) << "a byte without any letter does not advance";
}

TEST_F(FontTest, ScaleAndProportionMultiplyEveryAdvance) {
  Start();
  dir.Write("f.fnt", kLetters);
  hgeFont font("f.fnt");
  font.SetScale(2.0f);
  font.Render(100, 50, 0, "AA");
  ASSERT_EQ(quads.size(), 2u);
  EXPECT_FLOAT_EQ(quads[0].v[0].x, 102.0f);
  EXPECT_FLOAT_EQ(quads[0].v[0].y, 50.0f);
  EXPECT_FLOAT_EQ(quads[0].v[2].x - quads[0].v[0].x, 20.0f);
  EXPECT_FLOAT_EQ(quads[0].v[2].y - quads[0].v[0].y, 24.0f);
  EXPECT_FLOAT_EQ(quads[1].v[0].x, 102.0f + 24.0f + 2.0f);
  EXPECT_EQ(font.GetTextWidth("AA"), 52.0f);

  quads.clear();
  font.SetProportion(0.5f);
  font.SetTracking(1.0f);
  font.Render(0, 0, 0, "AA");
  ASSERT_EQ(quads.size(), 2u);
  EXPECT_FLOAT_EQ(quads[0].v[0].x, 1.0f);
  EXPECT_FLOAT_EQ(quads[0].v[2].x - quads[0].v[0].x, 10.0f);
  EXPECT_FLOAT_EQ(quads[0].v[2].y - quads[0].v[0].y, 24.0f);
  EXPECT_FLOAT_EQ(quads[1].v[0].x, 1.0f + 13.0f + 1.0f);
  EXPECT_EQ(font.GetTextWidth("AA"), 28.0f);
}

TEST_F(FontTest, AlignmentUsesTheTwoLowBitsAndRoundsHalvesToEven) {
  Start();
  dir.Write("f.fnt", kLetters);
  hgeFont font("f.fnt");
  auto startOf = [&](int align, const char* text) {
    quads.clear();
    font.Render(200, 0, align, text);
    return quads.empty() ? -1.0f : quads[0].v[0].x;
  };
  EXPECT_EQ(startOf(2, "W"), 150.0f);  // 50.5 rounds to 50
  EXPECT_EQ(startOf(2, "M"), 148.0f);  // 51.5 rounds to 52
  EXPECT_EQ(startOf(1, "W"), 99.0f);
  EXPECT_EQ(startOf(0, "W"), 200.0f);
  EXPECT_EQ(startOf(3, "W"), 200.0f);
  EXPECT_EQ(startOf(6, "W"), 150.0f);
}

TEST_F(FontTest, MultilineTextMeasuresAndAlignsEachLine) {
  Start();
  dir.Write("f.fnt", kLetters);
  hgeFont font("f.fnt");
  EXPECT_EQ(font.GetTextWidth("AA\nAAA", true), 39.0f);
  EXPECT_EQ(font.GetTextWidth("AAA\nAA", true), 39.0f);
  EXPECT_EQ(font.GetTextWidth("AA\nAAA", false), 26.0f);
  EXPECT_EQ(font.GetTextWidth("AA\n\n\nAAA", true), 39.0f);
  EXPECT_EQ(font.GetTextWidth("AA\r\nA", true), 34.0f) << "a CR measures as the ? letter";
  EXPECT_EQ(font.GetTextWidth(""), 0.0f);

  font.SetSpacing(1.5f);
  font.Render(200, 10, 2, "AA\nAAA");
  ASSERT_EQ(quads.size(), 5u);
  EXPECT_FLOAT_EQ(quads[0].v[0].x, 200.0f - 13.0f + 1.0f);
  EXPECT_FLOAT_EQ(quads[0].v[0].y, 10.0f);
  EXPECT_FLOAT_EQ(quads[2].v[0].x, 200.0f - 20.0f + 1.0f);  // 19.5 rounds to 20
  EXPECT_FLOAT_EQ(quads[2].v[0].y, 28.0f);                  // 1.5 x 12
}

TEST_F(FontTest, SetColorRecoloursEveryLetter) {
  Start();
  dir.Write("f.fnt", kLetters);
  hgeFont font("f.fnt");
  font.SetColor(0xFF7F7FFF);
  EXPECT_EQ(font.GetColor(), 0xFF7F7FFFu);
  font.Render(0, 0, 0, "AW?");
  ASSERT_EQ(quads.size(), 3u);
  for (const hgeQuad& q : quads) {
    for (const hgeVertex& v : q.v) EXPECT_EQ(v.col, 0xFF7F7FFFu);
  }
}

}  // namespace
