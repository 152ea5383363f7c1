// One HTTP exchange with the world server. On the desktop it goes through
// libcurl and blocks until the answer is in or the time runs out, so the
// game only ever makes one from a thread of its own, never from a frame. In
// the browser it is the browser's own fetch, which never blocks: its answer
// comes between two frames.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vtr::online {

struct HttpRequest {
  std::string method = "GET";  // GET or POST
  std::string url;             // http://host:port/path?query
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;  // POST only, sent as application/octet-stream unless a header says otherwise
  long timeoutSeconds = 20;
};

struct HttpAnswer {
  // The HTTP status; 0 when no answer came (error then says why).
  long status = 0;
  std::string body;  // at most kMaxAnswerBytes; a longer answer is an error
  std::string error;
  // Retry-After, in seconds, when the server gave one; 0 otherwise.
  long retryAfterSeconds = 0;
};

// An answer larger than this is cut off and reported as an error: a table of
// a thousand lines stays far below it, a replay below 64 KB.
inline constexpr std::size_t kMaxAnswerBytes = 1024 * 1024;

// Called once with an exchange's answer.
using Answered = std::function<void(HttpAnswer)>;

// Starts an exchange. On the desktop it is done, and answered called on the
// calling thread, before this returns; in the browser answered runs later,
// on the page's one thread between two frames, and the request's bytes are
// copied before this returns.
void StartExchange(const HttpRequest& request, Answered answered);

#ifndef __EMSCRIPTEN__
// The desktop's exchange, blocking, answer returned.
HttpAnswer Exchange(const HttpRequest& request);
#endif

}  // namespace vtr::online
