// bessel-recurrence-lab, the program: its command line, and what it writes.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "experiment/check.hpp"
#include "tests/support/child.hpp"
#include "tests/support/terminal_child.hpp"

namespace {

namespace fs = std::filesystem;
using testing_support::Connection;
using testing_support::ReadFile;
using testing_support::TempDir;

// The command that runs the lab (the one built, unless `program` names a copy) with `arguments`,
// through the target's emulator where it has one.
std::vector<std::string> LabCommand(const std::vector<std::string>& arguments,
                                    const fs::path& program = BESSEL_LAB_PROGRAM) {
  std::vector<std::string> words;
  std::istringstream launcher(BESSEL_LAB_LAUNCHER);
  for (std::string word; std::getline(launcher, word, '|');) {
    if (!word.empty()) words.push_back(word);
  }
  words.push_back(program.string());
  words.insert(words.end(), arguments.begin(), arguments.end());
  return words;
}

// The lab run with `arguments` from `directory`.
testing_support::CommandResult RunLab(const std::vector<std::string>& arguments,
                                      const fs::path& directory) {
  return testing_support::RunCommand(LabCommand(arguments), directory, {});
}

// The lab started with `arguments` in `directory`, with no terminal, its standard output into
// `out` and its standard error into the file "err" beside the directory.
testing_support::TerminalChildOptions LabIn(const TempDir& directory,
                                            const std::vector<std::string>& arguments,
                                            const fs::path& out = "/dev/null") {
  testing_support::TerminalChildOptions options;
  options.command = LabCommand(arguments);
  options.working_directory = directory / "work";
  fs::create_directories(options.working_directory);
  fs::permissions(directory.path(), fs::perms::all);
  fs::permissions(options.working_directory, fs::perms::all);
  options.controlling_terminal = false;
  options.out = Connection::File(out);
  options.err = Connection::File(directory / "err");
  return options;
}

// The names in the directory that are temporaries of an output.
std::vector<std::string> Temporaries(const fs::path& directory) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(directory)) {
    const std::string name = entry.path().filename().string();
    if (name.find(".tmp-") != std::string::npos) found.push_back(name);
  }
  return found;
}

