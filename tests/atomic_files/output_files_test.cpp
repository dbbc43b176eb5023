// Outputs written exclusively and renamed into place: the bytes arrive whole under their name,
// nothing planted at the name is followed, nothing is left behind when writing fails; and which
// names the outputs may replace.
#include "atomic_files/output_files.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "picture/plot_outputs.hpp"
#include "tests/support/child.hpp"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::RunningAsRoot;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

// The directory opened as the programs open it, for as long as the object lives.
class OpenDir {
 public:
  explicit OpenDir(const fs::path& path) {
    std::string complaint;
    fd_ = OpenDirectory(path.string(), complaint);
    EXPECT_GE(fd_, 0) << complaint;
  }
  ~OpenDir() { close(fd_); }
  OpenDir(const OpenDir&) = delete;
  OpenDir& operator=(const OpenDir&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

// The names in the directory: what a test made there, and any temporary left behind.
std::set<std::string> Entries(const fs::path& directory) {
  std::set<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(directory)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// WriteAtomically into `directory`; errno as it left it, 0 when it succeeded.
int WriteIn(const fs::path& directory, const std::string& name, const std::string& bytes) {
  const OpenDir dir(directory);
  errno = 0;
  return WriteAtomically(dir.fd(), name, bytes) ? 0 : errno;
}

void MakeDirectory(const fs::path& path) {
  fs::create_directory(path);
}
void MakeFifo(const fs::path& path) {
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0) << path;
}

// As long as a name may be on the usual file systems (NAME_MAX), and one byte longer.
const std::string kLongestName = std::string(251, 'n') + ".dat";
const std::string kTooLongName = std::string(252, 'n') + ".dat";

TEST(WriteAtomically, WritesTheBytesWholeUnderTheName) {
  const struct Row {
    std::string name;
    std::string bytes;
  } rows[] = {
      {"out.dat", ""},
      {"out.dat", "# m error\n2 1.297e-07\n"},
      {"out.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)},
      {"out.svg", std::string(1 << 20, 'x')},
      // The temporary's name is cut so that it is no longer than the output's.
      {kLongestName, "long"},
  };
  for (const Row& row : rows) {
    TempDir dir;
    EXPECT_EQ(WriteIn(dir.path(), row.name, row.bytes), 0) << row.name.substr(0, 20);
    EXPECT_EQ(ReadFile(dir / row.name), row.bytes) << row.name.substr(0, 20);
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{row.name}) << row.name.substr(0, 20);
  }
}

// Whatever sits at the name is replaced by the new file, never written through: a link's target
// keeps its bytes, a FIFO is not opened; a directory stays, and the write fails.
TEST(WriteAtomically, ReplacesWhatSitsAtTheNameWithoutFollowingIt) {
  const struct Row {
    const char* what;
    void (*make)(const fs::path& dir);
    int error;  // errno, 0 when written
  } rows[] = {
      {"a regular file", [](const fs::path& d) { WriteFileBytes(d / "out.dat", "old"); }, 0},
      {"a read-only file",
       [](const fs::path& d) {
         WriteFileBytes(d / "out.dat", "old");
         fs::permissions(d / "out.dat", fs::perms::owner_read);
       },
       0},
      {"a link to a file",
       [](const fs::path& d) {
         WriteFileBytes(d / "victim", "kept");
         fs::create_symlink(d / "victim", d / "out.dat");
       },
       0},
      {"a link to nothing",
       [](const fs::path& d) { fs::create_symlink(d / "victim", d / "out.dat"); }, 0},
      {"a FIFO", [](const fs::path& d) { MakeFifo(d / "out.dat"); }, 0},
      {"a directory",
       [](const fs::path& d) {
         MakeDirectory(d / "out.dat");
         WriteFileBytes(d / "out.dat" / "inside", "kept");
       },
       EISDIR},
  };
  for (const Row& row : rows) {
    TempDir dir;
    row.make(dir.path());
    const std::set<std::string> before = Entries(dir.path());
    // Held open for reading, a FIFO would take a write through it at once: it shows, not waits.
    const int reader = fs::is_fifo(dir / "out.dat")
                           ? open((dir / "out.dat").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)
                           : -1;
    EXPECT_EQ(WriteIn(dir.path(), "out.dat", "new"), row.error) << row.what;
    if (reader >= 0) close(reader);
    EXPECT_EQ(Entries(dir.path()), before) << row.what << ": a name was added or removed";
    if (row.error == 0) {
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "out.dat"))) << row.what;
      EXPECT_EQ(ReadFile(dir / "out.dat"), "new") << row.what;
    } else {
      EXPECT_EQ(ReadFile(dir / "out.dat" / "inside"), "kept") << row.what;
    }
    if (fs::exists(dir / "victim")) {
      EXPECT_EQ(ReadFile(dir / "victim"), "kept") << row.what;
    }
  }
}

// A write that cannot be done leaves nothing behind, and errno says why.
TEST(WriteAtomically, LeavesNothingBehindWhenItFails) {
  const struct Row {
    const char* what;
    std::string name;
    int error;
  } rows[] = {
      {"a name one byte too long", kTooLongName, ENAMETOOLONG},
      {"a directory that is not there", "missing/out.dat", ENOENT},
      {"a file where a directory should be", "file/out.dat", ENOTDIR},
  };
  for (const Row& row : rows) {
    TempDir dir;
    WriteFileBytes(dir / "file", "kept");
    EXPECT_EQ(WriteIn(dir.path(), row.name, "new"), row.error)
        << row.what << ": " << std::strerror(row.error);
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"file"}) << row.what;
    EXPECT_EQ(ReadFile(dir / "file"), "kept") << row.what;
  }
}

