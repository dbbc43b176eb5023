// The three result files: their contract (names, digit counts, headings, the lines in order),
// their writing, listing and closing. Whatever reads them back (the plot tool, the tests) takes
// the contract from here.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "numeric/recurrence.hpp"

// Files 1, 2, 3 hold the tables seeded from Single, Double and Quad: the seeds' significant
// digits, which name the files, and their IEEE formats.
inline constexpr int32_t kResultFiles = 3;
inline constexpr std::array<int32_t, kResultFiles> SignificantDigits = {7, 16, 34};
inline constexpr std::array<const char*, kResultFiles> kSeedFormats = {"binary32", "binary64",
                                                                       "binary128"};

// "bess-", the digit count, ".rez": the name of file 1 is the 7-digit one.
std::string ResultFileName(int32_t file);

// The recurrence table that file `file` shows; SeedTables seeds it from the file's own kind.
const RecurrenceTable& RecurrenceTableOf(int32_t file);

// Each file shows the seeds, m = 0 and 1, then the recurrence lines, m = 2 ... kMaxOrder.
inline constexpr int32_t kFirstRecurrenceOrder = 2;
inline constexpr int32_t kRecurrenceLines = kMaxOrder - kFirstRecurrenceOrder + 1;

// The headings of every result file: the label of the digits line, the column heading and the
// recurrence heading.
inline constexpr const char* kDigitsLabel = " Numar cifre semnificative in J0 si J1:";
inline constexpr std::array<const char*, 2> kColumnHeadings = {"m", "Functia Bessel Jm(1)"};
inline constexpr std::array<const char*, 4> kRecurrenceHeadings = {"RECURENTA", "DIRECT (Serie)",
                                                                   "Termeni", "Er.Relativa"};

// The lines of every result file, in order. A seed line holds m, the recurrence value, the
// series value and its term count; a recurrence line holds those and the relative error.
enum class LineKind { kDigits, kBlank, kColumnHeading, kSeed, kRecurrenceHeading, kRecurrence };
struct ResultLine {
  LineKind kind;
  int32_t m = -1;  // the order of a seed or recurrence line
};

inline constexpr int32_t kResultFileLineCount = 4 + kFirstRecurrenceOrder + 2 + kRecurrenceLines;
constexpr std::array<ResultLine, kResultFileLineCount> ResultFileLayout() {
  using enum LineKind;
  std::array<ResultLine, kResultFileLineCount> lines{};
  size_t at = 0;
  for (const LineKind kind : {kDigits, kBlank, kColumnHeading, kBlank}) lines[at++] = {kind};
  for (int32_t m = 0; m < kFirstRecurrenceOrder; ++m) lines[at++] = {kSeed, m};
  for (const LineKind kind : {kBlank, kRecurrenceHeading}) lines[at++] = {kind};
  for (int32_t m = kFirstRecurrenceOrder; m <= kMaxOrder; ++m) lines[at++] = {kRecurrence, m};
  return lines;
}
// Line n of a file is kResultFileLines[n - 1]: 1 the digits, 2 to 4 the column heading between
// empty lines, 5 and 6 the seeds, 7 and 8 the recurrence heading after an empty line, 9 to 17 the
// recurrence lines for m = 2 ... 10.
inline constexpr std::array<ResultLine, kResultFileLineCount> kResultFileLines = ResultFileLayout();

// Opens units 1 to 3 on the result files and writes all their lines. The recurrence tables
// must be complete. Switches the series trace off before its first evaluation.
void WriteResultFiles();

// Names the result files on the console and closes units 1 to 3.
void ListResultFiles();
