// The digest the world table keys files and keys by.
#pragma once

#include <cstddef>
#include <string>

namespace vtr::server {

// The SHA-256 of bytes (OpenSSL's), as 64 lower-case hex digits.
std::string Sha256Hex(const void* data, std::size_t size);

}  // namespace vtr::server
