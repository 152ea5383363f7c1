#include "game/notice.h"

#include <algorithm>
#include <utility>

#include "helpers/color.h"
#include "helpers/font.h"

namespace vtr {

namespace {

constexpr float kFadeSeconds = 0.5f;
constexpr float kScale = 0.6f;
constexpr DWORD kWarmWhite = 0x00FFE8A0;  // the colour without its alpha
constexpr int kCentred = 2;

}  // namespace

void Notice::Show(std::string text, float seconds) {
  text_ = std::move(text);
  left_ = std::max(seconds, 0.0f);
}

void Notice::Update(float dt) {
  if (dt > 0.0f) left_ = std::max(left_ - dt, 0.0f);
}

void Notice::Draw(hgeFont& font, float centreX, float y) const {
  if (!Showing()) return;
  const float alpha = std::min(left_ / kFadeSeconds, 1.0f);
  font.SetScale(kScale);
  font.SetColor((PackChannel(alpha) << 24) | kWarmWhite);
  font.Render(centreX, y, kCentred, text_.c_str());
}

}  // namespace vtr
