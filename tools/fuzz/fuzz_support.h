// What the three fuzz targets share: a private folder for the files they
// load, removed when the run ends, and a way to put the fuzzer's bytes into a
// file there, since every loader under test reads a file by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

// The folder, made on first use under $TMPDIR (or /tmp).
const std::string& PrivateDir();

// PrivateDir()/name.
std::string PathFor(const char* name);

// Replaces the file at path with exactly these bytes; stops the run when the
// file cannot be written, since every later input would test nothing.
void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size);

// Stops the run with a message: libFuzzer reports it as a crash and keeps
// the input that caused it.
[[noreturn]] void Fail(const char* what);

}  // namespace fuzz
