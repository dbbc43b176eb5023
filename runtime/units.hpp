// Units and their records: the console and the result files, opening, emission, closing, the
// list write, the end of the run and the diagnostics that end it early.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "output/edit.hpp"
#include "runtime/diagnostics.hpp"

inline constexpr int32_t kConsole = -1;  // standard output
inline constexpr int32_t kFirstFileUnit = 1;
inline constexpr int32_t kLastFileUnit = 3;

// Connects unit 1..3 to a file: the name is trimmed of blanks (at most 256 characters are
// taken), resolved against the working directory, opened or created for reading and writing
// without cutting it. The first record emitted to the unit cuts the file behind itself.
void OpenUnit(int32_t unit, std::string_view name);

// Writes the record and CR LF at once. Console records go to standard output, and are dropped
// without a word when the process has none.
void EmitRecord(int32_t unit, std::string_view bytes);

// One write statement to a unit; each record is emitted as soon as it is finished.
// Write(kConsole, kTitle, {"Apasa orice tasta"}). The items are evaluated left to right.
void Write(int32_t unit, EditList list, std::initializer_list<Item> items);

// Closes a file unit and keeps the file; the unit becomes unconnected.
void CloseUnit(int32_t unit);

// One console record: a blank, then the text. ListWrite("x.rez") -> " x.rez".
void ListWrite(std::string_view text);

// Text as it stands, outside any record, on standard output (--help, --version) or on standard
// error (a usage error). Standard output fails as a console record does: dropped when the
// process has none, the run ended with 38 when a write fails.
void WriteConsoleText(std::string_view text);
void WriteErrorText(std::string_view text);

// The unit's file name as diagnostics show it (a full path), or "" when unconnected.
std::string UnitName(int32_t unit);

// Ends the run: every unit still open is closed, exit status 0.
[[noreturn]] void Finish();

// Ends the run on a failure: the diagnostic line and the traceback on standard error, every
// unit still open closed, the message number as exit status.
[[noreturn]] void Fail(Severe severe, int32_t unit);
