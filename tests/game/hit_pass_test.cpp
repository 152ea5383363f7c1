#include "game/hit_pass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iomanip>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "actors/actor_list.h"
#include "actors/explosion.h"
#include "actors/rocket.h"
#include "actors/text.h"
#include "config/settings.h"
#include "game/game.h"
#include "tests/support/headless_game.h"
#include "tests/support/literal_hit_pass.h"

namespace {

using testing_support::HeadlessGame;
using testing_support::LiteralHitPass;
using vtr::ActorList;

// One actor of a made-up scene.
struct Piece {
  int kind = 0;  // 0 rocket, 1 dual rocket, 2 target rocket, 3 explosion, 4 text
  float x = 0, y = 0, radius = 0;
  std::uint32_t chain = 0;
  std::int32_t points = 0;
  bool alive = true, dying = false, collidable = true;
};

struct Scene {
  std::vector<Piece> pieces;
  std::int32_t score = 0;
  std::uint32_t chain = 0, highestCombo = 0;
  float multiplier = 1.0f;
  float multiplierAddition = 0.1f;
  std::int32_t showCombosAfter = 3;
};

// What a pass leaves behind, in a form two runs can be compared by.
struct Outcome {
  std::vector<bool> dying;  // per piece of the scene
  std::vector<std::string> created;  // the new actors, in the order they were queued
  std::int32_t score = 0;
  std::uint32_t chain = 0, highestCombo = 0;
  float multiplier = 0;

