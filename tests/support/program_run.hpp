// Whole runs of the program under test on a pseudo-terminal, in a fresh directory, optionally
// as an unprivileged user, always within a deadline.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "tests/support/child.hpp"
#include "tests/support/program.hpp"

namespace testing_support {

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

// Runs the real program on a pseudo-terminal (the program under test unless `program` names
// another). The binary is copied next to the working directory first, so that an unprivileged
// child can run it wherever the build lives.
ProgramResult RunProgram(const ProgramRun& run);

}  // namespace testing_support
