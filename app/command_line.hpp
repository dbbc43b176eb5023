// The command line, GNU style: --help, --version, --no-wait; nothing else is taken.
#pragma once

#include <string>
#include <string_view>

struct CommandLine {
  enum class Action { kRun, kHelp, kVersion, kUsageError };
  Action action = Action::kRun;
  bool wait = true;       // false with --no-wait: no prompt, no wait for a key
  std::string complaint;  // kUsageError: what was wrong, "unrecognized option '--frobnicate'"
};

// Reads the options in order; --help and --version act at once, the first fault ends the
// reading. Unambiguous abbreviations are taken (--no for --no-wait), and "--" ends the options.
CommandLine ParseCommandLine(int argc, char* argv[]);

// The text of --help.
std::string HelpText();
inline constexpr std::string_view kProgramName = "bessel-recurrence";
