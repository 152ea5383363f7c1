// The one list that owns every actor of the game.
//
// New actors wait in a pending queue and join the list at the start of the
// next update, so the list never changes while it is walked: an actor made
// during the update (a burst's explosion, a dual rocket's second rocket) is
// first updated and drawn in the following frame. Actors whose `alive` flag
// is cleared, by themselves or by anyone else, are skipped from then on and
// removed at the end of the next update; the survivors keep their order, so
// later actors are always drawn over earlier ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "actors/actor.h"

namespace vtr {

class ActorList {
 public:
  using Sequence = std::vector<std::shared_ptr<Actor>>;

  // The process-wide list, created on first use and never destroyed.
  static ActorList& Instance();

  // Queues an actor; it joins the list at the next Update.
  void Add(std::shared_ptr<Actor> actor);
  // Lets the queued actors join, updates every live actor in order, then
  // removes the dead ones.
  void Update(float dt);
  // Drops every actor of the list. Queued actors and the serial numbers are
  // kept. Must not be called from inside Update.
  void Clear();

  // Drops the queued actors too (a replayed round starts from an empty sky).
  // Must not be called from inside Update.
  void ClearAll();
  // Everything the list holds, queued actors included.
  struct Contents {
    Sequence actors;
    Sequence pending;
  };
  // Takes every actor out, queued ones too, leaving the list empty (a watched
  // replay plays in an empty sky). Must not be called from inside Update.
  Contents TakeAll();
  // Puts taken actors back exactly as they were, dropping whatever the list
  // holds now. Must not be called from inside Update.
  void Restore(Contents contents);
  // Number of queued actors, waiting for the next Update.
  std::size_t PendingCount() const { return pending_.size(); }

  // The actors of the list, in the order they joined (queued ones excluded).
  const Sequence& Actors() const { return actors_; }
  Sequence::const_iterator begin() const { return actors_.begin(); }
  Sequence::const_iterator end() const { return actors_.end(); }
  std::size_t size() const { return actors_.size(); }
  bool empty() const { return actors_.empty(); }

 private:
  friend class Actor;

  ActorList();
  // The next serial number; wraps after 2^31 actors instead of overflowing.
  std::int32_t TakeId();

  Sequence actors_;
  Sequence pending_;
  std::int32_t nextId_ = 0;
  bool updating_ = false;
};

}  // namespace vtr
