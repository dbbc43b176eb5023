// The whole program on a pseudo-terminal, compared byte for byte with the expected outputs.
#include <gtest/gtest.h>
#include <termios.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/support/program_run.hpp"

namespace {

namespace fs = std::filesystem;
using testing_support::GoldenPath;
using testing_support::ProgramResult;
using testing_support::ProgramRun;
using testing_support::ReadFile;
using testing_support::RunProgram;
using testing_support::TempDir;
using testing_support::TerminalChild;
using testing_support::WriteFileBytes;

constexpr const char* kResultFiles[] = {"bess-7.rez", "bess-16.rez", "bess-34.rez"};

// A run in `directory` that finds a key typed before it started.
ProgramRun KeyTypedAhead(const fs::path& directory) {
  ProgramRun run;
  run.working_directory = directory;
  run.typed_before_start = "q";
  run.type_key_after_prompt = false;
  return run;
}

void ExpectGoldenOutputs(const fs::path& directory, const ProgramResult& result) {
  EXPECT_FALSE(result.ending.timed_out);
  EXPECT_EQ(result.ending.exit_status, 0);
  EXPECT_EQ(result.diagnostics, "");
  EXPECT_EQ(result.transcript, ReadFile(GoldenPath("console.txt")));
  for (const char* name : kResultFiles) {
    EXPECT_EQ(ReadFile(directory / name), ReadFile(GoldenPath(name))) << name;
  }
}

TEST(CompleteRun, AKeyTypedBeforeTheStartEndsItAtOnce) {
  TempDir dir;
  const ProgramResult result = RunProgram(KeyTypedAhead(dir.path()));
  ExpectGoldenOutputs(dir.path(), result);
  EXPECT_EQ(result.left_on_terminal, "q") << "the key is left for the next reader";
}

TEST(CompleteRun, AKeyTypedAtThePromptEndsIt) {
  TempDir dir;
  ProgramRun run;
  run.working_directory = dir.path();
  const ProgramResult result = RunProgram(run);
  EXPECT_TRUE(result.saw_prompt);
  ExpectGoldenOutputs(dir.path(), result);
  EXPECT_EQ(result.left_on_terminal, "k");
}

TEST(CompleteRun, TheProgramWaitsUntilAKeyIsTyped) {
  TempDir dir;
  ProgramRun run;
  run.working_directory = dir.path();
  bool waited = false;
  run.at_prompt = [&waited](TerminalChild& program) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    waited = testing_support::StillRunning(program.pid());
  };
  const ProgramResult result = RunProgram(run);
  EXPECT_TRUE(waited) << "ended before any key was typed";
  ExpectGoldenOutputs(dir.path(), result);
}

TEST(CompleteRun, ASecondRunInTheSameDirectoryGivesTheSameBytes) {
  TempDir dir;
  ExpectGoldenOutputs(dir.path(), RunProgram(KeyTypedAhead(dir.path())));
  ExpectGoldenOutputs(dir.path(), RunProgram(KeyTypedAhead(dir.path())));
}

TEST(CompleteRun, StaleLongerResultFilesAreReplaced) {
  TempDir dir;
  for (const char* name : kResultFiles) WriteFileBytes(dir / name, std::string(20000, '#'));
  ExpectGoldenOutputs(dir.path(), RunProgram(KeyTypedAhead(dir.path())));
}

// While it waits, the terminal gives single keys without echo; however the wait ends, the
// terminal is given back as it was.
TEST(KeyWait, TheTerminalIsRestoredWhenASignalEndsTheWait) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    TempDir dir;
    ProgramRun run;
    run.working_directory = dir.path();
    run.type_key_after_prompt = false;
    termios during = {};
    termios after = {};
    run.at_prompt = [&](TerminalChild& program) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      tcgetattr(program.terminal(), &during);
      kill(program.pid(), signal);
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (testing_support::StillRunning(program.pid()) &&
             std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      tcgetattr(program.terminal(), &after);
    };
    const ProgramResult result = RunProgram(run);
    EXPECT_EQ(result.ending.signal, signal) << "ends as the signal ends a process";
    EXPECT_EQ(during.c_lflag & (ICANON | ECHO), 0u) << "signal " << signal;
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO))
        << "signal " << signal;
  }
}

}  // namespace
