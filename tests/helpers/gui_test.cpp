#include "helpers/gui.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/hge_headless.h"
#include "tests/support/headless_engine.h"

namespace {

// A control that writes every notice it gets into a shared log ("2:Left+"),
// activates on the release of the left button and on Enter.
class Probe : public hgeGUIObject {
 public:
  Probe(int id_, float x1, float y1, float x2, float y2, std::vector<std::string>* log) : log_(log) {
    id = id_;
    rect.Set(x1, y1, x2, y2);
  }
  ~Probe() override { ++destroyed; }

  void Render() override { Note("Render"); }
  void Enter() override { Note("Enter"); }
  void Leave() override { Note("Leave"); }
  bool IsDone() override { return done; }
  void Focus(bool focused) override { Note(focused ? "Focus+" : "Focus-"); }
  void MouseOver(bool over) override { Note(over ? "Over+" : "Over-"); }
  bool MouseMove(float x, float y) override {
    moveX = x;
    moveY = y;
    return false;
  }
  bool MouseLeftButton(bool down) override {
    Note(down ? "Left+" : "Left-");
    return !down;
  }
  bool KeyClick(int key, int) override {
    Note("Key" + std::to_string(key));
    return key == HGEK_ENTER;
  }

  bool done = true;
  float moveX = -1.0f, moveY = -1.0f;
  static inline int destroyed = 0;

 private:
  void Note(const std::string& what) { log_->push_back(std::to_string(id) + ":" + what); }
  std::vector<std::string>* log_;
};

// The real engine on the dummy video driver; input is pushed as SDL events
// and seen by the next frame, after which the container reads it.
class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(engine.ok) << engine.error(); }

  // Three controls side by side: 1 at x 100..200, 2 at 300..400, 3 at 500..600.
  void AddRow(hgeGUI& gui) {
    for (int i = 0; i < 3; ++i) {
      probes.push_back(new Probe(i + 1, 100.0f + 200.0f * i, 100.0f, 200.0f + 200.0f * i, 150.0f, &log));
      gui.AddControl(probes.back());
    }
  }
  int Frame(hgeGUI& gui) {
    headless::RunFrame(hge);
    return gui.Update(1.0f / 60.0f);
  }
  // A key pressed in one frame and let go in the next; the press frame's result.
  int Key(hgeGUI& gui, int key) {
    headless::PushKey(key, true);
    const int result = Frame(gui);
    headless::PushKey(key, false);
    Frame(gui);
    return result;
  }
  int Mouse(hgeGUI& gui, float x, float y) {
    headless::PushMouseMove(x, y);
    return Frame(gui);
  }
  int Button(hgeGUI& gui, bool down, float x, float y) {
    headless::PushMouseButton(HGEK_LBUTTON, down, x, y);
    return Frame(gui);
  }
  // The log since the last call.
  std::vector<std::string> Take() {
    std::vector<std::string> taken;
    taken.swap(log);
    return taken;
  }

  testing_support::HeadlessEngine engine{{.render = false, .fixedFrameTime = 1.0f / 60.0f}};
  HGE* hge = engine.hge;
  std::vector<std::string> log;
  std::vector<Probe*> probes;  // owned by their container
};

using Log = std::vector<std::string>;

