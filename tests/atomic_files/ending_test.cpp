// The early endings, each in a child process of its own: an ending signal and memory running
// out remove the pending temporary and end the running helper before the process ends.
#include "atomic_files/ending.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>

#include "tests/support/child.hpp"

namespace {

namespace fs = std::filesystem;
using testing_support::Ending;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WaitWithDeadline;
using testing_support::WriteFileBytes;

constexpr const char* kTemporary = "out.dat.tmp-abcd1234";

// `body` run in a child after `before` and ProtectOutputs, with out.dat.tmp-abcd1234 in
// `directory` made the pending temporary and standard error sent to the file `errors` there; how
// the child ended.
template <class Before, class Body>
Ending RunProtected(const fs::path& directory, Before before, Body body) {
  WriteFileBytes(directory / kTemporary, "half written");
  const pid_t pid = fork();
  if (pid == 0) {
    const int errors = open((directory / "errors").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(errors, STDERR_FILENO);
    const int dir = open(directory.c_str(), O_RDONLY | O_DIRECTORY);
    before();
    ProtectOutputs("bessel-recurrence-plot", "free some memory");
    {
      const EndingSignalsHeld held;
      SetPendingTemporary(dir, kTemporary);
    }
    body();
    _exit(0);
  }
  return WaitWithDeadline(pid, std::chrono::seconds(10));
}

template <class Body>
Ending RunProtected(const fs::path& directory, Body body) {
  return RunProtected(
      directory, [] {}, body);
}

TEST(ProtectOutputs, AnEndingSignalRemovesThePendingTemporaryThenEnds) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    TempDir dir;
    const Ending ending = RunProtected(dir.path(), [signal] { raise(signal); });
    EXPECT_EQ(ending.signal, signal) << strsignal(signal);
    EXPECT_FALSE(fs::exists(dir / kTemporary)) << strsignal(signal);
  }
}

// nohup's ignored SIGHUP stays ignored; a temporary no longer pending is left to its writer.
TEST(ProtectOutputs, LeavesWhatIsNotItsToUndo) {
  const struct Row {
    const char* what;
    void (*before)();  // in the child, before ProtectOutputs
    void (*body)();
    int exit_status;  // -1 when a signal ends the child
    int signal;
  } rows[] = {
      {"SIGHUP ignored from the start", [] { std::signal(SIGHUP, SIG_IGN); }, [] { raise(SIGHUP); },
       0, 0},
      {"the temporary settled", [] {},
       [] {
         {
           const EndingSignalsHeld held;
           ClearPendingTemporary();
         }
         raise(SIGTERM);
       },
       -1, SIGTERM},
  };
  for (const Row& row : rows) {
    TempDir dir;
    const Ending ending = RunProtected(dir.path(), row.before, row.body);
    EXPECT_EQ(ending.exit_status, row.exit_status) << row.what;
    EXPECT_EQ(ending.signal, row.signal) << row.what;
    EXPECT_EQ(ReadFile(dir / kTemporary), "half written") << row.what;
  }
}

// The helper, a child of the test's own, is sent SIGTERM.
TEST(ProtectOutputs, AnEndingSignalEndsTheRunningHelper) {
  TempDir dir;
  const pid_t helper = fork();
  if (helper == 0) {
    pause();
    _exit(0);
  }
  const Ending ending = RunProtected(dir.path(), [helper] {
    {
      const EndingSignalsHeld held;
      SetRunningHelper(helper);
    }
    raise(SIGINT);
  });
  EXPECT_EQ(ending.signal, SIGINT);
  const Ending helper_ending = WaitWithDeadline(helper, std::chrono::seconds(5));
  EXPECT_FALSE(helper_ending.timed_out) << "the helper was not ended";
  EXPECT_EQ(helper_ending.signal, SIGTERM);
}

TEST(EndForLackOfMemory, SaysSoAfterRemovingThePendingTemporary) {
  TempDir dir;
  const Ending ending = RunProtected(dir.path(), [] { EndForLackOfMemory(); });
  EXPECT_EQ(ending.exit_status, 1);
  EXPECT_FALSE(fs::exists(dir / kTemporary));
  EXPECT_EQ(ReadFile(dir / "errors"), "bessel-recurrence-plot: out of memory; free some memory\n");
}

}  // namespace
