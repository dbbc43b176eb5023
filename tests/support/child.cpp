// Child processes for the tests: deadlines, pseudo-terminals, unprivileged users.
#include "tests/support/child.hpp"

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
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (steady_clock::now() >= end) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      ending.timed_out = true;
      return ending;
    }
    std::this_thread::sleep_for(milliseconds(1));
  }
  if (WIFEXITED(status)) ending.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) ending.signal = WTERMSIG(status);
  return ending;
}

bool RunningAsRoot() {
  return geteuid() == 0;
}

void DropPrivileges() {
  if (!RunningAsRoot()) return;
  if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(125);
}

fs::path ProgramPath() {
  return BESSEL_PROGRAM;
}

std::string ProgramLauncher() {
  std::string launcher = BESSEL_PROGRAM_LAUNCHER;
  for (char& c : launcher) c = c == '|' ? ' ' : c;
  return launcher;
}

fs::path GoldenPath(const std::string& name) {
  return fs::path(BESSEL_GOLDEN_DIR) / name;
}

namespace {

// Bytes still waiting to be read on the terminal whose other end is `terminal`.
std::string UnreadInput(int terminal) {
  termios mode;
  if (tcgetattr(terminal, &mode) != 0) return {};
  cfmakeraw(&mode);
  mode.c_cc[VMIN] = 0;
  mode.c_cc[VTIME] = 0;
  tcsetattr(terminal, TCSANOW, &mode);
  std::string bytes;
  char buffer[64];
  ssize_t got;
  while ((got = read(terminal, buffer, sizeof buffer)) > 0)
    bytes.append(buffer, static_cast<size_t>(got));
  return bytes;
}

}  // namespace

bool StillRunning(pid_t pid) {
  siginfo_t info = {};
  return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == 0;
}

namespace {

bool Contains(const fs::path& path, const std::string& text) {
  return ReadFile(path).find(text) != std::string::npos;
}

}  // namespace

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

ProgramResult RunProgram(const ProgramRun& run) {
  ProgramResult result;
  TempDir scratch;
  const fs::path program = scratch / "bessel-recurrence";
  fs::copy_file(run.program.empty() ? ProgramPath() : run.program, program);
  fs::permissions(scratch.path(), fs::perms::all);  // reachable for an unprivileged child
  const fs::path out = scratch / "stdout";
  const fs::path err = scratch / "stderr";
  WriteFileBytes(out, "");
  WriteFileBytes(err, "");
  fs::permissions(out, fs::perms::all);
  fs::permissions(err, fs::perms::all);

  int master = -1;
  int terminal = -1;
  if (openpty(&master, &terminal, nullptr, nullptr, nullptr) != 0) std::abort();
  if (!run.typed_before_start.empty()) {
    (void)!write(master, run.typed_before_start.data(), run.typed_before_start.size());
  }

  const pid_t pid = fork();
  if (pid == 0) {
    setsid();
    if (run.controlling_terminal) ioctl(terminal, TIOCSCTTY, 0);
    const int in = open("/dev/null", O_RDONLY);
    dup2(in, STDIN_FILENO);
    // Standard error first, so that its file cannot land on a closed standard output.
    dup2(open(err.c_str(), O_WRONLY | O_TRUNC), STDERR_FILENO);
    switch (run.stdout_mode) {
      case Stdout::kFile:
        dup2(open(out.c_str(), O_WRONLY | O_TRUNC), STDOUT_FILENO);
        break;
      case Stdout::kClosed:
        close(STDOUT_FILENO);
        break;
      case Stdout::kDevFull:
        dup2(open("/dev/full", O_WRONLY), STDOUT_FILENO);
        break;
    }
    closefrom(STDERR_FILENO + 1);
    if (run.unprivileged) DropPrivileges();
    if (run.open_file_limit > 0) {
      const rlimit limit = {static_cast<rlim_t>(run.open_file_limit),
                            static_cast<rlim_t>(run.open_file_limit)};
      setrlimit(RLIMIT_NOFILE, &limit);
    }
    if (chdir(run.working_directory.c_str()) != 0) _exit(126);
    // The launcher's words (if any), then the program.
    std::vector<std::string> words;
    std::istringstream launcher(ProgramLauncher());
    for (std::string word; launcher >> word;) words.push_back(word);
    words.push_back(program.string());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }

  const auto end = steady_clock::now() + run.deadline;
  if (run.type_key_after_prompt || run.at_prompt) {
    // The prompt comes last on standard output; then the program waits for the key.
    while (steady_clock::now() < end && StillRunning(pid)) {
      if (run.stdout_mode == Stdout::kFile && Contains(out, "Apasa orice tasta\r\n")) {
        result.saw_prompt = true;
        break;
      }
      std::this_thread::sleep_for(milliseconds(5));
    }
    if (result.saw_prompt && run.at_prompt) run.at_prompt(pid, terminal);
    if (result.saw_prompt && run.type_key_after_prompt) (void)!write(master, "k", 1);
  }
  const auto left = std::chrono::duration_cast<milliseconds>(end - steady_clock::now());
  result.ending = WaitWithDeadline(pid, std::max(left, milliseconds(1)));
  result.left_on_terminal = UnreadInput(terminal);
  close(terminal);
  close(master);
  result.transcript = ReadFile(out);
  result.diagnostics = ReadFile(err);
  return result;
}

}  // namespace testing_support
