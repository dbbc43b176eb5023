// Parsing the lines of a result file, strictly: a damaged file is refused, never half read.
#include "results/result_table.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <vector>

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

// The whole file, when it is a regular file of at most kMaxResultFileBytes; else a complaint.
std::optional<std::string> ReadBounded(int directory_fd, const std::string& name,
                                       std::string& complaint) {
  const int fd = openat(directory_fd, name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    complaint = "cannot be opened";
    return std::nullopt;
  }
  std::string bytes;
  struct stat status;
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    complaint = "is not a regular file";
  } else if (status.st_size > kMaxResultFileBytes) {
    complaint = "is larger than a result file can be";
  } else {
    bytes.resize(kMaxResultFileBytes + 1);
    size_t got = 0;
    for (ssize_t n; got < bytes.size(); got += static_cast<size_t>(n)) {
      n = read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR)
        n = 0;
      else if (n <= 0)
        break;
    }
    bytes.resize(got);
    if (got > kMaxResultFileBytes) complaint = "is larger than a result file can be";
  }
  close(fd);
  if (!complaint.empty()) return std::nullopt;
  return bytes;
}

}  // namespace

std::string ReadFailure::Text() const {
  return line > 0 ? file + ":" + std::to_string(line) + ": " + what : file + ": " + what;
}

ResultTable ReadResultTable(int directory_fd, const std::string& name, int expected_digits,
                            std::optional<ReadFailure>& failure) {
  ResultTable table;
  auto fail = [&](int line, std::string what) {
    if (!failure) failure = ReadFailure{name, line, std::move(what)};
    return table;
  };
  std::string complaint;
  const std::optional<std::string> bytes = ReadBounded(directory_fd, name, complaint);
  if (!bytes) return fail(0, complaint);

  std::vector<std::string> lines;
  for (size_t start = 0; start < bytes->size();) {
    const size_t end = bytes->find('\n', start);
    const int number = static_cast<int>(lines.size()) + 1;
    if (end == std::string::npos || end == start || (*bytes)[end - 1] != '\r') {
      return fail(number, "line does not end with CR LF");
    }
    const std::string line = bytes->substr(start, end - 1 - start);
    for (const char c : line) {
      if (c < 0x20 || c > 0x7e) return fail(number, "holds a byte that is not printable ASCII");
    }
    lines.push_back(line);
    start = end + 1;
  }
  constexpr int kLines = kResultFileLineCount;
  if (static_cast<int>(lines.size()) != kLines) {
    return fail(
        static_cast<int>(lines.size()) + (lines.size() < kLines ? 1 : 0),
        "the file has " + std::to_string(lines.size()) + " lines, not " + std::to_string(kLines));
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
        if (!digits || *digits != expected_digits) {
          return fail(number, "expected the digit count " + std::to_string(expected_digits));
        }
        break;
      }
      case LineKind::kBlank:
        if (!text.empty()) return fail(number, "expected an empty line");
        break;
      case LineKind::kColumnHeading:
      case LineKind::kRecurrenceHeading:
        if (Words(text) != (expected.kind == LineKind::kColumnHeading
                                ? WordsOf(kColumnHeadings)
                                : WordsOf(kRecurrenceHeadings))) {
          return fail(number, "expected the column headings");
        }
        break;
      case LineKind::kSeed:
      case LineKind::kRecurrence: {
        // m, recurrence value, series value, term count; and the relative error.
        const size_t columns = expected.kind == LineKind::kSeed ? 4 : 5;
        const std::vector<std::string> words = Words(text);
        const std::string what = "cannot read the row for m = " + std::to_string(expected.m);
        if (words.size() != columns) return fail(number, what);
        const std::optional<long> order = Integer(words[0]);
        const std::optional<long> terms = Integer(words[3]);
        const std::optional<std::string> recurrence = Number(words[1]), series = Number(words[2]);
        if (!order || *order != expected.m || !recurrence || !series || !terms || *terms < 1 ||
            *terms > kTermLimit) {
          return fail(number, what);
        }
        PrintedRow& row = table.rows[static_cast<size_t>(expected.m)];
        row = {number, *recurrence, *series, ""};
        if (columns == 5) {
          const std::optional<std::string> error = Number(words[4]);
          if (!error) return fail(number, what);
          row.relative_error = *error;
          table.relative_error[static_cast<size_t>(expected.m - kFirstRecurrenceOrder)] =
              std::strtod(error->c_str(), nullptr);
        }
        break;
      }
    }
  }
  return table;
}
