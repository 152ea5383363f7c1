// Input: SDL keys mapped to HGE (Windows virtual-key) codes, and the
// per-frame record of edges, held keys, the key and character of the frame,
// the wheel and the cursor.
//
// Edges last one frame. A key pressed and released between two frames is
// seen going down and held in the next frame, and going up in the one after,
// so a game that polls the held state never misses a quick tap. Auto-repeat
// gives the key and character again (menus scroll while an arrow is held)
// but no new edge.
#include <cmath>

#include "platform/hge_sdl_input.h"

#include "platform/hge_sdl.h"

namespace hge_sdl {
namespace {

struct KeyPair {
  SDL_Keycode sym;
  int hge;
};

// Keys that are not letters, digits, function keys or keypad digits.
constexpr KeyPair kKeyTable[] = {
    {SDLK_BACKSPACE, 8},    {SDLK_TAB, 9},          {SDLK_RETURN, HGEK_ENTER}, {SDLK_KP_ENTER, HGEK_ENTER},
    {SDLK_LSHIFT, 16},      {SDLK_RSHIFT, 16},      {SDLK_LCTRL, 17},          {SDLK_RCTRL, 17},
    {SDLK_LALT, 18},        {SDLK_RALT, 18},        {SDLK_PAUSE, 19},          {SDLK_CAPSLOCK, 20},
    {SDLK_ESCAPE, HGEK_ESCAPE}, {SDLK_SPACE, HGEK_SPACE}, {SDLK_PAGEUP, 33},   {SDLK_PAGEDOWN, 34},
    {SDLK_END, 35},         {SDLK_HOME, 36},        {SDLK_LEFT, HGEK_LEFT},    {SDLK_UP, HGEK_UP},
    {SDLK_RIGHT, HGEK_RIGHT}, {SDLK_DOWN, HGEK_DOWN}, {SDLK_INSERT, 45},       {SDLK_DELETE, 46},
    {SDLK_LGUI, 91},        {SDLK_RGUI, 92},        {SDLK_APPLICATION, 93},    {SDLK_KP_MULTIPLY, 106},
    {SDLK_KP_PLUS, HGEK_ADD}, {SDLK_KP_MINUS, HGEK_SUBTRACT}, {SDLK_KP_PERIOD, 110}, {SDLK_KP_DIVIDE, 111},
    {SDLK_NUMLOCKCLEAR, 144}, {SDLK_SCROLLLOCK, 145}, {SDLK_SEMICOLON, 186},   {SDLK_EQUALS, 187},
    {SDLK_COMMA, 188},      {SDLK_MINUS, 189},      {SDLK_PERIOD, 190},        {SDLK_SLASH, 191},
    {SDLK_BACKQUOTE, 192},  {SDLK_LEFTBRACKET, 219}, {SDLK_BACKSLASH, 220},    {SDLK_RIGHTBRACKET, 221},
    {SDLK_QUOTE, 222},
};

constexpr int kF1 = 112;
constexpr int kNumpad0 = 96;

int HgeButtonFromSdl(Uint8 button) {
  switch (button) {
    case SDL_BUTTON_LEFT: return HGEK_LBUTTON;
    case SDL_BUTTON_RIGHT: return HGEK_RBUTTON;
    case SDL_BUTTON_MIDDLE: return 4;
    default: return 0;
  }
}

// First code point of UTF-8 text, 0 when it is empty or malformed.
int FirstCodePoint(const char* text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  if (bytes[0] < 0x80) return bytes[0];
  int extra = bytes[0] >= 0xF0 ? 3 : bytes[0] >= 0xE0 ? 2 : bytes[0] >= 0xC0 ? 1 : -1;
  if (extra < 0) return 0;
  int code = bytes[0] & (0x3F >> extra);
  for (int i = 1; i <= extra; ++i) {
    if ((bytes[i] & 0xC0) != 0x80) return 0;
    code = (code << 6) | (bytes[i] & 0x3F);
  }
  return code;
}

}  // namespace

int HgeKeyFromSdl(SDL_Keycode sym) {
  if (sym >= SDLK_a && sym <= SDLK_z) return 'A' + (sym - SDLK_a);
  if (sym >= SDLK_0 && sym <= SDLK_9) return sym;
  if (sym >= SDLK_F1 && sym <= SDLK_F12) return kF1 + (sym - SDLK_F1);
  if (sym >= SDLK_KP_1 && sym <= SDLK_KP_9) return kNumpad0 + 1 + (sym - SDLK_KP_1);
  if (sym == SDLK_KP_0) return kNumpad0;
  for (const KeyPair& pair : kKeyTable) {
    if (pair.sym == sym) return pair.hge;
  }
  return 0;
}

SDL_Keycode SdlKeyFromHge(int key) {
  if (key >= 'A' && key <= 'Z') return SDLK_a + (key - 'A');
  if (key >= '0' && key <= '9') return key;
  if (key >= kF1 && key < kF1 + 12) return SDLK_F1 + (key - kF1);
  if (key >= kNumpad0 + 1 && key <= kNumpad0 + 9) return SDLK_KP_1 + (key - kNumpad0 - 1);
  if (key == kNumpad0) return SDLK_KP_0;
  for (const KeyPair& pair : kKeyTable) {
    if (pair.hge == key) return pair.sym;
  }
  return SDLK_UNKNOWN;
}

int CharFromSdl(SDL_Keycode sym, Uint16 mod) {
  if (sym >= SDLK_a && sym <= SDLK_z) {
    const bool upper = ((mod & KMOD_SHIFT) != 0) != ((mod & KMOD_CAPS) != 0);
    return upper ? 'A' + (sym - SDLK_a) : sym;
  }
  if (sym >= SDLK_SPACE && sym < 127) return sym;
  if (sym >= SDLK_KP_1 && sym <= SDLK_KP_9) return '1' + (sym - SDLK_KP_1);
  switch (sym) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return '\r';
    case SDLK_ESCAPE: return 27;
    case SDLK_BACKSPACE: return '\b';
    case SDLK_TAB: return '\t';
    case SDLK_KP_0: return '0';
    case SDLK_KP_PLUS: return '+';
    case SDLK_KP_MINUS: return '-';
    case SDLK_KP_MULTIPLY: return '*';
    case SDLK_KP_DIVIDE: return '/';
    case SDLK_KP_PERIOD: return '.';
    default: return 0;
  }
}

