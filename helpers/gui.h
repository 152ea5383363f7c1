// A small immediate-input widget container.
//
// hgeGUI keeps its controls in insertion order, reads the mouse and keyboard
// from the engine once per frame and returns the id of the control that
// reports an activation. Its rules:
// - Keyboard focus moves with the arrow keys the navigation mode allows, over
//   controls that are not static, visible and enabled; with the wrap flag it
//   runs round from one end to the other. With no focus, the first forward
//   step focuses the first eligible control and the first backward step the
//   last one. Other keys go to the focused control.
// - The mouse hits the topmost enabled control under the cursor; later
//   controls lie on top. A hover notice goes out only when the hovered
//   control changes.
// - A button press locks the control under the cursor and focuses it; until
//   both buttons are up the locked control gets every mouse event, even off
//   its rectangle, so a release always reaches the control that took the
//   press.
// The container owns the controls added to it and deletes them with itself.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "helpers/geometry.h"
#include "platform/hge.h"

class hgeGUI;

// Navigation mode flags.
inline constexpr int HGEGUI_LEFTRIGHT = 1;  // left/right arrows move focus
inline constexpr int HGEGUI_UPDOWN = 2;     // up/down arrows move focus
inline constexpr int HGEGUI_CYCLED = 4;     // focus wraps around at the ends

// The base of every control. A true result from a mouse or key handler
// means the control was activated.
class hgeGUIObject {
 public:
  hgeGUIObject();
  virtual ~hgeGUIObject();
  hgeGUIObject(const hgeGUIObject&) = delete;
  hgeGUIObject& operator=(const hgeGUIObject&) = delete;

  virtual void Render() = 0;
  virtual void Update(float dt) { (void)dt; }

  // Transitions: the container waits until every control IsDone.
  virtual void Enter() {}
  virtual void Leave() {}
  virtual void Reset() {}
  virtual bool IsDone() { return true; }
  virtual void Focus(bool focused) { (void)focused; }
  virtual void MouseOver(bool over) { (void)over; }

  // (x, y) relative to the rectangle's top-left corner.
  virtual bool MouseMove(float x, float y) { (void)x; (void)y; return false; }
  virtual bool MouseLeftButton(bool down) { (void)down; return false; }
  virtual bool MouseRightButton(bool down) { (void)down; return false; }
  virtual bool MouseWheel(int notches) { (void)notches; return false; }
  virtual bool KeyClick(int key, int chr) { (void)key; (void)chr; return false; }

  virtual void SetColor(DWORD col) { color = col; }

  std::int32_t id = 0;
  bool bStatic = false;   // never takes keyboard focus
  bool bVisible = true;   // drawn, and eligible for focus
  bool bEnabled = true;   // eligible for focus and mouse hits
  hgeRectangle rect;      // screen area for mouse hits
  DWORD color = 0xFFFFFFFF;

  hgeGUI* gui = nullptr;  // the owning container (back reference)
  hgeGUIObject* next = nullptr;
  hgeGUIObject* prev = nullptr;

 protected:
  static HGE* hge_;  // class-wide engine reference
};

class hgeGUI {
 public:
  hgeGUI();
  ~hgeGUI();
  hgeGUI(const hgeGUI&) = delete;
  hgeGUI& operator=(const hgeGUI&) = delete;

  // Appends a control; the container takes ownership of it.
  void AddControl(hgeGUIObject* control);
  void AddControl(std::unique_ptr<hgeGUIObject> control) { AddControl(control.release()); }
  // The first control with that id, or null.
  hgeGUIObject* GetControl(int id) const;

  // HGEGUI_ flags.
  void SetNavigationMode(int mode) { navMode_ = mode; }
  // Gives the focus to the control with that id if it may take it; an id no
  // control has removes the focus.
  void SetFocus(int id);
  // Id of the focused control, 0 when none.
  int GetFocus() const { return focused_ != nullptr ? focused_->id : 0; }

  // Id of the control the cursor was over at the last Update, 0 when none.
  int GetHovered() const { return hovered_ != nullptr ? hovered_->id : 0; }
  // Takes the control with that id (none for 0 or an unknown id) as the one
  // the cursor is over, without telling it: for a replayed round, which
  // starts from the menu as the recorded one left it.
  void SetHovered(int id) { hovered_ = id != 0 ? GetControl(id) : nullptr; }

  // Starts the entering transition of every control.
  void Enter();
  // Starts the leaving transition; Update returns -1 once it has finished.
  void Leave();
  // Reads this frame's input: the id of the control activated, 0 if none,
  // -1 when a leave transition has finished.
  int Update(float dt);
  // Draws every visible control in list order.
  void Render();

 private:
  enum Phase : std::int32_t { kNone = 0, kLeaving = 1, kEntering = 2 };

  hgeGUIObject* Last() const;
  bool CanFocus(const hgeGUIObject* control) const;
  void MoveFocus(hgeGUIObject* target);
  // Steps the focus backward (prev) or forward (next); false on an empty list.
  bool StepFocus(bool forward);
  bool ProcessControl(hgeGUIObject* control);

  static HGE* hge_;  // class-wide engine reference

  std::vector<std::unique_ptr<hgeGUIObject>> owned_;  // every control, in list order
  hgeGUIObject* controls_ = nullptr;  // list head
  hgeGUIObject* locked_ = nullptr;
  hgeGUIObject* focused_ = nullptr;
  hgeGUIObject* hovered_ = nullptr;
  std::int32_t navMode_ = 0;
  std::int32_t phase_ = kNone;
  float mouseX_ = 0.0f, mouseY_ = 0.0f;
  std::int32_t wheel_ = 0;
  bool leftPressed_ = false, leftReleased_ = false;
  bool rightPressed_ = false, rightReleased_ = false;
};
