#include "tests/support/hostile_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace testing_support {

void MakeFifo(const std::string& name) { ::mkfifo(name.c_str(), 0666); }

void MakeSparseFile(const std::string& name) {
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (fd < 0) return;
  if (::ftruncate(fd, static_cast<off_t>(kSparseBytes)) != 0) {
    // The test sees the size is wrong.
  }
  ::close(fd);
}

std::vector<std::string> MakeHostileFiles() {
  MakeFifo("fifo");
  std::filesystem::create_directory("folder");
  MakeSparseFile("sparse");
  return {"fifo", "/dev/zero", "folder", "sparse"};
}

LogCapture::LogCapture() : hge_(hgeCreate(HGE_VERSION)) { hge_->System_SetState(HGE_LOGFILE, "test.log"); }

LogCapture::~LogCapture() { hge_->Release(); }

std::vector<std::string> LogCapture::Lines() const {
  std::ifstream in(hge_->System_GetState(HGE_LOGFILE));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

int LogCapture::Count(const std::string& text) const {
  int n = 0;
  for (const std::string& line : Lines()) n += line.find(text) != std::string::npos ? 1 : 0;
  return n;
}

}  // namespace testing_support
