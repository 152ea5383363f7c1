#include "helpers/font.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "helpers/sprite.h"

HGE* hgeFont::hge_ = nullptr;

namespace {

constexpr std::string_view kHeader = "[HGEFONT]";
constexpr std::string_view kBitmapKey = "Bitmap";
constexpr std::string_view kCharKey = "Char";

// White space as the C library's scanners see it.
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A bounded cursor over one line, scanning the way the font format's
// "Bitmap = %s" and " , %d" patterns describe, without ever reading past the
// line's end.
class LineScanner {
 public:
  explicit LineScanner(std::string_view line, std::size_t pos = 0) : line_(line), pos_(pos) {}

  bool AtEnd() const { return pos_ >= line_.size(); }
  char Peek() const { return line_[pos_]; }
  void Advance(std::size_t n) { pos_ = std::min(line_.size(), pos_ + n); }

  void SkipSpace() {
    while (!AtEnd() && IsSpace(Peek())) ++pos_;
  }
  bool Expect(char c) {
    if (AtEnd() || Peek() != c) return false;
    ++pos_;
    return true;
  }
  // A run of non-blank characters (empty at the end of the line).
  std::string_view Word() {
    const std::size_t start = pos_;
    while (!AtEnd() && !IsSpace(Peek())) ++pos_;
    return line_.substr(start, pos_ - start);
  }
  // A decimal int with optional sign after optional blanks; false when there
  // is none or it does not fit.
  bool Int(int* value) {
    SkipSpace();
    bool negative = false;
    if (!AtEnd() && (Peek() == '+' || Peek() == '-')) {
      negative = Peek() == '-';
      ++pos_;
    }
    const char* first = line_.data() + pos_;
    const char* last = line_.data() + line_.size();
    if (first == last || *first < '0' || *first > '9') return false;
    // Parsed as a wider magnitude so that the most negative int still fits.
    long long magnitude = 0;
    const auto [end, error] = std::from_chars(first, last, magnitude);
    if (error != std::errc()) return false;
    pos_ += static_cast<std::size_t>(end - first);
    const long long signedValue = negative ? -magnitude : magnitude;
    if (signedValue < std::numeric_limits<int>::min() || signedValue > std::numeric_limits<int>::max()) return false;
    *value = static_cast<int>(signedValue);
    return true;
  }

 private:
  std::string_view line_;
  std::size_t pos_;
};

// Hands out the lines of a text: CR and LF runs end a line, so only the very
// first line can be empty.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}

  bool Next(std::string_view* line) {
    if (pos_ >= text_.size() && !first_) return false;
    first_ = false;
    std::size_t end = text_.find_first_of("\r\n", pos_);
    if (end == std::string_view::npos) end = text_.size();
    *line = text_.substr(pos_, end - pos_);
    pos_ = text_.find_first_not_of("\r\n", end);
    if (pos_ == std::string_view::npos) pos_ = text_.size();
    return true;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  bool first_ = true;
};

}  // namespace

hgeFont::hgeFont(const char* filename, bool bMipmap) {
  hge_ = hgeCreate(HGE_VERSION);

  DWORD size = 0;
  void* data = hge_->Resource_Load(filename, &size);
  if (data == nullptr) return;
  // The file ends at its size or at a zero byte, whichever comes first.
  const char* bytes = static_cast<const char*>(data);
  const std::string text(bytes, strnlen(bytes, size));
  hge_->Resource_Free(data);

  Parse(text, filename, bMipmap);
}

hgeFont::~hgeFont() {
  for (auto& letter : letters_) letter.reset();
  for (HTEXTURE tex : ownedTextures_) hge_->Texture_Free(tex);
  hge_->Release();
}

void hgeFont::Parse(std::string_view text, const char* filename, bool bMipmap) {
  LineReader lines(text);
  std::string_view line;
  if (!lines.Next(&line) || line != kHeader) {
    hge_->System_Log("Font %s has incorrect format.", filename);
    return;
  }

  while (lines.Next(&line)) {
    if (line.size() > kMaxLineLength) {
      hge_->System_Log("Font %s: a line longer than %zu characters was skipped.", filename, kMaxLineLength);
      continue;
    }
    if (line.starts_with(kBitmapKey)) {
      if (!ParseBitmapLine(line, filename, bMipmap)) return;
    } else if (line.starts_with(kCharKey)) {
      ParseCharLine(line);
    }
  }
}

