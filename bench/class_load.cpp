// A class of 60 students on bessel-recurrence-web, on loopback: each student's browser holds one
// connection and asks, after a pause to read, for a class-sized experiment (M <= 200, three seed
// formats, a function, x and M of its own choosing, so that the cache rarely helps); a few of
// them ask for M = 10000 instead. Prints, for the class-sized and the heavy requests apart, how
// many were answered 200 and 503, the latencies' median and 99th percentile, and the requests
// answered per second.
//
//   bench/class_load [SECONDS] [STUDENTS] [HEAVY_STUDENTS]   (default 20 60 4)
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/web_server.hpp"

namespace {

using Clock = std::chrono::steady_clock;

// One GET on a kept-alive connection, as a browser sends it; the status, or 0 when the
// connection failed (it is closed then, and -1 left in socket_fd).
int Get(int& socket_fd, int port, const std::string& target) {
  if (socket_fd < 0) socket_fd = testing_support::ConnectLoopback(port);
  if (socket_fd < 0) return 0;
  const std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  if (send(socket_fd, request.data(), request.size(), MSG_NOSIGNAL) !=
      static_cast<ssize_t>(request.size())) {
    close(socket_fd);
    socket_fd = -1;
    return 0;
  }
  std::string received;
  size_t head_end = std::string::npos, length = 0;
  char chunk[65536];
  for (;;) {
    if (head_end == std::string::npos) {
      head_end = received.find("\r\n\r\n");
      if (head_end != std::string::npos) {
        const size_t at = received.find("Content-Length: ");
        length = at < head_end ? std::strtoul(received.c_str() + at + 16, nullptr, 10) : 0;
      }
    }
    if (head_end != std::string::npos && received.size() >= head_end + 4 + length) break;
    const ssize_t count = recv(socket_fd, chunk, sizeof chunk, 0);
    if (count <= 0) {
      close(socket_fd);
      socket_fd = -1;
      return 0;
    }
    received.append(chunk, static_cast<size_t>(count));
  }
  const int status = received.size() > 12 ? std::atoi(received.c_str() + 9) : 0;
  if (received.find("Connection: close") < head_end) {
    close(socket_fd);
    socket_fd = -1;
  }
  return status;
}

struct Tally {
  std::mutex mutex;
  std::vector<double> milliseconds;  // of the requests answered 200
  long ok = 0, busy = 0, failed = 0;
  void Add(int status, double ms) {
    const std::lock_guard lock(mutex);
    if (status == 200) {
      ++ok;
      milliseconds.push_back(ms);
    } else if (status == 503) {
      ++busy;
    } else {
      ++failed;
    }
  }
  void Print(const char* what, double seconds) {
    std::sort(milliseconds.begin(), milliseconds.end());
    const auto at = [&](double q) {
      return milliseconds.empty()
                 ? 0.0
                 : milliseconds[std::min(milliseconds.size() - 1,
                                         static_cast<size_t>(q * milliseconds.size()))];
    };
    std::printf("%-12s %6ld ok %5ld 503 %4ld failed  p50 %8.1f ms  p99 %8.1f ms  %7.1f req/s\n",
                what, ok, busy, failed, at(0.50), at(0.99), ok / seconds);
  }
};

}  // namespace

int main(int argc, char* argv[]) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 20;
  const int students = argc > 2 ? std::atoi(argv[2]) : 60;
  const int heavy_students = argc > 3 ? std::atoi(argv[3]) : 4;
  std::signal(SIGPIPE, SIG_IGN);
  testing_support::WebServerProcess server(BESSEL_WEB_PROGRAM);
  if (server.port() <= 0) {
    std::fprintf(stderr, "class_load: the server did not start\n");
    return 1;
  }
  static constexpr const char* kFunctions[] = {"J", "Y", "I", "K", "j", "y"};
  Tally light, heavy;
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  std::vector<std::thread> threads;
  for (int student = 0; student < students; ++student) {
    threads.emplace_back([&, student] {
      std::mt19937 random(static_cast<unsigned>(student) + 1);
      const bool is_heavy = student < heavy_students;
      int socket_fd = -1;
      while (Clock::now() < end) {
        // A pause to read the page: 0.5 to 2 s.
        std::this_thread::sleep_for(std::chrono::milliseconds(500 + random() % 1500));
        const std::string function = kFunctions[random() % 6];
        const long orders = is_heavy ? 10000 : 20 + static_cast<long>(random() % 181);
        const std::string x =
            std::to_string(1 + random() % 50) + "." + std::to_string(random() % 1000);
        const std::string target = "/api/run?function=" + function + "&x=" + x +
                                   "&orders=" + std::to_string(orders) +
                                   "&formats=binary32,binary64,binary128";
        const auto started = Clock::now();
        const int status = Get(socket_fd, server.port(), target);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
        (is_heavy ? heavy : light).Add(status, ms);
      }
      if (socket_fd >= 0) close(socket_fd);
    });
  }
  for (std::thread& thread : threads) thread.join();
  server.Stop(SIGTERM, std::chrono::seconds(30));
  std::printf("%d students (%d asking for M = 10000) for %.0f s, %u processors:\n", students,
              heavy_students, seconds, std::thread::hardware_concurrency());
  light.Print("class-sized", seconds);
  heavy.Print("M = 10000", seconds);
  return 0;
}
