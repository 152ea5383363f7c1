// The engine core the game runs on: window, frame loop, timing, input,
// textures and quad drawing. One engine exists per process; hgeCreate hands
// out counted references to it and Release gives one back. The game and the
// helper classes talk only to this interface; the SDL2 implementation lives
// in platform/hge_sdl.cpp.
#pragma once

#include <cstdint>

using DWORD = std::uint32_t;
using HTEXTURE = std::uint32_t;  // 0 stands for "no texture"
using HTARGET = std::uint32_t;   // render targets: only 0, the screen

inline constexpr int HGE_VERSION = 0x180;

// Blend flags of a quad. The default of a sprite is colour multiply, alpha
// blend, no depth write (2); the game's particles use 0 (additive alpha).
inline constexpr int BLEND_COLORADD = 1;
inline constexpr int BLEND_COLORMUL = 0;
inline constexpr int BLEND_ALPHABLEND = 2;
inline constexpr int BLEND_ALPHAADD = 0;
inline constexpr int BLEND_ZWRITE = 4;
inline constexpr int BLEND_NOZWRITE = 0;
inline constexpr int BLEND_DEFAULT = BLEND_COLORMUL | BLEND_ALPHABLEND | BLEND_NOZWRITE;

// HGE_WINDOWED false is desktop fullscreen. It can change while the game
// runs: setting it switches, and F11 or Alt+Enter toggle it (those keys
// never reach the game). The screen size states are the game's own
// coordinates whatever the window's size.
enum hgeBoolState { HGE_WINDOWED = 1, HGE_USESOUND = 4, HGE_HIDEMOUSE = 6, HGE_SHOWSPLASH = 7 };
enum hgeFuncState { HGE_FRAMEFUNC = 8, HGE_RENDERFUNC = 9 };
// HGE_WINDOWWIDTH and HGE_WINDOWHEIGHT: the window's size when not
// fullscreen, in points. Set before System_Initiate, the window opens at that
// size held to the display's usable area (0: the screen size, made smaller
// with its aspect kept when it does not fit); read later, the size it has or
// returns to from fullscreen.
enum hgeIntState {
  HGE_SCREENWIDTH = 17,
  HGE_SCREENHEIGHT = 18,
  HGE_SCREENBPP = 19,
  HGE_WINDOWWIDTH = 40,
  HGE_WINDOWHEIGHT = 41
};
// HGE_ICON names a PNG file shown as the window's icon.
enum hgeStringState { HGE_ICON = 26, HGE_TITLE = 27, HGE_LOGFILE = 29 };

using hgeCallback = bool (*)();

// Key codes the game reads.
inline constexpr int HGEK_LBUTTON = 1;
inline constexpr int HGEK_RBUTTON = 2;
inline constexpr int HGEK_ENTER = 13;
inline constexpr int HGEK_ESCAPE = 27;
inline constexpr int HGEK_SPACE = 32;
inline constexpr int HGEK_LEFT = 37;
inline constexpr int HGEK_UP = 38;
inline constexpr int HGEK_RIGHT = 39;
inline constexpr int HGEK_DOWN = 40;
inline constexpr int HGEK_ADD = 107;       // numeric-pad plus
inline constexpr int HGEK_SUBTRACT = 109;  // numeric-pad minus

struct hgeVertex {
  float x, y;  // screen position
  float z;     // depth, ignored by this engine
  DWORD col;   // ARGB
  float tx, ty;  // texture coordinates, 0..1
};

// Vertices go top left, top right, bottom right, bottom left.
struct hgeQuad {
  hgeVertex v[4];
  HTEXTURE tex;
  int blend;
};

class HGE {
 public:
  // Gives back one reference; the last one destroys the engine.
  virtual void Release() = 0;

  // Opens the window and renderer with the states set so far.
  virtual bool System_Initiate() = 0;
  // Closes the window; safe to call when System_Initiate failed.
  virtual void System_Shutdown() = 0;
  // Runs frame function, then render function, each frame, until the frame
  // function returns true (or the window is closed, or SIGINT/SIGTERM).
  virtual bool System_Start() = 0;
  // Text of the last failure.
  virtual const char* System_GetErrorMessage() = 0;
  // Appends one formatted line to the log file (HGE_LOGFILE).
  virtual void System_Log(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      = 0;

  virtual void System_SetState(hgeBoolState state, bool value) = 0;
  virtual void System_SetState(hgeFuncState state, hgeCallback value) = 0;
  virtual void System_SetState(hgeIntState state, int value) = 0;
  virtual void System_SetState(hgeStringState state, const char* value) = 0;
  virtual bool System_GetState(hgeBoolState state) = 0;
  virtual hgeCallback System_GetState(hgeFuncState state) = 0;
  virtual int System_GetState(hgeIntState state) = 0;
  virtual const char* System_GetState(hgeStringState state) = 0;

  // Whole file in memory (null on failure); size receives its length.
  virtual void* Resource_Load(const char* filename, DWORD* size = nullptr) = 0;
  virtual void Resource_Free(void* res) = 0;

  // Seconds since the previous frame (capped at 0.1).
  virtual float Timer_GetDelta() = 0;

  virtual void Random_Seed(int seed = 0) = 0;
  // Uniform in [min, max], both bounds included.
  virtual int Random_Int(int min, int max) = 0;
  // Uniform in [min, max].
  virtual float Random_Float(float min, float max) = 0;

  virtual void Input_GetMousePos(float* x, float* y) = 0;
  virtual int Input_GetMouseWheel() = 0;
  // True only in the frame in which the key went down / up.
  virtual bool Input_KeyDown(int key) = 0;
  virtual bool Input_KeyUp(int key) = 0;
  // True while the key is held.
  virtual bool Input_GetKeyState(int key) = 0;
  // Key code / character pressed this frame, 0 when none.
  virtual int Input_GetKey() = 0;
  virtual int Input_GetChar() = 0;

  // The frame is not cleared: every frame paints over the previous one.
  virtual bool Gfx_BeginScene(HTARGET target = 0) = 0;
  virtual void Gfx_EndScene() = 0;
  virtual void Gfx_Clear(DWORD color) = 0;
  virtual void Gfx_RenderQuad(const hgeQuad* quad) = 0;

  // Loads a PNG; 0 and a log line on failure.
  virtual HTEXTURE Texture_Load(const char* filename, DWORD size = 0, bool bMipmap = false) = 0;
  virtual void Texture_Free(HTEXTURE tex) = 0;
  virtual int Texture_GetWidth(HTEXTURE tex, bool bOriginal = false) = 0;
  virtual int Texture_GetHeight(HTEXTURE tex, bool bOriginal = false) = 0;

 protected:
  virtual ~HGE() = default;
};

// A counted reference to the one engine of the process.
HGE* hgeCreate(int ver);
