// What watching a replay sets aside from the live session, to give it back
// unchanged afterwards. The replayed round runs on the same Game object, so
// everything it can touch is either kept here or put back by the replay
// driver (the settings, both random generators and the spawner's clocks).
// The menu and the round's recorder are moved out whole: the replayed round
// drives a menu of its own, and records nothing into the live round's
// recording.
#pragma once

#include <cstdint>
#include <memory>

#include "actors/actor_list.h"
#include "game/hud.h"
#include "game/round.h"
#include "menu/game_menu.h"
#include "replay/round_recorder.h"
#include "scores/score_table.h"

namespace vtr {

struct LiveSession {
  Round round;
  float musicVolume = 0.0f;
  bool escapeWasDown = false;
  HudReadouts hud;

  ScoreTable scores;
  std::unique_ptr<GameMenu> menu;
  std::unique_ptr<RoundRecorder> recorder;
  ActorList::Contents actors;
};

}  // namespace vtr
