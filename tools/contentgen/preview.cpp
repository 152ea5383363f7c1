// A screenshot of the play screen composed from a Content folder, the way
// the game would draw it: the sky, a few bursts and rising rockets in their
// colours with additive particles, the explosion rings, the side panels,
// the menu captions with their shadows, the logo and the HUD texts. It is
// for looking at the content as a player would before committing it; the
// game never reads it. A second picture shows the studio splash as the
// game shows it, at three quarters of its size on black.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>

#include "content.h"
#include "image.h"
#include "rng.h"

namespace contentgen {
namespace {

enum class Blend { kAlpha, kAdd };

struct Sprite {
  const Image* texture;
  float x, y, w, h;  // rectangle in the texture
};

// Draws a sprite with its top-left corner at (left, top), scaled, tinted
// by a colour, blended like the engine blends its quads.
void Draw(Image& screen, const Sprite& s, float left, float top, float scale, Color tint, Blend blend) {
  const int x0 = std::max(0, static_cast<int>(std::floor(left)));
  const int y0 = std::max(0, static_cast<int>(std::floor(top)));
  const int x1 = std::min(screen.Width(), static_cast<int>(std::ceil(left + s.w * scale)));
  const int y1 = std::min(screen.Height(), static_cast<int>(std::ceil(top + s.h * scale)));
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const float u = s.x + (x + 0.5f - left) / scale, v = s.y + (y + 0.5f - top) / scale;
      if (u < s.x || v < s.y || u > s.x + s.w || v > s.y + s.h) continue;
      const Color c = s.texture->Sample(u, v);
      const Color lit{c.r * tint.r, c.g * tint.g, c.b * tint.b, c.a * tint.a};
      if (blend == Blend::kAdd)
        screen.AddLight(x, y, lit);
      else
        screen.Blend(x, y, lit);
    }
}

void DrawCentred(Image& screen, const Sprite& s, float cx, float cy, float scale, Color tint, Blend blend) {
  Draw(screen, s, cx - s.w * 0.5f * scale, cy - s.h * 0.5f * scale, scale, tint, blend);
}

struct Letter {
  float x = 0, y = 0, w = 0, h = 0, pre = 0, post = 0;
  bool defined = false;
};

// Reads the .fnt file the way the game's format describes it (both the
// quoted and the hexadecimal character forms).
std::array<Letter, 256> ReadFont(const std::string& path) {
  std::array<Letter, 256> letters{};
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("Char", 0) != 0) continue;
    size_t at = line.find('=');
    if (at == std::string::npos) continue;
    ++at;
    int code = 0;
    if (line[at] == '"') {
      code = static_cast<unsigned char>(line[at + 1]);
      at += 3;
    } else {
      size_t end = at;
      while (end < line.size() && std::isxdigit(static_cast<unsigned char>(line[end]))) ++end;
      code = std::stoi(line.substr(at, end - at), nullptr, 16);
      at = end;
    }
    Letter l;
    char comma;
    std::istringstream rest(line.substr(at));
    rest >> comma >> l.x >> comma >> l.y >> comma >> l.w >> comma >> l.h >> comma >> l.pre >> comma >> l.post;
    l.defined = true;
    if (code >= 0 && code < 256) letters[static_cast<size_t>(code)] = l;
  }
  return letters;
}

void Text(Image& screen, const Image& glyphs, const std::array<Letter, 256>& font, float x, float y, float scale,
          Color colour, const std::string& text, bool centred = false) {
  if (centred) {
    float w = 0;
    for (unsigned char c : text) w += (font[c].w + font[c].pre + font[c].post) * scale;
    x -= std::round(w / 2);
  }
  for (unsigned char c : text) {
    const Letter& l = font[c].defined ? font[c] : font['?'];
    x += l.pre * scale;
    Draw(screen, {&glyphs, l.x, l.y, l.w, l.h}, x, y, scale, colour, Blend::kAlpha);
    x += (l.w + l.post) * scale;
  }
}

// A burst `age` seconds old: about twenty particles flung outwards, growing
// a little and fading towards the burst's end colour, and its ring.
void Burst(Image& screen, const Sprite& particle, const Sprite& ring, Rng& rng, float cx, float cy, float age,
           Color start, Color end) {
  for (int i = 0; i < 22; ++i) {
    const float born = static_cast<float>(rng.Range(0, 0.2)), life = static_cast<float>(rng.Range(0.5, 1.0));
    const float t = age - born;
    if (t < 0 || t > life) continue;
    const float k = t / life;
    const float angle = static_cast<float>(rng.Range(0, 2 * std::numbers::pi));
    const float speed = static_cast<float>(rng.Range(100, 150));
    const Color c = Mix(start, end, k);
    DrawCentred(screen, particle, cx + std::sin(angle) * speed * t, cy - std::cos(angle) * speed * t,
                0.5f + 0.2f * k, c, Blend::kAdd);
  }
  const float radius = std::min(101.5f, 210 * age);
  const float ringAlpha = std::max(0.0f, 1 - radius / 100);
  DrawCentred(screen, ring, cx, cy, radius / 22, {1, 1, 1, ringAlpha}, Blend::kAlpha);
}

