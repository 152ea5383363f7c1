// The game's content as the game meets it: every picture loads through the
// engine at the size the drawing code relies on, the particle sheet has its
// glow and its ring in the cells the game cuts them from, every sound opens
// through the audio layer in the format and length it should have, and the
// bitmap font parses and fits the HUD's side panels.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "helpers/font.h"
#include "helpers/sprite.h"
#include "platform/audio.h"
#include "platform/hge.h"
#include "platform/hge_headless.h"
#include "tests/support/headless_engine.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_file.h"

namespace {

using testing_support::ReadWav;
using testing_support::TempDir;
using testing_support::Wav;

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The real engine, headless, in a fresh folder with the Content folder in it,
// the way the game finds its files.
class ContentTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(engine.ok) << engine.error(); }
  void TearDown() override {
    for (HTEXTURE t : textures) hge->Texture_Free(t);
  }

  HTEXTURE Load(const char* file) {
    const HTEXTURE t = hge->Texture_Load(file, 0, false);
    if (t) textures.push_back(t);
    return t;
  }

  // The colours the canvas shows for one 32x32 cell of a texture drawn at
  // its own size on black, row by row.
  std::vector<std::uint32_t> Cell(HTEXTURE sheet, float cellX, float cellY) {
    hgeSprite cell(sheet, cellX, cellY, 32, 32);
    hge->Gfx_BeginScene(0);
    hge->Gfx_Clear(0xFF000000);
    cell.Render(100, 100);
    hge->Gfx_EndScene();
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) pixels.push_back(headless::ReadPixel(hge, 100 + x, 100 + y));
    return pixels;
  }

  TempDir dir{true};
  testing_support::HeadlessEngine engine;
  HGE* hge = engine.hge;
  std::vector<HTEXTURE> textures;
};

int Green(std::uint32_t argb) { return static_cast<int>((argb >> 8) & 0xFF); }

TEST_F(ContentTest, EveryPictureLoadsAtTheSizeTheGameCutsItTo) {
  const struct {
    const char* file;
    int width, height;
  } pictures[] = {
      {"Content/vtr_bg_full_1024.png", 1024, 768}, {"Content/sidebar_10.png", 150, 768},
      {"Content/particles.png", 128, 128},         {"Content/vtr_Logo.png", 550, 143},
      {"Content/qzk_logo.png", 500, 558},
      // The window's icon, and the sizes an install puts in the icon theme.
      {"Content/icon/vantor_16.png", 16, 16},      {"Content/icon/vantor_32.png", 32, 32},
      {"Content/icon/vantor_48.png", 48, 48},      {"Content/icon/vantor_64.png", 64, 64},
      {"Content/icon/vantor_128.png", 128, 128},   {"Content/icon/vantor_256.png", 256, 256},
  };
  for (const auto& p : pictures) {
    const HTEXTURE t = Load(p.file);
    ASSERT_NE(t, 0u) << p.file;
    EXPECT_EQ(hge->Texture_GetWidth(t, true), p.width) << p.file;
    EXPECT_EQ(hge->Texture_GetHeight(t, true), p.height) << p.file;
  }
}

