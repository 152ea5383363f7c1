// vantor-server's command line, run as the real program: the rate options
// are refused out of their bounds (usage, status 2), and in bounds they are
// the rates a client meets (the address's burst, then 429 with the wait).
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

struct Started {
  pid_t pid = -1;
  FILE* out = nullptr;  // the server's standard output
};

Started Start(std::vector<std::string> args) {
  int pipe[2];
  EXPECT_EQ(::pipe(pipe), 0);
  Started started;
  started.pid = fork();
  if (started.pid == 0) {
    dup2(pipe[1], STDOUT_FILENO);
    close(pipe[0]);
    std::vector<char*> argv;
    args.insert(args.begin(), VANTOR_SERVER_PROGRAM);
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    freopen("/dev/null", "w", stderr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(pipe[1]);
  started.out = fdopen(pipe[0], "r");
  return started;
}

int Wait(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(ServerMain, RateOptionsOutOfBoundsAreUsage) {
  for (const char* rate : {"0/12", "5/0", "5", "5/", "/12", "5/12x", "-1/12", "1000001/1", "5/1000001"}) {
    for (const char* option : {"--rate-player", "--rate-address"}) {
      Started server = Start({option, rate, "--listen", "127.0.0.1:0", "--data", "/proc/vantor-none"});
      fclose(server.out);
      EXPECT_EQ(Wait(server.pid), 2) << option << " " << rate;
    }
  }
}

TEST(ServerMain, TheAddressRateIsTheOneGiven) {
  testing_support::TempDir dir;
  Started server = Start({"--rate-address", "2/60", "--rate-player", "1000000/1", "--listen", "127.0.0.1:0",
                          "--data", dir.path().string(), "--workers", "1"});
  char line[256] = {};
  int port = 0;
  ASSERT_NE(fgets(line, sizeof line, server.out), nullptr) << "the server said nothing";
  ASSERT_EQ(std::sscanf(line, "vantor-server: listening on 127.0.0.1:%d", &port), 1) << line;
  httplib::Client client("127.0.0.1", port);
  std::vector<int> statuses;
  std::string wait;
  for (int i = 0; i < 3; ++i) {
    const auto res = client.Post("/api/v1/daily/token", "", "text/plain");
    statuses.push_back(res ? res->status : 0);
    if (res && res->status == 429) wait = res->get_header_value("Retry-After");
  }
  EXPECT_EQ(statuses, (std::vector<int>{201, 201, 429}));
  EXPECT_EQ(wait, "60");  // the burst of 2 is spent: one more every 60 s
  kill(server.pid, SIGTERM);
  fclose(server.out);
  EXPECT_EQ(Wait(server.pid), 0);
}

}  // namespace
