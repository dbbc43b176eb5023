// Starting a child on a pseudo-terminal: prepare everything, fork, connect, run.
#include "tests/support/terminal_child.hpp"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

extern char** environ;

namespace testing_support {

namespace {

using Job = TerminalChildOptions::Job;
using Mount = TerminalChildOptions::Mount;

constexpr int kSetupFailed = 125;
// The child's own copies of the files it connects sit here and above, out of the way of the
// standard streams they are copied onto.
constexpr int kFirstSpareDescriptor = 10;

// Async-signal-safe: write and _exit only.
[[noreturn]] void ChildFails(const char* step, int status = kSetupFailed) {
  constexpr char kPrefix[] = "terminal child: ";
  constexpr char kSuffix[] = " failed\n";
  (void)!write(STDERR_FILENO, kPrefix, sizeof kPrefix - 1);
  (void)!write(STDERR_FILENO, step, std::strlen(step));
  (void)!write(STDERR_FILENO, kSuffix, sizeof kSuffix - 1);
  _exit(status);
}

void SetDisposition(int signal_number, void (*handler)(int)) {
  struct sigaction action = {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, nullptr);
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

// Everything the child needs, made before the fork: from then on it only reads this.
struct Plan {
  std::vector<std::string> words;
  std::vector<char*> argv;
  std::string directory;
  std::vector<std::string> directory_steps;  // "/", then each component
  PreparedStream streams[3];
  int highest_descriptor = 0;
  rlimit file_limit = {};
  rlimit size_limit = {};
  rlimit memory_limit = {};
};

Plan MakePlan(const TerminalChildOptions& options) {
  Plan plan;
  plan.words = options.command;
  if (!plan.words.empty()) plan.words[0] = ExecutablePath(plan.words[0]);
  for (std::string& word : plan.words) plan.argv.push_back(word.data());
  plan.argv.push_back(nullptr);
  plan.directory = options.working_directory.string();
  for (const auto& part : options.working_directory) plan.directory_steps.push_back(part.string());
  plan.streams[0] = Prepare(options.in, STDIN_FILENO);
  plan.streams[1] = Prepare(options.out, STDOUT_FILENO);
  plan.streams[2] = Prepare(options.err, STDERR_FILENO);
  rlimit limits = {};
  getrlimit(RLIMIT_NOFILE, &limits);
  plan.highest_descriptor = static_cast<int>(
      limits.rlim_cur == RLIM_INFINITY || limits.rlim_cur > 65536 ? 65536 : limits.rlim_cur);
  plan.file_limit = {static_cast<rlim_t>(options.open_file_limit),
                     static_cast<rlim_t>(options.open_file_limit)};
  plan.size_limit = {static_cast<rlim_t>(options.file_size_limit),
                     static_cast<rlim_t>(options.file_size_limit)};
  plan.memory_limit = {static_cast<rlim_t>(options.memory_limit),
                       static_cast<rlim_t>(options.memory_limit)};
  return plan;
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

// In the child: standard streams as planned. Every source is open before any stream is
// replaced, so that none lands in another's place.
void ConnectStreams(const Plan& plan, int terminal) {
  static const char* const kSteps[3] = {"connecting standard input", "connecting standard output",
                                        "connecting standard error"};
  int sources[3];
  for (int stream = 0; stream < 3; ++stream) {
    sources[stream] = SourceFor(plan.streams[stream], terminal, kSteps[stream]);
  }
  for (int stream = 0; stream < 3; ++stream) {
    if (sources[stream] >= 0 && dup2(sources[stream], stream) != stream) {
      ChildFails(kSteps[stream]);
    }
    if (plan.streams[stream].to == Connection::To::kClosed) close(stream);
  }
  for (int stream = 0; stream < 3; ++stream) {
    if (plan.streams[stream].to == Connection::To::kFile) close(sources[stream]);
  }
}

// In the child: closes every descriptor from 3 on; close_range where the kernel has it, else
// one by one up to the highest the process may hold.
void CloseAllAboveStandardStreams(int highest) {
  // The upper bound is the real one, not "all": qemu-user walks its own table up to it.
  if (close_range(STDERR_FILENO + 1, static_cast<unsigned>(highest), 0) == 0) return;
  for (int fd = STDERR_FILENO + 1; fd <= highest; ++fd) close(fd);
}

void MountOverWorkingDirectory(Mount mount, const char* directory) {
  if (mount == Mount::kNone) return;
  if (unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr)) {
    ChildFails("a private mount namespace", TerminalChild::kMountRefused);
  }
  const bool mounted =
      mount == Mount::kReadOnly
          ? ::mount(directory, directory, nullptr, MS_BIND, nullptr) == 0 &&
                ::mount(nullptr, directory, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0
          : ::mount("tmpfs", directory, "tmpfs", 0, "size=4k") == 0;
  if (!mounted) ChildFails("mounting over the working directory", TerminalChild::kMountRefused);
}

void EnterDirectory(const Plan& plan) {
  if (plan.directory.empty() || chdir(plan.directory.c_str()) == 0) return;
  for (const std::string& step : plan.directory_steps) {  // deeper than one call may go
    if (chdir(step.c_str()) != 0) ChildFails("changing directory");
  }
}

// In the child (or the job it runs): the set-up that belongs to the program, then the program.
[[noreturn]] void RunProgram(const Plan& plan, const TerminalChildOptions& options) {
  CloseAllAboveStandardStreams(plan.highest_descriptor);
  MountOverWorkingDirectory(options.mount, plan.directory.c_str());
  if (options.unprivileged && !DropPrivileges()) ChildFails("dropping privileges");
  const rlimit no_core = {0, 0};  // a signal that dumps core leaves nothing behind
  setrlimit(RLIMIT_CORE, &no_core);
  if (options.open_file_limit > 0 && setrlimit(RLIMIT_NOFILE, &plan.file_limit) != 0) {
    ChildFails("limiting open files");
  }
  if (options.file_size_limit > 0 && setrlimit(RLIMIT_FSIZE, &plan.size_limit) != 0) {
    ChildFails("limiting the file size");
  }
  if (options.memory_limit > 0 && setrlimit(RLIMIT_AS, &plan.memory_limit) != 0) {
    ChildFails("limiting the memory");
  }
  EnterDirectory(plan);
  SetDisposition(SIGHUP, options.ignore_hangup ? SIG_IGN : SIG_DFL);
  execve(plan.argv[0], plan.argv.data(), environ);
  ChildFails("exec");
}

// The stand-in for a shell: puts the job in the foreground ('f' on `control`) or takes the
// terminal back from it ('b') when asked, and ends as the job ends, with its status or its signal.
[[noreturn]] void StandInForShell(pid_t job, int control, int terminal) {
  SetDisposition(SIGHUP, SIG_IGN);
  SetDisposition(SIGTTOU, SIG_IGN);
  for (;;) {
    int status = 0;
    if (waitpid(job, &status, WNOHANG) == job) {
      if (WIFSIGNALED(status)) {
        SetDisposition(WTERMSIG(status), SIG_DFL);
        const rlimit no_core = {0, 0};
        setrlimit(RLIMIT_CORE, &no_core);
        kill(getpid(), WTERMSIG(status));
      }
      _exit(WIFEXITED(status) ? WEXITSTATUS(status) : kSetupFailed);
    }
    pollfd watch = {control, POLLIN, 0};
    if (poll(&watch, 1, 2) == 1) {
      char request = 0;
      if (read(control, &request, 1) != 1) control = -1;  // no more requests
      if (request == 'f') tcsetpgrp(terminal, job);
      if (request == 'b') tcsetpgrp(terminal, getpgrp());
    }
  }
}

}  // namespace

TerminalChild::TerminalChild(const TerminalChildOptions& options) {
  const Plan plan = MakePlan(options);
  const bool job = options.job != Job::kSessionLeader;
  int control[2] = {-1, -1};  // test -> stand-in: requests
  int report[2] = {-1, -1};   // stand-in -> test: the job's process id
  if (job && (pipe(control) != 0 || pipe(report) != 0)) std::abort();

  if (openpty(&master_, &terminal_, nullptr, nullptr, nullptr) != 0) std::abort();
  tcgetattr(terminal_, &initial_mode_);
  Type(options.typed_before_start);

  pid_ = fork();
  if (pid_ < 0) std::abort();
  if (pid_ == 0) {
    // The child, from here on async-signal-safe calls only.
    if (setsid() < 0) ChildFails("setsid");
    if (options.controlling_terminal && ioctl(terminal_, TIOCSCTTY, 0) != 0) {
      ChildFails("taking the controlling terminal");
    }
    close(master_);
    ConnectStreams(plan, terminal_);
    if (plan.words.empty()) {
      options.body();
      _exit(0);
    }
    if (!job) RunProgram(plan, options);
    const pid_t program = fork();
    if (program < 0) ChildFails("fork");
    if (program == 0) {
      setpgid(0, 0);
      if (options.job == Job::kForegroundJob) {
        SetDisposition(SIGTTOU, SIG_IGN);
        if (tcsetpgrp(terminal_, getpgrp()) != 0) ChildFails("taking the foreground");
        SetDisposition(SIGTTOU, SIG_DFL);
      }
      RunProgram(plan, options);
    }
    setpgid(program, program);  // also here, so that neither process races the other
    if (write(report[1], &program, sizeof program) != sizeof program) ChildFails("report");
    StandInForShell(program, control[0], terminal_);
  }

  program_pid_ = pid_;
  if (job) {
    close(control[0]);
    close(report[1]);
    control_ = control[1];
    pollfd watch = {report[0], POLLIN, 0};
    if (poll(&watch, 1, 10000) != 1 ||
        read(report[0], &program_pid_, sizeof program_pid_) != sizeof program_pid_) {
      program_pid_ = pid_;  // the stand-in failed; Wait tells how
    }
    close(report[0]);
  }
}

TerminalChild::~TerminalChild() {
  if (pid_ > 0 && !reaped_) {
    if (program_pid_ != pid_) kill(program_pid_, SIGKILL);
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  if (control_ >= 0) close(control_);
  if (master_ >= 0) close(master_);
  close(terminal_);
}

bool TerminalChild::Running() const {
  if (reaped_ || !StillRunning(pid_)) return false;
  // A job's program is the stand-in's child, not ours: ask the system how it stands.
  return program_pid_ == pid_ || (kill(program_pid_, 0) == 0 && !Ended(program_pid_));
}

void TerminalChild::Type(std::string_view keys) const {
  if (!keys.empty() && master_ >= 0) (void)!write(master_, keys.data(), keys.size());
}

void TerminalChild::BringToForeground() const {
  if (control_ >= 0) (void)!write(control_, "f", 1);
}

void TerminalChild::SendToBackground() const {
  if (control_ >= 0) (void)!write(control_, "b", 1);
}

void TerminalChild::HangUp() {
  close(master_);
  master_ = -1;
}

Ending TerminalChild::Wait(std::chrono::milliseconds limit) {
  if (reaped_) return ending_;
  ending_ = WaitWithDeadline(pid_, limit);
  if (ending_.timed_out && program_pid_ != pid_) kill(program_pid_, SIGKILL);
  reaped_ = true;
  return ending_;
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