TEST_F(ContentTest, ParticleSheetHasTheGlowAndTheRingWhereTheGameLooks) {
  const HTEXTURE sheet = Load("Content/particles.png");
  ASSERT_NE(sheet, 0u);

  // Frame 7 of the sheet read as a strip of 32x32 frames is the particle.
  hgeAnimatedSprite particle(sheet, 16, 1.0f, 0, 0, 32, 32);
  particle.SetFrame(7);
  EXPECT_FLOAT_EQ(particle.GetQuad().v[0].tx * 128, 96.0f);
  EXPECT_FLOAT_EQ(particle.GetQuad().v[0].ty * 128, 32.0f);

  // The glow: bright in the middle, fading out, nothing at the cell's edge.
  const std::vector<std::uint32_t> glow = Cell(sheet, 96, 32);
  auto at = [](const std::vector<std::uint32_t>& cell, int x, int y) { return Green(cell[y * 32 + x]); };
  EXPECT_GT(at(glow, 16, 16), 200);
  EXPECT_GT(at(glow, 16 + 8, 16), 20);
  EXPECT_LT(at(glow, 16 + 8, 16), at(glow, 16, 16));
  for (int edge : {0, 31}) {
    EXPECT_EQ(at(glow, edge, 16), 0) << "column " << edge;
    EXPECT_EQ(at(glow, 16, edge), 0) << "row " << edge;
  }

  // The ring: a burst with a glowing core, clear at the border, centred,
  // and broken into bright sparks along its circle rather than drawn as a
  // band, so its rim still shows how far the explosion reaches.
  const std::vector<std::uint32_t> ring = Cell(sheet, 96, 64);
  EXPECT_GT(at(ring, 16, 16), 100) << "the burst's core glows";
  double sum = 0, sumX = 0, sumY = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      if (x == 0 || y == 0 || x == 31 || y == 31) {
        EXPECT_EQ(at(ring, x, y), 0) << x << ", " << y;
      }
      sum += at(ring, x, y);
      sumX += at(ring, x, y) * (x + 0.5);
      sumY += at(ring, x, y) * (y + 0.5);
    }
  ASSERT_GT(sum, 0);
  EXPECT_NEAR(sumX / sum, 16.0, 0.5) << "the ring is centred";
  EXPECT_NEAR(sumY / sum, 16.0, 0.5) << "the ring is centred";
  int brightest = 0, darkest = 255, gaps = 0;
  bool inGap = false;
  for (int step = 0; step <= 128; ++step) {  // once round the circle, back to the start
    // The brightest pixel across the ring's width in this direction.
    const double angle = step * 2 * 3.14159265358979 / 128;
    int value = 0;
    for (double r = 10; r <= 15; r += 0.25)
      value = std::max(value, at(ring, static_cast<int>(16 + r * std::cos(angle)), static_cast<int>(16 + r * std::sin(angle))));
    brightest = std::max(brightest, value);
    darkest = std::min(darkest, value);
    if (value < 80 && !inGap && step > 0) ++gaps;
    inGap = value < 80;
  }
  EXPECT_GT(brightest, 200) << "its sparks are bright";
  EXPECT_GE(gaps, 8) << "dark gaps part the sparks (darkest " << darkest << ")";
}

// Where a sound's power sits: the frequency of the sine whose slope is as
// steep, for its level, as this sound's (from the mean square of the sample
// steps against that of the samples), over both channels mixed.
double CentreHz(const Wav& w) {
  if (w.channels < 1) return 0;  // not read: the other checks say why
  double power = 0, steps = 0, previous = 0;
  const size_t frames = w.samples.size() / static_cast<size_t>(w.channels);
  for (size_t i = 0; i < frames; ++i) {
    double v = 0;
    for (int c = 0; c < w.channels; ++c) v += w.samples[i * static_cast<size_t>(w.channels) + static_cast<size_t>(c)];
    power += v * v;
    if (i > 0) steps += (v - previous) * (v - previous);
    previous = v;
  }
  const double ratio = power > 0 ? std::min(2.0, std::sqrt(steps / power)) : 0;
  return w.rate * std::asin(ratio / 2) / 3.14159265358979;
}

TEST(Content, EffectsAreCleanPcmOfTheirLengthsAndLevels) {
  // The bursts are short and sit under the warning, since a chain stacks a
  // dozen of them; so do the launches, a few a second, each over well
  // before the next shot; the warning peaks near -1 dBFS.
  const struct {
    const char* file;
    double shortest, longest, peakDb;
  } effects[] = {
      {"exp1.wav", 0.5, 1.0, -5},    {"exp2.wav", 0.5, 1.0, -5},    {"exp3.wav", 0.5, 1.0, -5},
      {"rocket1.wav", 0.2, 0.5, -4}, {"rocket2.wav", 0.2, 0.5, -4}, {"warning.wav", 0.4, 0.6, -1},
  };
  for (const auto& e : effects) {
    const Wav w = ReadWav(std::string(VANTOR_SOURCE_DIR) + "/Content/" + e.file);
    EXPECT_EQ(w.format, 1) << e.file << " is PCM";
    EXPECT_EQ(w.bits, 16) << e.file;
    EXPECT_EQ(w.rate, 44100) << e.file;
    EXPECT_GE(w.Seconds(), e.shortest) << e.file;
    EXPECT_LE(w.Seconds(), e.longest) << e.file;
    const double peakDb = 20 * std::log10(std::max(w.Peak(), 1.0 / 32768));
    EXPECT_NEAR(peakDb, e.peakDb, 0.5) << e.file;
  }
}

