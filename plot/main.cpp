// Entry point of bessel-recurrence-plot: the three result files of a run, read back, as one
// picture of measured and predicted error growth.
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>

#include "atomic_files/output_files.hpp"
#include "cli/messages.hpp"
#include "cli/options.hpp"
#include "cli/standard_output.hpp"
#include "numeric/allocation.hpp"
#include "numeric/recurrence.hpp"
#include "picture/plot_outputs.hpp"
#include "plot/consistency.hpp"
#include "plot/drawing.hpp"
#include "plot/prediction.hpp"
#include "results/result_files.hpp"
#include "results/result_table.hpp"

namespace {

constexpr std::string_view kProgram = "bessel-recurrence-plot";

constexpr const char* kHelpAfterInputs = R"( as bessel-recurrence writes them, in DIR
(default: the working directory) and writes into DIR:
  bess-errors.dat   m, then for the 7-, 16- and 34-digit tables in turn the measured
                    |relative error| and the one theory predicts from the seeds' errors
  bess-errors.svg   the same as a picture, 1200 x 800, drawn by gnuplot
  bess-errors.png

Options (long options may be abbreviated; -- ends them):
      --help      display this help and exit
      --version   output version information and exit

Exit status:
  0   all three outputs written
  1   DIR cannot be opened, a result file is missing or damaged (or not a result
      file at all, or its numbers disagree with each other or with the program's
      seeds), an output name is taken by something other than a regular file or
      is read-only, an output (or standard output) could not be written, or memory
      ran out (ulimit -v)
  2   a usage error
  3   gnuplot is missing or failed, and what failed is said; bess-errors.dat is written

SIGINT, SIGTERM and SIGHUP remove an output's temporary and end gnuplot before they
end the program; a write past the file-size limit (ulimit -f) is a failed write, status 1.

)";

// "Reads bess-7.rez, bess-16.rez and bess-34.rez," and the rest.
std::string PlotHelpText() {
  std::string text = "Usage: bessel-recurrence-plot [DIR]\n\nReads ";
  for (int32_t file = 1; file <= kResultFiles; ++file) {
    text += ResultFileName(file) + (file == kResultFiles       ? ","
                                    : file == kResultFiles - 1 ? " and "
                                                               : ", ");
  }
  return text + kHelpAfterInputs + ManualText(kProgram);
}

enum Code : int { kHelp = 256, kVersion };

constexpr option kOptions[] = {
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

constexpr const char* kOutputs = "bess-errors";  // .dat, .svg and .png

// The legend of file `file`: "7 digits (binary32 seeds)".
std::string Label(int32_t file) {
  const size_t i = static_cast<size_t>(file - 1);
  return std::to_string(SignificantDigits[i]) + " digits (" + kSeedFormats[i] + " seeds)";
}

// The program itself; main guards it.
int Main(int argc, char* argv[]) {
  ProtectOutputs(kProgram, "allow it more (ulimit -v)");
  OnAllocationFailure(EndForLackOfMemory);
  const ReadCommandLine line = ReadOptions(argc, argv, kOptions);
  for (const ReadOption& option : line.options) {
    switch (option.code) {
      case kHelp:
        Print(PlotHelpText());
        return Finished(kProgram, kExitSuccess);
      case kVersion:
        Print(VersionText(kProgram));
        return Finished(kProgram, kExitSuccess);
      default:
        return UsageError(kProgram, option.value);
    }
  }
  if (line.operands.size() > 1) {
    return UsageError(kProgram, "extra operand '" + Printable(line.operands[1]) + "'");
  }
  const std::string directory = line.operands.empty() ? "." : line.operands[0];

  // Everything is read and written relative to the directory opened once here: its name is
  // never used again, nor handed to another program.
  std::string complaint;
  const int dir = OpenDirectory(directory, complaint);
  if (dir < 0) return Failure(kProgram, kExitFailure, complaint);
  // The seeds are the program's own: its series values of J_0 and J_1 in each file's kind.
  SeedTables();
  AllSeries series;
  for (int32_t file = 1; file <= kResultFiles; ++file) {
    const size_t i = static_cast<size_t>(file - 1);
    const std::string name = ResultFileName(file);
    std::optional<ReadFailure> failure;
    const ResultTable table = ReadResultTable(dir, name, SignificantDigits[i], failure);
    if (failure) return Failure(kProgram, kExitFailure, failure->Text());
    const RecurrenceTable& seeded = RecurrenceTableOf(file);
    failure = Disagreement(table, name, seeded);
    if (failure) return Failure(kProgram, kExitFailure, failure->Text());
    const auto predicted = PredictedAtOne(seeded[0], seeded[1]);
    if (!predicted) return Failure(kProgram, kExitFailure, "the prediction could not be computed");
    series[i] = {Label(file), {}, *predicted};
    std::ranges::transform(table.relative_error, series[i].measured.begin(),
                           [](double error) { return std::abs(error); });
  }

  return WriteDataAndPictures(
      kProgram, dir, kOutputs, DataText(series),
      [&](const std::string& terminal) { return SeriesScript(series, terminal); });
}

}  // namespace

int main(int argc, char* argv[]) {
  return Guarded(kProgram, [&] { return Main(argc, argv); });
}
