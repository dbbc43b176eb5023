// What every program says the same way: its exit statuses, its version, a usage error, a
// failure, and the names it shows in messages.
#pragma once

#include <functional>
#include <string>
#include <string_view>

// The statuses the programs share; the main program adds the message numbers of its run-time
// layer (9, 29, 30, 38, 42, 43, 47).
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;    // an input or an output failed
inline constexpr int kExitUsage = 2;      // a usage error; nothing was read or written
inline constexpr int kExitNoPicture = 3;  // gnuplot missing or failing; the data is written

// "PROGRAM 1.0.0", the copyright, the licence and the warranty, one line each.
std::string VersionText(std::string_view program);

// The last lines of every --help: where the manual is, installed and in the source tree.
std::string ManualText(std::string_view program);

// "PROGRAM: COMPLAINT" and "Try 'PROGRAM --help' for more information.", each with its line end.
std::string UsageErrorText(std::string_view program, std::string_view complaint);

// Say it on standard error, and give the status to end with: the two lines of a usage error
// (kExitUsage), or the one line "PROGRAM: COMPLAINT" of a failure (`status`).
int UsageError(std::string_view program, std::string_view complaint);
int Failure(std::string_view program, int status, std::string_view complaint);
// What `body` returns; should it throw (a slip of the program's own, every failure it foresees
// being reported where it happens), "PROGRAM: internal error: WHAT" and kExitFailure, the stack
// unwound first (so that the outputs' temporaries are removed).
int Guarded(std::string_view program, const std::function<int()>& body);

// A name as it may be shown in a message: control bytes, backslashes and bytes beyond ASCII are
// written as \ooo, so that no name can move the cursor or forge a line of output.
// Printable("a\nb") -> "a\012b".
std::string Printable(std::string_view name);
