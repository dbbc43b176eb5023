// Parsing the lines of a result file, strictly: a damaged file is refused, never half read.
#include "results/result_table.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
  if (!std::all_of(signed_digits.begin() + 1, signed_digits.end(), IsDigit)) return std::nullopt;
  text = text.substr(0, at) + "E" + signed_digits;
  errno = 0;
  const double value = std::strtod(text.c_str(), nullptr);
  if (errno != 0 || !std::isfinite(value)) return std::nullopt;
  return text;
}

// A small non-negative integer: at most four digits.
std::optional<long> Integer(const std::string& text) {
  if (text.empty() || text.size() > 4 || !std::ranges::all_of(text, IsDigit)) return std::nullopt;
  return std::strtol(text.c_str(), nullptr, 10);
}

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// The headings one blank apart: "m Functia Bessel Jm(1)".
template <size_t N>
std::string Joined(const std::array<const char*, N>& headings) {
  std::string line;
  for (const char* heading : headings) line += (line.empty() ? "" : " ") + std::string(heading);
  return line;
}

// What a file that exists but is not a regular one is.
const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "something else";
}

// Why a file is refused: the line (from 1; 0 for the file as a whole), what is wrong with it
// and what to do. ReadResultTable adds the file's name.
struct Refusal {
  int line = 0;
  std::string what;
  std::string fix = kWriteAnew;
};

// The whole file into `bytes`, when it is a regular file of at most kMaxResultFileBytes; else
// the refusal of the file as a whole.
std::optional<Refusal> ReadBounded(int directory_fd, const std::string& name, std::string& bytes) {
  const int fd = openat(directory_fd, name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    const int error = errno;
    return Refusal{0, std::string("cannot be opened: ") + std::strerror(error),
                   error == ENOENT
                       ? "run bessel-recurrence first: it writes the result files into its "
                         "working directory"
                   : error == EACCES ? "make it readable (chmod u+r " + name + ")"
                                     : ""};
  }
  const std::string too_large = "is larger than a result file can be (at most " +
                                std::to_string(kMaxResultFileBytes) + " bytes)";
  const auto unreadable = [] {
    return Refusal{0, std::string("cannot be read: ") + std::strerror(errno), ""};
  };
  std::optional<Refusal> refusal;
  struct stat status;
  if (fstat(fd, &status) != 0) {
    refusal = unreadable();
  } else if (!S_ISREG(status.st_mode)) {
    refusal = Refusal{0,
                      std::string("is ") + KindOf(status.st_mode) +
                          ", not a regular file: only the file bessel-recurrence writes is read",
                      "remove it, then " + std::string(kWriteAnew)};
  } else if (status.st_size > kMaxResultFileBytes) {
    refusal = Refusal{0, too_large};
  } else {
    bytes.resize(kMaxResultFileBytes + 1);
    size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) refusal = unreadable();
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    bytes.resize(got);
    if (got > kMaxResultFileBytes) refusal = Refusal{0, too_large};
  }
  close(fd);
  return refusal;
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

// The first byte of `line` that no result file holds, said as "column 43 holds the byte \033:
// ..."; "" when the line is printable ASCII.
std::string ForeignByte(const std::string& line) {
  const auto foreign = std::ranges::find_if(line, [](char c) { return c < 0x20 || c > 0x7e; });
  if (foreign == line.end()) return "";
  return "column " + std::to_string(foreign - line.begin() + 1) + " holds the byte " +
         Printable(std::string(1, *foreign)) + ": a result file holds printable ASCII only";
}

// The file's lines without their CR LF, into `lines`, when there are kResultFileLineCount of them
// and each is printable ASCII ending in CR LF; else the refusal, at the first line that is not
// so, or at the line after the last for a file cut short ("x\r\n" alone is refused at line 2).
std::optional<Refusal> SplitLines(const std::string& bytes, const std::string& name,
                                  std::vector<std::string>& lines) {
  for (size_t start = 0; start < bytes.size();) {
    const size_t newline = bytes.find('\n', start);
    const size_t end = newline == std::string::npos ? bytes.size() : newline;
    const bool carriage_return =
        newline != std::string::npos && end > start && bytes[end - 1] == '\r';
    const std::string line = bytes.substr(start, end - (carriage_return ? 1 : 0) - start);
    const int number = static_cast<int>(lines.size()) + 1;
    // A byte that no result file holds comes first: a file that is not text at all (compressed,
    // a program, UTF-16) is named for it, not taken for text with other line ends.
    if (std::string foreign = ForeignByte(line); !foreign.empty()) {
      return Refusal{number, std::move(foreign)};
    }
    if (newline == std::string::npos) {
      return Refusal{number, "the line has no end: the file is cut short"};
    }
    if (!carriage_return) {
      // Saved by an editor or a tool that keeps Unix line ends: the contents may be intact.
      return Refusal{number,
                     "the line ends in LF alone, not CR LF: the file was saved with Unix line ends",
                     "restore CR LF with: sed -i 's/$/\\r/' " + name + " (or " + kWriteAnew + ")"};
    }
    lines.push_back(line);
    start = end + 1;
  }
  constexpr size_t kLines = kResultFileLineCount;
  const size_t count = lines.size();
  if (count == kLines) return std::nullopt;
  return Refusal{static_cast<int>(count) + (count < kLines ? 1 : 0),
                 "the file has " + std::to_string(count) +
                     (count == 1 ? " line, not " : " lines, not ") + std::to_string(kLines) +
                     (count < kLines ? ": it is cut short" : ": lines were added")};
}

