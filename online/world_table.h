// Today's world table, fetched from the world table's server in the
// background: the table (GET /api/v1/table) and the replay of one of its
// rounds (GET /api/v1/rounds/{id}/replay). A job line of its own does the
// exchanges, one at a time; a frame only starts a fetch and reads where it
// stands, under a lock, so no frame ever waits on the network.
//
// The server may be anyone's: its answer is read with every field checked
// (at most the lines asked for, names of the allowed letters only, numbers in
// range, ranks and scores in order, today's date), and a replay is handed on
// as bytes, at most a round's size, for the game's own reader to check.
// Only the game makes one, and only once online play is on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scores/world_page.h"

namespace vtr::online {

// No round's replay is larger than this (the server takes no larger).
inline constexpr std::size_t kMaxReplayBytes = 64 * 1024;

// Reads the server's answer to a table request for date ("YYYY-MM-DD") of
// at most maxLines lines; false with a short reason when anything in it is
// not what a table of that day can hold.
bool ParseWorldTable(const std::string& body, const std::string& date, std::size_t maxLines,
                     std::vector<WorldLine>* lines, std::string* reason);

// The reason an exchange failed, in one short line of printable letters.
std::string FailureReason(long status, const std::string& body, const std::string& error);

class WorldTable {
 public:
  // Where a fetched round stands; TakeRound hands it over once.
  enum class RoundFetch { None, Loading, Ready, Failed };

  // server: "http://host:port" without a trailing slash.
  explicit WorldTable(std::string server);
  // Stops the fetches; one still waiting on the network is left to finish
  // on its own, so closing the game never waits for a server.
  ~WorldTable();
  WorldTable(const WorldTable&) = delete;
  WorldTable& operator=(const WorldTable&) = delete;

  // Fetches the day's table afresh (its first `lines` lines); the page says
  // "loading" until it is in.
  void FetchTable(const std::string& date, std::size_t lines);
  // Fetches a round's replay; an earlier fetch not yet taken is forgotten.
  void FetchRound(std::int64_t id);
  // The table as it stands (fetchingRound set while a round is on its way).
  WorldPage Page() const;
  // The fetched round: Ready with its bytes, Failed with the reason, once;
  // None when nothing was asked, Loading while it comes.
  RoundFetch TakeRound(std::vector<std::uint8_t>* bytes, std::string* reason);

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};

}  // namespace vtr::online
