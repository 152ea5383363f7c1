// One caption of a menu page: centred on its x, its top at y, drawn with a
// dark shadow three pixels to the right and below. The focused caption is
// white, the others pale blue. Hovering a caption moves the keyboard focus to
// it; it activates when the mouse button is released (the page hands the
// release to the caption that took the press, even off the caption), or at
// once on Enter or Space.
#pragma once

#include <string>

#include "helpers/color.h"
#include "helpers/gui.h"

class hgeFont;

namespace vtr {

class VtrMenuItem : public hgeGUIObject {
 public:
  // x is the horizontal centre of the caption and y its top; the hit
  // rectangle is the caption's width by the font's height.
  VtrMenuItem(int id, hgeFont* font, float x, float y, std::string text);

  // Shadow first, then the caption in its current colour (the font keeps it).
  void Render() override;
  // White when focused, pale blue otherwise.
  void Focus(bool focused) override;
  // Entering the caption takes the page's keyboard focus; leaving does nothing.
  void MouseOver(bool over) override;
  // Activates on the release of the button.
  bool MouseLeftButton(bool down) override;
  // Enter and Space activate; other keys do nothing.
  bool KeyClick(int key, int chr) override;

  static constexpr hgeColor kUnfocusedColor{0.5f, 0.5f, 1.0f, 1.0f};
  static constexpr hgeColor kFocusedColor{1.0f, 1.0f, 1.0f, 1.0f};
  static constexpr hgeColor kShadowColor{0.1f, 0.1f, 0.1f, 1.0f};

  hgeFont* font;  // the menu's font; not owned
  std::string text;
  hgeColor colour = kUnfocusedColor;
  hgeColor shadowColour = kShadowColor;
  float shadowOffset = 3.0f;
};

}  // namespace vtr
