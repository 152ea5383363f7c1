#include "helpers/gui.h"

#include <cassert>

HGE* hgeGUIObject::hge_ = nullptr;
HGE* hgeGUI::hge_ = nullptr;

hgeGUIObject::hgeGUIObject() { hge_ = hgeCreate(HGE_VERSION); }

hgeGUIObject::~hgeGUIObject() { hge_->Release(); }

hgeGUI::hgeGUI() { hge_ = hgeCreate(HGE_VERSION); }

hgeGUI::~hgeGUI() {
  // Controls first: they hold engine references of their own.
  owned_.clear();
  hge_->Release();
}

void hgeGUI::AddControl(hgeGUIObject* control) {
  assert(control != nullptr && "AddControl needs a control");
  hgeGUIObject* last = Last();
  control->gui = this;
  control->prev = last;
  control->next = nullptr;
  if (last != nullptr) {
    last->next = control;
  } else {
    controls_ = control;
  }
  owned_.emplace_back(control);
}

hgeGUIObject* hgeGUI::GetControl(int id) const {
  for (hgeGUIObject* c = controls_; c != nullptr; c = c->next) {
    if (c->id == id) return c;
  }
  return nullptr;
}

hgeGUIObject* hgeGUI::Last() const { return owned_.empty() ? nullptr : owned_.back().get(); }

bool hgeGUI::CanFocus(const hgeGUIObject* control) const {
  return !control->bStatic && control->bVisible && control->bEnabled;
}

void hgeGUI::MoveFocus(hgeGUIObject* target) {
  if (focused_ != nullptr) focused_->Focus(false);
  target->Focus(true);
  focused_ = target;
}

void hgeGUI::SetFocus(int id) {
  hgeGUIObject* target = GetControl(id);
  if (target == focused_) return;
  if (target == nullptr) {
    focused_->Focus(false);
    focused_ = nullptr;
  } else if (CanFocus(target)) {
    MoveFocus(target);
  }
}

void hgeGUI::Enter() {
  for (hgeGUIObject* c = controls_; c != nullptr; c = c->next) c->Enter();
  phase_ = kEntering;
}

void hgeGUI::Leave() {
  for (hgeGUIObject* c = controls_; c != nullptr; c = c->next) c->Leave();
  phase_ = kLeaving;
}

// Walks from the focus (or, with none, from the end opposite the walk) to the
// next eligible control. Past an end the walk goes round only with the wrap
// flag, or when nothing had focus; it stops on reaching the focus again, or
// after a whole round without finding a control.
bool hgeGUI::StepFocus(bool forward) {
  if (controls_ == nullptr) return false;
  const bool hadFocus = focused_ != nullptr;
  hgeGUIObject* const start = hadFocus ? focused_ : (forward ? Last() : controls_);
  hgeGUIObject* c = start;
  for (;;) {
    c = forward ? c->next : c->prev;
    if (c == nullptr) {
      if (hadFocus && (navMode_ & HGEGUI_CYCLED) == 0) return true;
      c = forward ? controls_ : Last();
    }
    if (c == focused_) return true;
    if (CanFocus(c)) {
      MoveFocus(c);
      return true;
    }
    if (c == start) return true;
  }
}

int hgeGUI::Update(float dt) {
  hge_->Input_GetMousePos(&mouseX_, &mouseY_);
  leftPressed_ = hge_->Input_KeyDown(HGEK_LBUTTON);
  leftReleased_ = hge_->Input_KeyUp(HGEK_LBUTTON);
  rightPressed_ = hge_->Input_KeyDown(HGEK_RBUTTON);
  rightReleased_ = hge_->Input_KeyUp(HGEK_RBUTTON);
  wheel_ = hge_->Input_GetMouseWheel();

  for (hgeGUIObject* c = controls_; c != nullptr; c = c->next) c->Update(dt);

  // While a transition runs, input waits for every control to finish it.
  if (phase_ != kNone) {
    for (hgeGUIObject* c = controls_; c != nullptr; c = c->next) {
      if (!c->IsDone()) return 0;
    }
    if (phase_ == kLeaving) return -1;
    phase_ = kNone;
  }

  const int key = hge_->Input_GetKey();
  const bool backward = ((navMode_ & HGEGUI_LEFTRIGHT) != 0 && key == HGEK_LEFT) ||
                        ((navMode_ & HGEGUI_UPDOWN) != 0 && key == HGEK_UP);
  const bool forward = ((navMode_ & HGEGUI_LEFTRIGHT) != 0 && key == HGEK_RIGHT) ||
                       ((navMode_ & HGEGUI_UPDOWN) != 0 && key == HGEK_DOWN);
  if (backward || forward) {
    if (!StepFocus(forward)) return 0;
  } else if (focused_ != nullptr && key != 0 && key != HGEK_LBUTTON && key != HGEK_RBUTTON) {
    if (focused_->KeyClick(key, hge_->Input_GetChar())) return focused_->id;
  }

  const bool leftDown = hge_->Input_GetKeyState(HGEK_LBUTTON);
  const bool rightDown = hge_->Input_GetKeyState(HGEK_RBUTTON);

  if (locked_ != nullptr) {
    // The locked control still gets the frame in which the lock ends, so it
    // sees its release.
    hgeGUIObject* const c = locked_;
    if (!leftDown && !rightDown) locked_ = nullptr;
    return ProcessControl(c) ? c->id : 0;
  }

  // Later controls lie on top: the walk runs from the last one back.
  for (hgeGUIObject* c = Last(); c != nullptr; c = c->prev) {
    if (!c->bEnabled || !c->rect.TestPoint(mouseX_, mouseY_)) continue;
    if (c != hovered_) {
      if (hovered_ != nullptr) hovered_->MouseOver(false);
      hovered_ = c;
      c->MouseOver(true);
    }
    return ProcessControl(c) ? c->id : 0;
  }

  if (hovered_ != nullptr) {
    hovered_->MouseOver(false);
    hovered_ = nullptr;
  }
  return 0;
}

// Hands this frame's mouse events to one control until one of them reports an
// activation. A press locks and focuses the control whatever it answers.
bool hgeGUI::ProcessControl(hgeGUIObject* control) {
  bool result = false;
  if (leftPressed_) {
    locked_ = control;
    SetFocus(control->id);
    result = control->MouseLeftButton(true);
  }
  if (rightPressed_) {
    locked_ = control;
    SetFocus(control->id);
    result = result || control->MouseRightButton(true);
  }
  if (leftReleased_) result = result || control->MouseLeftButton(false);
  if (rightReleased_) result = result || control->MouseRightButton(false);
  if (wheel_ != 0) result = result || control->MouseWheel(wheel_);
  result = result || control->MouseMove(mouseX_ - control->rect.x1, mouseY_ - control->rect.y1);
  return result;
}

void hgeGUI::Render() {
  for (hgeGUIObject* c = controls_; c != nullptr; c = c->next) {
    if (c->bVisible) c->Render();
  }
}