void InputState::BeginFrame() {
  for (int i = 0; i < kKeyCount; ++i) {
    wentDown[i] = false;
    wentUp[i] = releaseNextFrame[i];
    if (releaseNextFrame[i]) held[i] = false;
    releaseNextFrame[i] = false;
  }
  key = 0;
  chr = 0;
  wheel = 0;
}

void InputState::ReleaseAll() {
  for (bool& h : held) h = false;
  for (bool& r : releaseNextFrame) r = false;
}

void InputState::Press(int code, bool down) {
  if (down) {
    wentDown[code] = true;
    held[code] = true;
    releaseNextFrame[code] = false;
  } else if (wentDown[code]) {
    releaseNextFrame[code] = true;  // a tap within one frame
  } else {
    wentUp[code] = true;
    held[code] = false;
  }
}

void InputState::Handle(const SDL_Event& event) {
  switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      const int code = HgeKeyFromSdl(event.key.keysym.sym);
      const bool down = event.type == SDL_KEYDOWN;
      if (down) {
        if (code != 0) key = code;
        if (const int c = CharFromSdl(event.key.keysym.sym, event.key.keysym.mod)) chr = c;
      }
      if (code == 0 || (down && event.key.repeat != 0)) break;
      Press(code, down);
      break;
    }
    case SDL_TEXTINPUT:
      // The system's own idea of the typed character (layouts, dead keys).
      if (const int c = FirstCodePoint(event.text.text)) chr = c;
      break;
    case SDL_MOUSEMOTION:
      mouseX = static_cast<float>(event.motion.x);
      mouseY = static_cast<float>(event.motion.y);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      mouseX = static_cast<float>(event.button.x);
      mouseY = static_cast<float>(event.button.y);
      const int code = HgeButtonFromSdl(event.button.button);
      if (code == 0) break;
      const bool down = event.type == SDL_MOUSEBUTTONDOWN;
      Press(code, down);
      if (down) key = code;
      break;
    }
    case SDL_MOUSEWHEEL:
      wheel += event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
      break;
    default: break;
  }
}

// ---------------------------------------------------------------- engine side