  bool operator==(const Outcome&) const = default;
};

Scene RandomScene(std::mt19937& rng) {
  auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
  auto chance = [&](double p) { return std::bernoulli_distribution(p)(rng); };
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  Scene scene;
  const int count = pick(0, 40);
  // A small field crowds the actors, so most scenes have several catches.
  const float field = uniform(60.0f, 400.0f);
  for (int i = 0; i < count; ++i) {
    Piece p;
    p.kind = pick(0, 4);
    p.x = uniform(0.0f, field);
    p.y = uniform(0.0f, field);
    if (p.kind == 3) {
      p.radius = chance(0.1) ? 0.0f : uniform(0.0f, 110.0f);
      p.chain = chance(0.1) ? 0xFFFFFFFFu - static_cast<std::uint32_t>(pick(0, 2))
                            : static_cast<std::uint32_t>(pick(0, 9));
    }
    if (p.kind == 0 && chance(0.1)) p.radius = uniform(0.0f, 20.0f);  // never in the game
    p.points = chance(0.05) ? std::numeric_limits<std::int32_t>::max() : pick(-10, 2000);
    p.alive = !chance(0.1);
    p.dying = chance(0.1);
    p.collidable = p.kind == 2 ? false : !chance(0.05);
    scene.pieces.push_back(p);
  }
  scene.score = chance(0.1) ? std::numeric_limits<std::int32_t>::max() - pick(0, 1000)
                            : pick(-1000, 100000);
  scene.chain = static_cast<std::uint32_t>(pick(0, 9));
  scene.highestCombo = static_cast<std::uint32_t>(pick(0, 9));
  scene.multiplier = uniform(0.01f, 5.0f);
  scene.multiplierAddition = uniform(0.0f, 0.5f);
  const std::int32_t thresholds[] = {-1, 0, 1, 2, 3, 5, 8};
  scene.showCombosAfter = thresholds[pick(0, 6)];
  return scene;
}

// Builds the scene in the list's main sequence and sets the round's counters.
// Returns the actors in scene order.
std::vector<std::shared_ptr<vtr::Actor>> Stage(vtr::Game* game, const Scene& scene, vtr::Round* round) {
  HeadlessGame::ClearActors();
  const vtr::Settings& settings = vtr::Settings::Instance();
  std::vector<std::shared_ptr<vtr::Actor>> actors;
  for (const Piece& p : scene.pieces) {
    const hgeVector2 at(p.x, p.y), up(0.0f, -50.0f);
    const hgeEmitterInfo& trail = settings.RocketParticles;
    std::shared_ptr<vtr::Actor> actor;
    if (p.kind == 0) actor = std::make_shared<vtr::Rocket>(game, at, up, p.points, trail);
    if (p.kind == 1) actor = std::make_shared<vtr::SpecialRocket>(game, at, up, p.points, trail);
    if (p.kind == 2) {
      actor = std::make_shared<vtr::TargetRocket>(game, at, up, p.points, trail, hgeVector2(p.x, 0.0f));
    }
    if (p.kind == 3) actor = std::make_shared<vtr::Explosion>(game, p.chain, 100.0f, p.x, p.y);
    if (p.kind == 4) actor = std::make_shared<vtr::Text>(hgeColor{1, 1, 1, 1}, game, "t", at, 2.0f, 1.0f);
    ActorList::Instance().Add(actor);
    actors.push_back(actor);
  }
  ActorList::Instance().Update(0.0f);  // joins the main sequence, nothing moves
  for (std::size_t i = 0; i < actors.size(); ++i) {
    const Piece& p = scene.pieces[i];
    actors[i]->radius = p.radius;
    actors[i]->alive = p.alive;
    actors[i]->dying = p.dying;
    actors[i]->collidable = p.collidable;
  }
  round->score = scene.score;
  round->chain = scene.chain;
  round->highestCombo = scene.highestCombo;
  round->multiplier = scene.multiplier;
  vtr::Settings::Instance().MultiplierAddition = scene.multiplierAddition;
  vtr::Settings::Instance().ShowCombosAfterAmount = scene.showCombosAfter;
  return actors;
}

std::string Describe(const vtr::Actor& actor) {
  std::ostringstream out;
  out << std::setprecision(9) << actor.kind << " at " << actor.x << "," << actor.y << " v " << actor.vx << "," << actor.vy;
  if (auto* e = dynamic_cast<const vtr::Explosion*>(&actor)) {
    out << " chain " << e->chain << " max " << e->maxRadius;
  }
  if (auto* r = dynamic_cast<const vtr::TargetRocket*>(&actor)) {
    out << " to " << r->targetX << "," << r->targetY << " points " << r->scoreValue;
  }
  if (auto* t = dynamic_cast<const vtr::Text*>(&actor)) {
    out << " \"" << t->text << "\" " << t->color.r << "," << t->color.g << "," << t->color.b << " life "
        << t->lifetime << " scale " << t->scale;
  }
  return out.str();
}

Outcome RunPass(vtr::Game* game, const Scene& scene, void (*pass)(vtr::Stage*, vtr::Round&)) {
  vtr::Round round;
  const auto actors = Stage(game, scene, &round);
  pass(game, round);
  Outcome outcome;
  for (const auto& actor : actors) outcome.dying.push_back(actor->dying);
  outcome.score = round.score;
  outcome.chain = round.chain;
  outcome.highestCombo = round.highestCombo;
  outcome.multiplier = round.multiplier;
  // The queued actors join behind the scene's survivors, in queue order.
  for (auto& actor : actors) actor->alive = false;
  ActorList::Instance().Update(0.0f);
  for (const auto& actor : ActorList::Instance()) outcome.created.push_back(Describe(*actor));
  return outcome;
}

TEST(HitPass, CatchesWhatTheLiteralNestedWalkCatchesInTheSameOrder) {
  HeadlessGame session;
  std::mt19937 rng(4242);
  int catches = 0;
  for (int round = 0; round < 2000; ++round) {
    const Scene scene = RandomScene(rng);
    const Outcome expected = RunPass(session.game, scene, &LiteralHitPass);
    const Outcome actual = RunPass(session.game, scene, &vtr::HandleExplosionHits);
    ASSERT_EQ(actual.created, expected.created) << "scene " << round;  // the readable diff
    ASSERT_EQ(actual, expected) << "scene " << round;
    catches += static_cast<int>(expected.created.size());
  }
  EXPECT_GT(catches, 2000);  // the scenes are crowded enough to test something
}

// A scene helper for the cases below.
struct Field {
  explicit Field(vtr::Game* game) : game(game) { HeadlessGame::ClearActors(); }

  std::shared_ptr<vtr::Explosion> Explosion(float x, float y, float radius, std::uint32_t chain = 0) {
    auto e = std::make_shared<vtr::Explosion>(game, chain, 100.0f, x, y);
    ActorList::Instance().Add(e);
    pendingRadius.push_back({e, radius});
    return e;
  }
  template <class T = vtr::Rocket>
  std::shared_ptr<T> Rocket(float x, float y, std::int32_t points = 100) {
    auto r = std::make_shared<T>(game, hgeVector2(x, y), hgeVector2(0.0f, -50.0f), points,
                                 vtr::Settings::Instance().RocketParticles);
    ActorList::Instance().Add(r);
    return r;
  }
  // Lets everything join without moving and gives the explosions their radii.
  void Join() {
    ActorList::Instance().Update(0.0f);
    for (auto& [e, r] : pendingRadius) e->radius = r;
    pendingRadius.clear();
  }
  // The actors queued by the pass, in order, once they have joined.
  std::vector<std::shared_ptr<vtr::Actor>> Queued() {
    std::vector<std::int32_t> old;
    for (const auto& a : ActorList::Instance()) old.push_back(a->id);
    ActorList::Instance().Update(0.0f);
    std::vector<std::shared_ptr<vtr::Actor>> fresh;
    for (const auto& a : ActorList::Instance()) {
      if (std::find(old.begin(), old.end(), a->id) == old.end()) fresh.push_back(a);
    }
    return fresh;
  }

