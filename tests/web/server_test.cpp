// bessel-recurrence-web run for real on a loopback port the system picks: its answers against
// the lab's own bytes, its refusals, and its bounds under slow, oversized and too many requests,
// and its ending under SIGTERM.
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/support/child.hpp"
#include "tests/support/web_server.hpp"

namespace {

using namespace std::chrono_literals;
using testing_support::CommandResult;
using testing_support::ConnectLoopback;
using testing_support::Eventually;
using testing_support::ProcessorTime;
using testing_support::RunCommand;
using testing_support::TempDir;

// Milliseconds left before `deadline`, at least 0.
int MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

bool SendAll(int socket_fd, const std::string& bytes) {
  for (size_t sent = 0; sent < bytes.size();) {
    const ssize_t count = send(socket_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (count <= 0) return false;
    sent += static_cast<size_t>(count);
  }
  return true;
}

// Everything the server sends until it closes the connection, or until `limit` has passed.
std::string ReceiveAll(int socket_fd, std::chrono::milliseconds limit = 60s) {
  std::string received;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    pollfd ready{socket_fd, POLLIN, 0};
    if (poll(&ready, 1, MillisecondsLeft(deadline)) <= 0) break;
    char chunk[65536];
    const ssize_t count = recv(socket_fd, chunk, sizeof chunk, 0);
    if (count <= 0) break;
    received.append(chunk, static_cast<size_t>(count));
  }
  return received;
}

struct Reply {
  int status = 0;
  std::string head;  // the status line and headers
  std::string body;
  std::string Header(const std::string& name) const {
    const size_t at = head.find("\r\n" + name + ": ");
    if (at == std::string::npos) return "";
    const size_t start = at + name.size() + 4;
    return head.substr(start, head.find("\r\n", start) - start);
  }
};

Reply Parse(const std::string& raw) {
  Reply reply;
  const size_t end = raw.find("\r\n\r\n");
  if (raw.size() < 12 || end == std::string::npos) return reply;
  reply.status = std::atoi(raw.c_str() + 9);
  reply.head = raw.substr(0, end + 2);
  reply.body = raw.substr(end + 4);
  return reply;
}

// One request on a connection of its own, closed after the answer.
Reply Request(int port, const std::string& method, const std::string& target,
              const std::string& more_headers = "") {
  const int socket_fd = ConnectLoopback(port);
  if (socket_fd < 0) return {};
  SendAll(socket_fd, method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + more_headers +
                         "Connection: close\r\n\r\n");
  const Reply reply = Parse(ReceiveAll(socket_fd));
  close(socket_fd);
  return reply;
}
Reply Get(int port, const std::string& target) {
  return Request(port, "GET", target);
}

// What bessel-recurrence-lab prints with `options`.
std::string LabOutput(const std::vector<std::string>& options) {
  std::vector<std::string> arguments = {BESSEL_LAB_PROGRAM};
  arguments.insert(arguments.end(), options.begin(), options.end());
  const TempDir directory;
  const CommandResult result = RunCommand(arguments, directory.path(), {});
  EXPECT_EQ(result.status, 0) << result.err;
  return result.out;
}

class WebServerTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_GT(server_.port(), 0) << server_.first_line(); }
  testing_support::WebServerProcess server_{BESSEL_WEB_PROGRAM};
};

TEST_F(WebServerTest, SaysWhereToOpen) {
  EXPECT_EQ(server_.first_line(),
            "bessel-recurrence-web: serving the laboratory at http://127.0.0.1:" +
                std::to_string(server_.port()) + "/");
}

