// A fresh working directory for one test: created under /tmp, made the
// current directory, with Content/ linked in from the source tree when asked,
// and removed again (with the old working directory restored) at the end.
#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

class TempDir {
 public:
  explicit TempDir(bool withContent = false);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes text to a file in the directory (relative name).
  void Write(const std::string& name, const std::string& text) const;
  // Reads a whole file of the directory; empty when missing.
  std::string Read(const std::string& name) const;

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

}  // namespace testing_support
