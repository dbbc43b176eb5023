// The result files' contract: the names, composed from the digit counts, and the line layout,
// against the files the program wrote.
#include "results/result_files.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string Golden(const std::string& name) {
  std::ifstream in(std::string(BESSEL_GOLDEN_DIR) + "/" + name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// "bess-", the digit count of the file's seeds, ".rez": each of the three whole, the one-digit
// count without a blank before it.
TEST(ResultFileNames, NameEachFileByItsDigitCount) {
  EXPECT_EQ(ResultFileName(1), "bess-7.rez");
  EXPECT_EQ(ResultFileName(2), "bess-16.rez");
  EXPECT_EQ(ResultFileName(3), "bess-34.rez");
}

// Line by line, the layout says what the expected files hold: empty lines where they are empty,
// the digits and the headings where their labels are, and each order's line where its m is.
TEST(ResultFileLayout, DescribesEveryLineOfTheExpectedFiles) {
  for (int32_t file = 1; file <= kResultFiles; ++file) {
    std::istringstream text(Golden(ResultFileName(file)));
    size_t count = 0;
    for (std::string line; std::getline(text, line); ++count) {
      ASSERT_LT(count, kResultFileLines.size()) << ResultFileName(file);
      line.pop_back();  // the CR
      const ResultLine& expected = kResultFileLines[count];
      const std::string where = ResultFileName(file) + ":" + std::to_string(count + 1);
      EXPECT_EQ(line.empty(), expected.kind == LineKind::kBlank) << where;
      switch (expected.kind) {
        case LineKind::kDigits:
          EXPECT_TRUE(line.starts_with(kDigitsLabel)) << where;
          break;
        case LineKind::kColumnHeading:
          EXPECT_NE(line.find(kColumnHeadings[1]), std::string::npos) << where;
          break;
        case LineKind::kRecurrenceHeading:
          EXPECT_NE(line.find(kRecurrenceHeadings[0]), std::string::npos) << where;
          break;
        case LineKind::kSeed:
        case LineKind::kRecurrence:
          EXPECT_EQ(std::stoi(line.substr(0, 4)), expected.m) << where;
          EXPECT_EQ(line.find("Er."), std::string::npos) << where;
          break;
        case LineKind::kBlank:
          break;
      }
    }
    EXPECT_EQ(count, kResultFileLines.size()) << ResultFileName(file);
  }
}

}  // namespace
