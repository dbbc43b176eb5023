// Reading a result file back, as hostile input: the measured relative errors of its recurrence
// lines, from a file that must be exactly what bessel-recurrence writes.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "results/result_files.hpp"

// Result files are under 2 KiB; anything larger is refused unread.
inline constexpr long kMaxResultFileBytes = 64 * 1024;

// The numbers of the row for one order as printed, each exponent written "E-07"; the relative
// error is empty on the seed rows (m = 0 and 1).
struct PrintedRow {
  int line = 0;  // in the file, from 1
  std::string recurrence, series, relative_error;
};

struct ResultTable {
  int significant_digits = 0;                             // 7, 16 or 34, from line 1
  std::array<double, kRecurrenceLines> relative_error{};  // m = 2 ... 10, as printed
  std::array<PrintedRow, kMaxOrder + 1> rows{};           // m = 0 ... 10
};

// What to do about a file that is not what bessel-recurrence wrote.
inline constexpr const char* kWriteAnew = "run bessel-recurrence again to write it anew";

// Why a file could not be read: its name, the line (0 for the file as a whole), what was
// wrong and what to do. Said as "NAME:12: WHAT; FIX".
struct ReadFailure {
  std::string file;
  int line = 0;
  std::string what;
  std::string fix = kWriteAnew;
  std::string Text() const;
};

// Reads the file `name` in the open directory as bessel-recurrence writes it: a regular file
// of at most kMaxResultFileBytes, opened without waiting (a FIFO or a device is refused, never
// read), of 17 printable ASCII lines ending in CR LF: the digit count in line 1, the headings,
// the two seed lines, and the recurrence lines for m = 2 ... 10 in lines 9 to 17, every number
// finite and in the program's own notation. Anything else is a failure.
ResultTable ReadResultTable(int directory_fd, const std::string& name, int expected_digits,
                            std::optional<ReadFailure>& failure);