// The API's bytes are the lab's, in JSON and CSV, for every function and the parameters'
// kinds: each name the long option's, given in any order, encoded as a form encodes.
TEST_F(WebServerTest, AnswersWithTheLabsOwnBytes) {
  struct Case {
    std::string query;
    std::vector<std::string> options;
  };
  const std::vector<Case> cases = {
      {"", {}},
      {"function=J&x=1&orders=30&formats=binary32,binary64&arithmetic=binary128&seeds=rounded",
       {"--function", "J", "--x", "1", "--orders", "30", "--formats", "binary32,binary64",
        "--arithmetic", "binary128", "--seeds", "rounded"}},
      {"function=Y&x=5&orders=40&arithmetic=binary64",
       {"--function", "Y", "--x", "5", "--orders", "40", "--arithmetic", "binary64"}},
      {"orders=60&function=I&x=0.5&formats=binary16%2Cbfloat16",
       {"--function", "I", "--x", "0.5", "--orders", "60", "--formats", "binary16,bfloat16"}},
      {"function=K&x=100&orders=200&formats=x87&arithmetic=binary256",
       {"--function", "K", "--x", "100", "--orders", "200", "--formats", "x87", "--arithmetic",
        "binary256"}},
      {"function=j&x=2.5&orders=25&seeds=series",
       {"--function", "j", "--x", "2.5", "--orders", "25", "--seeds", "series"}},
      {"function=y&x=1e-3&orders=15&formats=binary64&x=3",
       {"--function", "y", "--x", "3", "--orders", "15", "--formats", "binary64"}},
      {"function=J&x=30&orders=80", {"--function", "J", "--x", "30", "--orders", "80"}},
  };
  for (const Case& test : cases) {
    for (const bool csv : {false, true}) {
      SCOPED_TRACE(test.query + (csv ? " (CSV)" : " (JSON)"));
      std::vector<std::string> options = test.options;
      options.push_back(csv ? "--csv" : "--json");
      const Reply reply = Get(server_.port(), (csv ? "/api/run.csv?" : "/api/run?") + test.query);
      EXPECT_EQ(reply.status, 200);
      EXPECT_EQ(reply.Header("Content-Type"), csv ? "text/csv; charset=utf-8" : "application/json");
      EXPECT_EQ(reply.body, LabOutput(options));
    }
  }
}

// A check's bytes are the lab's --check's: a binary32 loop with a fused multiply-add, its
// values as a file holds them (a comment, hexadecimal and decimal ones, CR LF) and as a CSV
// column, sent form-encoded.
TEST_F(WebServerTest, ChecksAStudentsValuesAsTheLabDoes) {
  std::string lines = "# mine\r\n", csv = "m,f\n";
  float f[12] = {0x1.3d7beap-1f, 0x1.0b46a2p-1f};
  for (int m = 1; m < 11; ++m) f[m + 1] = std::fma(2 * m / 1.3f, f[m], -f[m - 1]);
  for (int m = 0; m < 12; ++m) {
    char text[64];
    std::snprintf(text, sizeof text, m % 2 == 0 ? "%a" : "%.9e", static_cast<double>(f[m]));
    lines += std::string(text) + "\r\n";
    csv += std::to_string(m) + "," + text + "\n";
  }
  const TempDir directory;
  for (const auto& [content, column] : {std::pair{lines, ""}, std::pair{csv, "f"}}) {
    std::ofstream(directory.path() / "mine.txt", std::ios::binary) << content;
    std::string encoded;
    for (const char c : content) {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned char>(c));
      encoded += std::isalnum(static_cast<unsigned char>(c)) ? std::string(1, c) : escape;
    }
    const std::string query = "x=1.3&arithmetic=binary32&values=" + encoded +
                              (*column == '\0' ? "" : "&column=" + std::string(column));
    for (const bool as_csv : {false, true}) {
      SCOPED_TRACE(std::string(column) + (as_csv ? " (CSV)" : " (JSON)"));
      std::vector<std::string> options = {"--check",
                                          (directory.path() / "mine.txt").string(),
                                          "--x",
                                          "1.3",
                                          "--arithmetic",
                                          "binary32",
                                          as_csv ? "--csv" : "--json"};
      if (*column != '\0') options.insert(options.end(), {"--column", column});
      const Reply reply = Get(server_.port(), (as_csv ? "/api/check.csv?" : "/api/check?") + query);
      EXPECT_EQ(reply.status, 200) << reply.body;
      EXPECT_EQ(reply.body, LabOutput(options));
    }
  }
}

TEST_F(WebServerTest, SummaryIsTheTablesLastLines) {
  const std::string table =
      LabOutput({"--function", "J", "--x", "20", "--orders", "60", "--width", "80"});
  const Reply reply = Get(server_.port(), "/api/summary?function=J&x=20&orders=60");
  EXPECT_EQ(reply.status, 200);
  ASSERT_FALSE(reply.body.empty());
  EXPECT_TRUE(reply.body.starts_with("Summary:\n")) << reply.body;
  EXPECT_TRUE(table.ends_with("\n" + reply.body)) << reply.body;
}

