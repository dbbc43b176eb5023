// bessel-recurrence-lab, the program: its command line, and what it writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/child.hpp"

namespace {

// The lab run with `arguments` from `directory`, through the target's emulator where it has one.
testing_support::CommandResult RunLab(const std::vector<std::string>& arguments,
                                      const std::filesystem::path& directory) {
  std::vector<std::string> words;
  std::istringstream launcher(BESSEL_LAB_LAUNCHER);
  for (std::string word; std::getline(launcher, word, '|');) {
    if (!word.empty()) words.push_back(word);
  }
  words.push_back(BESSEL_LAB_PROGRAM);
  words.insert(words.end(), arguments.begin(), arguments.end());
  return testing_support::RunCommand(words, directory, {});
}

// The program itself: a usage error names what is wrong, says how to get help, writes nothing
// and ends with 2; CSV has exactly its header.
TEST(LabProgram, RefusesBadInputAndWritesCsv) {
  struct Row {
    std::vector<std::string> arguments;
    const char* complaint;
  };
  const Row rows[] = {
      {{"--x", "one"}, "--x needs a number with 0 < X <= 10000, not 'one'"},
      {{"--x", "0"}, "--x needs a number with 0 < X <= 10000, not '0'"},
      {{"--x=10000.5"}, "--x needs a number with 0 < X <= 10000, not '10000.5'"},
      {{"--x", "nan"}, "--x needs a number with 0 < X <= 10000, not 'nan'"},
      {{"--x", "\r\f1"}, "--x needs a number with 0 < X <= 10000, not '\\015\\0141'"},
      {{"--x", "1\v"}, "--x needs a number with 0 < X <= 10000, not '1\\013'"},
      {{"--orders", "100001"}, "--orders needs a whole number from 1 to 100000, not '100001'"},
      {{"--orders", "0"}, "--orders needs a whole number from 1 to 100000, not '0'"},
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
      {{"--formats", "binary16,binary32,binary16"}, "--formats names 'binary16' twice"},
      {{"--plot", "."}, "--plot needs a file name prefix, not the directory '.'"},
      {{"--plot", "out/.."}, "--plot needs a file name prefix, not the directory 'out/..'"},
      {{"--plot", "out/"}, "--plot needs a file name prefix, not the directory 'out/'"},
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
            "backward");
  EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 4);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  // A destination that cannot be opened is refused before anything is computed or printed.
  const testing_support::CommandResult nowhere =
      RunLab({"--x", "10000", "--orders", "100000", "--plot", "missing/x"}, dir.path());
  EXPECT_EQ(nowhere.status, 1);
  EXPECT_EQ(nowhere.out, "");
  EXPECT_EQ(nowhere.err,
            "bessel-recurrence-lab: cannot open the directory missing/: No such file or "
            "directory\n");
}

}  // namespace
