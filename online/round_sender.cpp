#include "online/round_sender.h"

#ifndef __EMSCRIPTEN__
#include <nlohmann/json.hpp>
#include <openssl/sha.h>
#endif
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

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

std::string Hex(const unsigned char* bytes, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * size);
  for (std::size_t i = 0; i < size; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 0x0f];
  }
  return hex;
}

bool IsHex(const std::string& text, std::size_t digits) {
  return text.size() == digits &&
         std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

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

#ifndef __EMSCRIPTEN__
// The member name of the server's JSON answer, when it is an object that has one.
const nlohmann::json* Member(const nlohmann::json& answer, const std::string& name) {
  if (!answer.is_object()) return nullptr;
  const auto found = answer.find(name);
  return found == answer.end() ? nullptr : &*found;
}
#endif

// The text of "name" in the answer; "" when there is none.
std::string JsonText(const std::string& body, const std::string& name) {
#ifndef __EMSCRIPTEN__
  const nlohmann::json answer = nlohmann::json::parse(body, nullptr, false);
  const nlohmann::json* value = Member(answer, name);
  if (value && value->is_string()) return value->get<std::string>();
#else
  (void)body;
  (void)name;
#endif
  return "";
}

// The whole number of "name" (0 to 10^14); nullopt when there is none.
std::optional<long long> JsonNumber(const std::string& body, const std::string& name) {
#ifndef __EMSCRIPTEN__
  constexpr long long kLargest = 100'000'000'000'000;
  const nlohmann::json answer = nlohmann::json::parse(body, nullptr, false);
  const nlohmann::json* value = Member(answer, name);
  if (value && value->is_number_integer()) {
    const auto number = value->get<long long>();
    if (number >= 0 && number <= kLargest) return number;
  }
#else
  (void)body;
  (void)name;
#endif
  return std::nullopt;
}

std::string ServerReason(const HttpAnswer& answer) {
  const std::string reason = OneLine(JsonText(answer.body, "error"));
  return reason.empty() ? "the server answered HTTP " + std::to_string(answer.status) : reason;
}

// What a job does.
struct Job {
  enum class Kind { Token, Finish, Resend };
  Kind kind = Kind::Token;
  std::uint64_t round = 0;
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
  if (!IsHex(*token, kTokenDigits)) return false;
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

struct RoundSender::Shared {
  explicit Shared(SenderSetup given) : setup(std::move(given)) {}

  // Worker side.
  void Run();
  void Do(Job& job);
  std::string AskToken();
  void Stamp(const std::string& token, const std::vector<std::uint8_t>& bytes);
  SendVerdict Send(const std::string& fileName, const std::vector<std::uint8_t>& bytes, const std::string& token);
  bool EnsureKey(std::string* why);
  HttpAnswer Post(const std::string& path, std::vector<std::pair<std::string, std::string>> headers, std::string body,
                  long timeoutSeconds);

  SenderSetup setup;  // the key is filled in by the worker only
  mutable std::mutex mutex;
  mutable std::condition_variable changed;
  std::deque<Job> jobs;
  bool listed = false;  // the outbox has been looked through
  bool busy = false;
  bool stop = false;
  bool exited = false;
  std::uint64_t round = 0;  // the last round started
  // The tokens of the last rounds started whose end has not been sent yet
  // ("" when none came).
  std::map<std::uint64_t, std::string> tokens;
  std::string line;  // the last round's
  std::deque<std::string> notices;
};

void RoundSender::Shared::Run() {
  // Rounds kept by an earlier start go out after any token a round now
  // starting asks for.
  std::vector<std::string> kept;
  std::error_code error;
  for (fs::directory_iterator it(setup.outbox, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    const std::size_t suffix = std::string(kRoundSuffix).size();
    if (name.size() > suffix && name.compare(name.size() - suffix, suffix, kRoundSuffix) == 0) kept.push_back(name);
  }
  std::sort(kept.begin(), kept.end());
  std::unique_lock lock(mutex);
  for (const std::string& name : kept) jobs.push_back({Job::Kind::Resend, 0, name, {}});
  listed = true;
  changed.notify_all();
  for (;;) {
    changed.wait(lock, [this] { return stop || !jobs.empty(); });
    if (stop) break;
    Job job = std::move(jobs.front());
    jobs.pop_front();
    busy = true;
    lock.unlock();
    Do(job);
    lock.lock();
    busy = false;
    changed.notify_all();
  }
  exited = true;
  changed.notify_all();
}

void RoundSender::Shared::Do(Job& job) {
  switch (job.kind) {
    case Job::Kind::Token: {
      const std::string got = AskToken();
      std::lock_guard lock(mutex);
      tokens[job.round] = got;
      while (tokens.size() > 8) tokens.erase(tokens.begin());
      return;
    }
    case Job::Kind::Finish: {
      std::string held;
      {
        std::lock_guard lock(mutex);
        if (const auto found = tokens.find(job.round); found != tokens.end()) {
          held = found->second;
          tokens.erase(found);
        }
        if (held.empty() && round == job.round) line = kNoToken;
      }
      if (held.empty()) return;
      // Kept before anything is sent: a game closed during the exchanges
      // leaves the round for the next start.
      const bool kept = Keep(setup.outbox, job.fileName, job.bytes, held);
      if (!kept) std::fprintf(stderr, "The round could not be kept in %s to be sent again\n", setup.outbox.c_str());
      Stamp(held, job.bytes);
      SendVerdict verdict = Send(job.fileName, job.bytes, held);
      if (verdict.kind == SendVerdict::Kind::Kept && !kept) {
        verdict.line = verdict.line.substr(0, verdict.line.size() - std::string(kAgain).size()) +
                       "; it could not be kept to be sent again";
      }
      std::lock_guard lock(mutex);
      if (round == job.round) line = verdict.line;
      return;
    }
    case Job::Kind::Resend: {
      std::vector<std::uint8_t> bytes;
      std::string held;
      if (!ReadKept(fs::path(setup.outbox) / job.fileName, &bytes, &held)) return;  // another copy's, or broken
      const SendVerdict verdict = Send(job.fileName, bytes, held);
      std::lock_guard lock(mutex);
      notices.push_back("World, a round kept from before: " + verdict.line);
      return;
    }
  }
}

HttpAnswer RoundSender::Shared::Post(const std::string& path, std::vector<std::pair<std::string, std::string>> headers,
                                     std::string body, long timeoutSeconds) {
  HttpRequest request;
  request.method = "POST";
  request.url = setup.settings.server + path;
  request.headers = std::move(headers);
  request.body = std::move(body);
  request.timeoutSeconds = timeoutSeconds;
  return Exchange(request);
}

std::string RoundSender::Shared::AskToken() {
  const HttpAnswer answer = Post("/api/v1/daily/token", {{"Content-Type", "text/plain"}}, "", setup.timeoutSeconds);
  const std::string got = answer.status == 201 ? JsonText(answer.body, "token") : "";
  return IsHex(got, kTokenDigits) ? got : "";
}

void RoundSender::Shared::Stamp(const std::string& held, const std::vector<std::uint8_t>& bytes) {
#ifdef __EMSCRIPTEN__
  (void)held;
  (void)bytes;  // the browser build sends nothing
#else
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(bytes.data(), bytes.size(), digest);
  // Unanswered, the round is measured to its sending instead; nothing else
  // to do about it.
  (void)Post("/api/v1/daily/stamp", {{"X-Vantor-Token", held}, {"Content-Type", "text/plain"}},
             Hex(digest, sizeof digest), setup.timeoutSeconds);
#endif
}

bool RoundSender::Shared::EnsureKey(std::string* why) {
  if (!setup.settings.key.empty()) return true;
  unsigned char random[16];
  if (getentropy(random, sizeof random) != 0) {
    *why = "no key could be made (the system gave no random bytes)";
    return false;
  }
  OnlineSettings withKey = setup.settings;
  withKey.key = Hex(random, sizeof random);
  // Written before it is used: a key sent and then lost would leave the name
  // claimed by a key nobody holds.
  if (!SaveOnlineSettings(setup.settingsFile, withKey)) {
    *why = "the player's key could not be written to " + setup.settingsFile;
    return false;
  }
  setup.settings = withKey;
  return true;
}

SendVerdict RoundSender::Shared::Send(const std::string& fileName, const std::vector<std::uint8_t>& bytes,
                                      const std::string& held) {
  std::string why;
  if (!EnsureKey(&why)) return {SendVerdict::Kind::Kept, "not sent: " + why + kAgain};
  const HttpAnswer answer =
      Post("/api/v1/rounds",
           {{"X-Vantor-Player", setup.settings.name + ":" + setup.settings.key}, {"X-Vantor-Token", held}},
           std::string(bytes.begin(), bytes.end()), setup.sendTimeoutSeconds);
  const SendVerdict verdict = JudgeAnswer(answer);
  if (verdict.kind != SendVerdict::Kind::Kept) Forget(setup.outbox, fileName);
  return verdict;
}

RoundSender::RoundSender(SenderSetup setup) : shared_(std::make_shared<Shared>(std::move(setup))) {
  // The thread holds the shared state too: a thread left to finish an
  // exchange at the game's end never reaches freed memory.
  std::thread([shared = shared_] { shared->Run(); }).detach();
}

RoundSender::~RoundSender() {
  std::vector<std::pair<Job, std::string>> left;  // with their tokens
  std::unique_lock lock(shared_->mutex);
  shared_->stop = true;
  for (Job& job : shared_->jobs) {
    const auto found = shared_->tokens.find(job.round);
    if (job.kind == Job::Kind::Finish && found != shared_->tokens.end() && !found->second.empty()) {
      left.emplace_back(std::move(job), found->second);
    }
  }
  shared_->jobs.clear();
  shared_->changed.notify_all();
  // The exchange under way ends within its time-out; the game does not
  // wait that long for it.
  shared_->changed.wait_for(lock, shared_->setup.stopWait, [this] { return shared_->exited; });
  lock.unlock();
  for (const auto& [job, token] : left) {
    if (!Keep(shared_->setup.outbox, job.fileName, job.bytes, token)) {
      std::fprintf(stderr, "The round could not be kept in %s to be sent again\n", shared_->setup.outbox.c_str());
    }
  }
}

void RoundSender::RoundStarted() {
  std::lock_guard lock(shared_->mutex);
  const std::uint64_t round = ++shared_->round;
  shared_->line.clear();
  // Ahead of rounds kept from before: the token's time is the round's start.
  shared_->jobs.push_front({Job::Kind::Token, round, {}, {}});
  shared_->changed.notify_all();
}

void RoundSender::RoundEnded(std::string fileName, std::vector<std::uint8_t> bytes) {
  std::lock_guard lock(shared_->mutex);
  shared_->line = "sending...";
  shared_->jobs.push_back({Job::Kind::Finish, shared_->round, std::move(fileName), std::move(bytes)});
  shared_->changed.notify_all();
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

bool RoundSender::WaitIdle(std::chrono::milliseconds wait) const {
  std::unique_lock lock(shared_->mutex);
  return shared_->changed.wait_for(lock, wait, [this] {
    return shared_->listed && shared_->jobs.empty() && !shared_->busy;
  });
}

}  // namespace vtr::online