// The cursor in logical coordinates; over a bar, at the nearest edge.
void Engine::Input_GetMousePos(float* x, float* y) {
  if (injecting_) {
    if (x) *x = injected_.mouseX;
    if (y) *y = injected_.mouseY;
    return;
  }
  viewport_.WindowToLogical(input_.mouseX, input_.mouseY, x, y);
}

int Engine::Input_GetMouseWheel() { return injecting_ ? injected_.wheel : input_.wheel; }

bool Engine::Input_KeyDown(int key) {
  if (key < 0 || key >= kKeyCount) return false;
  return injecting_ ? (injected_.keys[key] & hge_record::kWentDown) != 0 : input_.wentDown[key];
}

bool Engine::Input_KeyUp(int key) {
  if (key < 0 || key >= kKeyCount) return false;
  return injecting_ ? (injected_.keys[key] & hge_record::kWentUp) != 0 : input_.wentUp[key];
}

bool Engine::Input_GetKeyState(int key) {
  if (key < 0 || key >= kKeyCount) return false;
  return injecting_ ? (injected_.keys[key] & hge_record::kHeld) != 0 : input_.held[key];
}

int Engine::Input_GetKey() { return injecting_ ? injected_.key : input_.key; }

int Engine::Input_GetChar() { return injecting_ ? injected_.chr : input_.chr; }

void Engine::ReadInput(hge_record::InputFrame* out) const {
  if (injecting_) {
    *out = injected_;
    return;
  }
  viewport_.WindowToLogical(input_.mouseX, input_.mouseY, &out->mouseX, &out->mouseY);
  out->key = input_.key;
  out->chr = input_.chr;
  out->wheel = input_.wheel;
  for (int i = 0; i < kKeyCount; ++i) {
    out->keys[i] = static_cast<std::uint8_t>((input_.held[i] ? hge_record::kHeld : 0) |
                                             (input_.wentDown[i] ? hge_record::kWentDown : 0) |
                                             (input_.wentUp[i] ? hge_record::kWentUp : 0));
  }
}

void Engine::InjectInput(const hge_record::InputFrame* frame) {
  injecting_ = frame != nullptr;
  if (frame) injected_ = *frame;
}

}  // namespace hge_sdl

// ---------------------------------------------------------------- pushed input

namespace headless {
namespace {

// Screen pixels as SDL's integer event coordinates, clamped far outside any
// window so the conversion is always defined.
int EventCoordinate(float value) {
  if (!std::isfinite(value)) return 0;
  return static_cast<int>(std::lround(std::fmax(-1.0e6f, std::fmin(1.0e6f, value))));
}

Uint32 WindowId() {
  SDL_Window* window = SDL_GetMouseFocus();
  return window ? SDL_GetWindowID(window) : 0;
}

}  // namespace

void PushMouseMove(float x, float y) {
  SDL_Event event{};
  event.type = SDL_MOUSEMOTION;
  event.motion.windowID = WindowId();
  event.motion.x = EventCoordinate(x);
  event.motion.y = EventCoordinate(y);
  SDL_PushEvent(&event);
}

void PushMouseButton(int hgeButton, bool down, float x, float y) {
  SDL_Event event{};
  event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
  event.button.windowID = WindowId();
  event.button.button = hgeButton == HGEK_RBUTTON ? SDL_BUTTON_RIGHT
                        : hgeButton == 4          ? SDL_BUTTON_MIDDLE
                                                  : SDL_BUTTON_LEFT;
  event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
  event.button.clicks = 1;
  event.button.x = EventCoordinate(x);
  event.button.y = EventCoordinate(y);
  SDL_PushEvent(&event);
}

void PushKey(int hgeKey, bool down) {
  SDL_Event event{};
  event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  event.key.windowID = WindowId();
  event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  event.key.keysym.sym = hge_sdl::SdlKeyFromHge(hgeKey);
  event.key.keysym.scancode = SDL_GetScancodeFromKey(event.key.keysym.sym);
  SDL_PushEvent(&event);
}

void PushWheel(int steps) {
  SDL_Event event{};
  event.type = SDL_MOUSEWHEEL;
  event.wheel.windowID = WindowId();
  event.wheel.y = steps;
  event.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
  SDL_PushEvent(&event);
}

void PushQuit() {
  SDL_Event event{};
  event.type = SDL_QUIT;
  SDL_PushEvent(&event);
}

}  // namespace headless
