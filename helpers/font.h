// A bitmap font: one texture holding every glyph, and a plain-text font file
// that says where each character's glyph lies and how far to advance around
// it. The font owns its letter sprites and its texture.
//
// The font file: the first line is exactly "[HGEFONT]"; then, in any order,
//   Bitmap = name.png                 the glyph texture, beside the font file
//   Char = "A", x, y, w, h, pre, post a letter given as a quoted character
//   Char = 41, x, y, w, h, pre, post  ... or as a hexadecimal byte code
// Other lines are ignored; CR and LF runs end lines, so empty lines vanish.
// A letter takes the texture known when its line is read, and a later line
// for the same character replaces it. Lines longer than 255 characters and
// texture paths longer than 259 are outside the format: such a line is
// skipped with a note in the engine log. A bad first line empties the font
// (with a log line); a texture that fails to load ends the parsing.
#pragma once

#include <array>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/hge.h"

class hgeSprite;

class hgeFont {
 public:
  static constexpr std::size_t kMaxLineLength = 255;
  static constexpr std::size_t kMaxPathLength = 259;

  // Reads and parses the font file; a missing file leaves the font empty.
  explicit hgeFont(const char* filename, bool bMipmap = false);
  ~hgeFont();
  hgeFont(const hgeFont&) = delete;
  hgeFont& operator=(const hgeFont&) = delete;

  // Draws a zero-terminated string with (x, y) the top of its first line;
  // align bits: 0 left, 1 right, 2 centred on x (only the two low bits count).
  void Render(float x, float y, int align, const char* text);
  // Width of the first line, or of the widest line when multiline.
  float GetTextWidth(const char* text, bool multiline = true) const;

  // Sets the colour of every letter.
  void SetColor(DWORD col);
  // Sets the depth / blend flags of every letter.
  void SetZ(float z);
  void SetBlendMode(int blend);
  void SetScale(float scale) { scale_ = scale; }
  // Extra horizontal factor: letters are scale * proportion wide.
  void SetProportion(float prop) { proportion_ = prop; }
  // Rotation of every letter, radians.
  void SetRotation(float rot) { rotation_ = rot; }
  // Extra pixels between letters.
  void SetTracking(float tracking) { tracking_ = tracking; }
  // Line spacing factor.
  void SetSpacing(float spacing) { spacing_ = spacing; }

  DWORD GetColor() const { return color_; }
  float GetZ() const { return z_; }
  int GetBlendMode() const { return blend_; }
  float GetScale() const { return scale_; }
  float GetProportion() const { return proportion_; }
  float GetRotation() const { return rotation_; }
  float GetTracking() const { return tracking_; }
  float GetSpacing() const { return spacing_; }
  // Height of the tallest letter in the file, unscaled.
  float GetHeight() const { return height_; }
  HTEXTURE GetTexture() const { return texture_; }

  // The letter for a byte (null when the font has none) and its advances.
  hgeSprite* GetSprite(char chr) const;
  float GetPreWidth(char chr) const { return pre_[Index(chr)]; }
  float GetPostWidth(char chr) const { return post_[Index(chr)]; }

 private:
  static std::size_t Index(char chr) { return static_cast<unsigned char>(chr); }
  void Parse(std::string_view text, const char* filename, bool bMipmap);
  bool ParseBitmapLine(std::string_view line, const char* filename, bool bMipmap);
  void ParseCharLine(std::string_view line);
  // The letter drawn for a byte: its own, else "?", else -1 (nothing).
  int LetterIndex(unsigned char chr) const;
  float LineWidth(const char* text) const;
  float AlignedStart(float x, int align, const char* line) const;

  static HGE* hge_;  // class-wide engine reference

  HTEXTURE texture_ = 0;
  std::vector<HTEXTURE> ownedTextures_;  // every texture loaded, freed at the end
  std::array<std::unique_ptr<hgeSprite>, 256> letters_;
  std::array<float, 256> pre_{};
  std::array<float, 256> post_{};
  float height_ = 0.0f;
  float scale_ = 1.0f;
  float proportion_ = 1.0f;
  float rotation_ = 0.0f;
  float tracking_ = 0.0f;
  float spacing_ = 1.0f;
  DWORD color_ = 0xFFFFFFFF;
  float z_ = 0.5f;
  int blend_ = BLEND_DEFAULT;
};