// Each refusal, with its status and the message the command line gives for the same value.
TEST_F(WebServerTest, RefusesWithTheCommandLinesWords) {
  struct Case {
    std::string method, target;
    int status;
    std::string body;
  };
  const std::vector<Case> cases = {
      {"GET", "/api/run?x=abc", 400,
       "{\"error\": \"--x needs a number with 0 < X <= 10000, not 'abc'\"}\n"},
      {"GET", "/api/run.csv?orders=0", 400,
       "{\"error\": \"--orders needs a whole number from 1 to 100000, not '0'\"}\n"},
      {"GET", "/api/run?formats=binary32,binary32", 400,
       "{\"error\": \"--formats names 'binary32' twice\"}\n"},
      {"GET", "/api/run?function=Y&seeds=series", 400, ""},
      {"GET", "/api/run?x=%0a%22", 400,
       "{\"error\": \"--x needs a number with 0 < X <= 10000, not '\\\\012\\\"'\"}\n"},
      {"GET", "/api/run?x=%zz", 400,
       "{\"error\": \"a '%' in the query must start an escape such as %2C, not 'x=%zz'\"}\n"},
      {"GET", "/api/run?width=80", 400,
       "{\"error\": \"unknown parameter 'width'; the parameters are function, x, orders, "
       "formats, arithmetic and seeds\"}\n"},
      {"GET", "/api/check?arithmetic=binary32&values=0.5%0Anan", 400,
       "{\"error\": \"values: line 2: 'nan' is not finite: a value of the recurrence must be a "
       "number\"}\n"},
      {"GET", "/api/check?values=0.5", 400,
       "{\"error\": \"values: at least two values are needed, f_0 and f_1; there is one\"}\n"},
      {"GET", "/api/check.csv?orders=3&values=1%0A2", 400,
       "{\"error\": \"orders is not a parameter of a check: the orders are those of its "
       "values\"}\n"},
      {"GET", "/api/check?values=m,f%0A1,2&column=g", 400,
       "{\"error\": \"values: line 1: no column is named 'g'; the columns are m, f\"}\n"},
      {"GET", "/etc/passwd", 404, "{\"error\": \"nothing is served at '/etc/passwd'\"}\n"},
      {"GET", "/api/run/../../x", 404,
       "{\"error\": \"nothing is served at '/api/run/../../x'\"}\n"},
      {"POST", "/api/run", 405, "{\"error\": \"only GET and HEAD are answered here\"}\n"},
      {"DELETE", "/", 405, "{\"error\": \"only GET and HEAD are answered here\"}\n"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.method + " " + test.target);
    const Reply reply = Request(server_.port(), test.method, test.target);
    EXPECT_EQ(reply.status, test.status);
    EXPECT_EQ(reply.Header("Content-Type"), "application/json");
    if (!test.body.empty()) {
      EXPECT_EQ(reply.body, test.body);
    }
    if (test.status == 405) {
      EXPECT_EQ(reply.Header("Allow"), "GET, HEAD");
    }
  }
  // The same message as the lab's, for a pair of values only the two together refuse.
  const CommandResult lab = RunCommand({BESSEL_LAB_PROGRAM, "--function", "Y", "--seeds", "series"},
                                       TempDir().path(), {});
  const std::string said = lab.err.substr(0, lab.err.find('\n'));
  EXPECT_EQ(Get(server_.port(), "/api/run?function=Y&seeds=series").body,
            "{\"error\": \"" + said.substr(said.find(": ") + 2) + "\"}\n");
}

TEST_F(WebServerTest, EveryAnswerCarriesItsSecurityHeaders) {
  for (const std::string target : {"/", "/app.js", "/uplot.js", "/api/run", "/nope"}) {
    SCOPED_TRACE(target);
    const Reply reply = Get(server_.port(), target);
    EXPECT_EQ(reply.Header("X-Content-Type-Options"), "nosniff");
    EXPECT_TRUE(reply.Header("Content-Security-Policy").starts_with("default-src 'self'"));
  }
  const Reply page = Get(server_.port(), "/?function=Y&x=3");
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.Header("Content-Type"), "text/html; charset=utf-8");
  EXPECT_NE(page.body.find("<html"), std::string::npos);
}

