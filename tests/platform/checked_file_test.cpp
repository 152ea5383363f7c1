#include "platform/checked_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <istream>
#include <string>

#include "tests/support/hostile_files.h"
#include "tests/support/temp_dir.h"

namespace {

using platform::CheckedFile;
using platform::OpenStatus;
using testing_support::LogCapture;
using testing_support::TempDir;

long PeakResidentKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST(CheckedFile, FifoDeviceAndFolderAreRefusedWithoutWaitingAndWithOneLogLine) {
  TempDir dir;
  LogCapture log;
  testing_support::MakeFifo("fifo");
  std::filesystem::create_directory("folder");

  // An open that waited for the FIFO's writer would never come back.
  for (const char* name : {"fifo", "/dev/zero", "folder"}) {
    const CheckedFile reading = CheckedFile::OpenForReading(name);
    EXPECT_FALSE(reading.IsOpen()) << name;
    EXPECT_EQ(reading.Status(), OpenStatus::NotRegular) << name;
    const CheckedFile writing = CheckedFile::OpenForWriting(name);
    EXPECT_EQ(writing.Status(), OpenStatus::NotRegular) << name;
    EXPECT_EQ(log.Count(std::string("Refused ") + name), 2) << name;
  }
  EXPECT_EQ(log.Count("Refused fifo: it is a FIFO"), 2);
  EXPECT_EQ(log.Count("Refused /dev/zero: it is a character device"), 2);
  EXPECT_EQ(log.Count("Refused folder: it is a folder"), 2);
  struct stat st {};
  ASSERT_EQ(::stat("fifo", &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));

  EXPECT_EQ(CheckedFile::OpenForReading("missing").Status(), OpenStatus::Missing);
  EXPECT_EQ(CheckedFile::OpenForReading("missing/inside").Status(), OpenStatus::Missing);
  EXPECT_EQ(CheckedFile::OpenForReading("").Status(), OpenStatus::Missing);
  EXPECT_EQ(log.Count("missing"), 0);  // a missing file is no refusal
}

TEST(CheckedFile, ReadsOfAHugeFileStopAtTheirBoundAndLeaveItUntouched) {
  TempDir dir;
  testing_support::MakeSparseFile("sparse");
  const long before = PeakResidentKilobytes();

  CheckedFile file = CheckedFile::OpenForReading("sparse");
  ASSERT_TRUE(file.IsOpen());
  EXPECT_EQ(file.Size(), testing_support::kSparseBytes);
  std::string text;
  bool truncated = false;
  ASSERT_TRUE(file.ReadUpTo(1 << 20, &text, &truncated));
  EXPECT_EQ(text.size(), 1u << 20);
  EXPECT_TRUE(truncated);

  CheckedFile again = CheckedFile::OpenForReading("sparse");
  platform::BoundedFileBuffer buffer(again, 4096);
  std::istream in(&buffer);
  std::string word;
  in >> word;  // zero bytes are no whitespace: one word up to the bound
  EXPECT_EQ(word.size(), 4096u);
  EXPECT_TRUE(buffer.Truncated());

  EXPECT_LT(PeakResidentKilobytes() - before, 64 * 1024);
  EXPECT_EQ(std::filesystem::file_size("sparse"), testing_support::kSparseBytes);
}

TEST(CheckedFile, ExactlyTheBoundIsNotTooLongAndWritesReplaceTheWholeFile) {
  TempDir dir;
  dir.Write("four", "abcd");
  CheckedFile file = CheckedFile::OpenForReading("four");
  std::string text;
  bool truncated = true;
  ASSERT_TRUE(file.ReadUpTo(4, &text, &truncated));
  EXPECT_EQ(text, "abcd");
  EXPECT_FALSE(truncated);

  CheckedFile writing = CheckedFile::OpenForWriting("four");
  ASSERT_TRUE(writing.ReplaceContents("xy", true));
  writing.Close();
  EXPECT_EQ(dir.Read("four"), "xy");
}

}  // namespace
