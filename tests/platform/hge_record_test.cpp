// The engine's recording controls: what ReadInput reports must be exactly
// what the Input_ calls answer, injected or not, and an injection must hide
// the devices only while it lasts; the random state must bring the same
// draws back.
#include "platform/hge_record.h"

#include <gtest/gtest.h>

#include "platform/hge.h"
#include "platform/hge_headless.h"
#include "tests/support/headless_engine.h"
#include "tests/support/temp_dir.h"

namespace {

class RecordControls : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(engine.ok) << engine.error(); }

  testing_support::TempDir dir;
  testing_support::HeadlessEngine engine{{.width = 64, .height = 48}};
  HGE* hge = engine.hge;
};

TEST_F(RecordControls, InjectedInputIsWhatTheGameReadsUntilTheInjectionEnds) {
  headless::PushMouseMove(10.0f, 20.0f);
  headless::PushKey(HGEK_ESCAPE, true);
  headless::RunFrame(hge);

  hge_record::InputFrame devices;
  hge_record::ReadInput(hge, &devices);
  EXPECT_EQ(devices.mouseX, 10.0f);
  EXPECT_EQ(devices.mouseY, 20.0f);
  EXPECT_EQ(devices.keys[HGEK_ESCAPE], hge_record::kHeld | hge_record::kWentDown);
  EXPECT_EQ(devices.key, HGEK_ESCAPE);

  hge_record::InputFrame frame;
  frame.mouseX = 300.5f;
  frame.mouseY = -4.0f;
  frame.key = HGEK_LBUTTON;
  frame.chr = 'a';
  frame.wheel = -2;
  frame.keys[HGEK_LBUTTON] = hge_record::kHeld | hge_record::kWentDown;
  frame.keys[HGEK_SPACE] = hge_record::kWentUp;
  hge_record::InjectInput(hge, frame);
  EXPECT_TRUE(hge_record::Injecting(hge));
  float x = 0.0f;
  float y = 0.0f;
  hge->Input_GetMousePos(&x, &y);
  EXPECT_EQ(x, 300.5f);
  EXPECT_EQ(y, -4.0f);
  EXPECT_TRUE(hge->Input_KeyDown(HGEK_LBUTTON));
  EXPECT_TRUE(hge->Input_GetKeyState(HGEK_LBUTTON));
  EXPECT_TRUE(hge->Input_KeyUp(HGEK_SPACE));
  EXPECT_FALSE(hge->Input_GetKeyState(HGEK_ESCAPE)) << "the devices' held key shows through";
  EXPECT_EQ(hge->Input_GetKey(), HGEK_LBUTTON);
  EXPECT_EQ(hge->Input_GetChar(), 'a');
  EXPECT_EQ(hge->Input_GetMouseWheel(), -2);
  hge_record::InputFrame read;
  hge_record::ReadInput(hge, &read);
  EXPECT_EQ(read, frame);

  // The devices' input went on underneath and is back at once.
  headless::PushMouseMove(30.0f, 40.0f);
  headless::RunFrame(hge);
  hge_record::EndInjection(hge);
  hge->Input_GetMousePos(&x, &y);
  EXPECT_EQ(x, 30.0f);
  EXPECT_EQ(y, 40.0f);
  EXPECT_TRUE(hge->Input_GetKeyState(HGEK_ESCAPE));
  EXPECT_FALSE(hge->Input_KeyDown(HGEK_ESCAPE));
  EXPECT_FALSE(hge->Input_GetKeyState(HGEK_LBUTTON));
}

TEST_F(RecordControls, TheRandomStateBringsTheSameDrawsBack) {
  hge->Random_Seed(4321);
  hge->Random_Float(0.0f, 1.0f);
  const std::uint64_t state = hge_record::RandomState(hge);
  const float a = hge->Random_Float(0.0f, 1.0f);
  const int b = hge->Random_Int(0, 1000000);
  hge->Random_Seed(99);
  hge_record::SetRandomState(hge, state);
  EXPECT_EQ(hge->Random_Float(0.0f, 1.0f), a);
  EXPECT_EQ(hge->Random_Int(0, 1000000), b);
}

}  // namespace