// Deterministic answers: an entity tag that a revalidation matches (304, no body), the same bytes
// from the cache, and HEAD with the headers of GET and no body.
TEST_F(WebServerTest, TagsCachesAndAnswersHead) {
  const std::string target = "/api/run?function=K&x=2&orders=50";
  const Reply first = Get(server_.port(), target);
  const Reply again = Get(server_.port(), target + "&x=2");
  ASSERT_EQ(first.status, 200);
  EXPECT_EQ(again.body, first.body);
  EXPECT_EQ(again.Header("ETag"), first.Header("ETag"));
  EXPECT_NE(Get(server_.port(), "/api/run.csv?function=K&x=2&orders=50").Header("ETag"),
            first.Header("ETag"));
  EXPECT_EQ(first.Header("Cache-Control"), "public, max-age=86400");
  const Reply revalidated =
      Request(server_.port(), "GET", target, "If-None-Match: " + first.Header("ETag") + "\r\n");
  EXPECT_EQ(revalidated.status, 304);
  EXPECT_EQ(revalidated.body, "");
  const Reply head = Request(server_.port(), "HEAD", target);
  EXPECT_EQ(head.status, 200);
  EXPECT_EQ(head.Header("Content-Length"), std::to_string(first.body.size()));
  EXPECT_EQ(head.body, "");
}

TEST_F(WebServerTest, RefusesAnOversizedRequestAndGoesOn) {
  const Reply reply = Get(server_.port(), "/api/run?x=" + std::string(9000, '1'));
  EXPECT_EQ(reply.status, 431);
  const Reply headers =
      Request(server_.port(), "GET", "/api/run", "X-Filler: " + std::string(9000, 'a') + "\r\n");
  EXPECT_EQ(headers.status, 431);
  const int socket_fd = ConnectLoopback(server_.port());
  SendAll(socket_fd, "GET /api/run HTTP/1.1\r\nHost: x\r\nContent-Length: 100000\r\n\r\n" +
                         std::string(1000, 'b'));
  EXPECT_EQ(Parse(ReceiveAll(socket_fd)).status, 413);
  close(socket_fd);
  EXPECT_EQ(Get(server_.port(), "/api/run").status, 200);
}

// A client that sends a byte now and then, or nothing, is dropped when its request is not read
// within the read limit (10 s); meanwhile the others are answered.
TEST_F(WebServerTest, DropsASlowClientAndAnswersTheOthers) {
  const int slow = ConnectLoopback(server_.port());
  const int idle = ConnectLoopback(server_.port());
  ASSERT_GE(slow, 0);
  ASSERT_GE(idle, 0);
  const auto started = std::chrono::steady_clock::now();
  const std::string request = "GET /api/run HTTP/1.1\r\nHost: x\r\n";
  bool dropped = false;
  for (size_t i = 0; !dropped && std::chrono::steady_clock::now() - started < 30s; ++i) {
    dropped = !SendAll(slow, request.substr(i % request.size(), 1)) ||
              !ReceiveAll(slow, 1s).empty() || i > 40;
    EXPECT_EQ(Get(server_.port(), "/api/run?orders=5").status, 200);
  }
  // Closed by the server: a read gives the end of the stream at once.
  EXPECT_EQ(ReceiveAll(slow, 5s), "");
  EXPECT_EQ(ReceiveAll(idle, 15s), "");
  EXPECT_LT(std::chrono::steady_clock::now() - started, 30s);
  close(slow);
  close(idle);
}

// Past 512 connections, one more is answered 503 at once and closed; the server still answers
// once the others are gone.
TEST_F(WebServerTest, AnswersTheConnectionPastTheLimit503) {
  std::vector<int> held;
  for (int i = 0; i < 512; ++i) held.push_back(ConnectLoopback(server_.port()));
  ASSERT_EQ(std::count(held.begin(), held.end(), -1), 0);
  // The server takes them in order; the next is one too many once it has taken them all.
  Reply refused;
  ASSERT_TRUE(Eventually(
      [&] {
        const int extra = ConnectLoopback(server_.port());
        refused = Parse(ReceiveAll(extra, 2s));
        close(extra);
        return refused.status == 503;
      },
      20s));
  EXPECT_EQ(refused.Header("Retry-After"), "2");
  for (const int socket_fd : held) close(socket_fd);
  EXPECT_TRUE(Eventually([&] { return Get(server_.port(), "/api/run").status == 200; }, 20s));
}

