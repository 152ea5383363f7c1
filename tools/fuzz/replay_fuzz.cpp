// The replay reader given any bytes as a replay file. Besides the sanitizers,
// the reader's promises are checked on every input, as it is and with its
// checksum made right (random bytes would otherwise almost never get past
// it to the fields behind): a file it refuses comes
// with a one-line message naming a field and an offset inside the file (or
// the reason it cannot be reproduced); a file it accepts decodes to exactly
// its announced number of frames, every one inside the reader's bounds, and
// is written back byte for byte as it was read.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "replay/replay_file.h"
#include "tools/fuzz/fuzz_support.h"

namespace {

void Check(const std::uint8_t* data, std::size_t size) {
  vtr::Replay replay;
  std::string error;
  const vtr::ReplayError result = vtr::ParseReplay(data, size, &replay, &error);
  if (result != vtr::ReplayError::None) {
    if (error.empty() || error.find('\n') != std::string::npos) fuzz::Fail("a refusal without a one-line message");
    if (result == vtr::ReplayError::Malformed) {
      const std::size_t at = error.find(" at offset ");
      if (at == std::string::npos || at == 0) fuzz::Fail("a malformed file's message names no field and offset");
      if (std::stoull(error.substr(at + 11)) > size) fuzz::Fail("an offset past the end of the file");
    }
    return;
  }

  vtr::FrameDecoder decoder(replay.frames);
  float dt = 0.0f;
  hge_record::InputFrame input;
  std::uint32_t count = 0;
  while (decoder.Next(&dt, &input, &error)) {
    ++count;
    if (!(dt >= 0.0f && dt <= vtr::kReplayMaxFrameTime)) fuzz::Fail("a frame time out of bounds");
    if (!std::isfinite(input.mouseX) || !std::isfinite(input.mouseY)) fuzz::Fail("a cursor that is not a number");
    if (input.key < 0 || input.key >= hge_record::kKeyCount) fuzz::Fail("a key code out of range");
  }
  if (!error.empty()) fuzz::Fail("an accepted stream failed to decode");
  if (count != replay.frameCount) fuzz::Fail("the frames decoded differ from the count");

  const std::vector<std::uint8_t> written = vtr::SerializeReplay(replay);
  if (written.size() != size || !std::equal(written.begin(), written.end(), data)) {
    fuzz::Fail("an accepted file is not written back as it was read");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Check(data, size);
  if (size >= vtr::kReplayChecksumEnd && size <= vtr::kReplayMaxFileBytes) {
    std::vector<std::uint8_t> sealed(data, data + size);
    vtr::SealReplayBytes(sealed);
    Check(sealed.data(), sealed.size());
  }
  return 0;
}
