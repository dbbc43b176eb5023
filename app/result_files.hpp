// The three result files: their names, layouts, writing, listing and closing.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// Significant digits of the seeds of file 1, 2, 3 (Single, Double, Quad); they name the files.
inline constexpr std::array<int32_t, 3> SignificantDigits = {7, 16, 34};

// "bess-7.rez", "bess-16.rez", "bess-34.rez": "bess-", the digit count, ".rez".
std::string ResultFileName(int32_t file);

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