TEST_F(GuiTest, ArrowsWrapOnlyWithTheWrapFlag) {
  hgeGUI gui;
  AddRow(gui);
  gui.SetNavigationMode(HGEGUI_UPDOWN | HGEGUI_CYCLED);
  gui.SetFocus(1);
  Take();
  Key(gui, HGEK_UP);
  EXPECT_EQ(gui.GetFocus(), 3);
  EXPECT_EQ(Take(), (Log{"1:Focus-", "3:Focus+"}));
  Key(gui, HGEK_DOWN);
  EXPECT_EQ(gui.GetFocus(), 1);

  gui.SetNavigationMode(HGEGUI_UPDOWN);
  Key(gui, HGEK_UP);
  EXPECT_EQ(gui.GetFocus(), 1);
  gui.SetFocus(3);
  Key(gui, HGEK_DOWN);
  EXPECT_EQ(gui.GetFocus(), 3);
  Key(gui, HGEK_UP);
  EXPECT_EQ(gui.GetFocus(), 2);

  // Arrows the mode does not move with are keys for the focused control.
  Take();
  Key(gui, HGEK_RIGHT);
  EXPECT_EQ(gui.GetFocus(), 2);
  EXPECT_EQ(Take(), (Log{"2:Key39"}));
  gui.SetNavigationMode(HGEGUI_LEFTRIGHT);
  Key(gui, HGEK_RIGHT);
  EXPECT_EQ(gui.GetFocus(), 3);
}

TEST_F(GuiTest, WithoutFocusDownTakesTheFirstEligibleAndUpTheLast) {
  hgeGUI gui;
  AddRow(gui);
  probes.push_back(new Probe(4, 700, 100, 800, 150, &log));
  gui.AddControl(probes.back());
  probes[0]->bStatic = true;
  probes[3]->bEnabled = false;
  gui.SetNavigationMode(HGEGUI_UPDOWN);

  Key(gui, HGEK_DOWN);
  EXPECT_EQ(gui.GetFocus(), 2);
  gui.SetFocus(99);  // no such control: the focus goes
  EXPECT_EQ(gui.GetFocus(), 0);
  Key(gui, HGEK_UP);
  EXPECT_EQ(gui.GetFocus(), 3);

  // Hidden, static and disabled controls are all passed over.
  probes[1]->bVisible = false;
  Key(gui, HGEK_UP);
  EXPECT_EQ(gui.GetFocus(), 3);
  gui.SetNavigationMode(HGEGUI_UPDOWN | HGEGUI_CYCLED);
  Key(gui, HGEK_UP);
  EXPECT_EQ(gui.GetFocus(), 3) << "a whole round finds only the focused control";

  // With nothing eligible the walk ends without a focus.
  probes[2]->bEnabled = false;
  gui.SetFocus(99);
  Key(gui, HGEK_DOWN);
  Key(gui, HGEK_UP);
  EXPECT_EQ(gui.GetFocus(), 0);

  hgeGUI empty;
  empty.SetNavigationMode(HGEGUI_UPDOWN);
  EXPECT_EQ(Key(empty, HGEK_DOWN), 0);
}

TEST_F(GuiTest, SetFocusMovesOnlyToEligibleControls) {
  hgeGUI gui;
  AddRow(gui);
  probes[1]->bStatic = true;
  probes[2]->bEnabled = false;
  gui.SetFocus(1);
  EXPECT_EQ(Take(), (Log{"1:Focus+"}));
  gui.SetFocus(1);
  gui.SetFocus(2);
  gui.SetFocus(3);
  EXPECT_EQ(gui.GetFocus(), 1);
  EXPECT_TRUE(Take().empty());
  gui.SetFocus(42);
  EXPECT_EQ(gui.GetFocus(), 0);
  EXPECT_EQ(Take(), (Log{"1:Focus-"}));
}

TEST_F(GuiTest, KeysGoToTheFocusedControlAndQuietFramesReturnZero) {
  hgeGUI gui;
  AddRow(gui);
  EXPECT_EQ(Frame(gui), 0);
  EXPECT_EQ(Key(gui, HGEK_ENTER), 0) << "no focus, no key click";
  EXPECT_TRUE(Take().empty());

  gui.SetFocus(2);
  Take();
  EXPECT_EQ(Key(gui, HGEK_SPACE), 0);
  EXPECT_EQ(Key(gui, HGEK_ENTER), 2);
  EXPECT_EQ(Take(), (Log{"2:Key32", "2:Key13"}));
  EXPECT_EQ(Frame(gui), 0);
}

