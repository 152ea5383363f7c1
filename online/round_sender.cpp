#include "online/round_sender.h"

#include <nlohmann/json.hpp>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>

#include "helpers/hex.h"
#include "platform/atomic_file.h"
#include "platform/checked_file.h"

namespace vtr::online {

namespace fs = std::filesystem;

namespace {

// A daily round's file is never larger (the server takes no larger one).
constexpr std::size_t kMaxRoundBytes = 64 * 1024;
constexpr std::size_t kMaxServerLine = 160;
constexpr std::size_t kTokenDigits = 32;
constexpr const char* kRoundSuffix = ".vtreplay";
constexpr const char* kNoToken = "not sent: no round token (the server could not be reached as the round began)";
constexpr const char* kAgain = "; it is sent again at the next start";

// A server's text made fit for the menu's font and one line: printable
// ASCII, cut short.
std::string OneLine(const std::string& text) {
  std::string line;
  for (const char c : text) {
    if (line.size() == kMaxServerLine) {
      line += "...";
      break;
    }
    line += c >= ' ' && c < 127 ? c : '?';
  }
  return line;
}

// The member name of the server's JSON answer, when it is an object that has one.
const nlohmann::json* Member(const nlohmann::json& answer, const std::string& name) {
  if (!answer.is_object()) return nullptr;
  const auto found = answer.find(name);
  return found == answer.end() ? nullptr : &*found;
}

// The text of "name" in the answer; "" when there is none.
std::string JsonText(const std::string& body, const std::string& name) {
  const nlohmann::json answer = nlohmann::json::parse(body, nullptr, false);
  const nlohmann::json* value = Member(answer, name);
  if (value && value->is_string()) return value->get<std::string>();
  return "";
}

// The whole number of "name" (0 to 10^14); nullopt when there is none.
std::optional<long long> JsonNumber(const std::string& body, const std::string& name) {
  constexpr long long kLargest = 100'000'000'000'000;
  const nlohmann::json answer = nlohmann::json::parse(body, nullptr, false);
  const nlohmann::json* value = Member(answer, name);
  if (value && value->is_number_integer()) {
    const auto number = value->get<long long>();
    if (number >= 0 && number <= kLargest) return number;
  }
  return std::nullopt;
}

std::string ServerReason(const HttpAnswer& answer) {
  const std::string reason = OneLine(JsonText(answer.body, "error"));
  return reason.empty() ? "the server answered HTTP " + std::to_string(answer.status) : reason;
}

// A round that has ended and waits for its turn to be sent.
struct Ended {
  std::string fileName;
  std::vector<std::uint8_t> bytes;
};

fs::path MetaPath(const fs::path& round) { return fs::path(round.string() + kOutboxTokenSuffix); }

// Keeps a round and its token in the outbox: the meta file first, so a
// round file found there always has its token.
bool Keep(const std::string& outbox, const std::string& fileName, const std::vector<std::uint8_t>& bytes,
          const std::string& token) {
  std::error_code error;
  fs::create_directories(outbox, error);
  const fs::path round = fs::path(outbox) / fileName;
  if (!platform::WriteFileAtomically(MetaPath(round).string(), "Token " + token + "\n").ok) return false;
  return platform::WriteFileAtomically(round.string(), std::string_view(reinterpret_cast<const char*>(bytes.data()),
                                                                        bytes.size()))
      .ok;
}

void Forget(const std::string& outbox, const std::string& fileName) {
  std::error_code error;
  const fs::path round = fs::path(outbox) / fileName;
  fs::remove(round, error);
  fs::remove(MetaPath(round), error);
}

// A kept round's file and token; false when either is missing or unreadable.
bool ReadKept(const fs::path& round, std::vector<std::uint8_t>* bytes, std::string* token) {
  std::string text, meta;
  bool larger = false;
  platform::CheckedFile file = platform::CheckedFile::OpenForReading(round.string(), false);
  if (!file.IsOpen() || !file.ReadUpTo(kMaxRoundBytes, &text, &larger) || larger) return false;
  platform::CheckedFile metaFile = platform::CheckedFile::OpenForReading(MetaPath(round).string(), false);
  if (!metaFile.IsOpen() || !metaFile.ReadUpTo(256, &meta, &larger) || larger) return false;
  if (meta.rfind("Token ", 0) != 0) return false;
  *token = meta.substr(6, kTokenDigits);
  if (!IsLowerHex(*token, kTokenDigits)) return false;
  bytes->assign(text.begin(), text.end());
  return true;
}

}  // namespace

SendVerdict JudgeAnswer(const HttpAnswer& answer) {
  SendVerdict verdict;
  if (answer.status == 200 || answer.status == 201) {
    verdict.kind = SendVerdict::Kind::Sent;
    const auto rank = JsonNumber(answer.body, "rank");
    const auto of = JsonNumber(answer.body, "of");
    verdict.line = rank && of && *rank >= 1 && *rank <= *of
                       ? "rank " + std::to_string(*rank) + " of " + std::to_string(*of)
                       : "sent";
    return verdict;
  }
  switch (answer.status) {
    case 400:
    case 403:
    case 409:
    case 413:
    case 422:
      verdict.kind = SendVerdict::Kind::Refused;
      verdict.line = "not sent: " + ServerReason(answer);
      return verdict;
    default:
      break;
  }
  verdict.kind = SendVerdict::Kind::Kept;
  const std::string reason = answer.status == 0 ? "the server could not be reached (" + OneLine(answer.error) + ")"
                                                : ServerReason(answer);
  verdict.line = "not sent: " + reason + kAgain;
  return verdict;
}

struct RoundSender::Shared : std::enable_shared_from_this<Shared> {
  using Done = JobLine::Done;
  using Sent = std::function<void(SendVerdict)>;

