// Entry point of bessel-recurrence: the options, then the run. The program reads no input.
#include "app/command_line.hpp"
#include "app/run.hpp"
#include "runtime/units.hpp"

int main(int argc, char* argv[]) {
  const CommandLine line = ParseCommandLine(argc, argv);
  switch (line.action) {
    case CommandLine::Action::kHelp:
      WriteConsoleText(HelpText());
      return 0;
    case CommandLine::Action::kVersion:
      WriteConsoleText(VersionText(kProgramName));
      return 0;
    case CommandLine::Action::kUsageError:
      WriteErrorText(UsageErrorText(line.complaint));
      return 2;
    case CommandLine::Action::kRun:
      break;
  }
  RunSequence(line.wait ? Prompt::kWaitForKey : Prompt::kNone);
}
