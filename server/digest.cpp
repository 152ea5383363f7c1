#include "server/digest.h"

#include <openssl/evp.h>

#include "helpers/hex.h"

namespace vtr::server {

std::string Sha256Hex(const void* data, std::size_t size) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(data, size, digest, &length, EVP_sha256(), nullptr) != 1) return "";
  return LowerHex(digest, length);
}

}  // namespace vtr::server
