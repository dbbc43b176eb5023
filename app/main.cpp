// Entry point of bessel-recurrence: the options, then the run. The program reads no input.
#include "app/command_line.hpp"
#include "app/run.hpp"
#include "cli/messages.hpp"
#include "runtime/units.hpp"

int main(int argc, char* argv[]) {
  const CommandLine line = ParseCommandLine(argc, argv);
  switch (line.action) {
    case CommandLine::Action::kHelp:
      WriteConsoleText(HelpText());
      return kExitSuccess;
    case CommandLine::Action::kVersion:
      WriteConsoleText(VersionText(kProgramName));
      return kExitSuccess;
    case CommandLine::Action::kUsageError:
      WriteErrorText(UsageErrorText(kProgramName, line.complaint));
      return kExitUsage;
    case CommandLine::Action::kRun:
      break;
  }
  RunSequence(line.wait ? Prompt::kWaitForKey : Prompt::kNone);
}
