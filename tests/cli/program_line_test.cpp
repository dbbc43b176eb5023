// The three programs read their command lines alike (abbreviations, "--", "--opt=value") and
// none ends silently when its standard output cannot be written.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/child.hpp"

namespace {

using testing_support::StandardOutput;
using enum testing_support::StandardOutput;

enum Program { kMain, kPlot, kLab };

std::string PathOf(Program program) {
  std::istringstream paths(BESSEL_PROGRAMS);
  std::string path;
  for (int i = 0; i <= program; ++i) std::getline(paths, path, '|');
  return path;
}

TEST(ProgramLine, EveryProgramReadsItsLineAsGnuToolsDo) {
  struct Row {
    Program program;
    std::vector<std::string> arguments;
    StandardOutput output;
    int status;
    std::string out_first_line;
    std::string err;  // its first line
  };
  const Row rows[] = {
      {kMain, {"--he"}, kCaptured, 0, "Usage: bessel-recurrence [--no-wait]", ""},
      {kPlot, {"--he"}, kCaptured, 0, "Usage: bessel-recurrence-plot [DIR]", ""},
      {kLab, {"--he"}, kCaptured, 0, "Usage: bessel-recurrence-lab [OPTION]...", ""},
      {kPlot,
       {"--", "--help"},
       kCaptured,
       1,
       "",
       "bessel-recurrence-plot: cannot open the directory --help: No such file or directory"},
      {kPlot,
       {"--version=1"},
       kCaptured,
       2,
       "",
       "bessel-recurrence-plot: option '--version' doesn't allow an argument"},
      // A full disk: each says so.
      {kMain,
       {"--help"},
       kFull,
       38,
       "",
       "tandrel: severe (38): error during write, unit -1, file stdout"},
      {kPlot,
       {"--help"},
       kFull,
       1,
       "",
       "bessel-recurrence-plot: write error: No space left on device"},
      {kLab,
       {"--version"},
       kFull,
       1,
       "",
       "bessel-recurrence-lab: write error: No space left on device"},
      {kLab,
       {"--orders", "3"},
       kFull,
       1,
       "",
       "bessel-recurrence-lab: write error: No space left on device"},
      // A closed output: an error for the tools, as for GNU's; the main program drops its
      // console lines without a word.
      {kPlot,
       {"--version"},
       kClosed,
       1,
       "",
       "bessel-recurrence-plot: write error: Bad file descriptor"},
      {kLab, {"--csv"}, kClosed, 1, "", "bessel-recurrence-lab: write error: Bad file descriptor"},
      {kMain, {"--version"}, kClosed, 0, "", ""},
  };
  for (const Row& row : rows) {
    testing_support::TempDir dir;
    std::vector<std::string> words = {PathOf(row.program)};
    words.insert(words.end(), row.arguments.begin(), row.arguments.end());
    const testing_support::CommandResult result =
        testing_support::RunCommand(words, dir.path(), {}, row.output);
    const std::string shown = words[0] + " " + testing::PrintToString(row.arguments);
    EXPECT_EQ(result.status, row.status) << shown << "\n" << result.err;
    EXPECT_EQ(result.out.substr(0, result.out.find('\n')), row.out_first_line) << shown;
    EXPECT_EQ(result.err.substr(0, result.err.find('\n')), row.err) << shown;
  }
}

}  // namespace
