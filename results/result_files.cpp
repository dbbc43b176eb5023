// The result files: one seed and one recurrence layout per kind, written unit by unit.
#include "results/result_files.hpp"

#include "numeric/recurrence.hpp"
#include "numeric/series.hpp"
#include "output/edit.hpp"
#include "output/statement.hpp"
#include "runtime/units.hpp"
#include "traceback/traceback.hpp"

namespace {

using namespace edit;

constexpr size_t kNameField = 20;
// The names, blank-padded to their fields, from WriteResultFiles to ListResultFiles.
std::array<std::string, 3> result_file_names;

// The column stops of the recurrence heading, read by its tabs each time it is written.
std::array<int32_t, 4> column_stop;
constexpr std::array<std::array<int32_t, 4>, 3> ColumnStops = {{
    {9, 28, 43, 52},
    {9, 35, 58, 68},
    {9, 53, 94, 104},
}};

constexpr EditDescriptor kOneDigit[] = {I(1)};
constexpr EditDescriptor kTwoDigits[] = {I(2)};

constexpr EditDescriptor kDigitsLine[] = {A, I(3)};
constexpr EditDescriptor kColumnHeading[] = {Slash, T(4), A, T(9), A, Slash};
constexpr EditDescriptor kRecurrenceHeading[] = {Slash, T(&column_stop[0]), A, T(&column_stop[1]),
                                                 A,     T(&column_stop[2]), A, T(&column_stop[3]),
                                                 A};

// Seed lines stop at the ":" (four items); recurrence lines carry the relative error too.
constexpr EditDescriptor kSeedLine1[] = {Lit(" "), I(3), T(8),  P(1),  E(13, 6), T(27),   P(1),
                                         E(14, 7), I(6), Colon, TR(4), P(1),     E(10, 3)};
constexpr EditDescriptor kSeedLine2[] = {Lit(" "),  I(3), T(8),  P(1),  D(22, 15), T(35),   P(1),
                                         D(22, 16), I(6), Colon, TR(3), P(1),      D(10, 3)};
constexpr EditDescriptor kLine3[] = {Lit(" "),  I(3), T(8),  P(1),  E(40, 33), T(52),   P(1),
                                     E(40, 33), I(7), Colon, TR(4), P(1),      E(10, 3)};
constexpr EditDescriptor kRecurrenceLine1[] = {Lit(" "), I(3), T(8),     P(1), E(13, 6),
                                               T(26),    P(1), E(14, 6), I(7), Colon,
                                               TR(4),    P(1), E(10, 3)};
constexpr EditDescriptor kRecurrenceLine2[] = {Lit(" "), I(3), T(8),      P(1), D(22, 15),
                                               T(34),    P(1), D(22, 15), I(7), Colon,
                                               TR(4),    P(1), D(10, 3)};

constexpr EditDescriptor kFileListTitle[] = {Slash, A};

std::string_view WithoutTrailingBlanks(std::string_view text) {
  return text.substr(0, text.find_last_not_of(' ') + 1);
}

// m, the recurrence value, a fresh series value and the term count that evaluation left.
template <class Kind>
void WriteSeedLine(int32_t unit, EditList list, int32_t m) {
  const Kind series = SeriesJ<Kind>(m);
  const int32_t terms = SeriesLog.TermCount[static_cast<size_t>(m)];
  Write(unit, list, {m, TableOf<Kind>()[static_cast<size_t>(m)], series, terms});
}

// As a seed line, then the relative error, which is computed before the line's own series.
template <class Kind>
void WriteRecurrenceLine(int32_t unit, EditList list, int32_t m) {
  const Single error = RelErr<Kind>(m);
  const Kind series = SeriesJ<Kind>(m);
  const int32_t terms = SeriesLog.TermCount[static_cast<size_t>(m)];
  Write(unit, list, {m, TableOf<Kind>()[static_cast<size_t>(m)], series, terms, error});
}

}  // namespace

const RecurrenceTable& RecurrenceTableOf(int32_t file) {
  return file == 1 ? TableOf<Single>() : file == 2 ? TableOf<Double>() : TableOf<Quad>();
}

std::string ResultFileName(int32_t file) {
  const int32_t digits = SignificantDigits[static_cast<size_t>(file - 1)];
  const std::string text =
      InternalEdit(2, digits < 10 ? EditList(kOneDigit) : kTwoDigits, {digits});
  return "bess-" + std::string(WithoutTrailingBlanks(text)) + ".rez";
}

void WriteResultFiles() {
  ActiveRoutine routine("WriteResultFiles");
  for (int32_t file = 1; file <= kResultFiles; ++file) {
    const size_t i = static_cast<size_t>(file - 1);
    result_file_names[i] = ResultFileName(file);
    result_file_names[i].resize(kNameField, ' ');
    OpenUnit(file, result_file_names[i]);
    Write(file, kDigitsLine, {kDigitsLabel, SignificantDigits[i]});
    Write(file, kColumnHeading, {kColumnHeadings[0], kColumnHeadings[1]});
  }
  SeriesLog.TraceOn = 0;
  // The seed lines, then the recurrence heading, then the recurrence lines, unit by unit.
  for (const ResultLine& line : kResultFileLines) {
    if (line.kind == LineKind::kSeed) {
      WriteSeedLine<Single>(1, kSeedLine1, line.m);
      WriteSeedLine<Double>(2, kSeedLine2, line.m);
      WriteSeedLine<Quad>(3, kLine3, line.m);
    }
  }
  for (int32_t file = 1; file <= kResultFiles; ++file) {
    column_stop = ColumnStops[static_cast<size_t>(file - 1)];
    Write(file, kRecurrenceHeading,
          {kRecurrenceHeadings[0], kRecurrenceHeadings[1], kRecurrenceHeadings[2],
           kRecurrenceHeadings[3]});
  }
  for (const ResultLine& line : kResultFileLines) {
    if (line.kind == LineKind::kRecurrence) {
      WriteRecurrenceLine<Single>(1, kRecurrenceLine1, line.m);
      WriteRecurrenceLine<Double>(2, kRecurrenceLine2, line.m);
      WriteRecurrenceLine<Quad>(3, kLine3, line.m);
    }
  }
}

void ListResultFiles() {
  ActiveRoutine routine("ListResultFiles");
  Write(kConsole, kFileListTitle, {"Fisiere de iesire:"});
  for (int32_t file = 1; file <= kResultFiles; ++file) {
    ListWrite(WithoutTrailingBlanks(result_file_names[static_cast<size_t>(file - 1)]));
    CloseUnit(file);
  }
}
