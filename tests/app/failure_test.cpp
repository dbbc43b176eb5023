// Failures of the whole program: each ends the run with its diagnostic and exit status, and
// leaves no result file that looks complete.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "results/result_files.hpp"
#include "tests/support/program_run.hpp"

namespace {

namespace fs = std::filesystem;
using testing_support::GoldenPath;
using testing_support::ProgramResult;
using testing_support::ProgramRun;
using testing_support::ReadFile;
using testing_support::RunProgram;
using testing_support::Stdout;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

// A Unix socket, which no one can open as a file, at `path`.
void BindSocket(const fs::path& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  path.string().copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  close(fd);
}

class FailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    work_ = dir_ / "work";
    fs::create_directory(work_);
    fs::permissions(dir_.path(), fs::perms::all);
    fs::permissions(work_, fs::perms::all);
    run_.child.working_directory = work_;
    run_.child.typed_before_start = "q";  // a run that gets through ends at once
    run_.type_key_after_prompt = false;
  }

  // The first line of standard error, which names the failure.
  static std::string Diagnostic(const ProgramResult& result) {
    return result.diagnostics.substr(0, result.diagnostics.find('\n'));
  }

  std::string PathOf(const char* name) const { return (work_ / name).string(); }

  // The run ended with `status`, and its diagnostic names the message, the unit and the file.
  static void ExpectFailure(const ProgramResult& result, int status, const std::string& message,
                            int unit, const std::string& file) {
    EXPECT_EQ(result.ending.exit_status, status);
    EXPECT_EQ(Diagnostic(result), "tandrel: severe (" + std::to_string(status) + "): " + message +
                                      ", unit " + std::to_string(unit) + ", file " + file);
  }

  TempDir dir_;
  fs::path work_;
  ProgramRun run_;
};

TEST_F(FailureTest, AReadOnlyResultFileEndsTheRunWith47AndStaysUnchanged) {
  SKIP_UNLESS_NOBODY_REACHES_TEMPORARIES();
  WriteFileBytes(work_ / "bess-7.rez", "kept\r\n");
  fs::permissions(work_ / "bess-7.rez", fs::perms::owner_read | fs::perms::others_read);
  run_.child.unprivileged = true;
  const ProgramResult result = RunProgram(run_);
  ExpectFailure(result, 47, "write to READONLY file", 1, PathOf("bess-7.rez"));
  EXPECT_EQ(ReadFile(work_ / "bess-7.rez"), "kept\r\n");
  EXPECT_FALSE(fs::exists(work_ / "bess-16.rez"));
  EXPECT_FALSE(fs::exists(work_ / "bess-34.rez"));
}

TEST_F(FailureTest, TheTracebackNamesTheActiveRoutines) {
  SKIP_UNLESS_NOBODY_REACHES_TEMPORARIES();
  WriteFileBytes(work_ / "bess-7.rez", "kept\r\n");
  fs::permissions(work_ / "bess-7.rez", fs::perms::owner_read | fs::perms::others_read);
  run_.child.unprivileged = true;
  const ProgramResult result = RunProgram(run_);
  const std::string traceback = result.diagnostics.substr(result.diagnostics.find('\n') + 1);
  EXPECT_EQ(traceback,
            "traceback (innermost first):\n"
            "  EmitRecord\n"
            "  EndStatement\n"
            "  WriteResultFiles\n"
            "  RunSequence\n");
}