// A rising rocket and the trail it leaves behind.
void Trail(Image& screen, const Sprite& particle, Rng& rng, float x, float y, float dx, float dy, Color start,
           Color end) {
  for (int i = 0; i < 260; ++i) {
    const float age = static_cast<float>(rng.Range(0, 1.3));
    const float life = static_cast<float>(rng.Range(1.0, 2.0));
    if (age > life) continue;
    const float k = age / life;
    // The rocket moved on while the particle drifted backwards.
    const float px = x - dx * age * 180 - dx * age * 60, py = y - dy * age * 180 - dy * age * 60;
    DrawCentred(screen, particle, px + static_cast<float>(rng.Range(-1.5, 1.5)), py, 0.3f - 0.2f * k,
                Mix(start, end, k), Blend::kAdd);
  }
}

}  // namespace

bool MakePreview(const std::string& contentDir, const std::string& outPng) {
  const Image background = Image::LoadPng(contentDir + "/vtr_bg_full_1024.png");
  const Image panel = Image::LoadPng(contentDir + "/sidebar_10.png");
  const Image sheet = Image::LoadPng(contentDir + "/particles.png");
  const Image logo = Image::LoadPng(contentDir + "/vtr_Logo.png");
  const Image splash = Image::LoadPng(contentDir + "/qzk_logo.png");
  const Image glyphs = Image::LoadPng(contentDir + "/font1.png");
  const std::array<Letter, 256> font = ReadFont(contentDir + "/font1.fnt");
  if (background.Width() == 0 || panel.Width() == 0 || sheet.Width() == 0 || logo.Width() == 0 ||
      splash.Width() == 0 || glyphs.Width() == 0) {
    std::fprintf(stderr, "contentgen: the Content folder %s is incomplete\n", contentDir.c_str());
    return false;
  }
  Rng rng(1, "preview");
  Image screen(1024, 768, {0, 0, 0, 1});
  Draw(screen, {&background, 0, 0, 1024, 768}, 0, 0, 1, {1, 1, 1, 1}, Blend::kAlpha);

  const Sprite particle{&sheet, 96, 32, 32, 32}, ring{&sheet, 96, 64, 32, 32};
  Trail(screen, particle, rng, 300, 520, 0.15f, -1, {0.1f, 0, 1, 1}, {0.5f, 0.5f, 1, 0.1f});
  Trail(screen, particle, rng, 700, 600, -0.2f, -1, {0.1f, 0.9f, 0.3f, 1}, {0.6f, 0.9f, 0.1f, 1});
  Trail(screen, particle, rng, 560, 470, 0.05f, -1, {1, 0.2f, 0.2f, 1}, {1, 0.5f, 0.2f, 1});
  Burst(screen, particle, ring, rng, 380, 560, 0.25f, {0.8f, 0.65f, 0.1f, 1}, {0.3f, 0.15f, 0.8f, 0});
  Burst(screen, particle, ring, rng, 640, 250, 0.55f, {1, 0.3f, 0.7f, 1}, {0.3f, 0.15f, 0.8f, 0});
  Burst(screen, particle, ring, rng, 780, 480, 0.15f, {0.3f, 1, 0.5f, 1}, {0.2f, 0.4f, 1, 0});
  Burst(screen, particle, ring, rng, 250, 300, 0.7f, {0.4f, 0.7f, 1, 1}, {0.6f, 0.2f, 1, 0});

  Draw(screen, {&panel, 0, 0, 150, 768}, 0, 0, 1, {1, 1, 1, 1}, Blend::kAlpha);
  Draw(screen, {&panel, 0, 0, 150, 768}, 874, 0, 1, {1, 1, 1, 1}, Blend::kAlpha);

  const Color white{1, 1, 1, 1}, unfocused{0.5f, 0.5f, 1, 1}, shadow{0.1f, 0.1f, 0.1f, 1};
  const char* items[] = {"New Game", "High Scores", "Quit"};
  for (int i = 0; i < 3; ++i) {
    const float y = 300.0f + 50 * i;
    Text(screen, glyphs, font, 512 + 3, y + 3, 1, shadow, items[i], true);
    Text(screen, glyphs, font, 512, y, 1, i == 0 ? white : unfocused, items[i], true);
  }
  DrawCentred(screen, {&logo, 0, 0, 550, 143}, 512, 100, 1, white, Blend::kAlpha);

  const float s = 0.6f;
  Text(screen, glyphs, font, 890, 200, s, white, "Score:");
  Text(screen, glyphs, font, 890, 220, s, white, "128450");
  Text(screen, glyphs, font, 890, 260, s, white, "Highest combo:");
  Text(screen, glyphs, font, 890, 280, s, white, "17");
  Text(screen, glyphs, font, 890, 320, s, white, "Multiplier:");
  Text(screen, glyphs, font, 890, 340, s, {0, 0.5f, 1, 1}, "245 %");
  Text(screen, glyphs, font, 20, 200, s, white, "Active rockets:");
  Text(screen, glyphs, font, 20, 220, s, white, "23");
  Text(screen, glyphs, font, 20, 260, s, white, "Time:");
  Text(screen, glyphs, font, 20, 280, s, {1, 1, 0, 1}, "24.5833");
  if (!screen.WritePng(outPng, 3, false)) return false;

  Image splashScreen(1024, 768, {0, 0, 0, 1});
  DrawCentred(splashScreen, {&splash, 0, 0, 500, 558}, 512, 384, 0.75f, white, Blend::kAlpha);
  const std::string splashPng = outPng.substr(0, outPng.rfind('.')) + "_splash.png";
  return splashScreen.WritePng(splashPng, 3, false);
}

}  // namespace contentgen
