// A program's early endings, while it writes outputs: an ending signal (SIGINT, SIGTERM, SIGHUP)
// or memory running out. Each first removes the temporary being written and ends the gnuplot
// drawing a picture, so that neither outlives the program.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "posix/signals_held.hpp"

// From here on, a write past the file-size limit (ulimit -f) fails as a write instead of ending
// the process, gnuplot's status is seen even if SIGCHLD came in ignored, and SIGINT, SIGTERM and
// SIGHUP first remove the temporary being written and end gnuplot, then end the process as they
// would have. A signal ignored from the start (nohup) stays ignored. Should memory run out,
// EndForLackOfMemory says "PROGRAM: out of memory; ADVICE" on standard error. Call first thing
// in main.
void ProtectOutputs(std::string_view program, std::string_view memory_advice);

// Removes the temporary being written, ends gnuplot, shows the line ProtectOutputs prepared and
// ends the process with status 1. Allocates nothing: memory has run out.
[[noreturn]] void EndForLackOfMemory();

// The ending signals held back for as long as it lives; `before()` is the mask it replaced.
class EndingSignalsHeld : public SignalsHeld {
 public:
  EndingSignalsHeld();
};

// What an early ending must undo first, each set and cleared only while the ending signals are
// held: the temporary being written (a name in an open directory, at most NAME_MAX bytes), and
// gnuplot's process.
void SetPendingTemporary(int directory_fd, const std::string& name);
void ClearPendingTemporary();
void SetRunningHelper(pid_t pid);
void ClearRunningHelper();
