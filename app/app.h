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

// Shows a start-up message; without a display it goes to standard error and
// to the engine log instead.
void ReportStartupMessage(const char* caption, const char* text, bool errorIcon);

}  // namespace vtr
