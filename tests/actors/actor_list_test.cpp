#include "actors/actor_list.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

using vtr::Actor;
using vtr::ActorList;

// An actor that counts its updates and runs a chosen action inside them.
class Probe : public Actor {
 public:
  explicit Probe(std::string name = "") : Actor(nullptr, vtr::kRocket), name(std::move(name)) {}
  void Update(float) override {
    ++updates;
    if (onUpdate) onUpdate(*this);
  }
  void Render() override {}

  std::string name;
  int updates = 0;
  std::function<void(Probe&)> onUpdate;
};

// Starts a test with an empty list and an empty queue.
ActorList& FreshList() {
  ActorList& list = ActorList::Instance();
  list.Clear();
  list.Update(0.0f);
  list.Clear();
  return list;
}

std::vector<std::string> Names(const ActorList& list) {
  std::vector<std::string> names;
  for (const auto& actor : list) names.push_back(static_cast<const Probe&>(*actor).name);
  return names;
}

TEST(ActorList, QueuedActorJoinsAndIsUpdatedAtTheNextUpdate) {
  ActorList& list = FreshList();
  auto probe = std::make_shared<Probe>("a");
  list.Add(probe);
  EXPECT_EQ(list.size(), 0u);
  EXPECT_EQ(probe->updates, 0);

  list.Update(0.016f);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list.Actors()[0], probe);
  EXPECT_EQ(probe->updates, 1);
}

TEST(ActorList, ActorAddedDuringUpdateWaitsForTheNextOne) {
  ActorList& list = FreshList();
  auto child = std::make_shared<Probe>("child");
  auto parent = std::make_shared<Probe>("parent");
  parent->onUpdate = [&](Probe& self) {
    if (self.updates == 1) ActorList::Instance().Add(child);
  };
  list.Add(parent);

  list.Update(0.016f);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"parent"}));
  EXPECT_EQ(child->updates, 0);

  list.Update(0.016f);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"parent", "child"}));
  EXPECT_EQ(child->updates, 1);
}

TEST(ActorList, DeadActorsLeaveAndTheRestKeepTheirOrder) {
  ActorList& list = FreshList();
  std::weak_ptr<Actor> a;
  // The first of four dies: removal by swapping with the last would put "d"
  // first.
  for (const char* name : {"a", "b", "c", "d"}) {
    auto probe = std::make_shared<Probe>(name);
    if (probe->name == "a" || probe->name == "c") {
      probe->onUpdate = [](Probe& self) { self.alive = false; };
    }
    if (probe->name == "a") a = probe;
    list.Add(probe);
  }
  list.Update(0.016f);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"b", "d"}));
  EXPECT_TRUE(a.expired()) << "the list held the last reference to a removed actor";
}

TEST(ActorList, ActorKilledByOthersIsSkippedThenRemoved) {
  ActorList& list = FreshList();
  auto a = std::make_shared<Probe>("a");
  auto b = std::make_shared<Probe>("b");
  list.Add(a);
  list.Add(b);
  list.Update(0.016f);

  a->alive = false;
  EXPECT_EQ(Names(list), (std::vector<std::string>{"a", "b"}));
  list.Update(0.016f);
  EXPECT_EQ(a->updates, 1);
  EXPECT_EQ(b->updates, 2);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"b"}));
}

TEST(ActorList, ClearKeepsQueuedActorsAndTheNumbering) {
  // Relies on running in a process of its own, as ctest runs every test.
  ActorList& list = ActorList::Instance();
  auto first = std::make_shared<Probe>("first");
  auto second = std::make_shared<Probe>("second");
  EXPECT_EQ(first->id, 0);
  EXPECT_EQ(second->id, 1);
  list.Add(first);
  list.Update(0.016f);
  list.Add(second);

  list.Clear();
  EXPECT_EQ(list.size(), 0u);
  list.Update(0.016f);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"second"}));
  EXPECT_EQ(Probe("third").id, 2);
}

TEST(Actor, CollisionCountsTouchingAndNotANumberButNeverItself) {
  Probe explosion;
  explosion.x = 100.0f;
  explosion.y = 200.0f;
  explosion.radius = 2.0f;
  Probe rocket;
  rocket.radius = 3.0f;

  // 3-4-5: the centres are exactly the sum of the radii apart.
  rocket.x = 103.0f;
  rocket.y = 204.0f;
  EXPECT_TRUE(explosion.Collides(rocket));
  EXPECT_TRUE(rocket.Collides(explosion));
  rocket.y = 204.01f;
  EXPECT_FALSE(explosion.Collides(rocket));

  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_TRUE(explosion.Collides(nan, 0.0f, 0.0f));
  EXPECT_TRUE(explosion.Collides(5000.0f, 5000.0f, nan));
  explosion.radius = nan;
  EXPECT_TRUE(explosion.Collides(5000.0f, 5000.0f, 0.0f));

  // An actor is never hit by itself, though its circle covers its centre.
  explosion.radius = 2.0f;
  EXPECT_FALSE(explosion.Collides(explosion));
  EXPECT_TRUE(explosion.Collides(explosion.x, explosion.y, explosion.radius));
}

}  // namespace
