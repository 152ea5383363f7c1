// What a recorded round needs from the engine: the input of a frame exactly
// as the game reads it through HGE's Input_ calls, the means to hand the game
// a recorded frame's input instead of the devices', and the state of the
// engine's random generator (the particles draw from it, and how long a burst
// lives decides how long its explosion catches).
//
// An injected frame replaces what the Input_ calls answer until the injection
// ends; the devices' own input keeps being pumped underneath and is back the
// moment injection stops. ReadInput always reports what the game would read,
// injected or not.
#pragma once

#include <cstdint>

#include "platform/hge.h"

namespace hge_record {

// Keys and buttons by HGE code, as Input_KeyDown and friends take them.
inline constexpr int kKeyCount = 256;
// The longest frame the engine reports: a longer wait (a stall, a window
// being dragged) counts as this much game time. Every recorded frame lasts
// more than 0 and at most this.
inline constexpr float kMaxFrameTime = 0.1f;
// Bits of InputFrame::keys.
inline constexpr std::uint8_t kHeld = 1;
inline constexpr std::uint8_t kWentDown = 2;
inline constexpr std::uint8_t kWentUp = 4;

// One frame's input, everything the Input_ calls can answer.
struct InputFrame {
  float mouseX = 0.0f;
  float mouseY = 0.0f;
  std::int32_t key = 0;    // Input_GetKey
  std::int32_t chr = 0;    // Input_GetChar
  std::int32_t wheel = 0;  // Input_GetMouseWheel
  std::uint8_t keys[kKeyCount] = {};  // kHeld | kWentDown | kWentUp per key code

  bool operator==(const InputFrame&) const = default;
};

// The input the game reads in the current frame.
void ReadInput(HGE* hge, InputFrame* out);
// From now on the Input_ calls answer frame (copied) instead of the devices,
// until the next InjectInput or EndInjection.
void InjectInput(HGE* hge, const InputFrame& frame);
// The Input_ calls answer the devices again.
void EndInjection(HGE* hge);
// Whether an injected frame is being answered.
bool Injecting(HGE* hge);

// The full state of the engine's random generator, and setting it back, so a
// round can start again from the same draws. An engine other than the one
// of hgeCreate (a test's stand-in) reads as zeros and takes nothing.
std::uint64_t RandomState(HGE* hge);
void SetRandomState(HGE* hge, std::uint64_t state);

}  // namespace hge_record
