// Entry point of bessel-recurrence-plot: the three result files of a run, read back, as one
// picture of measured and predicted error growth.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "app/result_files.hpp"
#include "numeric/series.hpp"
#include "plot/drawing.hpp"
#include "plot/output_files.hpp"
#include "plot/prediction.hpp"
#include "plot/result_table.hpp"

namespace {

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
  1   a result file is missing or damaged (or not a result file at all), an output
      name is taken by something other than a regular file, or an output could not
      be written
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

constexpr const char* kLabels[3] = {"7 digits (binary32 seeds)", "16 digits (binary64 seeds)",
                                    "34 digits (binary128 seeds)"};
constexpr const char* kDataFile = "bess-errors.dat";
constexpr const char* kSvgFile = "bess-errors.svg";
constexpr const char* kPngFile = "bess-errors.png";

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
  std::string directory = ".";
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
      return Complain(kUsageError, "unrecognized option '" + Printable(argv[i]) + "'");
    }
    if (++operands > 1) {
      return Complain(kUsageError, "extra operand '" + Printable(argv[i]) + "'");
    }
    directory = argument;
  }

  // Everything is read and written relative to the directory opened once here: its name is
  // never used again, nor handed to another program.
  const int dir = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) {
    return Complain(kBadInputOrOutput, "cannot open the directory " + Printable(directory) + ": " +
                                           std::strerror(errno));
  }
  AllSeries series;
  for (int i = 0; i < 3; ++i) {
    std::optional<ReadFailure> failure;
    const ResultTable table = ReadResultTable(dir, ResultFileName(i + 1),
                                              SignificantDigits[static_cast<size_t>(i)], failure);
    if (failure) return Complain(kBadInputOrOutput, failure->Text());
    const std::array<Quad, 2> seeds = Seeds(i);
    series[static_cast<size_t>(i)] = {kLabels[i], {}, PredictedRelativeErrors(seeds[0], seeds[1])};
    for (size_t row = 0; row < table.relative_error.size(); ++row) {
      series[static_cast<size_t>(i)].measured[row] = std::abs(table.relative_error[row]);
    }
  }

  for (const char* name : {kDataFile, kSvgFile, kPngFile}) {
    if (!Replaceable(dir, name)) {
      return Complain(kBadInputOrOutput,
                      std::string(name) + " exists and is not a regular file; it is left alone");
    }
  }
  if (!WriteAtomically(dir, kDataFile, DataText(series))) {
    return Complain(kBadInputOrOutput,
                    std::string("cannot write ") + kDataFile + ": " + std::strerror(errno));
  }
  const Pictures pictures = DrawPictures(series);
  switch (pictures.drawn) {
    case Drawn::kDone:
      break;
    case Drawn::kNoGnuplot:
      return Complain(kNoPicture,
                      "gnuplot is not installed; install the package gnuplot-nox to draw the "
                      "pictures (bess-errors.dat is written)");
    case Drawn::kGnuplotFailed:
      return Complain(kNoPicture,
                      "gnuplot could not draw the pictures (bess-errors.dat is written)");
  }
  for (const auto& [name, bytes] :
       {std::pair{kSvgFile, &pictures.svg}, std::pair{kPngFile, &pictures.png}}) {
    if (!WriteAtomically(dir, name, *bytes)) {
      return Complain(kBadInputOrOutput, std::string("cannot write ") + name + ": " +
                                             std::strerror(errno) +
                                             " (bess-errors.dat is written)");
    }
  }
  return kDone;
}
