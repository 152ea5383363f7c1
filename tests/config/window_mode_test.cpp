#include "config/window_mode.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

using vtr::LoadWindowMode;
using vtr::SaveWindowMode;
using vtr::WindowMode;

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

TEST(WindowModeFile, SavedModeLoadsBackWhole) {
  testing_support::TempDir dir;
  const WindowMode mode{true, 1366, 705, true};
  ASSERT_TRUE(SaveWindowMode("Window.vtr", mode));
  const vtr::WindowModeFile read = LoadWindowMode("Window.vtr");
  EXPECT_TRUE(read.whole);
  EXPECT_EQ(read.mode, mode);

  // Lines in another order, Windows line ends, and "the engine chooses".
  Write("Window.vtr", "Muted 0\r\nWindowHeight 0\r\nFullscreen 1\r\nWindowWidth 0\r\n");
  const vtr::WindowModeFile other = LoadWindowMode("Window.vtr");
  EXPECT_TRUE(other.whole);
  EXPECT_EQ(other.mode, (WindowMode{true, 0, 0, false}));
}

TEST(WindowModeFile, MissingEmptyOrGarbageGivesTheDefaultsAndAsksForARewrite) {
  testing_support::TempDir dir;
  const WindowMode defaults;
  for (const std::string& text :
       {std::string(), std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), std::string("Fullscreen\n"),
        std::string(100000, 'x'), std::string("Fullscreen 1 2\nWindowWidth 800\nWindowHeight 600\nMuted 1\n") +
                                       std::string(5000, '\n')}) {
    Write("Window.vtr", text);
    const vtr::WindowModeFile read = LoadWindowMode("Window.vtr");
    EXPECT_FALSE(read.whole);
    EXPECT_EQ(read.mode, defaults) << text.substr(0, 40);
  }
  const vtr::WindowModeFile missing = LoadWindowMode("no-such-file.vtr");
  EXPECT_FALSE(missing.whole);
  EXPECT_EQ(missing.mode, defaults);
}

TEST(WindowModeFile, WhatCouldBeReadIsKeptAndTheRestDefaults) {
  testing_support::TempDir dir;
  // Truncated after the second line.
  Write("Window.vtr", "Fullscreen 1\nWindowWidth 800\nWindowHe");
  vtr::WindowModeFile read = LoadWindowMode("Window.vtr");
  EXPECT_FALSE(read.whole);
  EXPECT_EQ(read.mode, (WindowMode{true, 0, 0, false}));  // one side alone is no size

  // Absurd values are no values: sizes beyond any display's, negative, not
  // whole numbers, flags other than 0 and 1.
  for (const char* size : {"99999999", "-5", "800.5", "1e3", "0x300", "", "2147483648"}) {
    Write("Window.vtr", std::string("Fullscreen 0\nWindowWidth ") + size + "\nWindowHeight 600\nMuted 1\n");
    read = LoadWindowMode("Window.vtr");
    EXPECT_FALSE(read.whole) << size;
    EXPECT_EQ(read.mode, (WindowMode{false, 0, 0, true})) << size;
  }
  Write("Window.vtr", "Fullscreen 2\nWindowWidth 640\nWindowHeight 480\nMuted yes\n");
  read = LoadWindowMode("Window.vtr");
  EXPECT_FALSE(read.whole);
  EXPECT_EQ(read.mode, (WindowMode{false, 640, 480, false}));
}

}  // namespace
