#include "platform/message_box.h"

#include <gtest/gtest.h>

// Under the dummy video driver there is no screen: the text goes to standard
// error, where a player starting the game from a terminal still sees it.
TEST(MessageBox, WithoutADisplayTheTextGoesToStandardError) {
  testing::internal::CaptureStderr();
  EXPECT_FALSE(ShowMessageBox("FMOD", "Failed to initialize FMOD!", false));
  EXPECT_FALSE(ShowMessageBox("Error", nullptr, true));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "FMOD: Failed to initialize FMOD!\nError: \n");
}