// The program itself: a usage error names what is wrong, says how to get help, writes nothing
// and ends with 2; CSV has exactly its header.
TEST(LabProgram, RefusesBadInputAndWritesCsv) {
  struct Row {
    std::vector<std::string> arguments;
    const char* complaint;
  };
  const Row rows[] = {
      {{"--function", "Z"}, "--function is J, Y, I, K, j or y, not 'Z'"},
      {{"--function", "JY"}, "--function is J, Y, I, K, j or y, not 'JY'"},
      {{"--function", "K", "--seeds", "series"},
       "--seeds series: K has no power series to sum; J, I and j have"},
      {{"--x", "one"}, "--x needs a number with 0 < X <= 10000, not 'one'"},
      {{"--x", "0"}, "--x needs a number with 0 < X <= 10000, not '0'"},
      {{"--x=10000.5"}, "--x needs a number with 0 < X <= 10000, not '10000.5'"},
      {{"--x", "nan"}, "--x needs a number with 0 < X <= 10000, not 'nan'"},
      {{"--x", "\r\f1"}, "--x needs a number with 0 < X <= 10000, not '\\015\\0141'"},
      {{"--x", "1\v"}, "--x needs a number with 0 < X <= 10000, not '1\\013'"},
      {{"--x", "10000.0000000000000000001"},
       "--x needs a number with 0 < X <= 10000, not '10000.0000000000000000001'"},
      {{"--x", "1e-5000"},
       "--x '1e-5000' is 0 in binary128, out of 0 < X <= 10000; give a larger X or a wider "
       "--arithmetic"},
      {{"--x", "1e-400", "--arithmetic", "binary64"},
       "--x '1e-400' is 0 in binary64, out of 0 < X <= 10000; give a larger X or a wider "
       "--arithmetic"},
      {{"--arithmetic", "binary16", "--x", "1e-30"},
       "--x '1e-30' is 0 in binary16, out of 0 < X <= 10000; give a larger X or a wider "
       "--arithmetic"},
      {{"--orders", "100001"}, "--orders needs a whole number from 1 to 100000, not '100001'"},
      {{"--orders", "0"}, "--orders needs a whole number from 1 to 100000, not '0'"},
      {{"--width", "0"}, "--width needs a whole number from 1 to 100000, not '0'"},
      {{"--width", "80 "}, "--width needs a whole number from 1 to 100000, not '80 '"},
      {{"--formats", "binary32,binary8"},
       "unknown format 'binary8'; the formats are binary16, bfloat16, binary32, binary64, x87, "
       "binary128, binary256"},
      {{"--arithmetic", "decimal64"},
       "unknown format 'decimal64'; the formats are binary16, bfloat16, binary32, binary64, x87, "
       "binary128, binary256"},
      {{"--seeds", "exact"}, "--seeds is rounded or series, not 'exact'"},
      {{"--orders"}, "option '--orders' requires an argument"},
      {{"--frobnicate"}, "unrecognized option '--frobnicate'"},
      {{"extra"}, "extra operand 'extra'"},
      {{"--", "--x"}, "extra operand '--x'"},
      {{"--csv=yes"}, "option '--csv' doesn't allow an argument"},
      {{"--csv", "--json"}, "--csv and --json exclude each other"},
      {{"--formats", "binary16,binary32,binary16"}, "--formats names 'binary16' twice"},
      {{"--plot", "."},
       "--plot needs a file name prefix, not the directory '.'; add a name, as in './errors'"},
      {{"--plot", "out/.."},
       "--plot needs a file name prefix, not the directory 'out/..'; add a name, as in "
       "'out/../errors'"},
      {{"--plot", ""},
       "--plot needs a file name prefix, not the directory ''; add a name, as in 'errors'"},
      {{"--plot", "out/"},
       "--plot needs a file name prefix, not the directory 'out/'; add a name, as in 'out/errors'"},
      {{"--check", "mine.txt", "--orders", "3"},
       "--orders does not go with --check: the orders are those of its values"},
      {{"--formats", "binary32", "--check", "mine.txt"},
       "--formats does not go with --check: the values are in the --arithmetic format"},
      {{"--column", "f"}, "--column goes with --check"},
  };
  testing_support::TempDir dir;
  for (const Row& row : rows) {
    const testing_support::CommandResult result = RunLab(row.arguments, dir.path());
    EXPECT_EQ(result.status, 2) << row.complaint;
    EXPECT_EQ(result.out, "") << row.complaint;
    EXPECT_EQ(result.err, std::string("bessel-recurrence-lab: ") + row.complaint +
                              "\nTry 'bessel-recurrence-lab --help' for more information.\n");
  }
  const testing_support::CommandResult csv =
      RunLab({"--cs", "--ord=2", "--form", "binary16,bfloat16"}, dir.path());
  EXPECT_EQ(csv.status, 0) << csv.err;
  EXPECT_EQ(csv.out.substr(0, csv.out.find('\n')),
            "m,J_m,binary16_measured,binary16_predicted,bfloat16_measured,bfloat16_predicted,"
            "backward,binary16_rounding,binary16_rounding_bound,bfloat16_rounding,"
            "bfloat16_rounding_bound");
  EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 4);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  // Not a terminal: 80 columns.
  const testing_support::CommandResult table =
      RunLab({"--x", "20", "--orders", "40", "--formats", "binary16,binary64"}, dir.path());
  EXPECT_EQ(table.status, 0) << table.err;
  std::istringstream lines(table.out);
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
  // A destination that cannot be opened is refused before anything is computed or printed.
  const testing_support::CommandResult nowhere =
      RunLab({"--x", "10000", "--orders", "100000", "--plot", "missing/x"}, dir.path());
  EXPECT_EQ(nowhere.status, 1);
  EXPECT_EQ(nowhere.out, "");
  EXPECT_EQ(nowhere.err,
            "bessel-recurrence-lab: cannot open the directory missing/: No such file or "
            "directory\n");
}

