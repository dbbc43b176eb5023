// Entry point of bessel-recurrence-lab: the options, the experiment, and its table, CSV or
// picture.
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "atomic_files/output_files.hpp"
#include "cli/messages.hpp"
#include "cli/options.hpp"
#include "cli/standard_output.hpp"
#include "cli/terminal_width.hpp"
#include "experiment/check.hpp"
#include "experiment/check_report.hpp"
#include "experiment/experiment.hpp"
#include "experiment/report.hpp"
#include "experiment/settings.hpp"
#include "lab/given_file.hpp"
#include "numeric/allocation.hpp"
#include "picture/plot_outputs.hpp"

namespace {

constexpr std::string_view kProgram = "bessel-recurrence-lab";

constexpr long kMaxWidth = 100000;
constexpr int kDefaultWidth = 80;  // when standard output is no terminal of known width

constexpr const char* kHelp = R"(Usage: bessel-recurrence-lab [OPTION]...

Computes f_m(x), m = 0 ... M, for one Bessel function f, by its forward recurrence from
the seeds f_0 and f_1 of several IEEE formats, carried out in one arithmetic format, and
shows for every order the relative error (computed - true) / true it measures, the one
that theory predicts from the seeds' errors alone, the part the arithmetic's roundings
add, and that of the backward recurrence: Miller's algorithm, which cures the forward
instability of the minimal functions J, I and j, or for the dominant ones Y, K and y
their own unstable direction. The truth comes from Arb's ball arithmetic: every digit
printed is proven.

Options (long options may be abbreviated; -- ends them):
      --function F      J (default), Y, I, K, j or y: the function and its recurrence
                          J, Y: f_(m+1) = (2m / x) f_m - f_(m-1)
                          I:    f_(m+1) = f_(m-1) - (2m / x) f_m
                          K:    f_(m+1) = f_(m-1) + (2m / x) f_m
                          j, y: f_(m+1) = ((2m + 1) / x) f_m - f_(m-1)
      --x X             the argument (default 1), rounded once to the arithmetic
                        format, where 0 < X <= 10000 must hold; the truth is
                        computed at that value
      --orders M        the highest order, 1 <= M <= 100000 (default 10)
      --formats LIST    the seed formats, separated by commas, each at most once
                        (default binary32,binary64,binary128)
      --arithmetic F    the format every recurrence runs in (default binary128)
      --seeds KIND      rounded (default): f_0(x) and f_1(x) correctly rounded to each
                        format; series: their power series summed in each format
                        (J, I and j only)
      --width N         lay the table out in blocks of seed formats that fit N
                        columns (default: the terminal's width, or 80 when standard
                        output is not a terminal); a block holds one format at least
      --csv             write CSV instead of the table
      --json            write JSON instead of the table: the parameters, every row
                        with its marks and the theory's parts, and the summary
      --plot PREFIX     also write PREFIX.dat, PREFIX.svg and PREFIX.png (gnuplot);
                        PREFIX's directory is opened before anything is computed
      --check FILE      check your own values f_0 ... f_M (FILE, or - for standard
                        input: one a line, decimal or C99 hexadecimal, # starts a
                        comment) computed in the --arithmetic format: each against
                        the lab's recurrence, bit for bit, the variant of the step
                        that reproduces it named (a fused multiply-add, (2m f_m) / x,
                        x as a binary64 literal, wider intermediates, x a literal
                        of the wider format), and its error against the truth; M
                        comes from the values
      --column NAME     with --check, FILE is CSV and its column NAME holds the values
      --help            display this help and exit
      --version         output version information and exit

Formats: binary16, bfloat16, binary32, binary64, x87, binary128, binary256.

Exit status:
  0   done
  1   an output (or standard output) could not be written, its name is taken by
      something other than a regular file, is read-only or is too long, the truth
      could not be computed, or memory ran out (ulimit -v)
  2   a usage error: an unknown option, a value missing or out of range; nothing is written
  3   gnuplot is missing or failed (with --plot), and what failed is said;
      PREFIX.dat is written

SIGINT, SIGTERM and SIGHUP remove an output's temporary and end gnuplot before they
end the program; a write past the file-size limit (ulimit -f) is a failed write, status 1.

)";

