#include "game/playback.h"

#include <algorithm>
#include <ctime>
#include <string>
#include <utility>

#include "game/game.h"
#include "game/replay_driver.h"
#include "helpers/font.h"

namespace vtr {

namespace {

// The shortest frame time the pacing counts with, so that frames recorded
// with a time of 0 cannot make it play them all at once.
constexpr float kShortestFrame = 0.001f;

constexpr DWORD kCursorOutline = 0xFF000000;
constexpr DWORD kCursorFill = 0xFFFFFFFF;

// The label, in the left panel above the HUD's readouts (which start at 200).
constexpr float kLabelX = 20.0f;
constexpr float kLabelTop = 24.0f;
constexpr float kLabelStep = 20.0f;
constexpr float kLabelScale = 0.5f;
constexpr DWORD kLabelTitle = 0xFFFFE8A0;  // the notices' warm white
constexpr DWORD kLabelText = 0xFFFFFFFF;
constexpr DWORD kLabelState = 0xFFFFFF00;

// The local calendar date of a moment, "2026-12-08"; "?" for a moment the
// calendar cannot hold (a replay's time is whatever its file says).
std::string LocalDate(std::int64_t unixSeconds) {
  const std::time_t moment = static_cast<std::time_t>(unixSeconds);
  std::tm local{};
  char text[32];
  if (localtime_r(&moment, &local) == nullptr || std::strftime(text, sizeof text, "%Y-%m-%d", &local) == 0) {
    return "?";
  }
  return text;
}

// A filled triangle as a quad whose last two corners meet.
void DrawTriangle(HGE* engine, float x0, float y0, float x1, float y1, float x2, float y2, DWORD colour) {
  hgeQuad quad{};
  const float xs[4] = {x0, x1, x2, x2};
  const float ys[4] = {y0, y1, y2, y2};
  for (int i = 0; i < 4; ++i) {
    quad.v[i] = {xs[i], ys[i], 0.5f, colour, 0.0f, 0.0f};
  }
  quad.tex = 0;
  quad.blend = BLEND_DEFAULT;
  engine->Gfx_RenderQuad(&quad);
}

}  // namespace

Playback::Playback(Game* game, Replay replay)
    : game_(game),
      replay_(std::make_unique<Replay>(std::move(replay))),
      driver_(std::make_unique<ReplayDriver>(game, *replay_)),
      labelDate_(LocalDate(replay_->entryTime)),
      labelScore_("Score: " + std::to_string(static_cast<std::uint32_t>(replay_->score))) {}

Playback::~Playback() { Stop(); }

void Playback::Start() {
  driver_->Start();
  Step();
}

bool Playback::Frame(float dt) {
  HGE* engine = game_->engine;
  if (engine->Input_KeyDown(HGEK_ESCAPE)) {
    left_ = true;
    return false;
  }
  if (Held()) {
    owed_ = 0.0f;
    return true;
  }
  if (engine->Input_KeyDown(HGEK_SPACE)) {
    paused_ = !paused_;
    owed_ = 0.0f;
  }
  fast_ = engine->Input_GetKeyState(HGEK_RIGHT);

  if (Ended()) {
    heldAtEnd_ += dt;
    return heldAtEnd_ < kEndHold;
  }
  if (paused_) {
    if (engine->Input_KeyDown(HGEK_RIGHT)) Step();
    return true;
  }
  owed_ += dt * (fast_ ? kFastSpeed : 1.0f);
  for (int steps = 0; steps < kMaxStepsPerFrame && !Ended() && !Held(); ++steps) {
    if (owed_ < 0.5f * std::max(lastStep_, kShortestFrame)) break;
    Step();
    owed_ -= lastStep_;
  }
  // Time the machine could not keep up with is dropped, not made up later.
  owed_ = std::min(owed_, 0.5f * std::max(lastStep_, kShortestFrame));
  return true;
}

void Playback::Step() {
  if (Ended()) return;
  driver_->Step();
  lastStep_ = driver_->FrameTime();
  // The score goes in at the very last recorded frame; anywhere else the
  // round has left its recording, and what follows would be made up.
  if (game_->ScoreEntered() && driver_->Played() < driver_->Frames()) diverged_ = true;
}

void Playback::Stop() { driver_->Stop(); }

bool Playback::Held() const { return hold_ != 0 && driver_->Played() >= hold_; }

bool Playback::Ended() const { return diverged_ || driver_->Finished(); }

std::uint32_t Playback::FramesPlayed() const { return driver_->Played(); }

bool Playback::Faithful() const {
  const Round& round = game_->CurrentRound();
  return !left_ && !diverged_ && driver_->Finished() && driver_->Played() == driver_->Frames() &&
         game_->ScoreEntered() && round.score == replay_->score && round.highestCombo == replay_->highestCombo;
}

std::string Playback::OutcomeLine() const {
  const std::string recorded = std::to_string(static_cast<std::uint32_t>(replay_->score));
  const std::string played = std::to_string(static_cast<std::uint32_t>(game_->CurrentRound().score));
  std::string line = "recorded " + recorded + ", played " + played + ": ";
  if (Faithful()) return line + "ok";
  if (left_) return line + "left before the end";
  if (diverged_ || !game_->ScoreEntered()) {
    return line + "the round did not end where it was recorded to (frame " + std::to_string(driver_->Played()) +
           " of " + std::to_string(driver_->Frames()) + ")";
  }
  return line + "MISMATCH";
}

void Playback::DrawCursor(HGE* engine) const {
  const float x = driver_->Input().mouseX;
  const float y = driver_->Input().mouseY;
  // An arrow pointing up and to the left, its tip on the spot, outlined.
  DrawTriangle(engine, x - 1.5f, y - 3.0f, x - 1.5f, y + 20.0f, x + 15.0f, y + 13.5f, kCursorOutline);
  DrawTriangle(engine, x, y, x, y + 16.0f, x + 11.5f, y + 11.5f, kCursorFill);
}

void Playback::DrawLabel(hgeFont& font) const {
  const float scale = font.GetScale();
  const DWORD colour = font.GetColor();
  const char* state = paused_ ? "paused" : fast_ ? "4x" : nullptr;
  font.SetScale(kLabelScale);
  font.SetColor(kLabelTitle);
  font.Render(kLabelX, kLabelTop, 0, "Replay");
  font.SetColor(kLabelText);
  font.Render(kLabelX, kLabelTop + kLabelStep, 0, labelDate_.c_str());
  font.Render(kLabelX, kLabelTop + 2.0f * kLabelStep, 0, labelScore_.c_str());
  if (state != nullptr) {
    font.SetColor(kLabelState);
    font.Render(kLabelX, kLabelTop + 3.0f * kLabelStep, 0, state);
  }
  font.SetScale(scale);
  font.SetColor(colour);
}

}  // namespace vtr
