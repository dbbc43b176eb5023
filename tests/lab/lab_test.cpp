// bessel-recurrence-lab: against the main program's own output, theory against measurement, the
// cure against the truth, and its command line.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/result_files.hpp"
#include "lab/experiment.hpp"
#include "plot/result_table.hpp"
#include "tests/support/bits.hpp"
#include "tests/support/child.hpp"

namespace {

using testing_support::GoldenPath;
using testing_support::RunCommand;

Outcome Ran(const Experiment& experiment) {
  Outcome outcome;
  EXPECT_TRUE(Run(experiment, outcome)) << experiment.x_text;
  return outcome;
}

double ToDouble(const MpfrNumber& x) {
  return mpfr_get_d(x.get(), MPFR_RNDN);
}

// At x = 1 with series seeds, the lab is the main program: the same seeds, and forward errors
// that agree with the result files, which print (series - recurrence) / series, to 1 % once the
// series value's own error no longer counts: from m = 4 on for the 7-digit file, from m = 5 for
// the 16-digit one, whose series stops at an absolute threshold of 1e-15: at m = 4 the truncation
// leaves J_4 off by about 7e-15 of itself, 7 % of the recurrence's error there.
TEST(Lab, AtOneWithSeriesSeedsItIsTheMainProgram) {
  Experiment experiment;
  experiment.seeds = SeedKind::kSeries;
  experiment.seed_formats = {&kBinary32, &kBinary64};
  const Outcome outcome = Ran(experiment);
  EXPECT_EQ(Bits(outcome.columns[0].seed_0.ToFloat()), Bits(SeriesJ<Single>(0)));
  EXPECT_EQ(Bits(outcome.columns[0].seed_1.ToFloat()), Bits(SeriesJ<Single>(1)));
  EXPECT_EQ(Bits(outcome.columns[1].seed_0.ToDouble()), Bits(SeriesJ<Double>(0)));
  EXPECT_EQ(Bits(outcome.columns[1].seed_1.ToDouble()), Bits(SeriesJ<Double>(1)));
  const int golden = open(GoldenPath("").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (const auto& [file, first] : {std::pair{1, 4}, std::pair{2, 5}}) {
    std::optional<ReadFailure> failure;
    const ResultTable table =
        ReadResultTable(golden, ResultFileName(file), SignificantDigits[file - 1], failure);
    ASSERT_FALSE(failure);
    for (int m = first; m <= kMaxOrder; ++m) {
      const double printed = table.relative_error[static_cast<size_t>(m - kFirstRecurrenceOrder)];
      const double measured = ToDouble(outcome.columns[file - 1].measured[static_cast<size_t>(m)]);
      EXPECT_NEAR(-measured / printed, 1.0, 0.01) << ResultFileName(file) << ", m = " << m;
    }
  }
  close(golden);
}

// Theory and measurement agree to 1 % wherever the seeds' errors dominate: seeds at least 10 bits
// narrower than the binary128 arithmetic (binary16 to x87), away from zeros of J_m(x). The
// backward recurrence stays within 100 units in the last place of binary128 there.
TEST(Lab, PredictionMeetsMeasurementAndTheBackwardRecurrenceIsAccurate) {
  struct Row {
    const char* x;
    long orders;
  };
  for (const Row row : {Row{"1", 10}, Row{"10", 40}, Row{"0.5", 50}, Row{"100", 150}}) {
    Experiment experiment;
    experiment.x_text = row.x;
    experiment.orders = row.orders;
    experiment.seed_formats.assign(kIeeeFormats.begin(), kIeeeFormats.end());
    const Outcome outcome = Ran(experiment);
    for (size_t m = 0; m <= static_cast<size_t>(row.orders); ++m) {
      if (outcome.near_zero[m]) continue;
      for (const SeedColumn& column : outcome.columns) {
        if (column.format->precision > kBinary128.precision - 10) continue;
        EXPECT_NEAR(ToDouble(column.predicted[m]) / ToDouble(column.measured[m]), 1.0, 0.01)
            << "x = " << row.x << ", " << column.format->name << ", m = " << m;
      }
      EXPECT_LT(std::fabs(ToDouble(outcome.backward[m])), 100 * std::ldexp(1.0, -112))
          << "x = " << row.x << ", m = " << m;
    }
  }
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
  };
  testing_support::TempDir dir;
  for (const Row& row : rows) {
    std::vector<std::string> arguments = {BESSEL_LAB_PROGRAM};
    arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
    const testing_support::CommandResult result = RunCommand(arguments, dir.path(), {});
    EXPECT_EQ(result.status, 2) << row.complaint;
    EXPECT_EQ(result.out, "") << row.complaint;
    EXPECT_EQ(result.err, std::string("bessel-recurrence-lab: ") + row.complaint +
                              "\nTry 'bessel-recurrence-lab --help' for more information.\n");
  }
  const testing_support::CommandResult csv =
      RunCommand({BESSEL_LAB_PROGRAM, "--csv", "--orders", "2", "--formats", "binary16,bfloat16"},
                 dir.path(), {});
  EXPECT_EQ(csv.status, 0) << csv.err;
  EXPECT_EQ(csv.out.substr(0, csv.out.find('\n')),
            "m,J_m,binary16_measured,binary16_predicted,bfloat16_measured,bfloat16_predicted,"
            "backward");
  EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 4);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
