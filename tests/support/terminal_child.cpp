// Starting a child on a pseudo-terminal: prepare everything, fork, connect, run.
#include "tests/support/terminal_child.hpp"

#include <fcntl.h>
#include <grp.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

extern char** environ;

namespace testing_support {

namespace {

constexpr int kSetupFailed = 125;
// The child's own copies of the files it connects sit here and above, out of the way of the
// standard streams they are copied onto.
constexpr int kFirstSpareDescriptor = 10;

// Async-signal-safe: write and _exit only.
[[noreturn]] void ChildFails(const char* step) {
  constexpr char kPrefix[] = "terminal child: ";
  constexpr char kSuffix[] = " failed\n";
  (void)!write(STDERR_FILENO, kPrefix, sizeof kPrefix - 1);
  (void)!write(STDERR_FILENO, step, std::strlen(step));
  (void)!write(STDERR_FILENO, kSuffix, sizeof kSuffix - 1);
  _exit(kSetupFailed);
}

// The program's path: as given when it names a directory, else the first match in PATH.
std::string Resolve(const std::string& program) {
  if (program.find('/') != std::string::npos) return program;
  const char* path = std::getenv("PATH");
  std::istringstream directories(path != nullptr ? path : "/usr/bin:/bin");
  for (std::string directory; std::getline(directories, directory, ':');) {
    const std::string candidate = (directory.empty() ? "." : directory) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return program;  // the child's exec fails and says so
}

// What the child does with one standard stream, made from a Connection before the fork.
struct PreparedStream {
  Connection::To to = Connection::To::kInherit;
  std::string file;
  int flags = 0;
};

PreparedStream Prepare(const Connection& connection, int stream) {
  PreparedStream prepared{connection.to, connection.file.string(), O_RDONLY};
  if (stream != STDIN_FILENO) prepared.flags = O_WRONLY | O_CREAT | O_TRUNC;
  return prepared;
}

// In the child: the descriptor to copy onto a standard stream, or -1 for none.
int SourceFor(const PreparedStream& stream, int terminal, const char* step) {
  switch (stream.to) {
    case Connection::To::kTerminal:
      return terminal;
    case Connection::To::kFile: {
      const int fd = open(stream.file.c_str(), stream.flags | O_CLOEXEC, 0666);
      if (fd < 0) ChildFails(step);
      const int spare = fcntl(fd, F_DUPFD_CLOEXEC, kFirstSpareDescriptor);
      if (spare < 0) ChildFails(step);
      close(fd);
      return spare;
    }
    case Connection::To::kInherit:
    case Connection::To::kClosed:
      return -1;
  }
  return -1;
}

// In the child: closes every descriptor from 3 on; close_range where the kernel has it, else
// one by one up to the highest the process may hold.
void CloseAllAboveStandardStreams(int highest) {
  if (close_range(STDERR_FILENO + 1, ~0U, 0) == 0) return;
  for (int fd = STDERR_FILENO + 1; fd <= highest; ++fd) close(fd);
}

}  // namespace

TerminalChild::TerminalChild(const TerminalChildOptions& options) {
  // Everything the child uses is made here, before the fork.
  std::vector<std::string> words = options.command;
  if (!words.empty()) words[0] = Resolve(words[0]);
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const std::string directory = options.working_directory.string();
  const PreparedStream streams[3] = {Prepare(options.in, STDIN_FILENO),
                                     Prepare(options.out, STDOUT_FILENO),
                                     Prepare(options.err, STDERR_FILENO)};
  const char* const steps[3] = {"connecting standard input", "connecting standard output",
                                "connecting standard error"};
  rlimit limits = {};
  getrlimit(RLIMIT_NOFILE, &limits);
  const int highest = static_cast<int>(
      limits.rlim_cur == RLIM_INFINITY || limits.rlim_cur > 65536 ? 65536 : limits.rlim_cur);
  const rlimit child_limit = {static_cast<rlim_t>(options.open_file_limit),
                              static_cast<rlim_t>(options.open_file_limit)};

  if (openpty(&master_, &terminal_, nullptr, nullptr, nullptr) != 0) std::abort();
  Type(options.typed_before_start);

  pid_ = fork();
  if (pid_ < 0) std::abort();
  if (pid_ != 0) return;

  // The child, from here on async-signal-safe calls only.
  if (setsid() < 0) ChildFails("setsid");
  if (options.controlling_terminal && ioctl(terminal_, TIOCSCTTY, 0) != 0) {
    ChildFails("taking the controlling terminal");
  }
  close(master_);
  // Every source is open before any stream is replaced, so that none lands on another's place.
  int sources[3];
  for (int stream = 0; stream < 3; ++stream) {
    sources[stream] = SourceFor(streams[stream], terminal_, steps[stream]);
  }
  for (int stream = 0; stream < 3; ++stream) {
    if (sources[stream] >= 0 && dup2(sources[stream], stream) != stream) {
      ChildFails(steps[stream]);
    }
    if (streams[stream].to == Connection::To::kClosed) close(stream);
  }
  for (int stream = 0; stream < 3; ++stream) {
    if (streams[stream].to == Connection::To::kFile) close(sources[stream]);
  }
  if (words.empty()) {
    options.body();
    _exit(0);
  }
  CloseAllAboveStandardStreams(highest);
  if (options.unprivileged && geteuid() == 0 &&
      (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
    ChildFails("dropping privileges");
  }
  if (options.open_file_limit > 0 && setrlimit(RLIMIT_NOFILE, &child_limit) != 0) {
    ChildFails("limiting open files");
  }
  if (!directory.empty() && chdir(directory.c_str()) != 0) ChildFails("changing directory");
  execve(argv[0], argv.data(), environ);
  ChildFails("exec");
}

TerminalChild::~TerminalChild() {
  if (pid_ > 0 && !reaped_) {
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  close(master_);
  close(terminal_);
}

void TerminalChild::Type(std::string_view keys) const {
  if (!keys.empty()) (void)!write(master_, keys.data(), keys.size());
}

Ending TerminalChild::Wait(std::chrono::milliseconds limit) {
  const Ending ending = WaitWithDeadline(pid_, limit);
  reaped_ = true;
  return ending;
}

std::string TerminalChild::UnreadInput() const {
  termios mode;
  if (tcgetattr(terminal_, &mode) != 0) return {};
  cfmakeraw(&mode);
  mode.c_cc[VMIN] = 0;
  mode.c_cc[VTIME] = 0;
  tcsetattr(terminal_, TCSANOW, &mode);
  std::string bytes;
  char buffer[64];
  ssize_t got;
  while ((got = read(terminal_, buffer, sizeof buffer)) > 0) {
    bytes.append(buffer, static_cast<size_t>(got));
  }
  return bytes;
}

}  // namespace testing_support
