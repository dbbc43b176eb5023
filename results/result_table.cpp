// Parsing the lines of a result file, strictly: a damaged file is refused, never half read.
#include "results/result_table.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <utility>
#include <vector>

#include "cli/messages.hpp"
#include "numeric/series.hpp"
#include "results/result_files.hpp"

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A number as the program writes it, and nothing else: "-1.297E-07", "-4.831D-16",
// "1.000000000000000-100" (a three-digit exponent loses its letter); finite. Given back with
// its exponent written "E-07", "E-100".
std::optional<std::string> Number(std::string text) {
  size_t at = text.starts_with("-") ? 1 : 0;
  if (at + 2 > text.size() || !IsDigit(text[at]) || text[at + 1] != '.') return std::nullopt;
  at += 2;
  while (at < text.size() && IsDigit(text[at])) ++at;
  const std::string exponent = text.substr(at);  // "E-07", "D-16" or "-100"
  const bool lettered = exponent.size() == 4 && (exponent[0] == 'E' || exponent[0] == 'D');
  const std::string signed_digits = lettered ? exponent.substr(1) : exponent;
  if ((!lettered && exponent.size() != 4) || (signed_digits[0] != '+' && signed_digits[0] != '-')) {
    return std::nullopt;
  }
  for (size_t i = 1; i < signed_digits.size(); ++i) {
    if (!IsDigit(signed_digits[i])) return std::nullopt;
  }
  text = text.substr(0, at) + "E" + signed_digits;
  errno = 0;
  const double value = std::strtod(text.c_str(), nullptr);
  if (errno != 0 || !std::isfinite(value)) return std::nullopt;
  return text;
}

// A small non-negative integer: at most four digits.
std::optional<long> Integer(const std::string& text) {
  if (text.empty() || text.size() > 4) return std::nullopt;
  for (const char c : text) {
    if (!IsDigit(c)) return std::nullopt;
  }
  return std::strtol(text.c_str(), nullptr, 10);
}

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

template <size_t N>
std::vector<std::string> WordsOf(const std::array<const char*, N>& headings) {
  std::string line;
  for (const char* heading : headings) line += std::string(heading) + " ";
  return Words(line);
}

// What a file that exists but is not a regular one is.
const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "something else";
}

// The whole file, when it is a regular file of at most kMaxResultFileBytes; else why not, and
// what to do.
std::optional<std::string> ReadBounded(int directory_fd, const std::string& name,
                                       std::string& complaint, std::string& fix) {
  const int fd = openat(directory_fd, name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    const int error = errno;
    complaint = std::string("cannot be opened: ") + std::strerror(error);
    fix = error == ENOENT   ? "run bessel-recurrence first: it writes the result files into its "
                              "working directory"
          : error == EACCES ? "make it readable (chmod u+r " + name + ")"
                            : "";
    return std::nullopt;
  }
  const std::string too_large = "is larger than a result file can be (at most " +
                                std::to_string(kMaxResultFileBytes) + " bytes)";
  std::string bytes;
  struct stat status;
  if (fstat(fd, &status) != 0) {
    complaint = std::string("cannot be read: ") + std::strerror(errno);
    fix = "";
  } else if (!S_ISREG(status.st_mode)) {
    complaint = std::string("is ") + KindOf(status.st_mode) +
                ", not a regular file: only the file bessel-recurrence writes is read";
    fix = "remove it, then " + std::string(kWriteAnew);
  } else if (status.st_size > kMaxResultFileBytes) {
    complaint = too_large;
  } else {
    bytes.resize(kMaxResultFileBytes + 1);
    size_t got = 0;
    for (ssize_t n; got < bytes.size(); got += static_cast<size_t>(n)) {
      n = read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) {
        n = 0;
      } else if (n < 0) {
        complaint = std::string("cannot be read: ") + std::strerror(errno);
        fix = "";
        break;
      } else if (n == 0) {
        break;
      }
    }
    bytes.resize(got);
    if (got > kMaxResultFileBytes) complaint = too_large;
  }
  close(fd);
  if (!complaint.empty()) return std::nullopt;
  return bytes;
}

// A word of the file in a message: printable already, but cut to a readable length.
std::string Shown(const std::string& word) {
  constexpr size_t kMost = 40;
  return "'" + (word.size() > kMost ? word.substr(0, kMost) + "..." : word) + "'";
}

// The row's words read into `row` (its numbers, each exponent written "E-07"); else why they
// are not a row of the program's.
std::string ReadRow(const std::vector<std::string>& words, size_t columns, long m,
                    PrintedRow& row) {
  if (words.size() != columns) {
    return "it holds " + std::to_string(words.size()) + " fields, not " + std::to_string(columns);
  }
  const std::optional<long> order = Integer(words[0]);
  if (!order || *order != m)
    return "it begins with " + Shown(words[0]) + ", not " + std::to_string(m);
  // The numbers' columns, and where each goes.
  const std::pair<size_t, std::string*> numbers[] = {
      {1, &row.recurrence}, {2, &row.series}, {4, &row.relative_error}};
  for (const auto& [column, field] : numbers) {
    if (column >= columns) continue;
    const std::optional<std::string> number = Number(words[column]);
    if (!number) {
      return Shown(words[column]) +
             " is not a finite number as bessel-recurrence writes them (like -1.297E-07)";
    }
    *field = *number;
  }
  const std::optional<long> terms = Integer(words[3]);
  if (!terms || *terms < 1 || *terms > kTermLimit) {
    return "the term count " + Shown(words[3]) + " is not a whole number from 1 to " +
           std::to_string(kTermLimit);
  }
  return "";
}

}  // namespace

