// The score file loader given any bytes as its file. Besides the sanitizers,
// two promises of the loader are checked on every input: the table comes
// back sorted highest first, and a count the file does not back up can pad
// the table only up to the loader's bound.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "scores/score_table.h"
#include "tools/fuzz/fuzz_support.h"

namespace {

std::string g_input;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_input = fuzz::PathFor("Scores.vtr");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::WriteFile(g_input, data, size);
  vtr::ScoreTable table;
  const vtr::ScoreLoad result = table.Load(g_input, 1700000000);
  if (result == vtr::ScoreLoad::Missing) fuzz::Fail("an existing score file was taken for a missing one");

  const auto& entries = table.Entries();
  // An entry read from the file takes at least two digits and two blanks.
  const std::size_t mostRead = size / 4 + 1;
  if (entries.size() > std::max(mostRead, vtr::ScoreTable::kPadLimit)) fuzz::Fail("the table grew past its bound");
  const auto higherFirst = [](const vtr::ScoreEntry& a, const vtr::ScoreEntry& b) { return a.score > b.score; };
  if (!std::is_sorted(entries.begin(), entries.end(), higherFirst)) fuzz::Fail("the table is not highest first");
  return 0;
}
