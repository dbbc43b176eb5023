// Whole runs of the program under test on a pseudo-terminal, in a fresh directory, optionally
// as an unprivileged user, always within a deadline.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/child.hpp"
#include "tests/support/program.hpp"
#include "tests/support/terminal_child.hpp"

namespace testing_support {

enum class Stdout { kFile, kClosed, kDevFull };

struct ProgramRun {
  std::filesystem::path program;       // empty: the program under test
  std::vector<std::string> arguments;  // given to the program after its name
  Stdout stdout_mode = Stdout::kFile;
  // Where and how the program runs: its directory, terminal, job, user, limits and mounts (the
  // command and the streams are set by RunProgram).
  TerminalChildOptions child;
  bool type_key_after_prompt = true;
  std::chrono::milliseconds deadline{20000};
  // Called once the prompt is on standard output, before any key is typed, with the running
  // program (its pid, its terminal, the keyboard).
  std::function<void(TerminalChild& program)> at_prompt;
};

struct ProgramResult {
  Ending ending;
  std::string transcript;        // standard output's bytes (kFile)
  std::string diagnostics;       // standard error's bytes
  std::string left_on_terminal;  // input still unread on the terminal after the end
  bool saw_prompt = false;
  termios mode_before = {};  // the terminal's settings before the start
  termios mode_after = {};   // and after the end
};

// A run in `directory`, otherwise as the defaults above have it: a key is typed at the prompt.
inline ProgramRun RunIn(const std::filesystem::path& directory) {
  ProgramRun run;
  run.child.working_directory = directory;
  return run;
}

// Runs the real program on a pseudo-terminal (the program under test unless `program` names
// another). The binary is copied next to the working directory first, so that an unprivileged
// child can run it wherever the build lives.
ProgramResult RunProgram(const ProgramRun& run);

}  // namespace testing_support