// A chain plays a burst for every link: a burst is a low, pitched pop, not
// a hiss, and the time warning sounds well above all of them, where they
// leave room for it and where the ear is keenest. The launches, a few a
// second, stay under it too.
TEST(Content, BurstsAreLowAndTheWarningSitsAboveThem) {
  const auto centre = [](const char* file) { return CentreHz(ReadWav(std::string(VANTOR_SOURCE_DIR) + "/Content/" + file)); };
  double highestBurst = 0;
  for (const char* file : {"exp1.wav", "exp2.wav", "exp3.wav"}) {
    EXPECT_LT(centre(file), 1000) << file << " is not a hiss";
    highestBurst = std::max(highestBurst, centre(file));
  }
  EXPECT_GT(centre("warning.wav"), 2 * highestBurst) << "the warning an octave or more above the bursts";
  EXPECT_GT(centre("warning.wav"), 1800) << "and towards the range the ear is keenest in";
  for (const char* file : {"rocket1.wav", "rocket2.wav"}) {
    EXPECT_LT(centre(file), 0.6 * centre("warning.wav")) << file << " is a thump and a breath, not a hiss over the warning";
  }
}

// Duration, rate, channels and bit rates of an MP3 from its frame headers.
struct Mp3 {
  int frames = 0, rate = 0;
  bool stereo = true, mpeg1Layer3 = true;
  int lowestKbps = 1000, highestKbps = 0;
  double Seconds() const { return rate ? frames * 1152.0 / rate : 0; }
};