// Heavy experiments beyond their worker and queue are answered 503 with Retry-After, while the
// class-sized ones are still answered.
TEST_F(WebServerTest, ShedsOverloadWith503AndKeepsAnswering) {
  std::vector<std::future<Reply>> heavy;
  for (int i = 0; i < 6; ++i) {
    heavy.push_back(std::async(std::launch::async, [this, i] {
      return Get(server_.port(),
                 "/api/run?orders=100000&formats=binary64&x=" + std::to_string(2000 + i));
    }));
  }
  int busy = 0;
  std::string retry_after;
  for (int round = 0; round < 5; ++round) {
    EXPECT_EQ(Get(server_.port(), "/api/run?orders=200&x=" + std::to_string(round + 1)).status,
              200);
  }
  for (std::future<Reply>& reply : heavy) {
    const Reply got = reply.get();
    EXPECT_TRUE(got.status == 200 || got.status == 503) << got.status;
    if (got.status == 503) {
      ++busy;
      retry_after = got.Header("Retry-After");
    }
  }
  EXPECT_GE(busy, 1);
  EXPECT_EQ(retry_after, "2");
}

// SIGTERM while an experiment is computed: its answer is still written whole, then the server
// ends with status 0, and takes no more connections.
TEST_F(WebServerTest, EndsCleanlyOnSigtermAfterTheRequestInFlight) {
  const std::string query = "function=K&x=300&orders=20000";
  std::future<Reply> in_flight = std::async(
      std::launch::async, [this, &query] { return Get(server_.port(), "/api/run.csv?" + query); });
  const auto before = ProcessorTime(server_.pid());
  ASSERT_TRUE(Eventually([&] { return ProcessorTime(server_.pid()) > before + 20ms; }, 20s));
  EXPECT_EQ(server_.Stop(SIGTERM, 30s), 0);
  const Reply reply = in_flight.get();
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.body, LabOutput({"--function", "K", "--x", "300", "--orders", "20000", "--csv"}));
  EXPECT_EQ(ConnectLoopback(server_.port()), -1);
}

TEST(WebProgram, ReadsItsCommandLineAsEveryProgram) {
  struct Case {
    std::vector<std::string> options;
    int status;
    std::string err;
  };
  const std::string try_help = "Try 'bessel-recurrence-web --help' for more information.\n";
  const std::vector<Case> cases = {
      {{"--listen", "localhost:80"},
       2,
       "bessel-recurrence-web: --listen needs ADDRESS:PORT, a numeric address and a port from 0 "
       "to 65535 (127.0.0.1:8080, 0.0.0.0:8080, [::]:8080), not 'localhost:80'\n" +
           try_help},
      {{"--listen", "127.0.0.1:65536"}, 2, ""},
      {{"--listen", "::1:80"}, 2, ""},
      {{"--listen", "127.0.0.1"}, 2, ""},
      {{"--port", "1"}, 2, "bessel-recurrence-web: unrecognized option '--port'\n" + try_help},
      {{"extra"}, 2, "bessel-recurrence-web: extra operand 'extra'\n" + try_help},
      {{"--version"}, 0, ""},
      {{"--help"}, 0, ""},
  };
  for (const Case& test : cases) {
    std::vector<std::string> arguments = {BESSEL_WEB_PROGRAM};
    arguments.insert(arguments.end(), test.options.begin(), test.options.end());
    SCOPED_TRACE(arguments.back());
    const CommandResult result = RunCommand(arguments, TempDir().path(), {});
    EXPECT_EQ(result.status, test.status);
    if (!test.err.empty()) {
      EXPECT_EQ(result.err, test.err);
    }
    if (test.status == 0) {
      EXPECT_TRUE(result.out.starts_with(
          test.options[0] == "--help" ? "Usage: bessel-recurrence-web" : "bessel-recurrence-web "));
    }
  }
}

TEST(WebProgram, SaysWhyItCannotListen) {
  testing_support::WebServerProcess first(BESSEL_WEB_PROGRAM);
  ASSERT_GT(first.port(), 0);
  const std::string address = "127.0.0.1:" + std::to_string(first.port());
  const CommandResult second =
      RunCommand({BESSEL_WEB_PROGRAM, "--listen", address}, TempDir().path(), {});
  EXPECT_EQ(second.status, 1);
  EXPECT_EQ(second.err, "bessel-recurrence-web: cannot listen on 127.0.0.1 port " +
                            std::to_string(first.port()) + ": Address already in use\n");
}

}  // namespace
