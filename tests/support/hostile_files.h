// Names that promise a file and deliver something else, for the tests of
// every loader that takes a name from the settings or from Content/: a FIFO
// with no writer, an endless device, a folder, and a 2 GB sparse file; and a
// log to read the loaders' complaints from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/hge.h"

namespace testing_support {

inline constexpr std::uint64_t kSparseBytes = 2ull << 30;

// Makes a FIFO at name.
void MakeFifo(const std::string& name);
// Makes a sparse file of kSparseBytes zero bytes at name.
void MakeSparseFile(const std::string& name);
// The names of the four, made in the working directory (the device is
// /dev/zero).
std::vector<std::string> MakeHostileFiles();

// The engine's log started at "test.log" in the working directory, without
// a window, for the lines the game writes there.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // Every line logged so far.
  std::vector<std::string> Lines() const;
  // How many lines contain text.
  int Count(const std::string& text) const;

 private:
  HGE* hge_;
};

}  // namespace testing_support