  vtr::Game* game;
  std::vector<std::pair<std::shared_ptr<vtr::Explosion>, float>> pendingRadius;
};

// A round as it starts, under the default catch rules.
vtr::Round NewRound() {
  vtr::Settings::Instance().MultiplierAddition = 0.1f;
  vtr::Settings::Instance().ShowCombosAfterAmount = 3;
  return vtr::Round{};
}

TEST(HitPass, CatchesARocketExactlyOnTheRadiusAndNotBeyond) {
  HeadlessGame session;
  vtr::Round round = NewRound();
  Field field(session.game);
  field.Explosion(100.0f, 100.0f, 50.0f);
  auto onEdge = field.Rocket(130.0f, 140.0f);  // 30, 40, 50
  auto outside = field.Rocket(130.0f, std::nextafter(140.0f, 200.0f));
  field.Join();
  vtr::HandleExplosionHits(session.game, round);
  EXPECT_TRUE(onEdge->dying);
  EXPECT_FALSE(outside->dying);
  EXPECT_EQ(round.score, 100);
  EXPECT_EQ(round.chain, 1u);
}

TEST(HitPass, IgnoresQueuedTargetAndDyingRockets) {
  HeadlessGame session;
  vtr::Round round = NewRound();
  Field field(session.game);
  field.Explosion(100.0f, 100.0f, 50.0f);
  auto target = std::make_shared<vtr::TargetRocket>(
      session.game, hgeVector2(100.0f, 100.0f), hgeVector2(0.0f, -200.0f), 100,
      vtr::Settings::Instance().TargetRocketParticles, hgeVector2(100.0f, 0.0f));
  ActorList::Instance().Add(target);
  auto dying = field.Rocket(110.0f, 100.0f);
  field.Join();
  dying->Kill();
  auto queued = field.Rocket(100.0f, 110.0f);  // launched this frame: still waiting
  vtr::HandleExplosionHits(session.game, round);
  EXPECT_FALSE(target->dying);
  EXPECT_FALSE(queued->dying);
  EXPECT_EQ(round.score, 0);
  EXPECT_EQ(round.multiplier, 1.0f);
  EXPECT_EQ(field.Queued().size(), 1u);  // only the waiting rocket joins
}

TEST(HitPass, TheExplosionThatJoinedFirstCatchesARocketInsideTwo) {
  HeadlessGame session;
  vtr::Round round = NewRound();
  Field field(session.game);
  field.Explosion(100.0f, 100.0f, 60.0f, 5u);
  field.Explosion(120.0f, 100.0f, 60.0f, 0u);
  auto rocket = field.Rocket(110.0f, 100.0f, 200);
  field.Join();
  vtr::HandleExplosionHits(session.game, round);
  EXPECT_TRUE(rocket->dying);
  EXPECT_EQ(round.chain, 6u);
  EXPECT_EQ(round.highestCombo, 6u);
  EXPECT_EQ(round.score, 1200);
  const auto queued = field.Queued();
  ASSERT_EQ(queued.size(), 2u);  // the rocket's explosion and its combo text
  auto burst = std::dynamic_pointer_cast<vtr::Explosion>(queued[0]);
  ASSERT_TRUE(burst);
  EXPECT_EQ(burst->chain, 6u);
  EXPECT_EQ(burst->x, 110.0f);
  EXPECT_EQ(burst->maxRadius, 100.0f);
}

TEST(HitPass, EachCatchScoresWithTheMultiplierBeforeIt) {
  HeadlessGame session;
  vtr::Round round = NewRound();
  round.multiplier = 0.8f;  // after one shot
  Field field(session.game);
  field.Explosion(100.0f, 100.0f, 30.0f, 6u);
  field.Explosion(400.0f, 100.0f, 30.0f, 1u);
  field.Rocket(400.0f, 110.0f);
  field.Rocket(100.0f, 110.0f);
  field.Join();
  vtr::HandleExplosionHits(session.game, round);
  EXPECT_EQ(round.score, 7 * 80 + 2 * 90);  // 560.00001 and 180.00001, truncated
  EXPECT_NEAR(round.multiplier, 1.0f, 1e-6f);
  // The chain follows the latest catch; the highest combo only grows.
  EXPECT_EQ(round.chain, 2u);
  EXPECT_EQ(round.highestCombo, 7u);
}

TEST(HitPass, ADualRocketScoresAndReleasesItsSecondRocket) {
  HeadlessGame session;
  vtr::Round round = NewRound();
  Field field(session.game);
  field.Explosion(300.0f, 200.0f, 30.0f, 1u);
  auto dual = field.Rocket<vtr::SpecialRocket>(300.0f, 210.0f, 1000);
  field.Join();
  vtr::HandleExplosionHits(session.game, round);
  EXPECT_EQ(round.score, 2000);
  const auto queued = field.Queued();
  ASSERT_EQ(queued.size(), 2u);  // the second rocket first, then the explosion
  auto second = std::dynamic_pointer_cast<vtr::TargetRocket>(queued[0]);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->targetX, 724.0f);
  EXPECT_EQ(second->targetY, 558.0f);
  EXPECT_TRUE(std::dynamic_pointer_cast<vtr::Explosion>(queued[1]));
}