Mp3 ScanMp3(const std::vector<std::uint8_t>& b) {
  static const int kKbps[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
  static const int kRates[4] = {44100, 48000, 32000, 0};
  Mp3 m;
  size_t at = 0;
  if (b.size() > 10 && b[0] == 'I' && b[1] == 'D' && b[2] == '3')  // skip a tag, if any
    at = 10 + ((b[6] & 0x7F) << 21 | (b[7] & 0x7F) << 14 | (b[8] & 0x7F) << 7 | (b[9] & 0x7F));
  while (at + 4 <= b.size() && b[at] == 0xFF && (b[at + 1] & 0xE0) == 0xE0) {
    const int version = (b[at + 1] >> 3) & 3, layer = (b[at + 1] >> 1) & 3;
    const int kbps = kKbps[b[at + 2] >> 4], rate = kRates[(b[at + 2] >> 2) & 3];
    const int padding = (b[at + 2] >> 1) & 1, mode = b[at + 3] >> 6;
    if (version != 3 || layer != 1 || kbps == 0 || rate == 0) {
      m.mpeg1Layer3 = false;
      break;
    }
    m.rate = rate;
    m.stereo = m.stereo && mode != 3;
    m.lowestKbps = std::min(m.lowestKbps, kbps);
    m.highestKbps = std::max(m.highestKbps, kbps);
    ++m.frames;
    at += static_cast<size_t>(144 * kbps * 1000 / rate + padding);
  }
  return m;
}

TEST(Content, MusicIsAStereoMp3OfOneToThreeMinutes) {
  const std::vector<std::uint8_t> bytes = ReadBytes(std::string(VANTOR_SOURCE_DIR) + "/Content/vtr_music.mp3");
  const Mp3 m = ScanMp3(bytes);
  EXPECT_TRUE(m.mpeg1Layer3);
  EXPECT_EQ(m.rate, 44100);
  EXPECT_TRUE(m.stereo);
  EXPECT_GE(m.lowestKbps, 128);
  EXPECT_LE(m.highestKbps, 192);
  EXPECT_GE(m.Seconds(), 60.0);
  EXPECT_LE(m.Seconds(), 180.0);
}

TEST(Content, EverySoundOpensThroughTheAudioLayer) {
  TempDir dir(true);
  audio::System* made = nullptr;
  ASSERT_EQ(audio::System_Create(&made), audio::kOk);
  std::unique_ptr<audio::System> system(made);
  ASSERT_EQ(system->init(100, 0, nullptr), audio::kOk);

  audio::Sound* sound = nullptr;
  EXPECT_EQ(system->createStream("Content/vtr_music.mp3", audio::kModeDefault, nullptr, &sound), audio::kOk);
  EXPECT_NE(sound, nullptr);
  for (const char* file : {"Content/exp1.wav", "Content/exp2.wav", "Content/exp3.wav", "Content/rocket1.wav",
                           "Content/rocket2.wav", "Content/warning.wav"}) {
    sound = nullptr;
    EXPECT_EQ(system->createSound(file, audio::kModeDefault, nullptr, &sound), audio::kOk) << file;
    EXPECT_NE(sound, nullptr) << file;
  }
}

// The byte a "Char" line defines, in either of the format's two forms; -1
// when the line does not define one.
int CharOfLine(const std::string& line) {
  const size_t eq = line.find('=');
  if (line.rfind("Char", 0) != 0 || eq == std::string::npos || eq + 1 >= line.size()) return -1;
  size_t at = eq + 1;
  while (at < line.size() && line[at] == ' ') ++at;
  if (at < line.size() && line[at] == '"') return at + 1 < line.size() ? static_cast<unsigned char>(line[at + 1]) : -1;
  size_t end = at;
  while (end < line.size() && std::isxdigit(static_cast<unsigned char>(line[end]))) ++end;
  return end > at ? std::stoi(line.substr(at, end - at), nullptr, 16) : -1;
}

TEST_F(ContentTest, FontFileParsesAndFitsTheLayout) {
  std::ifstream in("Content/font1.fnt", std::ios::binary);
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first, "[HGEFONT]");
  std::string bitmap;
  std::array<bool, 256> defined{};
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("Bitmap", 0) == 0) {
      std::istringstream words(line.substr(line.find('=') + 1));
      words >> bitmap;
    }
    const int c = CharOfLine(line);
    if (c >= 0 && c < 256) defined[static_cast<size_t>(c)] = true;
  }
  ASSERT_FALSE(bitmap.empty()) << "a Bitmap line names the glyph picture";
  EXPECT_EQ(std::filesystem::path(bitmap).extension(), ".png");
  EXPECT_TRUE(std::filesystem::exists("Content/" + bitmap)) << bitmap << " lies beside the font file";
  for (int c = 32; c <= 126; ++c) EXPECT_TRUE(defined[static_cast<size_t>(c)]) << "no Char line for " << c;

  // Through the game's own loader.
  hgeFont font("Content/font1.fnt");
  ASSERT_NE(font.GetTexture(), 0u);
  for (int c = 32; c <= 126; ++c) EXPECT_NE(font.GetSprite(static_cast<char>(c)), nullptr) << "letter " << c;
  // Menu captions stand 50 pixels apart and must not touch.
  EXPECT_GE(font.GetHeight(), 26.0f);
  EXPECT_LE(font.GetHeight(), 30.0f);
  // The HUD's longest captions stand in 150-pixel side panels at scale 0.6.
  font.SetScale(0.6f);
  EXPECT_LE(font.GetTextWidth("Highest combo:"), 125.0f);
  EXPECT_LE(font.GetTextWidth("Active rockets:"), 125.0f);
  EXPECT_GT(font.GetTextWidth("Highest combo:"), 100.0f) << "and the text is not needlessly small";
}

TEST(Content, FolderStaysUnderEightMegabytes) {
  std::uintmax_t total = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(std::string(VANTOR_SOURCE_DIR) + "/Content"))
    if (entry.is_regular_file()) total += entry.file_size();
  EXPECT_LT(total, 8u * 1024 * 1024);
}

}  // namespace
