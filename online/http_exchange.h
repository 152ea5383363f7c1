// One HTTP exchange with the world server. It blocks until the answer is in
// or the time runs out, so the game only ever calls it from a thread of its
// own, never from a frame. Only this file's implementation knows libcurl.
#pragma once

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

HttpAnswer Exchange(const HttpRequest& request);

}  // namespace vtr::online
