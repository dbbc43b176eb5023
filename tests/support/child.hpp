// Child processes and scratch files for the tests: fresh directories, deadlines, unprivileged
// users.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

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

// A chain of nested directories below `base`, each name 250 characters long, deeper in all than
// a path the system takes at once; made, read and removed one level at a time.
class DeepDirectory {
 public:
  DeepDirectory(const std::filesystem::path& base, int levels);
  ~DeepDirectory();
  DeepDirectory(const DeepDirectory&) = delete;
  DeepDirectory& operator=(const DeepDirectory&) = delete;
  const std::filesystem::path& path() const { return path_; }
  // The bytes of a file in the deepest directory; "" when there is none.
  std::string Read(const std::string& name) const;

 private:
  // The deepest directory, opened level by level; -1 when some level is missing.
  int OpenDeepest() const;

  std::filesystem::path base_;
  std::filesystem::path path_;
  int levels_;
};

std::string ReadFile(const std::filesystem::path& path);
// An expected output in tests/golden/.
inline std::filesystem::path GoldenPath(const std::string& name) {
  return std::filesystem::path(BESSEL_GOLDEN_DIR) / name;
}
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

// Whether `condition` holds within `limit`, asked again every 2 ms.
template <class Condition>
bool Eventually(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

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
// In a child: become nobody (uid and gid 65534) when root. Async-signal-safe; false when a step
// failed.
bool DropPrivileges();

// Whether `check` holds when the unprivileged user runs it, where permissions count: in a child
// that drops to that user when the tests run as root, in the process itself otherwise. False
// also when the child cannot drop or does not end within 20 s.
bool AsUnprivileged(const std::function<bool()>& check);

// Why the unprivileged user cannot reach `path` (enter a directory, run a program), as access(2)
// tells it in a child that has dropped to that user: "" when it can, or when nobody is dropped
// to. A clone in a folder closed to others (mktemp -d, a root home) holds programs it cannot run.
std::string WhyNobodyCannotReach(const std::filesystem::path& path);

// Skips the running test where the unprivileged user cannot enter the temporary directory, in
// which the tests make every file and folder it must reach.
#define SKIP_UNLESS_NOBODY_REACHES_TEMPORARIES()                                         \
  if (const std::string nobody_cannot =                                                  \
          testing_support::WhyNobodyCannotReach(std::filesystem::temp_directory_path()); \
      !nobody_cannot.empty())                                                            \
  GTEST_SKIP() << nobody_cannot << ", the temporary directory: set TMPDIR to one others may enter"

// A program the unprivileged user can run: `program` itself where it can, else a copy in a fresh
// directory under the system's temporary directory. Where that too is closed to others (TMPDIR
// names a private folder), path() is empty and why_not() says why, for the test to skip.
class ProgramForNobody {
 public:
  explicit ProgramForNobody(const std::filesystem::path& program);
  const std::filesystem::path& path() const { return path_; }
  const std::string& why_not() const { return why_not_; }

 private:
  TempDir copy_;
  std::filesystem::path path_;
  std::string why_not_;
};

// A system-wide setting (a file under /proc/sys) set to `value` for as long as the object lives.
// The old value is given back by a watcher process in a session of its own, when the object goes
// or when the test process ends in any other way (a crash, SIGKILL, a timeout that kills its
// process group): the watcher waits for the end of a pipe only the test process holds.
class SystemSetting {
 public:
  SystemSetting(const std::filesystem::path& setting, const std::string& value);
  ~SystemSetting();
  SystemSetting(const SystemSetting&) = delete;
  SystemSetting& operator=(const SystemSetting&) = delete;
  // Whether the setting was read, changed and is watched.
  bool applied() const { return hold_ >= 0; }

 private:
  int hold_ = -1;  // the pipe's write end; the watcher restores when it is closed
  pid_t watcher_ = -1;
};

// User plus system processor time a running process has used so far (Linux /proc).
std::chrono::milliseconds ProcessorTime(pid_t pid);

// Whether a process is stopped (by SIGTSTP, SIGSTOP, ...), waiting to be continued; whether it
// has ended and waits only to be reaped.
bool Stopped(pid_t pid);
bool Ended(pid_t pid);
// Whether the process ignores the signal (its disposition is SIG_IGN, so the kernel drops the
// signal as it is sent), and whether it is asleep, waiting for something (Linux /proc).
bool IgnoresSignal(pid_t pid, int signal);
bool Sleeping(pid_t pid);
// How often the process has gone to sleep and woken again so far (Linux /proc, its main thread):
// each wakeup proves it ran again.
long Wakeups(pid_t pid);
// The process id of a child of `parent` running `command` (Linux /proc), or -1.
pid_t ChildRunning(pid_t parent, const std::string& command);
// True while the process's group is its terminal's foreground group.
bool InForeground(pid_t pid);

// Two terminal settings alike in every flag and control character.
bool SameMode(const termios& a, const termios& b);

// The program's path: as given when it names a directory, else the first match in PATH.
std::string ExecutablePath(const std::string& program);

// A program run to its end (within 20 s) with `arguments`, from `directory`, with exactly the
// environment given ("NAME=value"), no shell between: its status and both outputs. Its standard
// output is captured, or /dev/full (every write fails: no space), or closed.
enum class StandardOutput { kCaptured, kFull, kClosed };
struct CommandResult {
  int status = -1;  // -1 unless it exited
  std::string out;
  std::string err;
};
CommandResult RunCommand(const std::vector<std::string>& arguments,
                         const std::filesystem::path& directory,
                         const std::vector<std::string>& environment,
                         StandardOutput output = StandardOutput::kCaptured);

// What the action writes to standard output (file descriptor 1).
std::string CaptureStdout(const std::function<void()>& action);

}  // namespace testing_support
