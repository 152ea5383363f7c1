// A line the game tells the player in passing, such as scores that cannot be
// saved: drawn centred near the bottom of the play field over whatever else
// is there, for a few seconds of frame time, fading out over its last half
// second. One at a time: a new line replaces the one showing.
#pragma once

#include <string>

class hgeFont;

namespace vtr {

class Notice {
 public:
  // Shows text for the given seconds of frame time from now.
  void Show(std::string text, float seconds);
  // Counts the frame time down.
  void Update(float dt);
  // Draws the line centred on centreX with its top at y; nothing once over.
  void Draw(hgeFont& font, float centreX, float y) const;

  bool Showing() const { return left_ > 0.0f; }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
  float left_ = 0.0f;
};

}  // namespace vtr
