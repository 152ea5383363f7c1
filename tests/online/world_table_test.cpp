// The world table's answers come from anyone's server: what the reader takes
// and what it refuses, at each bound, and the reasons it gives.
#include "online/world_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kDay = "2026-12-09";

std::string Line(const std::string& rank, const std::string& name, const std::string& score,
                 const std::string& id = "7", const std::string& combo = "3") {
  return R"({"rank":)" + rank + R"(,"name":)" + name + R"(,"score":)" + score + R"(,"combo":)" + combo +
         R"(,"pauses":0,"id":)" + id + R"(,"time":1796800000})";
}
std::string Table(const std::string& rounds, const std::string& day = kDay) {
  return R"({"date":")" + day + R"(","rounds":[)" + rounds + "]}";
}

TEST(WorldTable, ReadsWhatATableCanHoldAndRefusesTheRest) {
  const std::string ok = Line("1", R"("alice")", "900");
  const std::string five = ok + "," + Line("2", R"("b")", "800") + "," + Line("3", R"("c")", "700") + "," +
                           Line("4", R"("d")", "600") + "," + Line("5", R"("e")", "500");
  const struct {
    std::string body;
    bool read;
  } cases[] = {
      {Table(""), true},
      {Table(five), true},
      {Table(five + "," + Line("6", R"("f")", "400")), false},  // more lines than asked for
      {Table(ok, "2026-12-08"), false},                          // another day's
      {Table(Line("0", R"("a")", "1")), false},
      {Table(Line("1", R"("a")", "2147483647", "999999999999999999")), true},
      {Table(Line("1", R"("a")", "2147483648")), false},
      {Table(Line("1", R"("a")", "-1")), false},
      {Table(Line("1", R"("a")", "1.5")), false},
      {Table(Line("1", R"("a")", R"("12")")), false},
      {Table(Line("1", R"("a")", "1", "0")), false},
      {Table(Line("1", R"("a")", "1", "1000000000000000000")), false},
      {Table(Line("1", R"("a")", "1", "18446744073709551615")), false},
      {Table(Line("1", R"("a")", "1", "7", "1000001")), false},
      {Table(Line("1", R"("a")", "1", "7", "-1")), false},
      {Table(Line("1", R"("")", "1")), false},
      {Table(Line("1", R"("<b>")", "1")), false},
      {Table(Line("1", R"("a\u00e9")", "1")), false},
      {Table(Line("1", '"' + std::string(32, 'n') + '"', "1")), true},
      {Table(Line("1", std::string(1, '"').append(33, 'n').append(1, '"'), "1")), false},
      {Table(Line("1", "7", "1")), false},
      {Table(Line("2", R"("a")", "5") + "," + Line("1", R"("b")", "4")), false},  // ranks out of order
      {Table(Line("1", R"("a")", "5") + "," + Line("2", R"("b")", "6")), false},  // scores out of order
      {Table(R"({"rank":1,"name":"a","score":1,"combo":0,"id":3})"), false},       // no pauses
      {Table("[]"), false},
      {R"({"date":"2026-12-09"})", false},
      {std::string("[").append(Table(ok)).append("]"), false},  // (append: gcc's -O3 misreads "[" + string)
      {"<html>not found</html>", false},
      {"", false},
      {std::string(100000, '[') + std::string(100000, ']'), false},
  };
  for (const auto& c : cases) {
    std::vector<vtr::WorldLine> lines{vtr::WorldLine{}};
    std::string reason;
    EXPECT_EQ(vtr::online::ParseWorldTable(c.body, kDay, 5, &lines, &reason), c.read) << c.body.substr(0, 200);
    EXPECT_EQ(reason.empty(), c.read) << reason;
    if (!c.read) {
      EXPECT_TRUE(lines.empty());
    }
  }

  std::vector<vtr::WorldLine> lines;
  std::string reason;
  ASSERT_TRUE(vtr::online::ParseWorldTable(Table(five), kDay, 5, &lines, &reason));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], (vtr::WorldLine{1, "alice", 900, 3, 0, 7}));
  EXPECT_EQ(lines[4].name, "e");
}

TEST(WorldTable, AFailureSaysWhyInOnePrintableLine) {
  using vtr::online::FailureReason;
  EXPECT_EQ(FailureReason(0, "", "Couldn't connect to server"), "Couldn't connect to server");
  EXPECT_EQ(FailureReason(503, R"({"error":"busy\nnow"})", ""), "busy?now (503)");
  EXPECT_EQ(FailureReason(404, "<html>", ""), "the server answered 404");
  EXPECT_EQ(FailureReason(500, R"({"error":[1]})", ""), "the server answered 500");
  EXPECT_LE(FailureReason(500, R"({"error":")" + std::string(5000, 'x') + R"("})", "").size(), 90u);
}

}  // namespace
