// The frame around the game: start-up helpers and the two callbacks the
// engine calls once per frame, which only forward to the Game object.
#pragma once

namespace vtr {

// Frame callback: Game::Update with the engine's frame time.
bool FrameFunc();
// Render callback: Game::Render.
bool RenderFunc();

// Creates and initialises the audio system inside the SoundManager with 100
// channels. A failure is shown to the player and start-up goes on silent.
void StartAudio();

// Shows a start-up message in a box, or on standard error where no box can be
// shown, and always writes it to the engine log.
void ReportStartupMessage(const char* caption, const char* text, bool errorIcon);

}  // namespace vtr
