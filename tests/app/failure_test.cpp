// Failures of the whole program: each ends the run with its diagnostic and exit status, and
// leaves no result file that looks complete.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

class FailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    work_ = dir_ / "work";
    fs::create_directory(work_);
    fs::permissions(dir_.path(), fs::perms::all);
    fs::permissions(work_, fs::perms::all);
    run_.working_directory = work_;
    run_.typed_before_start = "q";  // a run that gets through ends at once
    run_.type_key_after_prompt = false;
  }

  // The first line of standard error, which names the failure.
  static std::string Diagnostic(const ProgramResult& result) {
    return result.diagnostics.substr(0, result.diagnostics.find('\n'));
  }

  std::string PathOf(const char* name) const { return (work_ / name).string(); }

  TempDir dir_;
  fs::path work_;
  ProgramRun run_;
};

TEST_F(FailureTest, AReadOnlyResultFileEndsTheRunWith47AndStaysUnchanged) {
  WriteFileBytes(work_ / "bess-7.rez", "kept\r\n");
  fs::permissions(work_ / "bess-7.rez", fs::perms::owner_read | fs::perms::others_read);
  run_.unprivileged = true;
  const ProgramResult result = RunProgram(run_);
  EXPECT_EQ(result.ending.exit_status, 47);
  EXPECT_EQ(Diagnostic(result),
            "tandrel: severe (47): write to READONLY file, unit 1, file " + PathOf("bess-7.rez"));
  EXPECT_EQ(ReadFile(work_ / "bess-7.rez"), "kept\r\n");
  EXPECT_FALSE(fs::exists(work_ / "bess-16.rez"));
  EXPECT_FALSE(fs::exists(work_ / "bess-34.rez"));
}

TEST_F(FailureTest, TheTracebackNamesTheActiveRoutines) {
  WriteFileBytes(work_ / "bess-7.rez", "kept\r\n");
  fs::permissions(work_ / "bess-7.rez", fs::perms::owner_read | fs::perms::others_read);
  run_.unprivileged = true;
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
  fs::permissions(work_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
  run_.unprivileged = true;
  const ProgramResult result = RunProgram(run_);
  EXPECT_EQ(result.ending.exit_status, 9);
  EXPECT_EQ(Diagnostic(result),
            "tandrel: severe (9): permission to access file denied, unit 1, file " +
                PathOf("bess-7.rez"));
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
  };
  for (const Row& row : rows) {
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::all);
    row.arrange(dir / row.file);
    run_.working_directory = dir.path();
    const ProgramResult result = RunProgram(run_);
    EXPECT_EQ(result.ending.exit_status, row.status) << row.name;
    EXPECT_EQ(Diagnostic(result), "tandrel: severe (" + std::to_string(row.status) +
                                      "): " + row.message + ", unit " + std::to_string(row.unit) +
                                      ", file " + (dir / row.file).string())
        << row.name;
  }
}

TEST_F(FailureTest, TooManyOpenFilesIsAnOpenFailure) {
  if (!testing_support::ProgramLauncher().empty()) {
    GTEST_SKIP() << "an emulator needs descriptors of its own";
  }
  // Standard streams and one more descriptor: the first result file opens, the second cannot.
  run_.open_file_limit = 4;
  const ProgramResult result = RunProgram(run_);
  EXPECT_EQ(result.ending.exit_status, 30);
  EXPECT_EQ(Diagnostic(result),
            "tandrel: severe (30): open failure, unit 2, file " + PathOf("bess-16.rez"));
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
  EXPECT_EQ(result.ending.exit_status, 38);
  EXPECT_EQ(Diagnostic(result), "tandrel: severe (38): error during write, unit -1, file stdout");
  EXPECT_FALSE(fs::exists(work_ / "bess-7.rez")) << "the console heading comes first";
}

}  // namespace
