// Sends today's challenge rounds to the world table, in the background. The
// game makes one only when online play is on, and its frames only post work
// and read a line of status: the exchanges with the server run on the
// sender's job line (a thread of its own on the desktop, the browser's
// fetches between frames in the page).
//
// A daily round's life, as the game tells it:
//   RoundStarted  a round token is asked for (the server notes the time)
//   RoundEnded    the round's replay file is kept in the outbox folder (the
//                 file and a small meta file with its token), its end is
//                 stamped with the server (which notes the file by its
//                 SHA-256) and the file is sent
// An answer that ranks the round, or refuses it for good, removes it from
// the outbox (a refused round stays a replay like any). No answer, a busy
// or failing server, or too many requests keep it there: every round in the
// outbox is sent again by the sender of the next start, and its answer shown
// as a notice.
//
// The player's key is made on the first send (16 random bytes from the
// system, as hex) and written to the online settings file before it is used.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/online_settings.h"
#include "online/http_exchange.h"
#include "online/job_line.h"

namespace vtr::online {

struct SenderSetup {
  OnlineSettings settings;  // must be on
  std::string settingsFile;  // where a key made on first use is written
  std::string outbox;        // the folder of rounds waiting to be sent
  long timeoutSeconds = 8;   // for a token and a stamp
  // For a round, which the server plays again before it answers.
  long sendTimeoutSeconds = 60;
  // The game's teardown waits this long for an exchange under way; a round
  // still being sent then stays in the outbox.
  std::chrono::milliseconds stopWait{1500};
};

// What became of one send, from the server's answer.
struct SendVerdict {
  enum class Kind { Sent, Refused, Kept };
  Kind kind = Kind::Kept;
  std::string line;  // "rank 3 of 12", "sent", "not sent: ..."
};
// Ranked (201, 200), refused for good (400, 403, 409, 413, 422), or worth
// sending again (no answer, 429, 5xx, anything else).
SendVerdict JudgeAnswer(const HttpAnswer& answer);

// The meta file beside a kept round's file.
inline constexpr const char* kOutboxTokenSuffix = ".token";

class RoundSender {
 public:
  // Starts the thread, which first sends every round of the outbox again.
  explicit RoundSender(SenderSetup setup);
  // Stops taking work; waits for the exchange under way at most stopWait.
  // Rounds whose turn had not come are kept in the outbox.
  ~RoundSender();
  RoundSender(const RoundSender&) = delete;
  RoundSender& operator=(const RoundSender&) = delete;

  // A daily round begins: a token is asked for.
  void RoundStarted();
  // That round ended as this replay file (named as in the Replays folder).
  void RoundEnded(std::string fileName, std::vector<std::uint8_t> bytes);

  // The line for the results page of the last round started: "" before any,
  // then "sending...", "rank R of N", "sent" or "not sent: ...".
  std::string RoundLine() const;
  // The next line about a round kept from before, once its answer is in.
  std::optional<std::string> TakeNotice();
  // Whether every job posted so far is done, waiting at most wait for it.
  bool WaitIdle(std::chrono::milliseconds wait) const;

  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
};

}  // namespace vtr::online
