// Writes the score file over and over, for scripts/test.d/70-save-under-kill,
// which kills this program at random moments and then checks that the score
// file still holds one whole table. Each write is the last step of every save
// of the game: the whole table into a temporary file, synced, renamed over the
// score file. (The step before it, merging with the file under its lock, adds
// entries; the kill test needs two fixed tables to tell old from new.)
//
//   vantor_save_loop SCORE_FILE
//       saves table B, then table A, then B again, and so on, forever; prints
//       nothing while all goes well. A failed save ends it with status 1.
//   vantor_save_loop --write-references A_FILE B_FILE
//       saves table A to A_FILE and table B to B_FILE once: the exact texts a
//       score file may hold after a kill.
//   vantor_save_loop --check FILE
//       loads FILE as the game does and prints "A" or "B" when it reads back
//       whole as that table; anything else ends with status 1.
//
// The two tables share no score and no time, and differ in length (50 and 51
// entries), so a file made of parts of both, or cut short anywhere, matches
// neither.
#include <cstdio>
#include <cstring>
#include <string>

#include "scores/score_file.h"
#include "scores/score_table.h"

namespace {

vtr::ScoreTable MakeTable(int count, std::uint32_t firstScore, std::int64_t firstTime) {
  vtr::ScoreTable table;
  for (int i = 0; i < count; ++i) {
    const auto score = static_cast<std::int32_t>(firstScore + 7919u * static_cast<std::uint32_t>(i));
    table.Enter(score, firstTime + 1000003LL * i);
  }
  return table;
}

vtr::ScoreTable TableA() { return MakeTable(50, 1000000000u, 1700000000000LL); }
vtr::ScoreTable TableB() { return MakeTable(51, 2000000001u, 1800000000001LL); }

bool Write(const vtr::ScoreTable& table, const std::string& fileName) {
  std::string why;
  return vtr::ReplaceFileAtomically(fileName, vtr::FormatScoreFile(table.Entries()), false, &why);
}

bool SameEntries(const vtr::ScoreTable& a, const vtr::ScoreTable& b) {
  const auto& x = a.Entries();
  const auto& y = b.Entries();
  if (x.size() != y.size()) return false;
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (x[i].score != y[i].score || x[i].time != y[i].time) return false;
  }
  return true;
}

int Check(const char* fileName) {
  vtr::ScoreTable loaded;
  if (loaded.Load(fileName, 0) == vtr::ScoreLoad::Read) {
    const char* name = SameEntries(loaded, TableA())   ? "A"
                       : SameEntries(loaded, TableB()) ? "B"
                                                       : nullptr;
    if (name) {
      std::puts(name);
      return 0;
    }
  }
  std::fprintf(stderr, "vantor_save_loop: %s does not load as table A or table B\n", fileName);
  return 1;
}

int Usage() {
  std::fprintf(stderr,
               "usage: vantor_save_loop SCORE_FILE\n"
               "       vantor_save_loop --write-references A_FILE B_FILE\n"
               "       vantor_save_loop --check FILE\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--write-references") == 0) {
    if (!Write(TableA(), argv[2]) || !Write(TableB(), argv[3])) {
      std::fprintf(stderr, "vantor_save_loop: cannot write the reference files\n");
      return 1;
    }
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "--check") == 0) return Check(argv[2]);
  if (argc != 2 || argv[1][0] == '-') return Usage();

  const std::string fileName = argv[1];
  vtr::ScoreTable tables[2] = {TableB(), TableA()};
  for (unsigned long saves = 0;; ++saves) {
    if (!Write(tables[saves % 2], fileName)) {
      std::fprintf(stderr, "vantor_save_loop: save %lu to %s failed\n", saves, fileName.c_str());
      return 1;
    }
  }
}
