// The command line, GNU style: --help, --version, --no-wait; nothing else is taken.
#pragma once

#include <getopt.h>

#include <string>
#include <string_view>

struct CommandLine {
  enum class Action { kRun, kHelp, kVersion, kUsageError };
  Action action = Action::kRun;
  bool wait = true;       // false with --no-wait: no prompt, no wait for a key
  std::string complaint;  // kUsageError: what was wrong, "unrecognized option '--frobnicate'"
};

// Reads the options in order; --help and --version act at once, the first fault ends the
// reading. Unambiguous abbreviations are taken (--no for --no-wait).
CommandLine ParseCommandLine(int argc, char* argv[]);

// What getopt_long (with opterr = 0) refused, in the words GNU tools use: `refused_code` is
// optopt, `word` the argument it stopped at, `options` the table it was given.
std::string RefusedOptionText(const option* options, int refused_code, std::string_view word);

// The texts of --help and --version, and the two lines of a usage error. The version text is
// that of every program of the project, with the version set once in CMakeLists.txt.
std::string HelpText();
std::string VersionText(std::string_view program);
inline constexpr std::string_view kProgramName = "bessel-recurrence";
std::string UsageErrorText(std::string_view complaint);
