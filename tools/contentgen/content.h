// The pieces of the game's content, each written into the output folder by
// its own maker. Every maker draws its random numbers from the run's seed
// and its own name, so a run with the same seed writes the same bytes.
#pragma once

#include <cstdint>
#include <string>

namespace contentgen {

struct Context {
  std::string outDir;   // the Content folder being written
  std::string fontDir;  // where the DejaVu .ttf files live
  std::uint64_t seed = 0;

  std::string Out(const std::string& name) const { return outDir + "/" + name; }
  std::string Font(const std::string& name) const { return fontDir + "/" + name; }
};

// Each returns false (after a line on stderr) when it cannot write its files.
bool MakeSky(const Context& ctx);             // vtr_bg_full_1024.png, sidebar_10.png
bool MakeParticles(const Context& ctx);       // particles.png
bool MakeLogos(const Context& ctx);           // vtr_Logo.png, qzk_logo.png
bool MakeIcon(const Context& ctx);            // icon/vantor_<size>.png
bool MakeBitmapFont(const Context& ctx);      // font1.fnt, font1.png
bool MakeEffects(const Context& ctx);         // exp1-3.wav, rocket1-2.wav, warning.wav
bool MakeMusic(const Context& ctx);           // vtr_music.mp3
bool MakeNotice(const Context& ctx);          // NOTICE

// Composes a screenshot of the play screen from a Content folder.
bool MakePreview(const std::string& contentDir, const std::string& outPng);

}  // namespace contentgen