TEST_F(GuiTest, PressLocksTheControlAndItGetsTheReleaseOffItsRectangle) {
  hgeGUI gui;
  AddRow(gui);
  EXPECT_EQ(Mouse(gui, 150, 120), 0);
  EXPECT_EQ(Take(), (Log{"1:Over+"}));

  EXPECT_EQ(Button(gui, true, 150, 120), 0);
  EXPECT_EQ(Take(), (Log{"1:Focus+", "1:Left+"}));
  EXPECT_EQ(gui.GetFocus(), 1);

  // Dragged over control 2: still control 1's, with coordinates from its corner.
  EXPECT_EQ(Mouse(gui, 350, 130), 0);
  EXPECT_TRUE(Take().empty());
  EXPECT_EQ(probes[0]->moveX, 250.0f);
  EXPECT_EQ(probes[0]->moveY, 30.0f);

  EXPECT_EQ(Button(gui, false, 350, 130), 1);
  EXPECT_EQ(Take(), (Log{"1:Left-"}));

  // The lock is gone: the next frame finds control 2 under the cursor.
  EXPECT_EQ(Frame(gui), 0);
  EXPECT_EQ(Take(), (Log{"1:Over-", "2:Over+"}));
}

TEST_F(GuiTest, HoverNoticesComeOnlyWhenTheHoveredControlChanges) {
  hgeGUI gui;
  AddRow(gui);
  Mouse(gui, 110, 110);
  Mouse(gui, 190, 140);
  EXPECT_EQ(probes[0]->moveX, 90.0f);
  EXPECT_EQ(probes[0]->moveY, 40.0f);
  Mouse(gui, 200, 140);  // the right edge is outside
  Mouse(gui, 250, 140);
  Mouse(gui, 300, 100);  // the top-left corner is inside
  EXPECT_EQ(Take(), (Log{"1:Over+", "1:Over-", "2:Over+"}));
}

TEST_F(GuiTest, TheLaterControlIsOnTopAndDisabledOnesArePassedOver) {
  hgeGUI gui;
  auto* under = new Probe(1, 0, 0, 200, 200, &log);
  auto* over = new Probe(2, 100, 100, 300, 300, &log);
  gui.AddControl(under);
  gui.AddControl(over);
  auto click = [&] {
    Button(gui, true, 150, 150);
    return Button(gui, false, 150, 150);
  };

  EXPECT_EQ(click(), 2);
  over->bVisible = false;
  EXPECT_EQ(click(), 2) << "visibility plays no part in hits";
  over->bEnabled = false;
  EXPECT_EQ(click(), 1);
  under->bEnabled = false;
  Take();
  EXPECT_EQ(click(), 0);
  EXPECT_EQ(Take(), (Log{"1:Over-"}));
}

TEST_F(GuiTest, TransitionsHoldInputUntilEveryControlIsDone) {
  hgeGUI gui;
  AddRow(gui);
  gui.SetNavigationMode(HGEGUI_UPDOWN);
  gui.SetFocus(1);
  probes[1]->done = false;
  Take();
  gui.Enter();
  EXPECT_EQ(Take(), (Log{"1:Enter", "2:Enter", "3:Enter"}));
  Key(gui, HGEK_DOWN);
  EXPECT_EQ(gui.GetFocus(), 1) << "input waits while a control is entering";

  probes[1]->done = true;
  Key(gui, HGEK_DOWN);
  EXPECT_EQ(gui.GetFocus(), 2);

  gui.Leave();
  EXPECT_EQ(Frame(gui), -1);
}

TEST_F(GuiTest, TheContainerOwnsItsControls) {
  const int before = Probe::destroyed;
  {
    hgeGUI gui;
    AddRow(gui);
    gui.AddControl(new Probe(2, 0, 0, 1, 1, &log));
    EXPECT_EQ(gui.GetControl(2), probes[1]) << "the first control with the id";
    EXPECT_EQ(gui.GetControl(7), nullptr);
  }
  EXPECT_EQ(Probe::destroyed - before, 4);
}

}  // namespace
