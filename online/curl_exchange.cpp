// The desktop's exchanges, through libcurl. They block: the sender and the
// world table call them from threads of their own.
#include <curl/curl.h>

#include <charconv>
#include <memory>
#include <mutex>

#include "online/http_exchange.h"

namespace vtr::online {
namespace {

struct Received {
  std::string body;
  bool tooLarge = false;
  long retryAfter = 0;
};

size_t TakeBody(char* data, size_t size, size_t count, void* user) {
  auto* received = static_cast<Received*>(user);
  const size_t bytes = size * count;  // curl keeps size at 1
  if (received->body.size() + bytes > kMaxAnswerBytes) {
    received->tooLarge = true;
    return 0;  // ends the transfer
  }
  received->body.append(data, bytes);
  return bytes;
}

size_t TakeHeader(char* data, size_t size, size_t count, void* user) {
  auto* received = static_cast<Received*>(user);
  const size_t bytes = size * count;
  constexpr std::string_view kName = "retry-after:";
  std::string_view line(data, bytes);
  if (line.size() > kName.size()) {
    bool match = true;
    for (size_t i = 0; i < kName.size() && match; ++i) {
      const char c = line[i] >= 'A' && line[i] <= 'Z' ? static_cast<char>(line[i] - 'A' + 'a') : line[i];
      match = c == kName[i];
    }
    if (match) {
      line.remove_prefix(kName.size());
      while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
      long seconds = 0;
      const auto [ptr, ec] = std::from_chars(line.data(), line.data() + line.size(), seconds);
      if (ec == std::errc() && ptr != line.data() && seconds > 0 && seconds < 24 * 3600) received->retryAfter = seconds;
    }
  }
  return bytes;
}

void StartCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct HeaderListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

}  // namespace

HttpAnswer Exchange(const HttpRequest& request) {
  StartCurlOnce();
  HttpAnswer answer;
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) {
    answer.error = "no network client could be started";
    return answer;
  }
  Received received;
  curl_slist* rawHeaders = nullptr;
  bool typed = false;
  for (const auto& [name, value] : request.headers) {
    rawHeaders = curl_slist_append(rawHeaders, (name + ": " + value).c_str());
    if (name == "Content-Type") typed = true;
  }
  if (request.method == "POST" && !typed) rawHeaders = curl_slist_append(rawHeaders, "Content-Type: application/octet-stream");
  std::unique_ptr<curl_slist, HeaderListDeleter> headers(rawHeaders);

  CURL* handle = curl.get();
  curl_easy_setopt(handle, CURLOPT_URL, request.url.c_str());
  // Only the world server's own schemes; never a redirect elsewhere.
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);  // a game thread: no SIGALRM for name lookups
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, request.timeoutSeconds);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, request.timeoutSeconds < 10 ? request.timeoutSeconds : 10L);
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, TakeBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &received);
  curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, TakeHeader);
  curl_easy_setopt(handle, CURLOPT_HEADERDATA, &received);
  if (request.method == "POST") {
    curl_easy_setopt(handle, CURLOPT_POST, 1L);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, request.body.data());
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
  }
  const CURLcode result = curl_easy_perform(handle);
  if (received.tooLarge) {
    answer.error = "the server's answer was larger than a table or a replay can be";
    return answer;
  }
  if (result != CURLE_OK) {
    answer.error = curl_easy_strerror(result);
    return answer;
  }
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &answer.status);
  answer.body = std::move(received.body);
  answer.retryAfterSeconds = received.retryAfter;
  return answer;
}

void StartExchange(const HttpRequest& request, Answered answered) { answered(Exchange(request)); }

}  // namespace vtr::online