// Every prefix whose three outputs have names the file system takes works, though the
// temporaries beside them would be longer; one longer is said to be too long, before anything
// is computed.
TEST(LabProgram, WritesThePicturesUnderTheLongestNames) {
  TempDir dir;
  const std::string longest(255 - 4, 'p');  // p...p.dat is 255 bytes long
  const testing_support::CommandResult written =
      RunLab({"--orders", "3", "--plot", longest}, dir.path());
  EXPECT_EQ(written.status, 0) << written.err;
  for (const char* kind : {".dat", ".svg", ".png"}) {
    EXPECT_TRUE(fs::is_regular_file(dir / (longest + kind))) << kind;
  }
  const testing_support::CommandResult too_long =
      RunLab({"--orders", "3", "--plot", longest + "p"}, dir.path());
  EXPECT_EQ(too_long.status, 1);
  EXPECT_EQ(too_long.out, "");
  EXPECT_EQ(too_long.err,
            "bessel-recurrence-lab: cannot write " + longest + "p.dat: File name too long\n");
  EXPECT_EQ(Temporaries(dir.path()), std::vector<std::string>{});
}

// An output the user made read-only is left as it is, and so are the others. The lab runs as the
// unprivileged user (root may write anything), from wherever it was built: also from a folder
// closed to others, as a clone in a root-owned 0700 folder is.
TEST(LabProgram, LeavesAReadOnlyOutputAlone) {
  TempDir closed;
  fs::create_directory(closed / "clone");
  fs::copy_file(BESSEL_LAB_PROGRAM, closed / "clone" / "bessel-recurrence-lab");
  fs::permissions(closed.path(), fs::perms::owner_all);
  for (const fs::path& built :
       {fs::path(BESSEL_LAB_PROGRAM), closed / "clone" / "bessel-recurrence-lab"}) {
    SCOPED_TRACE(built);
    const testing_support::ProgramForNobody lab(built);
    if (lab.path().empty()) GTEST_SKIP() << lab.why_not();
    SKIP_UNLESS_NOBODY_REACHES_TEMPORARIES();
    TempDir dir;
    testing_support::TerminalChildOptions options = LabIn(dir, {});
    options.command = LabCommand({"--orders", "3", "--plot", "errors"}, lab.path());
    options.unprivileged = true;
    const fs::path kept = options.working_directory / "errors.svg";
    testing_support::WriteFileBytes(kept, "kept");
    fs::permissions(kept, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    testing_support::TerminalChild first(options);
    EXPECT_EQ(first.Wait(std::chrono::seconds(20)).exit_status, 1) << ReadFile(dir / "err");
    EXPECT_EQ(ReadFile(dir / "err"),
              "bessel-recurrence-lab: errors.svg is read-only; it is left alone: make it writable "
              "(chmod u+w errors.svg) or remove it\n");
    EXPECT_EQ(ReadFile(kept), "kept");
    EXPECT_EQ(fs::status(kept).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(fs::exists(options.working_directory / "errors.dat"));
    // A directory that takes no new name is found before anything is computed.
    fs::remove(kept);
    fs::permissions(options.working_directory, fs::perms::owner_all | fs::perms::group_read |
                                                   fs::perms::group_exec | fs::perms::others_read |
                                                   fs::perms::others_exec);
    options.out = Connection::File(dir / "table");
    testing_support::TerminalChild again(options);
    EXPECT_EQ(again.Wait(std::chrono::seconds(20)).exit_status, 1) << ReadFile(dir / "err");
    EXPECT_EQ(ReadFile(dir / "err"),
              "bessel-recurrence-lab: cannot write errors.dat: Permission denied\n");
    EXPECT_EQ(ReadFile(dir / "table"), "") << "computed and printed first";
  }
}

// Started with SIGCHLD ignored (as some shells and daemons leave it), gnuplot's status is still
// seen, and the pictures drawn.
TEST(LabProgram, DrawsThePicturesThoughSigchldCameInIgnored) {
  TempDir dir;
  std::vector<std::string> command = {"/usr/bin/perl", "-e",
                                      "$SIG{CHLD} = 'IGNORE'; exec @ARGV or die"};
  for (const std::string& word : LabCommand({"--orders", "3", "--plot", "errors"})) {
    command.push_back(word);
  }
  const testing_support::CommandResult result =
      testing_support::RunCommand(command, dir.path(), {"PATH=/usr/bin:/bin"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(fs::is_regular_file(dir / "errors.png"));
}

// Past the file-size limit (ulimit -f) a write fails as a write: one line, status 1, no
// temporary left, instead of the signal ending the program without a word. A picture gnuplot
// could not write in full is said to be incomplete, and why that may be.
TEST(LabProgram, AWritePastTheFileSizeLimitIsAFailedWrite) {
  const struct Row {
    const char* name;
    std::vector<std::string> arguments;
    bool table_to_file;
    long limit;
    int status;
    const char* complaint;
  } rows[] = {
      {"an output",
       {"--orders", "3000", "--plot", "errors"},
       false,
       16384,
       1,
       "bessel-recurrence-lab: cannot write errors.dat: File too large\n"},
      {"the table",
       {"--orders", "3000"},
       true,
       16384,
       1,
       "bessel-recurrence-lab: write error: File too large\n"},
      // The table goes out in 64 KiB pieces: the second one fails, and is said once.
      {"the table's second piece",
       {"--orders", "3000"},
       true,
       100 << 10,
       1,
       "bessel-recurrence-lab: write error: File too large\n"},
      // Room for the data (280 kB), not for the SVG (420 kB).
      {"a picture",
       {"--orders", "3000", "--plot", "errors"},
       false,
       300 << 10,
       3,
       "bessel-recurrence-lab: the pictures could not be drawn: the SVG picture is incomplete; "
       "is /tmp full, or a file-size limit set? (errors.dat is written)\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    testing_support::TerminalChildOptions options =
        LabIn(dir, row.arguments, row.table_to_file ? dir / "table" : fs::path("/dev/null"));
    options.file_size_limit = row.limit;
    testing_support::TerminalChild lab(options);
    const testing_support::Ending ending = lab.Wait(std::chrono::seconds(60));
    EXPECT_EQ(ending.signal, 0);
    EXPECT_EQ(ending.exit_status, row.status);
    std::string errors = ReadFile(dir / "err");
    // gnuplot's own warnings, if any, come before.
    errors = errors.substr(std::min(errors.size(), errors.find("bessel-recurrence-lab: ")));
    EXPECT_EQ(errors, row.complaint);
    EXPECT_EQ(Temporaries(options.working_directory), std::vector<std::string>{});
  }
}

// An ending signal while gnuplot draws ends gnuplot too: nothing of the run outlives it. The test
// process takes in the orphans of its children's children for the while, so that it sees how
// gnuplot ended: by the signal the lab passed on, not at the end of its drawing.
TEST(LabProgram, AnEndingSignalEndsGnuplotToo) {
  if (prctl(PR_SET_CHILD_SUBREAPER, 1) != 0) {
    GTEST_SKIP() << "this process cannot take in orphans (prctl: " << std::strerror(errno)
                 << "), as under some emulators";
  }
  TempDir dir;
  const testing_support::TerminalChildOptions options =
      LabIn(dir, {"--x", "100", "--orders", "30000", "--plot", "errors"});
  testing_support::TerminalChild lab(options);
  pid_t gnuplot = -1;
  testing_support::Eventually(
      [&] {
        return (gnuplot = testing_support::ChildRunning(lab.pid(), "gnuplot")) > 0 ||
               !lab.Running();
      },
      std::chrono::seconds(60));
  ASSERT_GT(gnuplot, 0) << "gnuplot was never seen running";
  kill(lab.pid(), SIGTERM);
  EXPECT_EQ(lab.Wait(std::chrono::seconds(20)).signal, SIGTERM);
  const testing_support::Ending drawing =
      testing_support::WaitWithDeadline(gnuplot, std::chrono::seconds(20));
  EXPECT_EQ(drawing.signal, SIGTERM) << "gnuplot ended with status " << drawing.exit_status;
  EXPECT_EQ(Temporaries(options.working_directory), std::vector<std::string>{});
  prctl(PR_SET_CHILD_SUBREAPER, 0);
}

// When memory runs out (ulimit -v), wherever the allocation fails (GMP's, FLINT's or operator
// new's), the program says so in one line and ends with status 1: no abort, nothing of FLINT's
// own on standard output, no temporary left. Limits below what loading the program takes, or
// above what the run needs, end otherwise; those between are the rows.
TEST(LabProgram, RunningOutOfMemoryIsOneLine) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit here allows";
#endif
  if (std::string(BESSEL_LAB_LAUNCHER).find_first_not_of('|') != std::string::npos) {
    GTEST_SKIP() << "an emulator needs an address space of its own";
  }
  const std::vector<std::string> big = {"--x",    "10000",     "--orders",
                                        "100000", "--formats", "binary16,binary256"};
  for (const long megabytes : {28, 40, 60}) {
    for (const char* output : {"--json", "--plot"}) {
      SCOPED_TRACE(std::to_string(megabytes) + " MB, " + output);
      TempDir dir;
      std::vector<std::string> arguments = big;
      arguments.push_back(output);
      if (std::string_view(output) == "--plot") arguments.push_back("errors");
      testing_support::TerminalChildOptions options = LabIn(dir, arguments, dir / "out");
      options.memory_limit = megabytes << 20;
      testing_support::TerminalChild lab(options);
      const testing_support::Ending ending = lab.Wait(std::chrono::seconds(60));
      EXPECT_EQ(ending.signal, 0);
      EXPECT_EQ(ending.exit_status, 1);
      EXPECT_EQ(ReadFile(dir / "err"),
                "bessel-recurrence-lab: out of memory; ask for less (fewer --orders or --formats, "
                "a smaller --x) or allow more (ulimit -v)\n");
      EXPECT_EQ(ReadFile(dir / "out"), "");
      EXPECT_TRUE(fs::is_empty(options.working_directory));
    }
  }
}

// SIGINT, SIGTERM or SIGHUP while an output is being written: its temporary is removed, and the
// program ends by that signal, as the shell expects.
TEST(LabProgram, AnEndingSignalRemovesTheTemporaryBeingWritten) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    // The program is stopped the moment a temporary appears; on a busy machine it may have
    // renamed it by then, and the run is tried again.
    bool caught = false;
    for (int attempt = 0; attempt < 10 && !caught; ++attempt) {
      TempDir dir;
      // About 2.5 MB of data, written in a few tens of milliseconds.
      const testing_support::TerminalChildOptions options =
          LabIn(dir, {"--x", "100", "--orders", "30000", "--plot", "errors"});
      const int watch = inotify_init1(IN_CLOEXEC);
      ASSERT_GE(watch, 0);
      ASSERT_GE(inotify_add_watch(watch, options.working_directory.c_str(), IN_CREATE), 0);
      testing_support::TerminalChild lab(options);
      bool stopped = false;
      alignas(inotify_event) char events[4096];
      pollfd ready = {watch, POLLIN, 0};
      while (!stopped && poll(&ready, 1, 30000) == 1) {
        const ssize_t length = read(watch, events, sizeof events);
        for (ssize_t at = 0; at < length;) {
          const auto* event = reinterpret_cast<const inotify_event*>(events + at);
          if (event->len > 0 && std::string_view(event->name).find(".tmp-") != std::string::npos) {
            stopped = kill(lab.pid(), SIGSTOP) == 0;
          }
          at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
      }
      close(watch);
      ASSERT_TRUE(stopped);
      ASSERT_TRUE(testing_support::Eventually([&] { return testing_support::Stopped(lab.pid()); }));
      if (Temporaries(options.working_directory).size() != 1) {  // renamed already
        kill(lab.pid(), SIGCONT);
        lab.Wait(std::chrono::seconds(60));
        continue;
      }
      caught = true;
      kill(lab.pid(), signal);
      kill(lab.pid(), SIGCONT);
      const testing_support::Ending ending = lab.Wait(std::chrono::seconds(20));
      EXPECT_EQ(ending.signal, signal);
      EXPECT_EQ(Temporaries(options.working_directory), std::vector<std::string>{});
      EXPECT_FALSE(fs::exists(options.working_directory / "errors.dat"));
    }
    EXPECT_TRUE(caught) << "never caught a temporary in 10 runs";
  }
}

// A student's values checked: a binary32 loop with a fused multiply-add, f_(m+1) =
// fmaf(2m / x, f_m, -f_(m-1)) at x = 1.3 from the correctly rounded seeds, as a CSV column in
// C99 hexadecimal (written by check_test.cpp's loop, whose variant that test names); the
// expected outputs were read against those values by hand. Then what cannot be checked: each
// refused with the file, the line and what is wrong, status 1, nothing on standard output.
TEST(LabProgram, ChecksAStudentsValuesAndRefusesWhatItCannotRead) {
  TempDir dir;
  std::string csv = "m,f\n";
  float f[12] = {0x1.3d7beap-1f, 0x1.0b46a2p-1f};
  for (int m = 1; m < 11; ++m) f[m + 1] = std::fma(2 * m / 1.3f, f[m], -f[m - 1]);
  for (int m = 0; m < 12; ++m) {
    char line[64];
    std::snprintf(line, sizeof line, "%d,%a\n", m, static_cast<double>(f[m]));
    csv += line;
  }
  { std::ofstream(dir.path() / "fma.csv") << csv; }
  for (const auto& [option, kind] : {std::pair{"--width=80", ".txt"}, std::pair{"--csv", ".csv"},
                                     std::pair{"--json", ".json"}}) {
    const testing_support::CommandResult result = RunLab(
        {"--check", "fma.csv", "--column", "f", "--x", "1.3", "--arithmetic", "binary32", option},
        dir.path());
    EXPECT_EQ(result.status, 0) << kind << ": " << result.err;
    EXPECT_EQ(result.out,
              ReadFile(testing_support::GoldenPath(std::string("lab/check-fma") + kind)))
        << kind;
  }
  {
    std::ofstream(dir.path() / "bad.txt") << "0.5\n0.25\n# a comment\nnan\n";
    std::ofstream(dir.path() / "one.txt") << "0.5\n";
  }
  fs::create_directory(dir.path() / "folder");
  std::ofstream(dir.path() / "big.txt").close();
  fs::resize_file(dir.path() / "big.txt", kMaxGivenBytes + 1);
  const struct Row {
    std::vector<std::string> arguments;
    const char* complaint;
  } rows[] = {
      {{"--check", "missing.txt"}, "cannot open 'missing.txt': No such file or directory"},
      {{"--check", "folder"}, "'folder' is not a regular file"},
      {{"--check", "big.txt"}, "'big.txt' holds more than 33554432 bytes"},
      {{"--check", "bad.txt"},
       "bad.txt: line 4: 'nan' is not finite: a value of the recurrence must be a number"},
      {{"--check", "one.txt"},
       "one.txt: at least two values are needed, f_0 and f_1; there is one"},
      {{"--check", "fma.csv"},
       "fma.csv: line 1: holds several values separated by commas: name the column to read"},
      {{"--check", "fma.csv", "--column", "g"},
       "fma.csv: line 1: no column is named 'g'; the columns are m, f"},
      {{"--check", "-"},
       "standard input: at least two values are needed, f_0 and f_1; there are none"},
  };
  for (const Row& row : rows) {
    const testing_support::CommandResult result = RunLab(row.arguments, dir.path());
    EXPECT_EQ(result.status, 1) << row.complaint;
    EXPECT_EQ(result.out, "") << row.complaint;
    EXPECT_EQ(result.err, std::string("bessel-recurrence-lab: ") + row.complaint + "\n");
  }
}

// Three runs through every path, each as a table (80 columns), CSV and JSON, byte for byte: x = 10
// in binary128; binary16 arithmetic, with overflowed and below-range rows; series seeds at
// x = 100. The expected files were checked once against mpmath, each format emulated from its
// definition (scripts/check-lab-golden).
TEST(LabProgram, WritesTheExpectedTablesCsvAndJson) {
  const struct Row {
    const char* golden;
    std::vector<std::string> arguments;
  } rows[] = {
      {"x10", {"--x", "10", "--orders", "40"}},
      {"x10-binary16",
       {"--x", "10", "--orders", "40", "--formats", "binary16,binary64", "--arithmetic",
        "binary16"}},
      {"x100-series",
       {"--x", "100", "--orders", "120", "--formats", "binary32,binary64", "--arithmetic",
        "binary64", "--seeds", "series"}},
  };
  for (const Row& row : rows) {
    for (const auto& [option, kind] : {std::pair{"--width=80", ".txt"}, std::pair{"--csv", ".csv"},
                                       std::pair{"--json", ".json"}}) {
      TempDir dir;
      std::vector<std::string> arguments = row.arguments;
      arguments.push_back(option);
      const testing_support::CommandResult result = RunLab(arguments, dir.path());
      EXPECT_EQ(result.status, 0) << row.golden << kind << ": " << result.err;
      EXPECT_EQ(result.out,
                ReadFile(testing_support::GoldenPath(std::string("lab/") + row.golden + kind)))
          << row.golden << kind;
    }
  }
}

// --plot with gnuplot, and without it on PATH: the same data, the pictures only with it.
TEST(LabProgram, PlotsWithAndWithoutGnuplot) {
  const std::vector<std::string> arguments = {
      "--x",          "10",       "--orders", "40",    "--formats", "binary16,binary64",
      "--arithmetic", "binary16", "--plot",   "errors"};
  const std::string expected = ReadFile(testing_support::GoldenPath("lab/x10-binary16.dat"));
  for (const bool with_gnuplot : {true, false}) {
    SCOPED_TRACE(with_gnuplot ? "with gnuplot" : "without gnuplot");
    TempDir dir;
    const testing_support::CommandResult result =
        testing_support::RunCommand(LabCommand(arguments), dir.path(),
                                    {with_gnuplot ? "PATH=/usr/bin:/bin" : "PATH=/nonexistent"});
    EXPECT_EQ(result.status, with_gnuplot ? 0 : 3) << result.err;
    EXPECT_EQ(ReadFile(dir / "errors.dat"), expected);
    EXPECT_EQ(fs::exists(dir / "errors.svg"), with_gnuplot);
    EXPECT_EQ(fs::exists(dir / "errors.png"), with_gnuplot);
    if (!with_gnuplot) {
      EXPECT_EQ(result.err,
                "bessel-recurrence-lab: gnuplot is not installed; install the package gnuplot-nox "
                "to draw the pictures (errors.dat is written)\n");
    }
  }
}

}  // namespace
