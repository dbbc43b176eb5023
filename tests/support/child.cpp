// Child processes and scratch files for the tests.
#include "tests/support/child.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace testing_support {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "bessel-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Give back write permission that a test took away, so that everything can be removed.
  for (auto it = fs::recursive_directory_iterator(path_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored)) fs::permissions(it->path(), fs::perms::owner_all, ignored);
  }
  fs::permissions(path_, fs::perms::owner_all, ignored);
  fs::remove_all(path_, ignored);
}

namespace {

const std::string kLevelName(250, 'd');

}  // namespace

DeepDirectory::DeepDirectory(const fs::path& base, int levels)
    : base_(base), path_(base), levels_(levels) {
  int fd = open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (int level = 0; level < levels && fd >= 0; ++level) {
    mkdirat(fd, kLevelName.c_str(), 0777);
    const int next = openat(fd, kLevelName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    close(fd);
    fd = next;
    path_ /= kLevelName;
  }
  if (fd >= 0) close(fd);
}

int DeepDirectory::OpenDeepest() const {
  int fd = open(base_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (int level = 0; level < levels_ && fd >= 0; ++level) {
    const int next = openat(fd, kLevelName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    close(fd);
    fd = next;
  }
  return fd;
}

std::string DeepDirectory::Read(const std::string& name) const {
  const int directory = OpenDeepest();
  if (directory < 0) return {};
  const int fd = openat(directory, name.c_str(), O_RDONLY | O_CLOEXEC);
  close(directory);
  if (fd < 0) return {};
  std::string bytes;
  char buffer[4096];
  ssize_t got;
  while ((got = read(fd, buffer, sizeof buffer)) > 0)
    bytes.append(buffer, static_cast<size_t>(got));
  close(fd);
  return bytes;
}

DeepDirectory::~DeepDirectory() {
  // Empty the deepest level, then remove the levels from the bottom up.
  if (const int deepest = OpenDeepest(); deepest >= 0) {
    if (DIR* entries = fdopendir(dup(deepest))) {
      while (const dirent* entry = readdir(entries)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") unlinkat(deepest, name.c_str(), 0);
      }
      closedir(entries);
    }
    close(deepest);
  }
  for (int level = levels_; level > 0; --level) {
    int parent = open(base_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int step = 1; step < level && parent >= 0; ++step) {
      const int next = openat(parent, kLevelName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      close(parent);
      parent = next;
    }
    if (parent < 0) return;
    unlinkat(parent, kLevelName.c_str(), AT_REMOVEDIR);
    close(parent);
  }
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFileBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

Ending WaitWithDeadline(pid_t pid, milliseconds limit) {
  Ending ending;
  const auto end = steady_clock::now() + limit;
  // A process descriptor becomes readable the moment the child ends, so the wait ends then,
  // not at the next tick of a polling loop (which would blur every measured time). Where there
  // is none (old kernels, some emulators), look every millisecond.
  const int process = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    const auto left = std::chrono::duration_cast<milliseconds>(end - steady_clock::now());
    if (left <= milliseconds(0)) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      ending.timed_out = true;
      if (process >= 0) close(process);
      return ending;
    }
    if (process >= 0) {
      pollfd watch = {process, POLLIN, 0};
      poll(&watch, 1, static_cast<int>(std::min<milliseconds::rep>(left.count() + 1, 1000)));
    } else {
      std::this_thread::sleep_for(milliseconds(1));
    }
  }
  if (process >= 0) close(process);
  if (WIFEXITED(status)) ending.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) ending.signal = WTERMSIG(status);
  return ending;
}

SystemSetting::SystemSetting(const fs::path& setting, const std::string& value) {
  std::string old_value;
  std::getline(std::ifstream(setting), old_value);
  int ends[2];
  if (old_value.empty() || pipe2(ends, O_CLOEXEC) != 0) return;
  const std::string path = setting.string(), restored = old_value + "\n";
  rlimit limits = {};
  getrlimit(RLIMIT_NOFILE, &limits);
  const auto highest =
      static_cast<unsigned>(limits.rlim_cur == RLIM_INFINITY ? 65535 : limits.rlim_cur);
  watcher_ = fork();
  if (watcher_ == 0) {
    // Out of the test's session and deaf to the signals that end a group; nothing held but the
    // pipe's read end, so that no descriptor of the test's outlives it here.
    setsid();
    for (const int ignored : {SIGHUP, SIGINT, SIGTERM, SIGQUIT, SIGPIPE})
      std::signal(ignored, SIG_IGN);
    dup2(ends[0], STDIN_FILENO);
    if (close_range(STDIN_FILENO + 1, highest, 0) != 0) {
      for (unsigned fd = STDIN_FILENO + 1; fd <= highest; ++fd) close(static_cast<int>(fd));
    }
    char byte;
    while (read(STDIN_FILENO, &byte, 1) != 0) {
    }
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    _exit(fd >= 0 && write(fd, restored.data(), restored.size()) ==
                         static_cast<ssize_t>(restored.size())
              ? 0
              : 1);
  }
  close(ends[0]);
  if (watcher_ < 0) {
    close(ends[1]);
    return;
  }
  hold_ = ends[1];
  std::ofstream out(setting);
  if (!(out << value << "\n" << std::flush)) {
    close(hold_);  // nothing changed: the watcher writes the old value back, harmlessly
    hold_ = -1;
  }
}

SystemSetting::~SystemSetting() {
  if (hold_ >= 0) close(hold_);
  if (watcher_ > 0) WaitWithDeadline(watcher_, std::chrono::seconds(10));
}

bool RunningAsRoot() {
  return geteuid() == 0;
}

bool DropPrivileges() {
  return !RunningAsRoot() ||
         (setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0);
}

namespace {

// The status `body` ends with in a child that has dropped to the unprivileged user (255 when it
// could not drop), or the Ending's -1 when the child did not end within 20 s.
int StatusAsNobody(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(DropPrivileges() ? body() : 255);
  return pid > 0 ? WaitWithDeadline(pid, std::chrono::seconds(20)).exit_status : -1;
}

}  // namespace

bool AsUnprivileged(const std::function<bool()>& check) {
  if (!RunningAsRoot()) return check();
  return StatusAsNobody([&] { return check() ? 0 : 1; }) == 0;
}

std::string WhyNobodyCannotReach(const fs::path& path) {
  if (!RunningAsRoot()) return "";
  const int status = StatusAsNobody([&] { return access(path.c_str(), X_OK) == 0 ? 0 : errno; });
  if (status == 0) return "";
  const std::string why = status == 255 ? "cannot drop to it"
                          : status > 0  ? std::strerror(status)
                                        : "the check did not end";
  return "the unprivileged user (uid 65534) cannot reach " + path.string() + ": " + why;
}

ProgramForNobody::ProgramForNobody(const fs::path& program) : path_(program) {
  why_not_ = WhyNobodyCannotReach(program);
  if (why_not_.empty()) return;
  const fs::path copy = copy_ / program.filename().string();
  std::error_code failed;
  fs::copy_file(program, copy, failed);
  fs::permissions(copy_.path(),
                  fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                      fs::perms::others_read | fs::perms::others_exec,
                  failed);
  const std::string copy_unreachable = WhyNobodyCannotReach(copy);
  if (copy_unreachable.empty()) {
    path_ = copy;
    why_not_.clear();
    return;
  }
  path_.clear();
  why_not_ += "; nor a copy in the temporary directory: " + copy_unreachable +
              " (set TMPDIR to a directory others may enter)";
}

bool StillRunning(pid_t pid) {
  siginfo_t info = {};
  return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == 0;
}

namespace {

// The fields of /proc/PID/stat after the command name: state is field 3.
std::vector<std::string> StatFields(pid_t pid) {
  const std::string text = ReadFile("/proc/" + std::to_string(pid) + "/stat");
  const size_t close = text.rfind(')');
  std::vector<std::string> fields = {"", "", ""};  // fields 0 (unused), 1 and 2
  if (close == std::string::npos) return fields;
  std::istringstream rest(text.substr(close + 2));
  for (std::string field; rest >> field;) fields.push_back(field);
  return fields;
}

}  // namespace

std::chrono::milliseconds ProcessorTime(pid_t pid) {
  const std::vector<std::string> fields = StatFields(pid);
  if (fields.size() <= 15) return milliseconds(-1);
  const long ticks = std::stol(fields[14]) + std::stol(fields[15]);  // utime + stime
  return milliseconds(1000 * ticks / sysconf(_SC_CLK_TCK));
}

bool Stopped(pid_t pid) {
  const std::vector<std::string> fields = StatFields(pid);
  return fields.size() > 3 && (fields[3] == "T" || fields[3] == "t");
}

namespace {

// The value of one line of /proc/PID/status ("SigIgn:\t0000000000000001" -> "0000000000000001"),
// or "" when there is none.
std::string StatusField(pid_t pid, const std::string& name) {
  std::istringstream status(ReadFile("/proc/" + std::to_string(pid) + "/status"));
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with(name + ":")) return line.substr(name.size() + 1);
  }
  return "";
}

}  // namespace

