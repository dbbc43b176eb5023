// Running the program (or a piece of a test) in a child process: on a pseudo-terminal, in a
// fresh directory, optionally as an unprivileged user, always within a deadline.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace testing_support {

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

// How a process ended: exit status, or the signal that ended it, or killed at the deadline.
struct Ending {
  bool timed_out = false;
  int exit_status = -1;  // -1 unless it exited
  int signal = 0;        // nonzero when a signal ended it
};

// True while the child runs (it has not ended, or has not been waited for).
bool StillRunning(pid_t pid);

// Waits for the child, sending SIGKILL once `limit` has passed.
Ending WaitWithDeadline(pid_t pid, std::chrono::milliseconds limit);

// The user the tests drop to where permissions must count: CI runs as root, whom file
// permissions do not stop. Only root can drop; everyone else already is unprivileged.
bool RunningAsRoot();
void DropPrivileges();  // in a child: become nobody (uid and gid 65534)

enum class Stdout { kFile, kClosed, kDevFull };

struct ProgramRun {
  std::filesystem::path program;  // empty: the program under test
  std::filesystem::path working_directory;
  Stdout stdout_mode = Stdout::kFile;
  bool unprivileged = false;
  bool controlling_terminal = true;
  std::string typed_before_start;  // bytes typed at the terminal before the program starts
  bool type_key_after_prompt = true;
  int open_file_limit = 0;  // nonzero: the child may hold at most this many descriptors
  std::chrono::milliseconds deadline{20000};
  // Called once the prompt is on standard output, before any key is typed, with the pid and
  // the test's end of the terminal (the program's side, for tcgetattr).
  std::function<void(pid_t, int terminal)> at_prompt;
};

struct ProgramResult {
  Ending ending;
  std::string transcript;        // standard output's bytes (kFile)
  std::string diagnostics;       // standard error's bytes
  std::string left_on_terminal;  // input still unread on the terminal after the end
  bool saw_prompt = false;
};

// Runs the real program. The binary is copied next to the working directory first, so that an
// unprivileged child can run it wherever the build lives.
ProgramResult RunProgram(const ProgramRun& run);

// What the action writes to standard output (file descriptor 1).
std::string CaptureStdout(const std::function<void()>& action);

// The program under test and the expected outputs. ProgramLauncher is the emulator that runs
// it when it was built for another target ("qemu-aarch64 -L /usr/aarch64-linux-gnu"), else "".
std::string ProgramLauncher();
std::filesystem::path ProgramPath();
std::filesystem::path GoldenPath(const std::string& name);

}  // namespace testing_support
