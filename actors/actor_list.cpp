#include "actors/actor_list.h"

#include <cassert>
#include <iterator>

namespace vtr {

ActorList::ActorList() { actors_.reserve(20); }

ActorList& ActorList::Instance() {
  // Deliberately never destroyed: nothing runs at exit in an order we depend on.
  static ActorList* list = new ActorList();
  return *list;
}

void ActorList::Add(std::shared_ptr<Actor> actor) {
  assert(actor && "ActorList::Add needs an actor");
  pending_.push_back(std::move(actor));
}

void ActorList::Update(float dt) {
  actors_.insert(actors_.end(), std::make_move_iterator(pending_.begin()),
                 std::make_move_iterator(pending_.end()));
  pending_.clear();

  // Actors made during the walk go to pending_ and nothing is erased from
  // actors_ until it ends, so each actor is kept alive by its own entry for
  // the length of its call, and indexing stays valid.
  updating_ = true;
  for (std::size_t i = 0; i < actors_.size(); ++i) {
    Actor& actor = *actors_[i];
    if (actor.alive) actor.Update(dt);
  }
  updating_ = false;

  std::erase_if(actors_, [](const std::shared_ptr<Actor>& actor) { return !actor->alive; });
}

void ActorList::Clear() {
  assert(!updating_ && "ActorList::Clear from inside an actor's Update would destroy it mid-call");
  actors_.clear();
}

void ActorList::ClearAll() {
  Clear();
  pending_.clear();
}

ActorList::Contents ActorList::TakeAll() {
  assert(!updating_ && "ActorList::TakeAll from inside an actor's Update would destroy it mid-call");
  Contents taken{std::move(actors_), std::move(pending_)};
  actors_.clear();
  pending_.clear();
  return taken;
}

void ActorList::Restore(Contents contents) {
  assert(!updating_ && "ActorList::Restore from inside an actor's Update would destroy it mid-call");
  actors_ = std::move(contents.actors);
  pending_ = std::move(contents.pending);
}

std::int32_t ActorList::TakeId() {
  const std::int32_t id = nextId_;
  // After 2^31 actors the numbers wrap to negative ones; done through
  // unsigned arithmetic, where wrapping is defined.
  nextId_ = static_cast<std::int32_t>(static_cast<std::uint32_t>(nextId_) + 1u);
  return id;
}

}  // namespace vtr