bool IgnoresSignal(pid_t pid, int signal) {
  const std::string mask = StatusField(pid, "SigIgn");
  return !mask.empty() && ((std::stoull(mask, nullptr, 16) >> (signal - 1)) & 1) != 0;
}

bool Sleeping(pid_t pid) {
  const std::vector<std::string> fields = StatFields(pid);
  return fields.size() > 3 && fields[3] == "S";
}

long Wakeups(pid_t pid) {
  const std::string count = StatusField(pid, "voluntary_ctxt_switches");
  return count.empty() ? -1 : std::stol(count);
}

pid_t ChildRunning(pid_t parent, const std::string& command) {
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(name));
    const std::vector<std::string> fields = StatFields(pid);
    if (fields.size() > 4 && fields[4] == std::to_string(parent) &&
        ReadFile(entry.path() / "comm") == command + "\n") {
      return pid;
    }
  }
  return -1;
}

bool InForeground(pid_t pid) {
  const std::vector<std::string> fields = StatFields(pid);
  return fields.size() > 8 && fields[8] == fields[5];  // tpgid == pgrp
}

bool Ended(pid_t pid) {
  const std::vector<std::string> fields = StatFields(pid);
  return fields.size() <= 3 || fields[3] == "Z" || fields[3] == "X";
}