// A file-size limit binds root too: the write fails midway (EFBIG, as the programs ignore
// SIGXFSZ), the temporary goes, and the old file keeps its bytes.
TEST(WriteAtomically, KeepsTheOldFileWhenTheWriteFailsMidway) {
  TempDir dir;
  WriteFileBytes(dir / "out.dat", "old");
  const OpenDir open_dir(dir.path());
  rlimit before = {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  rlimit limit = before;
  limit.rlim_cur = 4;
  const auto handler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  errno = 0;
  const bool written = WriteAtomically(open_dir.fd(), "out.dat", "0123456789");
  const int error = errno;
  setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, handler);
  EXPECT_FALSE(written);
  EXPECT_EQ(error, EFBIG) << std::strerror(error);
  EXPECT_EQ(ReadFile(dir / "out.dat"), "old");
  EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"out.dat"});
}

// Directory permissions do not stop root, whom CI runs as.
TEST(WriteAtomically, LeavesNothingBehindInADirectoryItMayNotWrite) {
  SKIP_UNLESS_NOBODY_REACHES_TEMPORARIES();
  TempDir dir;
  WriteFileBytes(dir / "out.dat", "old");
  const fs::perms read_and_search = fs::perms::owner_read | fs::perms::owner_exec |
                                    fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec;
  fs::permissions(dir.path(), read_and_search);
  // As the unprivileged user: root may write anywhere.
  EXPECT_TRUE(testing_support::AsUnprivileged(
      [&] { return WriteIn(dir.path(), "out.dat", "new") == EACCES; }));
  fs::permissions(dir.path(), fs::perms::owner_all);
  EXPECT_EQ(ReadFile(dir / "out.dat"), "old");
  EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"out.dat"});
}

const std::string kNotRegular =
    " exists and is not a regular file; it is left alone: remove or rename it";

// What sits at out.dat, out.svg and out.png: a missing name or a regular file may be replaced;
// anything else is refused by the first name, in that order, that may not be.
TEST(UnreplaceableOutputs, RefusesANameThatIsNotARegularFile) {
  const struct Row {
    const char* what;
    void (*make)(const fs::path& dir);
    std::string base;
    std::string refusal;
  } rows[] = {
      {"nothing", [](const fs::path&) {}, "out", ""},
      {"three regular files",
       [](const fs::path& d) {
         for (const char* name : {"out.dat", "out.svg", "out.png"}) WriteFileBytes(d / name, "");
       },
       "out", ""},
      {"files of another base",
       [](const fs::path& d) {
         for (const char* name : {"other.dat", "other.svg", "other.png"}) MakeDirectory(d / name);
       },
       "out", ""},
      {"a link to a regular file",
       [](const fs::path& d) {
         WriteFileBytes(d / "victim", "");
         fs::create_symlink(d / "victim", d / "out.svg");
       },
       "out", "out.svg" + kNotRegular},
      {"a link to nothing",
       [](const fs::path& d) { fs::create_symlink(d / "victim", d / "out.png"); }, "out",
       "out.png" + kNotRegular},
      {"a directory", [](const fs::path& d) { MakeDirectory(d / "out.dat"); }, "out",
       "out.dat" + kNotRegular},
      {"a FIFO", [](const fs::path& d) { MakeFifo(d / "out.png"); }, "out",
       "out.png" + kNotRegular},
      {"a link at out.png and a directory at out.svg",
       [](const fs::path& d) {
         fs::create_symlink("/dev/null", d / "out.png");
         MakeDirectory(d / "out.svg");
       },
       "out", "out.svg" + kNotRegular},
      {"a directory at a name with a line end",
       [](const fs::path& d) { MakeDirectory(d / "a\nb.dat"); }, "a\nb",
       "a\\012b.dat" + kNotRegular},
      {"a name one byte too long", [](const fs::path&) {}, std::string(252, 'n'),
       "cannot write " + kTooLongName + ": File name too long"},
      {"a file where a directory should be",
       [](const fs::path& d) { WriteFileBytes(d / "file", ""); }, "file/out",
       "cannot write file/out.dat: Not a directory"},
  };
  for (const Row& row : rows) {
    TempDir dir;
    row.make(dir.path());
    const std::set<std::string> before = Entries(dir.path());
    const OpenDir open_dir(dir.path());
    EXPECT_EQ(UnreplaceableOutputs(open_dir.fd(), row.base), row.refusal) << row.what;
    EXPECT_EQ(Entries(dir.path()), before) << row.what;
  }
}

// File and directory permissions do not stop root, whom CI runs as: for root, these files and
// this directory may be written.
TEST(UnreplaceableOutputs, RefusesWhatTheUserMayNotWrite) {
  SKIP_UNLESS_NOBODY_REACHES_TEMPORARIES();
  const struct Row {
    const char* what;
    void (*make)(const fs::path& dir);
    std::string refusal;
  } rows[] = {
      {"a read-only file",
       [](const fs::path& d) {
         WriteFileBytes(d / "out.svg", "");
         fs::permissions(d / "out.svg",
                         fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
       },
       "out.svg is read-only; it is left alone: make it writable (chmod u+w out.svg) or remove it"},
      {"a directory that takes no new names",
       [](const fs::path& d) {
         fs::permissions(d, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec);
       },
       "cannot write out.dat: Permission denied"},
  };
  for (const Row& row : rows) {
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::all);  // a directory the user may write, unless made not
    row.make(dir.path());
    const OpenDir open_dir(dir.path());
    // As the unprivileged user: root may write anything.
    EXPECT_TRUE(testing_support::AsUnprivileged([&] {
      return UnreplaceableOutputs(open_dir.fd(), "out") == row.refusal;
    })) << row.what;
  }
}

}  // namespace
