// The key check on a pseudo-terminal: a key typed is seen, never consumed; no terminal, no key.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "output/console_key.hpp"
#include "tests/support/child.hpp"

namespace {

using namespace std::chrono_literals;

// A child process on its own session, asked over a pipe to run the key check ('k') or to read
// what the terminal holds ('r'), answering one line per request.
class KeyChild {
 public:
  explicit KeyChild(bool controlling_terminal) {
    if (openpty(&master_, &terminal_, nullptr, nullptr, nullptr) != 0) std::abort();
    int requests[2];
    int answers[2];
    if (pipe(requests) != 0 || pipe(answers) != 0) std::abort();
    pid_ = fork();
    if (pid_ == 0) {
      setsid();
      if (controlling_terminal) ioctl(terminal_, TIOCSCTTY, 0);
      dup2(terminal_, STDIN_FILENO);  // standard input is the terminal, and must not matter
      Serve(requests[0], answers[1], controlling_terminal);
    }
    close(requests[0]);
    close(answers[1]);
    requests_ = requests[1];
    answers_ = answers[0];
  }

  ~KeyChild() {
    (void)!write(requests_, "q", 1);
    close(requests_);
    testing_support::WaitWithDeadline(pid_, 5000ms);
    close(answers_);
    close(master_);
    close(terminal_);
  }

  void Type(const std::string& keys) {
    (void)!write(master_, keys.data(), keys.size());
    std::this_thread::sleep_for(50ms);  // the terminal hands typed bytes on asynchronously
  }

  std::string Ask(char request) {
    (void)!write(requests_, &request, 1);
    std::string answer;
    char c;
    pollfd watch = {answers_, POLLIN, 0};
    while (poll(&watch, 1, 5000) == 1 && read(answers_, &c, 1) == 1 && c != '\n') answer += c;
    return answer;
  }

  bool KeyCheck() { return Ask('k') == "1"; }
  std::string ReadTerminal() { return Ask('r'); }

 private:
  [[noreturn]] static void Serve(int requests, int answers, bool has_terminal) {
    char request;
    while (read(requests, &request, 1) == 1 && request != 'q') {
      std::string answer;
      if (request == 'k') answer = KeyWaiting() ? "1" : "0";
      if (request == 'r' && has_terminal) {
        const int tty = open("/dev/tty", O_RDONLY | O_NONBLOCK);
        char buffer[32];
        const ssize_t got = read(tty, buffer, sizeof buffer);
        if (got > 0) answer.assign(buffer, static_cast<size_t>(got));
        close(tty);
      }
      answer += '\n';
      (void)!write(answers, answer.data(), answer.size());
    }
    _exit(0);
  }

  int master_ = -1;
  int terminal_ = -1;
  int requests_ = -1;
  int answers_ = -1;
  pid_t pid_ = -1;
};

TEST(KeyWaiting, FalseUntilAKeyThenTrueAndNothingConsumed) {
  KeyChild child(true);
  EXPECT_FALSE(child.KeyCheck());
  child.Type("x");
  EXPECT_TRUE(child.KeyCheck());
  EXPECT_TRUE(child.KeyCheck()) << "still waiting: the check reads nothing";
  EXPECT_EQ(child.ReadTerminal(), "x") << "the key is still there for a reader";
  EXPECT_FALSE(child.KeyCheck()) << "once read, the key is gone";
}

TEST(KeyWaiting, EnterEscapeAndCursorKeysCount) {
  for (const std::string keys : {"\r", "\x1b", "\x1b[A"}) {
    KeyChild child(true);
    child.Type(keys);
    EXPECT_TRUE(child.KeyCheck()) << "bytes " << keys.size();
  }
}

TEST(KeyWaiting, FalseWithoutAControllingTerminal) {
  KeyChild child(false);
  child.Type("x");
  EXPECT_FALSE(child.KeyCheck()) << "standard input holds a key, but it is not a console";
}

}  // namespace
