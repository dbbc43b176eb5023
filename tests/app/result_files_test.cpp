// The result-file names, composed from the digit counts.
#include "app/result_files.hpp"

#include <gtest/gtest.h>

namespace {

TEST(ResultFileNames, SingleDigitCountHasNoBlank) {
  EXPECT_EQ(ResultFileName(1), "bess-7.rez");
  EXPECT_EQ(ResultFileName(2), "bess-16.rez");
  EXPECT_EQ(ResultFileName(3), "bess-34.rez");
}

}  // namespace