bool SameMode(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::equal(std::begin(a.c_cc), std::end(a.c_cc), b.c_cc);
}

std::string CaptureStdout(const std::function<void()>& action) {
  TempDir scratch;
  const fs::path file = scratch / "captured";
  const int saved = dup(STDOUT_FILENO);
  const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  dup2(fd, STDOUT_FILENO);
  close(fd);
  action();
  dup2(saved, STDOUT_FILENO);
  close(saved);
  return ReadFile(file);
}

std::string ExecutablePath(const std::string& program) {
  if (program.find('/') != std::string::npos) return program;
  const char* path = std::getenv("PATH");
  std::istringstream directories(path != nullptr ? path : "/usr/bin:/bin");
  for (std::string directory; std::getline(directories, directory, ':');) {
    const std::string candidate = (directory.empty() ? "." : directory) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return program;  // the child's exec fails and says so
}

CommandResult RunCommand(const std::vector<std::string>& arguments, const fs::path& directory,
                         const std::vector<std::string>& environment, StandardOutput output) {
  TempDir scratch;
  const std::string out = (scratch / "out").string(), err = (scratch / "err").string();
  std::vector<std::string> words = arguments;
  if (!words.empty()) words[0] = ExecutablePath(words[0]);
  std::vector<char*> argv, envp;  // prepared before the fork
  for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
  for (const std::string& word : environment) envp.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int out_fd = output == StandardOutput::kFull
                           ? open("/dev/full", O_WRONLY)
                           : open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out_fd < 0 || err_fd < 0 || dup2(out_fd, STDOUT_FILENO) < 0 ||
        dup2(err_fd, STDERR_FILENO) < 0 || chdir(directory.c_str()) != 0) {
      _exit(125);
    }
    for (const int fd : {out_fd, err_fd}) {
      if (fd > STDERR_FILENO) close(fd);
    }
    if (output == StandardOutput::kClosed) close(STDOUT_FILENO);
    execve(argv[0], argv.data(), envp.data());
    _exit(126);
  }
  CommandResult result;
  result.status = WaitWithDeadline(pid, std::chrono::seconds(20)).exit_status;
  result.out = output == StandardOutput::kCaptured ? ReadFile(out) : "";
  result.err = ReadFile(err);
  return result;
}

}  // namespace testing_support