TEST_F(FailureTest, AWorkingDirectoryWithoutWritePermissionEndsTheRunWith9) {
  SKIP_UNLESS_NOBODY_REACHES_TEMPORARIES();
  fs::permissions(work_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
  run_.child.unprivileged = true;
  const ProgramResult result = RunProgram(run_);
  ExpectFailure(result, 9, "permission to access file denied", 1, PathOf("bess-7.rez"));
  EXPECT_TRUE(fs::is_empty(work_));
}

TEST_F(FailureTest, OpenAndWriteFailuresOfEachResultFile) {
  struct Row {
    const char* name;
    const char* file;  // the result file that is made to fail
    int unit;
    int status;
    const char* message;
    void (*arrange)(const fs::path& file);
  };
  const Row rows[] = {
      {"write fails", "bess-7.rez", 1, 38, "error during write",
       [](const fs::path& f) { fs::create_symlink("/dev/full", f); }},
      {"missing directory", "bess-16.rez", 2, 29, "file not found",
       [](const fs::path& f) { fs::create_symlink("no/such/directory/file", f); }},
      {"a directory in its place", "bess-34.rez", 3, 30, "open failure",
       [](const fs::path& f) { fs::create_directory(f); }},
      {"a loop of links", "bess-7.rez", 1, 43, "file name specification error",
       [](const fs::path& f) { fs::create_symlink(f.filename(), f); }},
      {"a socket in its place", "bess-16.rez", 2, 42, "no such device", BindSocket},
  };
  for (const Row& row : rows) {
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::all);
    row.arrange(dir / row.file);
    run_.child.working_directory = dir.path();
    SCOPED_TRACE(row.name);
    ExpectFailure(RunProgram(run_), row.status, row.message, row.unit, (dir / row.file).string());
  }
}

// File systems that refuse what the run needs, mounted over the working directory in a private
// mount namespace (root only).
TEST_F(FailureTest, ReadOnlyAndFullFileSystems) {
  using Mount = testing_support::TerminalChildOptions::Mount;
  struct Row {
    const char* name;
    Mount mount;
    int unit;
    int status;
    const char* message;
  };
  const Row rows[] = {
      // An existing result file opens for reading and fails at its first write, unchanged.
      {"read-only", Mount::kReadOnly, 1, 47, "write to READONLY file"},
      // The first file fills the 4 KiB; the second has no room for its first record.
      {"full", Mount::kTinyTmpfs, 2, 38, "error during write"},
  };
  if (!testing_support::RunningAsRoot()) GTEST_SKIP() << "mounting needs root";
  for (const Row& row : rows) {
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::all);
    WriteFileBytes(dir / "bess-7.rez", "kept\r\n");
    run_.child.working_directory = dir.path();
    run_.child.mount = row.mount;
    const ProgramResult result = RunProgram(run_);
    if (result.ending.exit_status == testing_support::TerminalChild::kMountRefused) {
      GTEST_SKIP() << "the system refuses a private mount namespace: " << result.diagnostics;
    }
    SCOPED_TRACE(row.name);
    ExpectFailure(result, row.status, row.message, row.unit,
                  (dir / ResultFileName(row.unit)).string());
    EXPECT_EQ(ReadFile(dir / "bess-7.rez"), "kept\r\n") << "the mount hid this one";
  }
}

// ulimit -f: the write that passes the limit fails as a write, instead of the signal ending the
// run without a word.
TEST_F(FailureTest, AWritePastTheFileSizeLimitEndsTheRunWith38) {
  // Room for the transcript (545 bytes), not for a whole result file: the 34-digit file, whose
  // lines are the longest, passes it first.
  run_.child.file_size_limit = 600;
  ExpectFailure(RunProgram(run_), 38, "error during write", 3, PathOf("bess-34.rez"));
}

