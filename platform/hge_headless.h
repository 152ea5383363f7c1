// Controls for tests and benchmarks that run the real engine without a
// person at the keyboard: a fixed frame time, a frame limit, input pushed as
// real SDL events (so the engine's own input path is exercised), the canvas
// read back, and a tap that sees every quad submitted. The game itself uses
// only the dummy video driver, to verify replays without a window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/hge.h"

namespace headless {

// The next System_Initiate opens no window: SDL's dummy video driver, as for
// a run that only computes (a replay's verification).
void SelectDummyVideo();

// SIGINT, SIGTERM and SIGHUP get their default action back (the engine's
// own handlers only ask the loop to end at its next frame): a run that
// writes nothing and runs no loop of the engine's (a check of a replay) then
// ends at the first signal, wherever it is.
void EndOnStopSignals(HGE* hge);

// Every Timer_GetDelta returns dt (no real-time pacing) when dt > 0;
// 0 returns the engine to real time with its frame pacing.
void SetFixedFrameTime(HGE* hge, float dt);

// System_Start returns after this many frames (0: no limit).
void SetFrameLimit(HGE* hge, int frames);

// Skip rendering: the render function is not called and nothing is presented
// (for tests that need no pixels; headless rasterising is slow).
void SetRenderEnabled(HGE* hge, bool enabled);

// Runs exactly one frame of the loop (pump input, frame function, render
// function unless disabled). Returns true when the frame function asked to
// stop. System_Initiate must have succeeded.
bool RunFrame(HGE* hge);

// One pass of the engine's loop for a host that calls it (the browser): as
// RunFrame, but while the window is suspended (minimised, hidden, or out of
// focus after having had it) only the events are handled, no frame runs and
// the time does not count. Returns true when the game must end.
bool StepFrame(HGE* hge);

// Input, queued as SDL events and seen by the next frame's event pump.
// Coordinates are window points (the logical pixels while the window has the
// logical size); keys are HGEK_ codes (mouse buttons 1, 2).
void PushMouseMove(float x, float y);
void PushMouseButton(int hgeButton, bool down, float x, float y);
void PushKey(int hgeKey, bool down);
void PushWheel(int steps);
void PushQuit();

// The window's size in points, as a player would resize it (0x0 before
// System_Initiate); the engine fits the picture at its next frame.
struct WindowSize {
  int width = 0;
  int height = 0;
};
WindowSize GetWindowSize(HGE* hge);
void SetWindowSize(HGE* hge, int width, int height);

// ARGB of one canvas pixel as last drawn (after Gfx_EndScene), by logical
// coordinates.
std::uint32_t ReadPixel(HGE* hge, int x, int y);

// Names of the SDL video driver and renderer in use ("" before System_Initiate).
std::string VideoDriverName(HGE* hge);
std::string RendererName(HGE* hge);

// Number of draw calls that reached the renderer during the last scene.
int LastSceneDrawCalls(HGE* hge);
// Number of quads submitted during the last scene (skipped ones included).
int LastSceneQuads(HGE* hge);
// False when the last scene repeated the one before exactly and was neither
// drawn nor presented.
bool LastScenePresented(HGE* hge);
// Number of times the canvas has been shown in the window: every scene
// presented, and the picture shown again to a window that needed it while
// the loop stood still.
int PresentCount(HGE* hge);

// Called with every quad given to Gfx_RenderQuad, before batching; an empty
// function removes the tap.
using QuadTap = std::function<void(const hgeQuad&)>;
void SetQuadTap(HGE* hge, QuadTap tap);

// Where the time of the last scene went, in seconds. submit: from
// Gfx_BeginScene to Gfx_EndScene (the caller's quad building and the
// engine's record of the quads). flush: all of Gfx_EndScene (the comparison
// with the previous scene, batching, rasterising the canvas, presenting).
struct SceneTimes {
  double submit = 0.0;
  double flush = 0.0;
};
SceneTimes LastSceneTimes(HGE* hge);

// The limit the engine is measured against: draws the quads straight into
// the canvas as one SDL geometry call per run of equal texture and blend
// (skipping, as Gfx_RenderQuad does, quads that cannot change a pixel),
// then presents the canvas as Gfx_EndScene does. Returns the seconds from
// the first geometry call to the end of the present; the vertices are built
// before the clock starts. Call between scenes.
double ReplayQuads(HGE* hge, const std::vector<hgeQuad>& quads);

}  // namespace headless
