// The one way the tests and the measurements start a process on a pseudo-terminal: a child in a
// session of its own, with the terminal as its controlling terminal (or none), its standard
// streams connected as asked, and a deadline on every wait.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/child.hpp"

namespace testing_support {

// What one of the child's standard streams (0, 1 or 2) is connected to.
struct Connection {
  enum class To { kInherit, kTerminal, kFile, kClosed };
  To to = To::kInherit;
  std::filesystem::path file;  // kFile: opened for reading (stream 0) or for writing (1 and 2)

  static Connection Inherit() { return {}; }
  static Connection Terminal() { return {To::kTerminal, {}}; }
  static Connection File(std::filesystem::path path) { return {To::kFile, std::move(path)}; }
  static Connection Closed() { return {To::kClosed, {}}; }
};

struct TerminalChildOptions {
  // The program and its arguments; the program is looked up in PATH when it names no
  // directory. Empty: the child runs `body` instead and then ends with status 0.
  std::vector<std::string> command;
  std::function<void()> body;

  // Any depth: a path longer than the system takes at once is entered one step at a time.
  std::filesystem::path working_directory;  // empty: the parent's
  bool controlling_terminal = true;         // false: a session without a terminal

  // How the program stands at its terminal. kSessionLeader: it leads a session of its own.
  // kForegroundJob, kBackgroundJob: as a shell runs a job, a session leader standing in for the
  // shell holds the terminal and runs the program in a process group of its own, in the
  // terminal's foreground or background (BringToForeground moves it later). The stand-in ends
  // as the program ends.
  enum class Job { kSessionLeader, kForegroundJob, kBackgroundJob };
  Job job = Job::kSessionLeader;
  bool ignore_hangup = false;  // SIGHUP ignored, as nohup starts a program

  // Root only, in a private mount namespace: kReadOnly bind-mounts the working directory
  // read-only over itself; kTinyTmpfs mounts an empty 4 KiB tmpfs on it. Where the system
  // refuses, the child ends with kMountRefused.
  enum class Mount { kNone, kReadOnly, kTinyTmpfs };
  Mount mount = Mount::kNone;

  Connection in = Connection::File("/dev/null");
  Connection out = Connection::Inherit();
  Connection err = Connection::Inherit();
  bool unprivileged = false;       // drop to nobody first (only root can)
  int open_file_limit = 0;         // nonzero: the child may hold at most this many descriptors
  long file_size_limit = 0;        // nonzero: the child may write files of at most this many bytes
  long memory_limit = 0;           // nonzero: the child may map at most this many bytes (ulimit -v)
  std::string typed_before_start;  // bytes typed at the terminal before the child starts
};

// A started child. Everything it needs is prepared before the fork; the child itself calls
// only async-signal-safe functions until it runs the program, and ends with status 125 and a
// line on its standard error when a step of its set-up fails. A child still running when the
// object goes is killed and reaped.
class TerminalChild {
 public:
  static constexpr int kMountRefused = 124;

  explicit TerminalChild(const TerminalChildOptions& options);
  ~TerminalChild();
  TerminalChild(const TerminalChild&) = delete;
  TerminalChild& operator=(const TerminalChild&) = delete;

  // The program's process (in a job, not the stand-in for the shell).
  pid_t pid() const { return program_pid_; }
  // The child's side of the terminal, for tcgetattr and the like.
  int terminal() const { return terminal_; }
  // True until the program has ended.
  bool Running() const;
  // The terminal's settings before the child started.
  const termios& initial_mode() const { return initial_mode_; }

  // Types bytes at the terminal, as a user at its keyboard would.
  void Type(std::string_view keys) const;
  // Makes a background job the terminal's foreground job, as `fg` does.
  void BringToForeground() const;
  // Gives the terminal back to the stand-in for a shell, as a shell does when its job stops.
  void SendToBackground() const;
  // Hangs up the terminal, as closing a terminal window does. Nothing can be typed after.
  void HangUp();
  // Waits for the child to end, killing it once `limit` has passed; once it has ended, tells how.
  Ending Wait(std::chrono::milliseconds limit);
  // The bytes typed at the terminal that nobody has read yet.
  std::string UnreadInput() const;

 private:
  pid_t pid_ = -1;  // the child: the program itself, or the stand-in for a shell
  pid_t program_pid_ = -1;
  bool reaped_ = false;
  Ending ending_;
  int master_ = -1;
  int terminal_ = -1;
  int control_ = -1;  // requests to the stand-in for a shell
  termios initial_mode_ = {};
};

}  // namespace testing_support
