// The three result files: their names, layouts, writing, listing and closing. Everything that
// reads them back (the plot tool, the tests) takes their contract from here.
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

// The headings of every result file: line 1 (the label, then the digit count), the column
// heading of lines 2 and 3, and the recurrence heading of lines 7 and 8.
inline constexpr const char* kDigitsLabel = " Numar cifre semnificative in J0 si J1:";
inline constexpr std::array<const char*, 2> kColumnHeadings = {"m", "Functia Bessel Jm(1)"};
inline constexpr std::array<const char*, 4> kRecurrenceHeadings = {"RECURENTA", "DIRECT (Serie)",
                                                                   "Termeni", "Er.Relativa"};

// Opens units 1 to 3 on the result files and writes all their lines. The recurrence tables
// must be complete. Switches the series trace off before its first evaluation.
void WriteResultFiles();

// Names the result files on the console and closes units 1 to 3.
void ListResultFiles();
