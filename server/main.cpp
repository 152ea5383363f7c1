// vantor-server: the world table of today's challenge.
//   vantor-server [--listen ADDRESS:PORT] [--data DIR] [--database postgresql://...] [--workers N]
//                [--web DIR] [--rate-player BURST/SECONDS] [--rate-address BURST/SECONDS]
// (and `vantor-server --worker ...`, the verifier it starts itself)
// SIGINT or SIGTERM stops it after the requests under way.
#include <pthread.h>
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "server/world_server.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: vantor-server [--listen ADDRESS:PORT] [--data DIR] [--database URL] [--workers N] [--web DIR]\n"
               "                     [--rate-player BURST/SECONDS] [--rate-address BURST/SECONDS]\n"
               "  --listen    where to answer (127.0.0.1:8470)\n"
               "  --data      the server's folder, and of its database world.sqlite (the current one)\n"
               "  --database  keep the table in PostgreSQL instead: postgresql://USER@HOST/DB\n"
               "  --workers   processes that play rounds again (one per core)\n"
               "  --web       the browser build's folder (index.html), served under /play/\n"
               "  --rate-player, --rate-address\n"
               "              rounds a name may send, and requests an address may make: a burst, then\n"
               "              one every SECONDS (5/12 and 20/3; behind a proxy every player has its address)\n");
  return 2;
}

bool ParseListen(const std::string& text, std::string* host, int* port) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  const char* begin = text.data() + colon + 1;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(begin, end, *port);
  if (ec != std::errc() || ptr != end || begin == end || *port < 0 || *port > 65535) return false;
  *host = text.substr(0, colon);
  return true;
}

// "BURST/SECONDS", each a whole number from 1 to a million.
bool ParseRate(const std::string& text, vtr::server::Rate* rate) {
  const std::size_t slash = text.find('/');
  if (slash == std::string::npos) return false;
  auto whole = [](const char* begin, const char* end, std::int64_t* value) {
    const auto [ptr, ec] = std::from_chars(begin, end, *value);
    return begin != end && ec == std::errc() && ptr == end && *value >= 1 && *value <= 1000000;
  };
  return whole(text.data(), text.data() + slash, &rate->burst) &&
         whole(text.data() + slash + 1, text.data() + text.size(), &rate->everySeconds);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--worker") == 0) return vtr::server::WorkerMain(argc, argv);
  vtr::server::ServerOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--listen" && i + 1 < argc) {
      if (!ParseListen(argv[++i], &options.host, &options.port)) return Usage();
    } else if (arg == "--data" && i + 1 < argc) {
      options.dataFolder = argv[++i];
    } else if (arg == "--database" && i + 1 < argc) {
      options.database = argv[++i];
    } else if (arg == "--web" && i + 1 < argc) {
      options.webFolder = argv[++i];
    } else if (arg == "--rate-player" && i + 1 < argc) {
      if (!ParseRate(argv[++i], &options.perPlayer)) return Usage();
    } else if (arg == "--rate-address" && i + 1 < argc) {
      if (!ParseRate(argv[++i], &options.perAddress)) return Usage();
    } else if (arg == "--workers" && i + 1 < argc) {
      const std::string count = argv[++i];
      const auto [ptr, ec] = std::from_chars(count.data(), count.data() + count.size(), options.pool.workers);
      if (ec != std::errc() || ptr != count.data() + count.size() || options.pool.workers < 1 || options.pool.workers > 256) {
        return Usage();
      }
    } else {
      return Usage();
    }
  }
  // Every thread (the game's and the library's too) inherits the blocked
  // signals; one waiter takes them and stops the server.
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stops, nullptr);

  vtr::server::WorldServer server(options);
  std::string error;
  if (!server.Start(&error)) {
    std::fprintf(stderr, "vantor-server: %s\n", error.c_str());
    return 1;
  }
  std::printf("vantor-server: listening on %s:%d\n", options.host.c_str(), server.port());
  std::fflush(stdout);
  std::thread waiter([&server, stops] {
    int signal = 0;
    sigwait(&stops, &signal);
    server.Stop();
  });
  server.Run();
  // Ended by a signal; anything else wakes the waiter the same way.
  pthread_kill(waiter.native_handle(), SIGTERM);
  waiter.join();
  return 0;
}
