// The key check and the key wait on a POSIX terminal (/dev/tty), looked at with FIONREAD.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>

#include "posix/descriptors.hpp"
#include "posix/signals_held.hpp"
#include "terminal/console_key.hpp"

namespace {

constexpr int kNotOpened = -2;
int terminal_fd = kNotOpened;  // -1: the process has no controlling terminal
bool terminal_gone = false;    // hung up during the wait

// The terminal's settings outside the wait, and whether the wait mode is in force. Both are
// read by the signal handlers.
termios saved_mode;
volatile sig_atomic_t wait_mode_on = 0;

// A stop gives the terminal back and ends the wait mode. Continued, the stop handler writes a
// byte here, which wakes the wait even when the stop came just before it began to block, so that
// it looks again at where the process stands and sets the wait mode anew.
int wake_pipe[2] = {-1, -1};  // read end, write end; -1 when there is none

// Every signal that can be caught and whose default action ends the process, besides the
// real-time signals (which all do). SIGXFSZ is left out: the program ignores it, so that an
// oversized write fails as a write.
constexpr int kEndingSignals[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,  SIGUSR1,
    SIGSEGV,   SIGUSR2, SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGVTALRM, SIGPROF, SIGSYS,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};
struct sigaction previous_action[NSIG];  // by signal number, while the handlers are installed
bool handlers_installed = false;

template <class Apply>
void ForEachEndingSignal(Apply apply) {
  for (const int signal_number : kEndingSignals) apply(signal_number);
#ifdef SIGRTMIN
  for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number) {
    apply(signal_number);
  }
#endif
}

int TerminalFd() {
  if (terminal_fd == kNotOpened) {
    terminal_fd =
        AboveStandardStreams(open("/dev/tty", O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  }
  return terminal_gone ? -1 : terminal_fd;
}

// Where the process stands at its terminal. A terminal that hung up (or was taken from the
// session) no longer has a foreground group to tell.
enum class Standing { kForeground, kBackground, kGone };
Standing StandingAt(int fd) {
  const pid_t group = tcgetpgrp(fd);
  if (group < 0) return Standing::kGone;
  return group == getpgrp() ? Standing::kForeground : Standing::kBackground;
}

int PendingBytes(int fd) {
  int count = 0;
  return ioctl(fd, FIONREAD, &count) == 0 ? count : 0;
}

// tcsetattr without being stopped by SIGTTOU should the process have left the foreground.
void SetMode(int fd, const termios& mode) {
  const SignalsHeld no_ttou(SIGTTOU);
  while (tcsetattr(fd, TCSANOW, &mode) != 0 && errno == EINTR) {
  }
}

// The same settings with input handed on byte by byte, so that FIONREAD sees a key before Enter.
termios ByteByByte(termios mode) {
  mode.c_lflag &= ~static_cast<tcflag_t>(ICANON);
  mode.c_cc[VMIN] = 1;
  mode.c_cc[VTIME] = 0;
  return mode;
}

// Records the settings to give back before changing them, so that a signal handler arriving at
// any moment restores them.
void SaveMode(const termios& mode) {
  saved_mode = mode;
  std::atomic_signal_fence(std::memory_order_seq_cst);  // saved before it is marked in force
  wait_mode_on = 1;
}

// Ends the wait mode; async-signal-safe (only tcsetattr). The saved settings are given back, if
// they may have been changed, before the mark is cleared, so that a signal at any moment finds
// them given back or gives them back itself.
void LeaveWaitMode() {
  if (wait_mode_on != 0) tcsetattr(terminal_fd, TCSANOW, &saved_mode);
  wait_mode_on = 0;
}

// Input one byte at a time (so FIONREAD sees a key before Enter) and no echo, since the key
// stays for whoever reads the terminal next. Signals from the keyboard still work.
void EnterWaitMode(int fd) {
  const SignalsHeld stops(SIGTSTP);  // so that a stop finds the mode and its mark agreeing
  termios original;
  if (wait_mode_on != 0 || tcgetattr(fd, &original) != 0) return;
  SaveMode(original);
  termios mode = ByteByByte(original);
  mode.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  SetMode(fd, mode);
}

void OnEndingSignal(int signal_number) {
  LeaveWaitMode();
  std::signal(signal_number, SIG_DFL);
  raise(signal_number);  // delivered as the handler returns: the process ends as it would have
}

// Stopped, the process leaves the terminal as it found it; continued, in the foreground or the
// background, it wakes the wait to find out which.
void OnStop(int) {
  const int saved_errno = errno;
  LeaveWaitMode();
  std::signal(SIGTSTP, SIG_DFL);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTSTP);
  raise(SIGTSTP);
  sigprocmask(SIG_UNBLOCK, &stop, nullptr);  // stops here until continued
  std::signal(SIGTSTP, OnStop);
  if (wake_pipe[1] >= 0) (void)!write(wake_pipe[1], "", 1);
  errno = saved_errno;
}

// Installs a handler unless the signal was ignored when the wait began (nohup, a background
// job of a non-interactive shell): what was ignored stays ignored.
void Install(int signal_number, void (*handler)(int), struct sigaction* previous) {
  sigaction(signal_number, nullptr, previous);
  if (previous->sa_handler == SIG_IGN) return;
  struct sigaction action = {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, nullptr);
}

// The terminal hung up or was closed: no key can come any more.
bool TerminalGone() {
  LeaveWaitMode();
  terminal_gone = true;
  return false;
}

// A pipe for the stop handler to wake the wait with, close-on-exec; none when the system has no
// descriptors to spare, and then a stop just before the wait blocks is noticed at the next key.
void OpenWakePipe() {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return;
  for (int end = 0; end < 2; ++end) {
    wake_pipe[end] = AboveStandardStreams(ends[end]);
    if (wake_pipe[end] >= 0) fcntl(wake_pipe[end], F_SETFL, O_NONBLOCK);
  }
}

void CloseWakePipe() {
  for (int& end : wake_pipe) {
    if (end >= 0) close(end);
    end = -1;
  }
}

void DrainWakePipe() {
  char bytes[16];
  while (read(wake_pipe[0], bytes, sizeof bytes) > 0) {
  }
}

}  // namespace