  explicit Shared(SenderSetup given) : setup(std::move(given)) {}

  // The jobs. Each calls done once when it has finished, and holds a share
  // of this until then.
  void ResendKept(const Done& done);
  void AskToken(std::uint64_t started, Done done);
  void Finish(std::uint64_t which, Done done);
  void Resend(const std::string& fileName, Done done);

  void Send(const std::string& fileName, const std::vector<std::uint8_t>& bytes, const std::string& held,
            Sent sent);
  bool EnsureKey(std::string* why);
  void Post(const std::string& path, std::vector<std::pair<std::string, std::string>> headers, std::string body,
            long timeoutSeconds, Answered answered) const;

  SenderSetup setup;  // the key is filled in by the jobs only
  JobLine jobs;
  mutable std::mutex mutex;
  std::uint64_t round = 0;  // the last round started
  // The tokens of the last rounds started whose end has not been sent yet
  // ("" when none came).
  std::map<std::uint64_t, std::string> tokens;
  // Rounds ended whose turn has not come: the game's teardown keeps those
  // with a token in the outbox.
  std::map<std::uint64_t, Ended> waiting;
  std::string line;  // the last round's
  std::deque<std::string> notices;
};

// Each round kept by an earlier start becomes a job of its own, so a token
// asked for as a round starts goes ahead of them.
void RoundSender::Shared::ResendKept(const Done& done) {
  std::vector<std::string> kept;
  std::error_code error;
  for (fs::directory_iterator it(setup.outbox, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    const std::size_t suffix = std::string(kRoundSuffix).size();
    if (name.size() > suffix && name.compare(name.size() - suffix, suffix, kRoundSuffix) == 0) kept.push_back(name);
  }
  std::sort(kept.begin(), kept.end());
  for (std::string& name : kept) {
    jobs.Post([self = shared_from_this(), name = std::move(name)](Done next) { self->Resend(name, std::move(next)); });
  }
  done();
}

void RoundSender::Shared::AskToken(std::uint64_t started, Done done) {
  Post("/api/v1/daily/token", {{"Content-Type", "text/plain"}}, "", setup.timeoutSeconds,
       [self = shared_from_this(), started, done = std::move(done)](const HttpAnswer& answer) {
         std::string got = answer.status == 201 ? JsonText(answer.body, "token") : "";
         if (!IsLowerHex(got, kTokenDigits)) got.clear();
         {
           std::lock_guard lock(self->mutex);
           self->tokens[started] = got;
           while (self->tokens.size() > 8) self->tokens.erase(self->tokens.begin());
         }
         done();
       });
}

void RoundSender::Shared::Finish(std::uint64_t which, Done done) {
  std::string held;
  Ended round;
  {
    std::lock_guard lock(mutex);
    if (const auto found = waiting.find(which); found != waiting.end()) {
      round = std::move(found->second);
      waiting.erase(found);
    }
    if (const auto found = tokens.find(which); found != tokens.end()) {
      held = found->second;
      tokens.erase(found);
    }
    if (held.empty() && this->round == which) line = kNoToken;
  }
  if (held.empty()) return done();
  // Kept before anything is sent: a game closed during the exchanges
  // leaves the round for the next start.
  const bool kept = Keep(setup.outbox, round.fileName, round.bytes, held);
  if (!kept) std::fprintf(stderr, "The round could not be kept in %s to be sent again\n", setup.outbox.c_str());
  // The end stamp carries the round's file, which the server notes by its
  // SHA-256. Unanswered, the round is measured to its sending instead;
  // nothing else to do about it.
  auto shared = std::make_shared<Ended>(std::move(round));
  Post("/api/v1/daily/stamp", {{"X-Vantor-Token", held}},
       std::string(shared->bytes.begin(), shared->bytes.end()), setup.timeoutSeconds,
       [self = shared_from_this(), which, kept, held, shared, done = std::move(done)](const HttpAnswer&) mutable {
         self->Send(shared->fileName, shared->bytes, held,
                    [self, which, kept, done = std::move(done)](SendVerdict verdict) {
                      if (verdict.kind == SendVerdict::Kind::Kept && !kept) {
                        verdict.line = verdict.line.substr(0, verdict.line.size() - std::string(kAgain).size()) +
                                       "; it could not be kept to be sent again";
                      }
                      {
                        std::lock_guard lock(self->mutex);
                        if (self->round == which) self->line = verdict.line;
                      }
                      done();
                    });
       });
}

void RoundSender::Shared::Resend(const std::string& fileName, Done done) {
  std::vector<std::uint8_t> bytes;
  std::string held;
  // Another copy of the game's, or broken: left alone.
  if (!ReadKept(fs::path(setup.outbox) / fileName, &bytes, &held)) return done();
  Send(fileName, bytes, held, [self = shared_from_this(), done = std::move(done)](const SendVerdict& verdict) {
    {
      std::lock_guard lock(self->mutex);
      self->notices.push_back("World, a round kept from before: " + verdict.line);
    }
    done();
  });
}

void RoundSender::Shared::Post(const std::string& path, std::vector<std::pair<std::string, std::string>> headers,
                               std::string body, long timeoutSeconds, Answered answered) const {
  HttpRequest request;
  request.method = "POST";
  request.url = setup.settings.server + path;
  request.headers = std::move(headers);
  request.body = std::move(body);
  request.timeoutSeconds = timeoutSeconds;
  StartExchange(request, std::move(answered));
}

bool RoundSender::Shared::EnsureKey(std::string* why) {
  if (!setup.settings.key.empty()) return true;
  unsigned char random[16];
  if (getentropy(random, sizeof random) != 0) {
    *why = "no key could be made (the system gave no random bytes)";
    return false;
  }
  OnlineSettings withKey = setup.settings;
  withKey.key = LowerHex(random, sizeof random);
  // Written before it is used: a key sent and then lost would leave the name
  // claimed by a key nobody holds.
  if (!SaveOnlineSettings(setup.settingsFile, withKey)) {
    *why = "the player's key could not be written to " + setup.settingsFile;
    return false;
  }
  setup.settings = withKey;
  return true;
}

void RoundSender::Shared::Send(const std::string& fileName, const std::vector<std::uint8_t>& bytes,
                               const std::string& held, Sent sent) {
  std::string why;
  if (!EnsureKey(&why)) return sent({SendVerdict::Kind::Kept, "not sent: " + why + kAgain});
  Post("/api/v1/rounds",
       {{"X-Vantor-Player", setup.settings.name + ":" + setup.settings.key}, {"X-Vantor-Token", held}},
       std::string(bytes.begin(), bytes.end()), setup.sendTimeoutSeconds,
       [self = shared_from_this(), fileName, sent = std::move(sent)](const HttpAnswer& answer) {
         const SendVerdict verdict = JudgeAnswer(answer);
         if (verdict.kind != SendVerdict::Kind::Kept) Forget(self->setup.outbox, fileName);
         sent(verdict);
       });
}

RoundSender::RoundSender(SenderSetup setup) : shared_(std::make_shared<Shared>(std::move(setup))) {
  shared_->jobs.Post([shared = shared_](const JobLine::Done& done) { shared->ResendKept(done); });
}

RoundSender::~RoundSender() {
  // The exchange under way ends within its time-out; the game does not
  // wait that long for it.
  shared_->jobs.Stop(shared_->setup.stopWait);
  std::map<std::uint64_t, Ended> left;
  std::map<std::uint64_t, std::string> held;
  {
    std::lock_guard lock(shared_->mutex);
    left = std::move(shared_->waiting);
    held = shared_->tokens;
  }
  for (const auto& [which, round] : left) {
    const auto token = held.find(which);
    if (token == held.end() || token->second.empty()) continue;
    if (!Keep(shared_->setup.outbox, round.fileName, round.bytes, token->second)) {
      std::fprintf(stderr, "The round could not be kept in %s to be sent again\n", shared_->setup.outbox.c_str());
    }
  }
}

void RoundSender::RoundStarted() {
  std::uint64_t started = 0;
  {
    std::lock_guard lock(shared_->mutex);
    started = ++shared_->round;
    shared_->line.clear();
  }
  // Ahead of rounds kept from before: the token's time is the round's start.
  shared_->jobs.Post([shared = shared_, started](JobLine::Done done) { shared->AskToken(started, std::move(done)); },
                     true);
}

void RoundSender::RoundEnded(std::string fileName, std::vector<std::uint8_t> bytes) {
  std::uint64_t which = 0;
  {
    std::lock_guard lock(shared_->mutex);
    shared_->line = "sending...";
    which = shared_->round;
    shared_->waiting[which] = {std::move(fileName), std::move(bytes)};
  }
  shared_->jobs.Post([shared = shared_, which](JobLine::Done done) { shared->Finish(which, std::move(done)); });
}

std::string RoundSender::RoundLine() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->line;
}

std::optional<std::string> RoundSender::TakeNotice() {
  std::lock_guard lock(shared_->mutex);
  if (shared_->notices.empty()) return std::nullopt;
  std::string notice = std::move(shared_->notices.front());
  shared_->notices.pop_front();
  return notice;
}

bool RoundSender::WaitIdle(std::chrono::milliseconds wait) const { return shared_->jobs.WaitIdle(wait); }

}  // namespace vtr::online