// The combo texts one chain of catches shows, as "text" strings.
std::vector<std::string> ComboTexts(vtr::Game* game, std::int32_t showAfter, std::uint32_t firstChain,
                                    int links) {
  vtr::Round round = NewRound();
  vtr::Settings::Instance().ShowCombosAfterAmount = showAfter;
  Field field(game);
  for (int i = 0; i < links; ++i) {
    const float x = 50.0f + 100.0f * static_cast<float>(i);
    field.Explosion(x, 100.0f, 10.0f, firstChain + static_cast<std::uint32_t>(i));
    field.Rocket(x, 105.0f);
  }
  field.Join();
  vtr::HandleExplosionHits(game, round);
  std::vector<std::string> texts;
  for (const auto& actor : field.Queued()) {
    if (auto text = std::dynamic_pointer_cast<vtr::Text>(actor)) texts.push_back(text->text);
  }
  return texts;
}

TEST(HitPass, ShowsComboTextsFromTheConfiguredChainCountOn) {
  HeadlessGame session;
  using Texts = std::vector<std::string>;
  EXPECT_EQ(ComboTexts(session.game, 3, 0u, 4), (Texts{"x 3", "x 4"}));
  EXPECT_EQ(ComboTexts(session.game, 0, 0u, 3), (Texts{"x 1", "x 2", "x 3"}));
  EXPECT_EQ(ComboTexts(session.game, -1, 0u, 9), Texts{});  // compared unsigned
  EXPECT_EQ(ComboTexts(session.game, 3, 9u, 2), (Texts{"x 10", "x 11"}));
}

TEST(HitPass, ComboTextColourFollowsTheChainCount) {
  HeadlessGame session;
  const hgeColor expected[] = {{1, 1, 1, 0}, {1, 1, 1, 0}, {1, 1, 1, 0}, {1, 1, 0.7f, 0},
                               {1, 1, 0.2f, 0}, {1, 0.5f, 0.2f, 0}, {1, 0.2f, 0.2f, 0},
                               {1, 0, 0, 0}, {1, 1, 1, 0}, {1, 1, 1, 0}};
  for (std::uint32_t n = 0; n < 10; ++n) {
    HeadlessGame::ClearActors();
    vtr::ShowComboText(session.game, n, 12.0f, 34.0f);
    ActorList::Instance().Update(0.0f);
    ASSERT_EQ(ActorList::Instance().size(), 1u);
    auto text = std::dynamic_pointer_cast<vtr::Text>(ActorList::Instance().Actors()[0]);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->text, "x " + std::to_string(n));
    EXPECT_EQ(text->color.r, expected[n].r) << n;
    EXPECT_EQ(text->color.g, expected[n].g) << n;
    EXPECT_EQ(text->color.b, expected[n].b) << n;
    EXPECT_EQ(text->color.a, 0.0f);
    EXPECT_EQ(text->lifetime, 2.0f);
    EXPECT_EQ(text->scale, 1.0f);
    EXPECT_EQ(text->x, 12.0f);
    EXPECT_EQ(text->y, 34.0f);
  }
}

TEST(HitPass, ChainCountAndScoreWrapAtThirtyTwoBits) {
  HeadlessGame session;
  vtr::Round round = NewRound();
  Field field(session.game);
  field.Explosion(100.0f, 100.0f, 30.0f, 0xFFFFFFFFu);  // the next link wraps to 0
  field.Explosion(400.0f, 100.0f, 30.0f, 0u);
  field.Rocket(100.0f, 100.0f);
  field.Rocket(400.0f, 100.0f);
  field.Join();
  round.score = std::numeric_limits<std::int32_t>::max() - 9;
  vtr::HandleExplosionHits(session.game, round);
  EXPECT_EQ(round.highestCombo, 1u);
  EXPECT_EQ(round.chain, 1u);
  // The wrapped link scores 0 x 100; the next 1 x 100 x 1.1 = 110.000002.
  EXPECT_EQ(round.score, std::numeric_limits<std::int32_t>::min() + 100);
}

}  // namespace