bool KeyWaiting() {
  const int fd = TerminalFd();
  if (fd < 0 || StandingAt(fd) != Standing::kForeground) return false;
  termios mode;
  if (tcgetattr(fd, &mode) != 0) return false;
  if ((mode.c_lflag & ICANON) == 0) return PendingBytes(fd) > 0;
  // A line being typed is invisible to FIONREAD until Enter; a moment without ICANON shows it.
  const SignalsHeld stops(SIGTSTP);  // so that a stop finds the mode and its mark agreeing
  SaveMode(mode);
  SetMode(fd, ByteByByte(mode));
  const int pending = PendingBytes(fd);
  LeaveWaitMode();
  return pending > 0;
}

void BeginKeyWait() {
  if (handlers_installed) return;
  OpenWakePipe();
  ForEachEndingSignal([](int signal_number) {
    Install(signal_number, OnEndingSignal, &previous_action[signal_number]);
  });
  Install(SIGTSTP, OnStop, &previous_action[SIGTSTP]);
  handlers_installed = true;
}

bool AwaitConsoleInput() {
  const int fd = TerminalFd();
  if (fd < 0) return false;  // no terminal, or it hung up: nothing can ever be typed
  switch (StandingAt(fd)) {
    case Standing::kGone:
      return TerminalGone();
    case Standing::kBackground: {
      // The terminal's input belongs to the foreground job; look again in a while.
      LeaveWaitMode();
      const timespec pause_time = {0, 200'000'000};  // 0.2 s
      nanosleep(&pause_time, nullptr);
      return true;
    }
    case Standing::kForeground:
      break;
  }
  EnterWaitMode(fd);
  pollfd watch[] = {{fd, POLLIN, 0}, {wake_pipe[0], POLLIN, 0}};  // a -1 is passed over
  if (poll(watch, 2, -1) <= 0) return true;                       // a signal: look again
  if ((watch[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return TerminalGone();
  if (watch[1].revents != 0) DrainWakePipe();
  return true;
}

void EndKeyWait() {
  LeaveWaitMode();
  if (!handlers_installed) return;
  ForEachEndingSignal([](int signal_number) {
    sigaction(signal_number, &previous_action[signal_number], nullptr);
  });
  sigaction(SIGTSTP, &previous_action[SIGTSTP], nullptr);
  CloseWakePipe();
  handlers_installed = false;
}
