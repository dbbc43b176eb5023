// Entry point of bessel-recurrence: the options and the help, then the run. The program reads no
// input.
#include <string>
#include <string_view>

#include "app/run.hpp"
#include "cli/messages.hpp"
#include "cli/options.hpp"
#include "results/result_files.hpp"
#include "runtime/units.hpp"

namespace {

constexpr std::string_view kProgramName = "bessel-recurrence";

// Above every character, so that a long option's code never reads as a short option.
enum Code : int { kHelp = 256, kVersion, kNoWait };

constexpr option kOptions[] = {
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
    {"no-wait", no_argument, nullptr, kNoWait},
    {nullptr, 0, nullptr, 0},
};

// "  bess-7.rez    seeds from binary32 (7 significant digits)", one line per file.
std::string ResultFileLines() {
  std::string lines;
  for (int32_t file = 1; file <= kResultFiles; ++file) {
    const size_t i = static_cast<size_t>(file - 1);
    std::string name = ResultFileName(file);
    name.resize(14, ' ');
    lines += "  " + name + "seeds from " + kSeedFormats[i] + " (" +
             std::to_string(SignificantDigits[i]) + " significant digits)\n";
  }
  return lines;
}

std::string HelpText() {
  return R"(Usage: bessel-recurrence [--no-wait]

Sums the power series of the Bessel functions J_m(1), m = 0 ... 10, in IEEE binary32,
binary64 and binary128, seeds the forward recurrence J_(m+1) = 2m J_m - J_(m-1) with each
precision's J_0 and J_1 (the recurrence itself always in binary128), and shows how the
recurrence multiplies the error of its seeds. Every printed digit is the exact binary value,
correctly rounded.

Writes into the working directory, replacing files of the same name:
)" + ResultFileLines() +
         R"(Each holds the two seeds next to their series values, then for m = 2 ... 10: m, the
recurrence value, the directly summed series value, the number of series terms and the
relative error (series - recurrence) / series. Lines end with CR LF.

Prints the trace of the binary128 series and the file list, then waits for a key on the
terminal and leaves the key unread; without a terminal it does not wait.

Options:
      --no-wait   write the files and end, without the prompt and the wait for a key
      --help      display this help and exit
      --version   output version information and exit

Exit status:
  0    a complete run (all three files written and closed), or --help, --version
  2    an unknown option or an argument; nothing is written
  9, 29, 30, 38, 42, 43, 47
       a result file or standard output failed; the line on standard error names
       the message, the unit and the file

)" + ManualText(kProgramName);
}

}  // namespace

// The options are read in order, as every program reads them: --help and --version act at once,
// the first fault ends the reading. Unambiguous abbreviations are taken (--no for --no-wait),
// and "--" ends the options.
int main(int argc, char* argv[]) {
  Prompt prompt = Prompt::kWaitForKey;
  const ReadCommandLine line = ReadOptions(argc, argv, kOptions);
  for (const ReadOption& option : line.options) {
    switch (option.code) {
      case kHelp:
        WriteConsoleText(HelpText());
        return kExitSuccess;
      case kVersion:
        WriteConsoleText(VersionText(kProgramName));
        return kExitSuccess;
      case kNoWait:
        prompt = Prompt::kNone;
        break;
      default:
        WriteErrorText(UsageErrorText(kProgramName, option.value));
        return kExitUsage;
    }
  }
  if (!line.operands.empty()) {
    WriteErrorText(
        UsageErrorText(kProgramName, "extra operand '" + Printable(line.operands.front()) + "'"));
    return kExitUsage;
  }
  RunSequence(prompt);
}
