// Units and records: opening without cutting, the cut behind the first record, CR LF, the list
// write, and the diagnostics that end a run.
#include "runtime/units.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "output/edit.hpp"
#include "runtime/file_io.hpp"
#include "tests/support/child.hpp"

namespace {

namespace fs = std::filesystem;
using namespace edit;
using testing_support::CaptureStdout;
using testing_support::DropPrivileges;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

constexpr EditDescriptor kText[] = {A};

class UnitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::permissions(dir_.path(), fs::perms::all);  // reachable once privileges are dropped
  }
  TempDir dir_;
};

TEST_F(UnitsTest, ALongerExistingFileIsCutToTheNewRecords) {
  const fs::path file = dir_ / "bess-7.rez";
  WriteFileBytes(file, std::string(5000, 'x') + "\r\n");
  OpenUnit(1, file.string());
  Write(1, kText, {"first"});
  EXPECT_EQ(ReadFile(file), "first\r\n") << "cut right behind the first record";
  Write(1, kText, {"second"});
  CloseUnit(1);
  EXPECT_EQ(ReadFile(file), "first\r\nsecond\r\n");
}

TEST_F(UnitsTest, OpenCreatesAMissingFileWithoutWritingIt) {
  const fs::path file = dir_ / "new.rez";
  OpenUnit(2, file.string());
  EXPECT_TRUE(fs::exists(file));
  EXPECT_EQ(fs::file_size(file), 0u);
  CloseUnit(2);
  EXPECT_EQ(UnitName(2), "") << "unconnected after closing";
}

TEST_F(UnitsTest, NameIsTrimmedAndResolvedAgainstTheWorkingDirectory) {
  const fs::path before = fs::current_path();
  fs::current_path(dir_.path());
  OpenUnit(3, "  bess-34.rez        ");
  const std::string name = UnitName(3);
  CloseUnit(3);
  fs::current_path(before);
  EXPECT_EQ(name, (fs::canonical(dir_.path()) / "bess-34.rez").string());
  EXPECT_TRUE(fs::exists(dir_ / "bess-34.rez"));
}

TEST_F(UnitsTest, ListWriteIsABlankAndTheText) {
  EXPECT_EQ(CaptureStdout([] { ListWrite("bess-16.rez"); }), " bess-16.rez\r\n");
  EXPECT_EQ(CaptureStdout([] { ListWrite("ab "); }), " ab \r\n");
}

TEST_F(UnitsTest, ARecordWithTabsAndSlashesInAFile) {
  const fs::path file = dir_ / "f.rez";
  constexpr EditDescriptor kHeading[] = {Slash, T(4), A, T(9), A, Slash};
  OpenUnit(1, file.string());
  Write(1, kHeading, {"m", "Functia"});
  CloseUnit(1);
  EXPECT_EQ(ReadFile(file), "\r\n   m    Functia\r\n\r\n");
}

// The failures run in a child that ends with the message number as its status. CI runs as
// root, whom permissions do not stop, so the child drops to an unprivileged user first.
TEST_F(UnitsTest, AReadOnlyExistingFileFailsAtTheFirstWriteAndStaysUnchanged) {
  SKIP_UNLESS_NOBODY_REACHES_TEMPORARIES();
  const fs::path file = dir_ / "bess-7.rez";
  WriteFileBytes(file, "old content\r\n");
  fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_EXIT(
      {
        if (!DropPrivileges()) _exit(125);
        OpenUnit(1, file.string());
        Write(1, kText, {"new"});
      },
      ::testing::ExitedWithCode(47),
      "^tandrel: severe \\(47\\): write to READONLY file, unit 1, file " + file.string() +
          "\ntraceback \\(innermost first\\):\n  EmitRecord\n  EndStatement\n");
  EXPECT_EQ(ReadFile(file), "old content\r\n");
}

TEST_F(UnitsTest, ADirectoryWithoutWritePermissionIsRefused) {
  SKIP_UNLESS_NOBODY_REACHES_TEMPORARIES();
  const fs::path locked = dir_ / "locked";
  fs::create_directory(locked);
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read |
                              fs::perms::others_exec);
  const fs::path file = locked / "bess-7.rez";
  EXPECT_EXIT(
      {
        if (!DropPrivileges()) _exit(125);
        OpenUnit(1, file.string());
      },
      ::testing::ExitedWithCode(9),
      "^tandrel: severe \\(9\\): permission to access file denied, unit 1, file " + file.string() +
          "\ntraceback \\(innermost first\\):\n  OpenUnit\n");
  EXPECT_FALSE(fs::exists(file));
}

TEST_F(UnitsTest, OpenFailuresMapToTheirMessages) {
  struct Row {
    const char* name;
    fs::path path;
    int number;
    const char* message;
  };
  fs::create_directory(dir_ / "a-directory");
  WriteFileBytes(dir_ / "a-file", "");
  const Row rows[] = {
      {"missing directory", dir_ / "missing" / "bess-7.rez", 29, "file not found"},
      {"not a directory", dir_ / "a-file" / "bess-7.rez", 29, "file not found"},
      {"a directory", dir_ / "a-directory", 30, "open failure"},
      // 256 characters, all taken, are one more than a file name may have.
      {"name too long", std::string(256, 'n'), 43, "file name specification error"},
  };
  for (const Row& row : rows) {
    EXPECT_EXIT(
        {
          fs::current_path(dir_.path());
          OpenUnit(2, row.path.string());
        },
        ::testing::ExitedWithCode(row.number),
        std::string("^tandrel: severe \\(") + std::to_string(row.number) + "\\): " + row.message +
            ", unit 2, file ")
        << row.name;
  }
}

// A close that fails (the data may not have reached the disk) ends the run with 38, whether a
// unit is closed on its own or at the end of the run.
TEST_F(UnitsTest, AFailedCloseEndsTheRunWith38) {
  struct Row {
    const char* name;
    void (*close)(int32_t unit);
    const char* routine;
  };
  const Row rows[] = {
      {"CloseUnit", [](int32_t unit) { CloseUnit(unit); }, "CloseUnit"},
      {"Finish", [](int32_t) { Finish(); }, "Finish"},
  };
  const fs::path file = dir_ / "bess-16.rez";
  for (const Row& row : rows) {
    EXPECT_EXIT(
        {
          FileOps.close = [](FileHandle handle) {
            (void)CloseFile(handle);
            return false;
          };
          OpenUnit(2, file.string());
          Write(2, kText, {"written"});
          row.close(2);
        },
        ::testing::ExitedWithCode(38),
        "^tandrel: severe \\(38\\): error during write, unit 2, file " + file.string() +
            "\ntraceback \\(innermost first\\):\n  " + row.routine + "\n")
        << row.name;
  }
}

TEST_F(UnitsTest, AFailedWriteEndsTheRunWith38) {
  EXPECT_EXIT(
      {
        OpenUnit(3, "/dev/full");
        Write(3, kText, {"lost"});
      },
      ::testing::ExitedWithCode(38),
      "^tandrel: severe \\(38\\): error during write, unit 3, file /dev/full\n");
}

}  // namespace