// In a sticky directory that anyone may write to, only what the user or the directory's owner
// made is used: another's link at any step of the path, another's file, or a second name of a
// file someone may have linked there without being allowed to write it are refused, even where
// the kernel's own protections (fs.protected_symlinks, fs.protected_regular) are off. The
// user's own link is followed.
TEST_F(FailureTest, WhatAnotherUserPlantedInASharedStickyDirectoryIsRefusedWith9) {
  if (!testing_support::RunningAsRoot()) GTEST_SKIP() << "giving a file away needs root";
  // Where they can be turned off, the program alone guards.
  const testing_support::SystemSetting links("/proc/sys/fs/protected_symlinks", "0");
  const testing_support::SystemSetting files("/proc/sys/fs/protected_regular", "0");
  if (!links.applied() || !files.applied()) {
    GTEST_SKIP() << "the kernel's protections cannot be turned off here";
  }
  constexpr uid_t kNobody = 65534;
  const auto give_away = [](const fs::path& path) {
    ASSERT_EQ(lchown(path.c_str(), kNobody, kNobody), 0) << path;
  };
  const fs::path victim = dir_ / "victim";
  const fs::path shared = dir_ / "shared";  // a second sticky directory, as /tmp is
  fs::create_directory(shared);
  fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
  fs::permissions(work_, fs::perms::all | fs::perms::sticky_bit);
  fs::create_symlink("/dev/null", work_ / "bess-7.rez");  // the user's own: followed
  const struct Row {
    const char* name;
    std::function<void(const fs::path& planted)> plant;  // what bess-16.rez becomes
  } rows[] = {{"another's link",
               [&](const fs::path& planted) {
                 fs::create_symlink(victim, planted);
                 give_away(planted);
               }},
              {"the user's link to another's link",
               [&](const fs::path& planted) {
                 fs::create_symlink(victim, shared / "results.rez");
                 give_away(shared / "results.rez");
                 fs::create_symlink(shared / "results.rez", planted);
               }},
              {"the user's link through another's link to a directory",
               [&](const fs::path& planted) {
                 fs::create_symlink(dir_.path(), shared / "results");
                 give_away(shared / "results");
                 fs::create_symlink(shared / "results" / "victim", planted);
               }},
              {"another's file",
               [&](const fs::path& planted) {
                 fs::copy_file(victim, planted);
                 give_away(planted);
               }},
              {"a second name of the user's file",
               [&](const fs::path& planted) { fs::create_hard_link(victim, planted); }},
              // Refused, not waited on for a writer that never comes.
              {"another's FIFO", [&](const fs::path& planted) {
                 ASSERT_EQ(mkfifo(planted.c_str(), 0644), 0);
                 give_away(planted);
               }}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    for (const fs::path& entry :
         {work_ / "bess-16.rez", shared / "results.rez", shared / "results"})
      fs::remove(entry);
    WriteFileBytes(victim, "kept\r\n");
    row.plant(work_ / "bess-16.rez");
    const ProgramResult result = RunProgram(run_);
    ExpectFailure(result, 9, "permission to access file denied", 2, PathOf("bess-16.rez"));
    EXPECT_EQ(ReadFile(victim), "kept\r\n");
  }
}

TEST_F(FailureTest, TooManyOpenFilesIsAnOpenFailure) {
  if (!testing_support::ProgramLauncher().empty()) {
    GTEST_SKIP() << "an emulator needs descriptors of its own";
  }
  // Standard streams and one more descriptor: the first result file opens, the second cannot.
  run_.child.open_file_limit = 4;
  ExpectFailure(RunProgram(run_), 30, "open failure", 2, PathOf("bess-16.rez"));
#if !defined(__SANITIZE_ADDRESS__)  // AddressSanitizer's runtime needs a descriptor of its own
  // Standard input closed and nothing above the standard streams: the first file would take
  // descriptor 0, and cannot be moved.
  run_.child.in = testing_support::Connection::Closed();
  run_.child.open_file_limit = 3;
  ExpectFailure(RunProgram(run_), 30, "open failure", 1, PathOf("bess-7.rez"));
#endif
}

TEST_F(FailureTest, ClosedStandardOutputDiscardsTheConsoleRecords) {
  run_.stdout_mode = Stdout::kClosed;
  const ProgramResult result = RunProgram(run_);
  EXPECT_EQ(result.ending.exit_status, 0);
  EXPECT_EQ(result.diagnostics, "");
  for (const char* name : {"bess-7.rez", "bess-16.rez", "bess-34.rez"}) {
    EXPECT_EQ(ReadFile(work_ / name), ReadFile(GoldenPath(name))) << name;
  }
}

TEST_F(FailureTest, UnwritableStandardOutputEndsTheRunWith38) {
  run_.stdout_mode = Stdout::kDevFull;
  const ProgramResult result = RunProgram(run_);
  ExpectFailure(result, 38, "error during write", -1, "stdout");
  EXPECT_FALSE(fs::exists(work_ / "bess-7.rez")) << "the console heading comes first";
}

}  // namespace
