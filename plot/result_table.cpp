// Parsing the lines of a result file, strictly: a damaged file is refused, never half read.
#include "plot/result_table.hpp"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

constexpr int kLines = 17;
constexpr int kFirstRecurrenceLine = 9;

// A number as the program writes it: "-1.297E-07", "-4.831D-16", "1.000000000000000-100".
std::optional<double> Number(std::string text) {
  for (char& c : text) {
    if (c == 'D') c = 'E';
  }
  // A three-digit exponent is written without its letter: put the letter back.
  const size_t sign = text.find_last_of("+-");
  if (sign != std::string::npos && sign > 0 && text[sign - 1] != 'E') text.insert(sign, "E");
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno != 0) return std::nullopt;
  return value;
}

std::optional<long> Integer(const std::string& text) {
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0') return std::nullopt;
  return value;
}

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

}  // namespace

std::string ReadFailure::Text() const {
  return line > 0 ? file + ":" + std::to_string(line) + ": " + what : file + ": " + what;
}

ResultTable ReadResultTable(const std::filesystem::path& path, int expected_digits,
                            std::optional<ReadFailure>& failure) {
  ResultTable table;
  const std::string name = path.filename().string();
  auto fail = [&](int line, std::string what) {
    if (!failure) failure = ReadFailure{name, line, std::move(what)};
    return table;
  };
  std::ifstream in(path, std::ios::binary);
  if (!in) return fail(0, "cannot be opened");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line.back() != '\r') {
      return fail(static_cast<int>(lines.size()) + 1, "line does not end with CR LF");
    }
    line.pop_back();
    lines.push_back(line);
  }
  if (static_cast<int>(lines.size()) != kLines) {
    return fail(
        static_cast<int>(lines.size()) + (lines.size() < kLines ? 1 : 0),
        "the file has " + std::to_string(lines.size()) + " lines, not " + std::to_string(kLines));
  }

  const std::string label = " Numar cifre semnificative in J0 si J1:";
  std::optional<long> digits;
  if (lines[0].starts_with(label)) {
    const std::vector<std::string> rest = Words(lines[0].substr(label.size()));
    if (rest.size() == 1) digits = Integer(rest[0]);
  }
  if (!digits || *digits != expected_digits) {
    return fail(1, "expected the digit count " + std::to_string(expected_digits));
  }
  table.significant_digits = expected_digits;

  for (int row = 0; row < kRecurrenceRows; ++row) {
    const int line_number = kFirstRecurrenceLine + row;
    const int m = kFirstRecurrenceOrder + row;
    const std::vector<std::string> words = Words(lines[static_cast<size_t>(line_number - 1)]);
    // m, recurrence value, series value, term count, relative error
    if (words.size() != 5)
      return fail(line_number, "expected the row for m = " + std::to_string(m));
    const std::optional<long> order = Integer(words[0]);
    const std::optional<double> recurrence = Number(words[1]);
    const std::optional<double> series = Number(words[2]);
    const std::optional<long> terms = Integer(words[3]);
    const std::optional<double> error = Number(words[4]);
    if (!order || *order != m || !recurrence || !series || !terms || !error) {
      return fail(line_number, "cannot read the row for m = " + std::to_string(m));
    }
    table.relative_error[static_cast<size_t>(row)] = *error;
  }
  return table;
}