// "Bitmap = name": loads the texture beside the font file. False when the
// texture could not be loaded, which ends the parsing.
bool hgeFont::ParseBitmapLine(std::string_view line, const char* filename, bool bMipmap) {
  LineScanner scan(line, kBitmapKey.size());
  scan.SkipSpace();
  if (!scan.Expect('=')) return true;
  scan.SkipSpace();
  const std::string_view name = scan.Word();
  if (name.empty()) return true;

  // The font file's folder, up to its last '\', or else its last '/'.
  const std::string_view fontPath(filename);
  std::size_t cut = fontPath.rfind('\\');
  if (cut == std::string_view::npos) cut = fontPath.rfind('/');
  const std::string_view folder = cut == std::string_view::npos ? std::string_view() : fontPath.substr(0, cut + 1);
  if (folder.size() + name.size() > kMaxPathLength) {
    hge_->System_Log("Font %s: a texture path longer than %zu characters was skipped.", filename, kMaxPathLength);
    return true;
  }
  std::string path(folder);
  path.append(name);

  const HTEXTURE tex = hge_->Texture_Load(path.c_str(), 0, bMipmap);
  if (tex == 0) return false;
  // Letters read so far keep drawing from the texture they were made with,
  // so a replaced texture stays loaded until the font goes.
  ownedTextures_.push_back(tex);
  texture_ = tex;
  return true;
}

// "Char = "c", x, y, w, h, pre, post" or "Char = hex, ...". A line that does
// not give a byte and all six numbers is ignored.
void hgeFont::ParseCharLine(std::string_view line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return;
  LineScanner scan(line, equals + 1);
  scan.SkipSpace();
  if (scan.AtEnd()) return;

  unsigned char chr = 0;
  if (scan.Peek() == '"') {
    scan.Advance(1);
    if (scan.AtEnd()) return;
    chr = static_cast<unsigned char>(scan.Peek());
    scan.Advance(2);  // the character and the closing quote, unchecked
  } else {
    int code = 0;
    int digits = 0;
    for (; !scan.AtEnd() && HexDigit(scan.Peek()) >= 0; scan.Advance(1), ++digits) {
      if (code <= 0xFF) code = code * 16 + HexDigit(scan.Peek());  // stops growing once out of range
    }
    if (digits == 0 || code > 0xFF) return;
    chr = static_cast<unsigned char>(code);
  }

  int numbers[6];
  for (int& number : numbers) {
    scan.SkipSpace();
    if (!scan.Expect(',') || !scan.Int(&number)) return;
  }
  const auto [x, y, w, h, pre, post] = numbers;

  letters_[chr] = std::make_unique<hgeSprite>(texture_, static_cast<float>(x), static_cast<float>(y),
                                              static_cast<float>(w), static_cast<float>(h));
  pre_[chr] = static_cast<float>(pre);
  post_[chr] = static_cast<float>(post);
  height_ = std::max(height_, static_cast<float>(h));
}

hgeSprite* hgeFont::GetSprite(char chr) const { return letters_[Index(chr)].get(); }

int hgeFont::LetterIndex(unsigned char chr) const {
  if (letters_[chr]) return chr;
  if (letters_['?']) return '?';
  return -1;
}

// Unscaled width of the text up to its end or its first line feed.
float hgeFont::LineWidth(const char* text) const {
  float width = 0.0f;
  for (; *text != '\0' && *text != '\n'; ++text) {
    const int i = LetterIndex(static_cast<unsigned char>(*text));
    if (i < 0) continue;
    width += letters_[i]->GetWidth() + pre_[i] + post_[i] + tracking_;
  }
  return width;
}

float hgeFont::GetTextWidth(const char* text, bool multiline) const {
  if (text == nullptr) return 0.0f;
  float widest = 0.0f;
  while (*text != '\0') {
    const float width = LineWidth(text);
    if (!multiline) return width * scale_ * proportion_;
    widest = std::max(widest, width);
    while (*text != '\0' && *text != '\n') ++text;
    while (*text == '\n' || *text == '\r') ++text;
  }
  return widest * scale_ * proportion_;
}

float hgeFont::AlignedStart(float x, int align, const char* line) const {
  switch (align & 3) {
    case 1:
      return x - GetTextWidth(line, false);
    case 2:
      return x - std::nearbyint(GetTextWidth(line, false) / 2.0f);
    default:
      return x;
  }
}

void hgeFont::Render(float x, float y, int align, const char* text) {
  if (text == nullptr) return;
  const float lineAdvance = std::nearbyint(spacing_ * scale_ * height_);
  const float hscale = proportion_ * scale_;
  float fx = AlignedStart(x, align, text);

  for (; *text != '\0'; ++text) {
    const unsigned char chr = static_cast<unsigned char>(*text);
    if (chr == '\n') {
      y += lineAdvance;
      fx = AlignedStart(x, align, text + 1);
      continue;
    }
    const int i = LetterIndex(chr);
    if (i < 0) continue;
    fx += pre_[i] * proportion_ * scale_;
    letters_[i]->RenderTransformed(fx, y, rotation_, hscale, scale_);
    fx += (letters_[i]->GetWidth() + post_[i] + tracking_) * proportion_ * scale_;
  }
}

void hgeFont::SetColor(DWORD col) {
  color_ = col;
  for (auto& letter : letters_) {
    if (letter) letter->SetColor(col);
  }
}

void hgeFont::SetZ(float z) {
  z_ = z;
  for (auto& letter : letters_) {
    if (letter) letter->SetZ(z);
  }
}

void hgeFont::SetBlendMode(int blend) {
  blend_ = blend;
  for (auto& letter : letters_) {
    if (letter) letter->SetBlendMode(blend);
  }
}
