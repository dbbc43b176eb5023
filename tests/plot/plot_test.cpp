// bessel-recurrence-plot: the reference values, the prediction against the expected result
// files, the refusal of damaged files, and the pictures.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "numeric/series.hpp"
#include "plot/prediction.hpp"
#include "plot/result_table.hpp"
#include "tests/support/child.hpp"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

fs::path Golden(const std::string& name) {
  return fs::path(BESSEL_GOLDEN_DIR) / name;
}

// Abramowitz and Stegun, Handbook of Mathematical Functions, Table 9.1 (x = 1.0), 15 decimals.
TEST(ReferenceValues, AgreeWithThePrintedTable) {
  const BesselReference reference = ReferenceValues();
  EXPECT_NEAR(std::stod(reference.j[0]), 0.765197686557967, 1e-15);
  EXPECT_NEAR(std::stod(reference.j[1]), 0.440050585744934, 1e-15);
  EXPECT_NEAR(std::stod(reference.j[2]), 0.114903484931900, 1e-15);
  EXPECT_NEAR(std::stod(reference.y[0]), 0.088256964215677, 1e-15);
  EXPECT_NEAR(std::stod(reference.y[1]), -0.781212821300289, 1e-15);
}

// Beyond any table's digits: the Wronskian J_(m+1) Y_m - J_m Y_(m+1) = 2/(pi x) holds for every
// m to the 38 digits the values are given with.
TEST(ReferenceValues, SatisfyTheWronskianToEveryDigit) {
  const BesselReference reference = ReferenceValues();
  mpfr_t j0, j1, y0, y1, w, t, two_over_pi;
  for (mpfr_ptr x : {j0, j1, y0, y1, w, t, two_over_pi}) mpfr_init2(x, 200);
  mpfr_const_pi(two_over_pi, MPFR_RNDN);
  mpfr_ui_div(two_over_pi, 2, two_over_pi, MPFR_RNDN);
  for (size_t m = 0; m < 10; ++m) {
    mpfr_set_str(j0, reference.j[m].c_str(), 10, MPFR_RNDN);
    mpfr_set_str(j1, reference.j[m + 1].c_str(), 10, MPFR_RNDN);
    mpfr_set_str(y0, reference.y[m].c_str(), 10, MPFR_RNDN);
    mpfr_set_str(y1, reference.y[m + 1].c_str(), 10, MPFR_RNDN);
    mpfr_mul(w, j1, y0, MPFR_RNDN);
    mpfr_mul(t, j0, y1, MPFR_RNDN);
    mpfr_sub(w, w, t, MPFR_RNDN);
    mpfr_sub(w, w, two_over_pi, MPFR_RNDN);
    mpfr_div(w, w, two_over_pi, MPFR_RNDN);
    // |Y_10(1)| is about 1e8, so 40-digit inputs leave about 31 digits in the products.
    EXPECT_LT(std::fabs(mpfr_get_d(w, MPFR_RNDN)), 1e-30) << "m = " << m;
  }
  for (mpfr_ptr x : {j0, j1, y0, y1, w, t, two_over_pi}) mpfr_clear(x);
}

// The measured errors of the expected result files and the predicted ones agree to 1 % from
// m = 5 on, where the seeds' errors have outgrown everything else.
TEST(Prediction, AgreesWithTheExpectedFilesToOnePercent) {
  struct Row {
    const char* file;
    int digits;
    Quad seed_0, seed_1;
  };
  const Row rows[] = {
      {"bess-7.rez", 7, Widen(SeriesJ<Single>(0)), Widen(SeriesJ<Single>(1))},
      {"bess-16.rez", 16, Widen(SeriesJ<Double>(0)), Widen(SeriesJ<Double>(1))},
      {"bess-34.rez", 34, SeriesJ<Quad>(0), SeriesJ<Quad>(1)},
  };
  for (const Row& row : rows) {
    std::optional<ReadFailure> failure;
    const ResultTable table = ReadResultTable(Golden(row.file), row.digits, failure);
    ASSERT_FALSE(failure) << failure->Text();
    const auto predicted = PredictedRelativeErrors(row.seed_0, row.seed_1);
    for (int m = 5; m <= 10; ++m) {
      const size_t i = static_cast<size_t>(m - kFirstRecurrenceOrder);
      const double measured = std::fabs(table.relative_error[i]);
      EXPECT_NEAR(predicted[i] / measured, 1.0, 0.01) << row.file << ", m = " << m;
    }
  }
}

