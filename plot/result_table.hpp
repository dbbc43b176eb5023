// Reading a result file back: the measured relative errors of its recurrence lines.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>

inline constexpr int kFirstRecurrenceOrder = 2;
inline constexpr int kLastRecurrenceOrder = 10;
inline constexpr int kRecurrenceRows = kLastRecurrenceOrder - kFirstRecurrenceOrder + 1;

struct ResultTable {
  int significant_digits = 0;                            // 7, 16 or 34, from line 1
  std::array<double, kRecurrenceRows> relative_error{};  // m = 2 ... 10, as printed
};

// Why a file could not be read: its name, the line (0 for the file as a whole) and what was
// wrong. Said as "bess-16.rez:12: ...".
struct ReadFailure {
  std::string file;
  int line = 0;
  std::string what;
  std::string Text() const;
};

// Reads the file as bessel-recurrence writes it: 17 lines ending in CR LF, the digit count in
// line 1, the recurrence lines for m = 2 ... 10 in lines 9 to 17. Anything else is a failure.
ResultTable ReadResultTable(const std::filesystem::path& path, int expected_digits,
                            std::optional<ReadFailure>& failure);