// Line `number`, the digits line: kDigitsLabel, then `expected_digits` as its one word; else
// the refusal, which names the file whose table it holds when its count is another file's.
std::optional<Refusal> DigitsLineRefusal(const std::string& text, int number, int expected_digits) {
  std::optional<long> digits;
  if (text.starts_with(kDigitsLabel)) {
    const std::vector<std::string> rest = Words(text.substr(std::string(kDigitsLabel).size()));
    if (rest.size() == 1) digits = Integer(rest[0]);
  }
  const std::string wanted = "expected the digit count " + std::to_string(expected_digits) +
                             " after '" + std::string(kDigitsLabel).substr(1) + "'";
  if (!digits) return Refusal{number, wanted};
  if (*digits == expected_digits) return std::nullopt;
  std::string holder = "another table";
  for (int32_t file = 1; file <= kResultFiles; ++file) {
    if (SignificantDigits[static_cast<size_t>(file - 1)] == *digits) {
      holder = "the table of " + ResultFileName(file);
    }
  }
  return Refusal{number, wanted + ", not " + std::to_string(*digits) + ": the file holds " + holder,
                 "run bessel-recurrence again to write each file anew"};
}

// Line `number`, a heading line of kind `kind`: its headings' words, however spaced; else the
// refusal.
std::optional<Refusal> HeadingsRefusal(const std::string& text, int number, LineKind kind) {
  const std::string headings =
      kind == LineKind::kColumnHeading ? Joined(kColumnHeadings) : Joined(kRecurrenceHeadings);
  if (Words(text) == Words(headings)) return std::nullopt;
  return Refusal{number, "expected the column headings '" + headings + "'"};
}

}  // namespace

std::string ReadFailure::Text() const {
  const std::string where = line > 0 ? file + ":" + std::to_string(line) : file;
  return where + ": " + what + (fix.empty() ? "" : "; " + fix);
}

ResultTable ReadResultTable(int directory_fd, const std::string& name, int expected_digits,
                            std::optional<ReadFailure>& failure) {
  ResultTable table;
  auto fail = [&](Refusal refusal) {
    if (!failure) {
      failure = ReadFailure{name, refusal.line, std::move(refusal.what), std::move(refusal.fix)};
    }
    return table;
  };
  std::string bytes;
  if (auto refusal = ReadBounded(directory_fd, name, bytes)) return fail(std::move(*refusal));
  std::vector<std::string> lines;
  if (auto refusal = SplitLines(bytes, name, lines)) return fail(std::move(*refusal));

  table.significant_digits = expected_digits;
  for (size_t i = 0; i < lines.size(); ++i) {
    const int number = static_cast<int>(i) + 1;
    const std::string& text = lines[i];
    const ResultLine& expected = kResultFileLines[i];
    std::optional<Refusal> refusal;
    switch (expected.kind) {
      case LineKind::kDigits:
        refusal = DigitsLineRefusal(text, number, expected_digits);
        break;
      case LineKind::kBlank:
        if (!text.empty()) refusal = Refusal{number, "expected an empty line"};
        break;
      case LineKind::kColumnHeading:
      case LineKind::kRecurrenceHeading:
        refusal = HeadingsRefusal(text, number, expected.kind);
        break;
      case LineKind::kSeed:
      case LineKind::kRecurrence: {
        // m, recurrence value, series value, term count; and the relative error.
        const size_t columns = expected.kind == LineKind::kSeed ? 4 : 5;
        PrintedRow& row = table.rows[static_cast<size_t>(expected.m)];
        row.line = number;
        const std::string fault = ReadRow(Words(text), columns, expected.m, row);
        if (!fault.empty()) {
          refusal = Refusal{
              number, "cannot read the row for m = " + std::to_string(expected.m) + ": " + fault};
        } else if (columns == 5) {
          table.relative_error[static_cast<size_t>(expected.m - kFirstRecurrenceOrder)] =
              std::strtod(row.relative_error.c_str(), nullptr);
        }
        break;
      }
    }
    if (refusal) return fail(std::move(*refusal));
  }
  return table;
}
