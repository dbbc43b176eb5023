// Entry point of bessel-recurrence-plot: the three result files of a run, read back, as one
// picture of measured and predicted error growth.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "numeric/series.hpp"
#include "plot/drawing.hpp"
#include "plot/prediction.hpp"
#include "plot/result_table.hpp"

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kProgram = "bessel-recurrence-plot";

// Exit statuses.
constexpr int kDone = 0;
constexpr int kBadInputOrOutput = 1;  // a result file missing or damaged, an output unwritable
constexpr int kUsageError = 2;
constexpr int kNoPicture = 3;  // gnuplot missing or failing; the .dat file is written

constexpr const char* kHelp =
    R"(Usage: bessel-recurrence-plot [DIR]

Reads bess-7.rez, bess-16.rez and bess-34.rez, as bessel-recurrence writes them, in DIR
(default: the working directory) and writes into DIR:
  bess-errors.dat   m, then for the 7-, 16- and 34-digit tables in turn the measured
                    |relative error| and the one theory predicts from the seeds' errors
  bess-errors.svg   the same as a picture, 900 x 600, drawn by gnuplot
  bess-errors.png

Options:
      --help      display this help and exit
      --version   output version information and exit

Exit status:
  0   all three outputs written
  1   a result file is missing or damaged, or an output could not be written
  2   a usage error
  3   gnuplot is missing or failed; bess-errors.dat is written

Full documentation: man bessel-recurrence-plot
)";

int Complain(int status, const std::string& what) {
  std::fprintf(stderr, "%s: %s\n", kProgram.data(), what.c_str());
  if (status == kUsageError) {
    std::fprintf(stderr, "Try '%s --help' for more information.\n", kProgram.data());
  }
  return status;
}

struct Table {
  const char* file;
  int digits;
  const char* label;
};
constexpr Table kTables[3] = {
    {"bess-7.rez", 7, "7 digits (binary32 seeds)"},
    {"bess-16.rez", 16, "16 digits (binary64 seeds)"},
    {"bess-34.rez", 34, "34 digits (binary128 seeds)"},
};

// The seeds the program itself uses for each table: its series values of J_0 and J_1.
std::array<Quad, 2> Seeds(int table) {
  switch (table) {
    case 0:
      return {Widen(SeriesJ<Single>(0)), Widen(SeriesJ<Single>(1))};
    case 1:
      return {Widen(SeriesJ<Double>(0)), Widen(SeriesJ<Double>(1))};
    default:
      return {SeriesJ<Quad>(0), SeriesJ<Quad>(1)};
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  fs::path directory = ".";
  int operands = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--help") {
      std::fputs(kHelp, stdout);
      return std::fflush(stdout) == 0 ? kDone : kBadInputOrOutput;
    }
    if (argument == "--version") {
      std::printf(
          "%s %s\nCopyright (C) 2026 the bessel-recurrence authors.\n"
          "License MIT: <https://opensource.org/licenses/MIT>.\n",
          kProgram.data(), BESSEL_VERSION);
      return std::fflush(stdout) == 0 ? kDone : kBadInputOrOutput;
    }
    if (argument.starts_with("-") && argument != "-") {
      return Complain(kUsageError, "unrecognized option '" + std::string(argument) + "'");
    }
    if (++operands > 1) {
      return Complain(kUsageError, "extra operand '" + std::string(argument) + "'");
    }
    directory = argument;
  }

  AllSeries series;
  for (int i = 0; i < 3; ++i) {
    std::optional<ReadFailure> failure;
    const ResultTable table =
        ReadResultTable(directory / kTables[i].file, kTables[i].digits, failure);
    if (failure) return Complain(kBadInputOrOutput, failure->Text());
    const std::array<Quad, 2> seeds = Seeds(i);
    series[static_cast<size_t>(i)] = {
        kTables[i].label, {}, PredictedRelativeErrors(seeds[0], seeds[1])};
    for (size_t row = 0; row < table.relative_error.size(); ++row) {
      series[static_cast<size_t>(i)].measured[row] = std::abs(table.relative_error[row]);
    }
  }

  const fs::path data = directory / "bess-errors.dat";
  if (!WriteAtomically(data, DataText(series))) {
    return Complain(kBadInputOrOutput,
                    "cannot write " + data.string() + ": " + std::strerror(errno));
  }
  switch (DrawPictures(directory, series)) {
    case Drawn::kDone:
      return kDone;
    case Drawn::kNoGnuplot:
      return Complain(kNoPicture,
                      "gnuplot is not installed; install the package gnuplot-nox to draw the "
                      "pictures (bess-errors.dat is written)");
    case Drawn::kGnuplotFailed:
      break;
  }
  return Complain(kNoPicture, "gnuplot could not draw the pictures (bess-errors.dat is written)");
}