// The tool run in a directory, with PATH as given; its status and standard error.
struct Outcome {
  int status = -1;
  std::string errors;
};
Outcome RunPlot(const fs::path& directory, const std::string& path = std::getenv("PATH")) {
  const fs::path errors = directory / "stderr.txt";
  const std::string command = "PATH='" + path + "' '" BESSEL_PLOT_PROGRAM "' '" +
                              directory.string() + "' 2>'" + errors.string() + "'";
  const int status = std::system(command.c_str());
  Outcome outcome;
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  outcome.errors = ReadFile(errors);
  fs::remove(errors);
  return outcome;
}

void CopyGoldenFiles(const fs::path& directory) {
  for (const char* name : {"bess-7.rez", "bess-16.rez", "bess-34.rez"}) {
    fs::copy_file(Golden(name), directory / name);
  }
}

TEST(PlotProgram, DrawsBothPicturesFromTheExpectedFiles) {
  TempDir dir;
  CopyGoldenFiles(dir.path());
  const Outcome outcome = RunPlot(dir.path());
  ASSERT_EQ(outcome.status, 0) << outcome.errors;
  EXPECT_EQ(outcome.errors, "");
  const std::string data = ReadFile(dir / "bess-errors.dat");
  EXPECT_TRUE(data.starts_with("#")) << data;
  EXPECT_NE(data.find("\n10 6.536000e+09 "), std::string::npos) << data;
  EXPECT_EQ(std::system(("xmllint --noout '" + (dir / "bess-errors.svg").string() + "'").c_str()),
            0)
      << "the SVG is not well-formed XML";
  EXPECT_TRUE(ReadFile(dir / "bess-errors.png").starts_with("\x89PNG\r\n\x1a\n"));
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    EXPECT_EQ(entry.path().string().find(".tmp-"), std::string::npos) << entry.path();
  }
}

TEST(PlotProgram, WithoutGnuplotItSaysWhatToInstallAfterWritingTheData) {
  TempDir dir;
  CopyGoldenFiles(dir.path());
  const Outcome outcome = RunPlot(dir.path(), "/nonexistent");
  EXPECT_EQ(outcome.status, 3);
  EXPECT_NE(outcome.errors.find("install the package gnuplot-nox"), std::string::npos)
      << outcome.errors;
  EXPECT_TRUE(fs::exists(dir / "bess-errors.dat"));
  EXPECT_FALSE(fs::exists(dir / "bess-errors.svg"));
}

// A damaged result file is refused by its name and line, and nothing is written.
TEST(PlotProgram, RefusesADamagedFileByName) {
  struct Row {
    const char* name;
    void (*damage)(const fs::path& directory);
    const char* complaint;
  };
  const Row rows[] = {
      {"missing", [](const fs::path& d) { fs::remove(d / "bess-16.rez"); },
       "bessel-recurrence-plot: bess-16.rez: cannot be opened\n"},
      {"truncated",
       [](const fs::path& d) {
         const std::string text = ReadFile(d / "bess-7.rez");
         std::string::size_type end = 0;
         for (int line = 0; line < 14; ++line) end = text.find('\n', end) + 1;
         WriteFileBytes(d / "bess-7.rez", text.substr(0, end));
       },
       "bessel-recurrence-plot: bess-7.rez:15: the file has 14 lines, not 17\n"},
      {"altered row",
       [](const fs::path& d) {
         std::string text = ReadFile(d / "bess-34.rez");
         const auto at = text.find("1.902E-11");
         text.replace(at, 9, "1.902X-11");
         WriteFileBytes(d / "bess-34.rez", text);
       },
       "bessel-recurrence-plot: bess-34.rez:12: cannot read the row for m = 5\n"},
  };
  for (const Row& row : rows) {
    TempDir dir;
    CopyGoldenFiles(dir.path());
    row.damage(dir.path());
    const Outcome outcome = RunPlot(dir.path());
    EXPECT_EQ(outcome.status, 1) << row.name;
    EXPECT_EQ(outcome.errors, row.complaint) << row.name;
    EXPECT_FALSE(fs::exists(dir / "bess-errors.dat")) << row.name;
  }
}

}  // namespace
