// The browser's exchanges, through emscripten's fetch (the browser's own
// XMLHttpRequest). A page may only ask its own server, so the game in the
// browser plays online with the world server that serves its page.
#include <emscripten/fetch.h>

#include <charconv>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "online/http_exchange.h"

namespace vtr::online {
namespace {

// One exchange under way: what the fetch reads from, and who is told.
struct Pending {
  HttpRequest request;
  std::vector<std::string> headerTexts;
  std::vector<const char*> headers;  // name, value, ..., nullptr
  Answered answered;
};

// The seconds of a Retry-After line among the answer's headers; 0 when none.
long RetryAfter(emscripten_fetch_t* fetch) {
  const std::size_t length = emscripten_fetch_get_response_headers_length(fetch);
  if (length == 0 || length > kMaxAnswerBytes) return 0;
  std::string text(length + 1, '\0');
  emscripten_fetch_get_response_headers(fetch, text.data(), text.size());
  text.resize(length);
  for (char& c : text) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  constexpr std::string_view kName = "retry-after:";
  const std::size_t at = text.find(kName);
  if (at == std::string::npos || (at > 0 && text[at - 1] != '\n')) return 0;
  std::string_view value(text);
  value.remove_prefix(at + kName.size());
  while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
  long seconds = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
  return error == std::errc() && end != value.data() && seconds > 0 && seconds < 24 * 3600 ? seconds : 0;
}

// Both ends of a fetch: an HTTP status of 400 and more comes as an error
// too, with its body, and a fetch that got no answer has status 0.
void Finished(emscripten_fetch_t* fetch) {
  // Closing a fetch the browser has not marked done calls this again.
  if (fetch->userData == nullptr) return;
  std::unique_ptr<Pending> pending(static_cast<Pending*>(fetch->userData));
  fetch->userData = nullptr;
  HttpAnswer answer;
  answer.status = fetch->status;
  if (answer.status == 0) {
    answer.error = "no answer from the server";
  } else if (fetch->numBytes > kMaxAnswerBytes) {
    answer.status = 0;
    answer.error = "the server's answer was larger than a table or a replay can be";
  } else {
    if (fetch->data != nullptr) answer.body.assign(fetch->data, static_cast<std::size_t>(fetch->numBytes));
    answer.retryAfterSeconds = RetryAfter(fetch);
  }
  emscripten_fetch_close(fetch);
  pending->answered(std::move(answer));
}

}  // namespace

void StartExchange(const HttpRequest& request, Answered answered) {
  auto pending = std::make_unique<Pending>();
  pending->request = request;
  pending->answered = std::move(answered);
  bool typed = false;
  for (const auto& [name, value] : request.headers) {
    pending->headerTexts.push_back(name);
    pending->headerTexts.push_back(value);
    typed = typed || name == "Content-Type";
  }
  if (request.method == "POST" && !typed) {
    pending->headerTexts.emplace_back("Content-Type");
    pending->headerTexts.emplace_back("application/octet-stream");
  }
  for (const std::string& text : pending->headerTexts) pending->headers.push_back(text.c_str());
  pending->headers.push_back(nullptr);

  emscripten_fetch_attr_t attributes;
  emscripten_fetch_attr_init(&attributes);
  std::strncpy(attributes.requestMethod, request.method.c_str(), sizeof attributes.requestMethod - 1);
  // From the network every time, into memory; never the fetch's own cache.
  attributes.attributes = EMSCRIPTEN_FETCH_LOAD_TO_MEMORY | EMSCRIPTEN_FETCH_REPLACE;
  attributes.timeoutMSecs = static_cast<unsigned long>(request.timeoutSeconds) * 1000;
  attributes.requestHeaders = pending->headers.data();
  if (request.method == "POST") {
    attributes.requestData = pending->request.body.data();
    attributes.requestDataSize = pending->request.body.size();
  }
  attributes.onsuccess = Finished;
  attributes.onerror = Finished;
  attributes.userData = pending.get();
  const std::string url = pending->request.url;
  // The fetch owns what it reads until Finished takes it back.
  Pending* held = pending.release();
  if (emscripten_fetch(&attributes, url.c_str()) == nullptr) {
    std::unique_ptr<Pending> back(held);
    HttpAnswer answer;
    answer.error = "the browser could not start a request";
    back->answered(std::move(answer));
  }
}

}  // namespace vtr::online
