// A whole run of the program: spawn it, wait for its prompt, collect what it left.
#include "tests/support/program_run.hpp"

#include <algorithm>
#include <sstream>
#include <thread>

namespace testing_support {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

namespace {

using TimePoint = steady_clock::time_point;

// The program copied into `scratch` and run in the working directory, its standard output and
// error going to files in `scratch`, which an unprivileged child can write too.
TerminalChildOptions ProgramOptions(const ProgramRun& run, const TempDir& scratch) {
  const fs::path program = scratch / "bessel-recurrence";
  fs::copy_file(run.program.empty() ? ProgramPath() : run.program, program);
  fs::permissions(scratch.path(), fs::perms::all);
  for (const char* name : {"stdout", "stderr"}) {
    WriteFileBytes(scratch / name, "");
    fs::permissions(scratch / name, fs::perms::all);
  }
  TerminalChildOptions options = run.child;
  std::istringstream launcher(ProgramLauncher());
  for (std::string word; launcher >> word;) options.command.push_back(word);
  options.command.push_back(program.string());
  options.command.insert(options.command.end(), run.arguments.begin(), run.arguments.end());
  switch (run.stdout_mode) {
    case Stdout::kFile:
      options.out = Connection::File(scratch / "stdout");
      break;
    case Stdout::kClosed:
      options.out = Connection::Closed();
      break;
    case Stdout::kDevFull:
      options.out = Connection::File("/dev/full");
      break;
  }
  options.err = Connection::File(scratch / "stderr");
  return options;
}

// Waits until the prompt, which comes last, is on standard output: then the program waits for
// a key. False when the program ended first or the deadline passed.
bool AwaitPrompt(const TerminalChild& child, const fs::path& out, TimePoint end) {
  while (steady_clock::now() < end && child.Running()) {
    if (ReadFile(out).find("Apasa orice tasta\r\n") != std::string::npos) return true;
    std::this_thread::sleep_for(milliseconds(5));
  }
  return false;
}

// Waits for the end of the run and gathers what it left.
void Collect(TerminalChild& child, const TempDir& scratch, TimePoint end, ProgramResult& result) {
  const auto left = std::chrono::duration_cast<milliseconds>(end - steady_clock::now());
  result.ending = child.Wait(std::max(left, milliseconds(1)));
  result.mode_before = child.initial_mode();
  tcgetattr(child.terminal(), &result.mode_after);
  result.left_on_terminal = child.UnreadInput();
  result.transcript = ReadFile(scratch / "stdout");
  result.diagnostics = ReadFile(scratch / "stderr");
}

}  // namespace

ProgramResult RunProgram(const ProgramRun& run) {
  ProgramResult result;
  TempDir scratch;
  const TimePoint end = steady_clock::now() + run.deadline;
  TerminalChild child(ProgramOptions(run, scratch));
  const bool wants_prompt = run.type_key_after_prompt || run.at_prompt;
  if (wants_prompt && run.stdout_mode == Stdout::kFile) {
    result.saw_prompt = AwaitPrompt(child, scratch / "stdout", end);
  }
  if (result.saw_prompt && run.at_prompt) run.at_prompt(child);
  if (result.saw_prompt && run.type_key_after_prompt) child.Type("k");
  Collect(child, scratch, end, result);
  return result;
}

}  // namespace testing_support
