#include "menu/menu_item.h"

#include <cassert>
#include <utility>

#include "helpers/color.h"
#include "helpers/font.h"

namespace vtr {

VtrMenuItem::VtrMenuItem(int id_, hgeFont* font_, float x, float y, std::string text_)
    : font(font_), text(std::move(text_)) {
  assert(font != nullptr && "a menu item needs the menu's font");
  bStatic = false;
  bVisible = true;
  bEnabled = true;
  id = id_;
  const float w = font->GetTextWidth(text.c_str(), true);
  const float h = font->GetHeight();
  rect.Set(x - w * 0.5f, y, x + w * 0.5f, y + h);
}

void VtrMenuItem::Render() {
  font->SetColor(PackColor(shadowColour));
  font->Render(rect.x1 + shadowOffset, rect.y1 + shadowOffset, 0, text.c_str());
  font->SetColor(PackColor(colour));
  font->Render(rect.x1, rect.y1, 0, text.c_str());
}

void VtrMenuItem::Focus(bool focused) { colour = focused ? kFocusedColor : kUnfocusedColor; }

void VtrMenuItem::MouseOver(bool over) {
  if (over && gui != nullptr) gui->SetFocus(id);
}

bool VtrMenuItem::MouseLeftButton(bool down) { return !down; }

bool VtrMenuItem::KeyClick(int key, int chr) {
  (void)chr;
  if (key != HGEK_ENTER && key != HGEK_SPACE) return false;
  MouseLeftButton(true);
  return MouseLeftButton(false);
}

}  // namespace vtr
