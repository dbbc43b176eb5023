// The key check on a pseudo-terminal: a key typed is seen, never consumed; no terminal, no key.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>

#include "terminal/console_key.hpp"
#include "tests/support/terminal_child.hpp"

namespace {

using namespace std::chrono_literals;
using testing_support::Connection;
using testing_support::TerminalChild;
using testing_support::TerminalChildOptions;

// A child process on its own session, asked over a pipe to run the key check ('k') or to read
// what the terminal holds ('r'), answering one line per request.
class KeyChild {
 public:
  explicit KeyChild(bool controlling_terminal) : child_(Options(controlling_terminal)) {
    close(requests_[0]);
    close(answers_[1]);
  }

  ~KeyChild() {
    if (child_.Running()) (void)!write(requests_[1], "q", 1);
    close(requests_[1]);
    child_.Wait(5000ms);
    close(answers_[0]);
  }

  void Type(const std::string& keys) { child_.Type(keys); }

  std::string Ask(char request) {
    (void)!write(requests_[1], &request, 1);
    std::string answer;
    char c;
    pollfd watch = {answers_[0], POLLIN, 0};
    while (poll(&watch, 1, 5000) == 1 && read(answers_[0], &c, 1) == 1 && c != '\n') answer += c;
    return answer;
  }

  bool KeyCheck() { return Ask('k') == "1"; }
  // The terminal hands typed bytes on asynchronously: checks until a key is seen, or until
  // standard input has bytes to read (a typed line has arrived), for at most 5 s.
  bool KeyCheckSeesAKey() {
    return testing_support::Eventually([&] { return KeyCheck(); });
  }
  bool LineArrived() {
    return testing_support::Eventually([&] { return Ask('n') != "0"; });
  }
  std::string ReadTerminal() { return Ask('r'); }

  // Has the child guard the terminal as the wait does and check for a key again and again, then
  // ends it by `signal` in the middle of that; true when the terminal is as it was before.
  bool TerminalRestoredAfterSignalDuringChecks(int signal) {
    if (Ask('l') != "checking") return false;
    kill(child_.pid(), signal);
    child_.Wait(5000ms);
    termios after = {};
    tcgetattr(child_.terminal(), &after);
    return testing_support::SameMode(after, child_.initial_mode());
  }

 private:
  // Standard input is the terminal, and must not matter.
  TerminalChildOptions Options(bool controlling_terminal) {
    if (pipe(requests_) != 0 || pipe(answers_) != 0) std::abort();
    TerminalChildOptions options;
    options.controlling_terminal = controlling_terminal;
    options.in = Connection::Terminal();
    options.body = [this, controlling_terminal] {
      Serve(requests_[0], answers_[1], controlling_terminal);
    };
    return options;
  }

  [[noreturn]] static void Serve(int requests, int answers, bool has_terminal) {
    char request;
    while (read(requests, &request, 1) == 1 && request != 'q') {
      std::string answer;
      if (request == 'k') answer = KeyWaiting() ? "1" : "0";
      if (request == 'l') {
        BeginKeyWait();
        (void)KeyWaiting();
        (void)!write(answers, "checking\n", 9);
        for (;;) (void)KeyWaiting();
      }
      if (request == 'n') {
        int count = 0;
        ioctl(STDIN_FILENO, FIONREAD, &count);
        answer = std::to_string(count);
      }
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

  int requests_[2] = {-1, -1};
  int answers_[2] = {-1, -1};
  TerminalChild child_;  // made after the pipes, which it needs
};

TEST(KeyWaiting, FalseUntilAKeyThenTrueAndNothingConsumed) {
  KeyChild child(true);
  EXPECT_FALSE(child.KeyCheck());
  child.Type("x");
  EXPECT_TRUE(child.KeyCheckSeesAKey());
  EXPECT_TRUE(child.KeyCheck()) << "still waiting: the check reads nothing";
  EXPECT_EQ(child.ReadTerminal(), "x") << "the key is still there for a reader";
  EXPECT_FALSE(child.KeyCheck()) << "once read, the key is gone";
}

TEST(KeyWaiting, EnterEscapeAndCursorKeysCount) {
  for (const std::string keys : {"\r", "\x1b", "\x1b[A"}) {
    KeyChild child(true);
    child.Type(keys);
    EXPECT_TRUE(child.KeyCheckSeesAKey()) << "bytes " << keys.size();
  }
}

// Each check on a terminal in line mode switches it to single keys for a moment; a signal at
// that moment must still find the terminal given back.
TEST(KeyWaiting, ASignalInTheMiddleOfACheckLeavesTheTerminalAsItWas) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    KeyChild child(true);
    EXPECT_TRUE(child.TerminalRestoredAfterSignalDuringChecks(SIGTERM)) << "attempt " << attempt;
  }
}

TEST(KeyWaiting, FalseWithoutAControllingTerminal) {
  KeyChild child(false);
  child.Type("x\r");
  ASSERT_TRUE(child.LineArrived());
  EXPECT_FALSE(child.KeyCheck()) << "standard input holds a key, but it is not a console";
}

}  // namespace