std::string ReadFailure::Text() const {
  const std::string where = line > 0 ? file + ":" + std::to_string(line) : file;
  return where + ": " + what + (fix.empty() ? "" : "; " + fix);
}

ResultTable ReadResultTable(int directory_fd, const std::string& name, int expected_digits,
                            std::optional<ReadFailure>& failure) {
  ResultTable table;
  auto fail = [&](int line, std::string what, std::string fix = kWriteAnew) {
    if (!failure) failure = ReadFailure{name, line, std::move(what), std::move(fix)};
    return table;
  };
  std::string complaint, fix = kWriteAnew;
  const std::optional<std::string> bytes = ReadBounded(directory_fd, name, complaint, fix);
  if (!bytes) return fail(0, complaint, fix);

  std::vector<std::string> lines;
  for (size_t start = 0; start < bytes->size();) {
    const size_t newline = bytes->find('\n', start);
    const size_t end = newline == std::string::npos ? bytes->size() : newline;
    const bool carriage_return =
        newline != std::string::npos && end > start && (*bytes)[end - 1] == '\r';
    const std::string line = bytes->substr(start, end - (carriage_return ? 1 : 0) - start);
    const int number = static_cast<int>(lines.size()) + 1;
    // A byte that no result file holds comes first: a file that is not text at all (compressed,
    // a program, UTF-16) is named for it, not taken for text with other line ends.
    for (size_t column = 0; column < line.size(); ++column) {
      const char c = line[column];
      if (c < 0x20 || c > 0x7e) {
        return fail(number, "column " + std::to_string(column + 1) + " holds the byte " +
                                Printable(std::string(1, c)) +
                                ": a result file holds printable ASCII only");
      }
    }
    if (newline == std::string::npos) {
      return fail(number, "the line has no end: the file is cut short");
    }
    if (!carriage_return) {
      // Saved by an editor or a tool that keeps Unix line ends: the contents may be intact.
      return fail(number,
                  "the line ends in LF alone, not CR LF: the file was saved with Unix line ends",
                  "restore CR LF with: sed -i 's/$/\\r/' " + name + " (or " + kWriteAnew + ")");
    }
    lines.push_back(line);
    start = end + 1;
  }
  constexpr int kLines = kResultFileLineCount;
  if (static_cast<int>(lines.size()) != kLines) {
    return fail(static_cast<int>(lines.size()) + (lines.size() < kLines ? 1 : 0),
                "the file has " + std::to_string(lines.size()) +
                    (lines.size() == 1 ? " line, not " : " lines, not ") + std::to_string(kLines) +
                    (lines.size() < kLines ? ": it is cut short" : ": lines were added"));
  }
  table.significant_digits = expected_digits;
  for (size_t i = 0; i < lines.size(); ++i) {
    const int number = static_cast<int>(i) + 1;
    const std::string& text = lines[i];
    const ResultLine& expected = kResultFileLines[i];
    switch (expected.kind) {
      case LineKind::kDigits: {
        std::optional<long> digits;
        if (text.starts_with(kDigitsLabel)) {
          const std::vector<std::string> rest =
              Words(text.substr(std::string(kDigitsLabel).size()));
          if (rest.size() == 1) digits = Integer(rest[0]);
        }
        const std::string wanted = "expected the digit count " + std::to_string(expected_digits) +
                                   " after '" + std::string(kDigitsLabel).substr(1) + "'";
        if (!digits) return fail(number, wanted);
        if (*digits != expected_digits) {
          std::string holder = "another table";
          for (int32_t file = 1; file <= kResultFiles; ++file) {
            if (SignificantDigits[static_cast<size_t>(file - 1)] == *digits) {
              holder = "the table of " + ResultFileName(file);
            }
          }
          return fail(number,
                      wanted + ", not " + std::to_string(*digits) + ": the file holds " + holder,
                      "run bessel-recurrence again to write each file anew");
        }
        break;
      }
      case LineKind::kBlank:
        if (!text.empty()) return fail(number, "expected an empty line");
        break;
      case LineKind::kColumnHeading:
      case LineKind::kRecurrenceHeading: {
        const std::vector<std::string> headings = expected.kind == LineKind::kColumnHeading
                                                      ? WordsOf(kColumnHeadings)
                                                      : WordsOf(kRecurrenceHeadings);
        if (Words(text) != headings) {
          std::string joined;
          for (const std::string& word : headings) joined += (joined.empty() ? "" : " ") + word;
          return fail(number, "expected the column headings '" + joined + "'");
        }
        break;
      }
      case LineKind::kSeed:
      case LineKind::kRecurrence: {
        // m, recurrence value, series value, term count; and the relative error.
        const size_t columns = expected.kind == LineKind::kSeed ? 4 : 5;
        const std::vector<std::string> words = Words(text);
        PrintedRow& row = table.rows[static_cast<size_t>(expected.m)];
        row.line = number;
        const std::string fault = ReadRow(words, columns, expected.m, row);
        if (!fault.empty()) {
          return fail(number,
                      "cannot read the row for m = " + std::to_string(expected.m) + ": " + fault);
        }
        if (columns == 5) {
          table.relative_error[static_cast<size_t>(expected.m - kFirstRecurrenceOrder)] =
              std::strtod(row.relative_error.c_str(), nullptr);
        }
        break;
      }
    }
  }
  return table;
}