enum Code : int {
  kFunction = 256,
  kX,
  kOrders,
  kFormats,
  kArithmetic,
  kSeeds,
  kCsv,
  kJson,
  kWidth,
  kPlot,
  kCheck,
  kColumn,
  kHelpCode,
  kVersion
};

constexpr option kOptions[] = {
    {"function", required_argument, nullptr, kFunction},
    {"x", required_argument, nullptr, kX},
    {"orders", required_argument, nullptr, kOrders},
    {"formats", required_argument, nullptr, kFormats},
    {"arithmetic", required_argument, nullptr, kArithmetic},
    {"seeds", required_argument, nullptr, kSeeds},
    {"csv", no_argument, nullptr, kCsv},
    {"json", no_argument, nullptr, kJson},
    {"width", required_argument, nullptr, kWidth},
    {"plot", required_argument, nullptr, kPlot},
    {"check", required_argument, nullptr, kCheck},
    {"column", required_argument, nullptr, kColumn},
    {"help", no_argument, nullptr, kHelpCode},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

enum class Output { kTable, kCsv, kJson };

// The setters of the options kFunction ... kSeeds, in the order of their codes.
constexpr std::string (*kSetters[])(Experiment&, std::string_view) = {
    SetFunction, SetX, SetOrders, SetFormats, SetArithmetic, SetSeeds};
static_assert(std::size(kSetters) == kSeeds - kFunction + 1);

// PREFIX's last part, the outputs' base name: "" when PREFIX names a directory ("out/", ".",
// "a/..").
std::string PlotBase(const std::string& prefix) {
  const std::string base = prefix.substr(prefix.find_last_of('/') + 1);
  return base == "." || base == ".." ? "" : base;
}

// The directory PREFIX puts its outputs in: "out/" for "out/x", "." for "x".
std::string PlotDirectory(const std::string& prefix) {
  const size_t slash = prefix.find_last_of('/');
  return slash == std::string::npos ? "." : prefix.substr(0, slash + 1);
}

// The options --check refuses beside it, and why.
constexpr std::pair<int, const char*> kNotWithCheck[] = {
    {kOrders, "--orders does not go with --check: the orders are those of its values"},
    {kFormats, "--formats does not go with --check: the values are in the --arithmetic format"},
    {kPlot, "--plot does not go with --check: a check draws no picture"},
};

// The complaint about the first of them given, or "".
std::string CheckOptions(const ReadCommandLine& line) {
  for (const ReadOption& option : line.options) {
    for (const auto& [code, complaint] : kNotWithCheck) {
      if (option.code == code) return complaint;
    }
  }
  return "";
}

// A student's values read from `file`, checked and written out.
int Check(const Experiment& experiment, const std::string& file, const std::string& column,
          Output output, int width) {
  std::string bytes;
  std::string complaint = ReadGivenFile(file, kMaxGivenBytes, bytes);
  if (!complaint.empty()) return Failure(kProgram, kExitFailure, complaint);
  std::vector<GivenText> texts;
  std::vector<GivenValue> values;
  complaint = SplitGivenValues(bytes, column, texts);
  if (complaint.empty()) complaint = ReadGivenTexts(texts, *experiment.arithmetic, "line", values);
  if (!complaint.empty()) {
    const std::string name = file == "-" ? "standard input" : Printable(file);
    return Failure(kProgram, kExitFailure, name + ": " + complaint);
  }
  CheckOutcome check;
  if (!RunCheck(experiment, values, check)) {
    return Failure(kProgram, kExitFailure, UnprovenTruthText(experiment));
  }
  const bool printed = output == Output::kCsv    ? WriteCheckCsv(check, Print)
                       : output == Output::kJson ? WriteCheckJson(experiment, check, Print)
                                                 : WriteCheckTable(experiment, check, width, Print);
  return Finished(kProgram, printed ? kExitSuccess : kExitFailure);
}

// The program itself; main guards it.
int Main(int argc, char* argv[]) {
  WidenMpfrExponents();
  ProtectOutputs(
      kProgram,
      "ask for less (fewer --orders or --formats, a smaller --x) or allow more (ulimit -v)");
  OnAllocationFailure(EndForLackOfMemory);
  Experiment experiment;
  Output output = Output::kTable;
  long width = StandardOutputColumns();
  if (width <= 0) width = kDefaultWidth;
  std::string plot_prefix;
  std::optional<std::string> check_file;
  std::string column;
  const ReadCommandLine line = ReadOptions(argc, argv, kOptions);
  for (const ReadOption& option : line.options) {
    const std::string& value = option.value;
    std::string complaint;
    switch (option.code) {
      case kHelpCode:
        Print(kHelp + ManualText(kProgram));
        return Finished(kProgram, kExitSuccess);
      case kVersion:
        Print(VersionText(kProgram));
        return Finished(kProgram, kExitSuccess);
      case kFunction:
      case kX:
      case kOrders:
      case kFormats:
      case kArithmetic:
      case kSeeds:
        complaint = kSetters[option.code - kFunction](experiment, value);
        break;
      case kCsv:
      case kJson: {
        const Output chosen = option.code == kCsv ? Output::kCsv : Output::kJson;
        if (output != Output::kTable && output != chosen) {
          return UsageError(kProgram, "--csv and --json exclude each other");
        }
        output = chosen;
        break;
      }
      case kWidth:
        if (!ReadWhole(value, kMaxWidth, width)) {
          return UsageError(kProgram, "--width needs a whole number from 1 to 100000, not '" +
                                          Printable(value) + "'");
        }
        break;
      case kPlot:
        if (PlotBase(value).empty()) {
          const std::string shown = Printable(value);
          return UsageError(kProgram, "--plot needs a file name prefix, not the directory '" +
                                          shown + "'; add a name, as in '" + shown +
                                          (shown.empty() || shown.ends_with('/') ? "" : "/") +
                                          "errors'");
        }
        plot_prefix = value;
        break;
      case kCheck:
        check_file = value;
        break;
      case kColumn:
        column = value;
        break;
      default:
        return UsageError(kProgram, value);
    }
    if (!complaint.empty()) return UsageError(kProgram, complaint);
  }
  if (!line.operands.empty()) {
    return UsageError(kProgram, "extra operand '" + Printable(line.operands.front()) + "'");
  }
  if (const std::string complaint = CheckTogether(experiment); !complaint.empty()) {
    return UsageError(kProgram, complaint);
  }
  if (check_file) {
    if (const std::string complaint = CheckOptions(line); !complaint.empty()) {
      return UsageError(kProgram, complaint);
    }
    return Check(experiment, *check_file, column, output, static_cast<int>(width));
  }
  if (!column.empty()) return UsageError(kProgram, "--column goes with --check");

  // The destination is opened, and its names checked, before anything is computed.
  std::string complaint;
  const int plot_directory =
      plot_prefix.empty() ? -1 : OpenDirectory(PlotDirectory(plot_prefix), complaint);
  if (plot_directory >= 0) complaint = UnreplaceableOutputs(plot_directory, PlotBase(plot_prefix));
  if (!complaint.empty()) return Failure(kProgram, kExitFailure, complaint);

  Outcome outcome;
  if (!Run(experiment, outcome)) {
    return Failure(kProgram, kExitFailure, UnprovenTruthText(experiment));
  }
  // Written as it is formatted, a piece at a time.
  const bool printed = output == Output::kCsv ? WriteCsv(outcome, Print)
                       : output == Output::kJson
                           ? WriteJson(experiment, outcome, Print)
                           : WriteTable(experiment, outcome, static_cast<int>(width), Print);
  if (!printed) return Finished(kProgram, kExitFailure);
  if (plot_prefix.empty()) return kExitSuccess;
  // PREFIX.dat, .svg and .png in the open directory, each written exclusively and renamed into
  // place; the name is only ever a name, never part of gnuplot's script.
  return WriteDataAndPictures(
      kProgram, plot_directory, PlotBase(plot_prefix), PlotData(outcome),
      [&](const std::string& terminal) { return PlotScript(outcome, terminal); });
}

}  // namespace

int main(int argc, char* argv[]) {
  return Guarded(kProgram, [&] { return Main(argc, argv); });
}
