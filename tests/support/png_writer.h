// Writes small PNG images for tests, so a test can make textures of a known
// size and colour without any image library: 8-bit RGBA, no filtering, and
// the pixel data in stored (uncompressed) deflate blocks.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace testing_support {

// PNG bytes of a width x height image; pixels row by row from the top left,
// each 0xAARRGGBB as the engine packs colours. Needs width * height pixels.
std::vector<std::uint8_t> EncodePng(int width, int height, const std::vector<std::uint32_t>& argb);

// Writes EncodePng's bytes to path; false when the file cannot be written.
bool WritePng(const std::filesystem::path& path, int width, int height,
              const std::vector<std::uint32_t>& argb);

// A PNG of one colour all over.
bool WriteSolidPng(const std::filesystem::path& path, int width, int height, std::uint32_t argb);

}  // namespace testing_support
