// Writing a check out.
#include "experiment/check_report.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <set>

#include "experiment/columns.hpp"

namespace {

// The code of the variant that order m's step is shown with: its run's; "seed" for the seeds,
// "none" where no variant tried reproduces the step.
std::string StepCode(const CheckOutcome& check, size_t m) {
  const long order = static_cast<long>(m);
  for (const StepRun& run : check.comparison.runs) {
    if (order >= run.from && order <= run.to && run.variant >= 0) {
      return VariantCode(kStepVariants[run.variant]);
    }
  }
  return m < 2 ? "seed" : "none";
}

// How far a value lies from the lab's, in its ulps: a whole number as it is below 10^15 (a
// double holds it exactly), else with 3 digits.
std::string UlpsText(const CheckRow& row) {
  const ShortNumber::View ulps = row.ulps.get();
  if (row.same) return "0";
  const double whole = mpfr_get_d(ulps, MPFR_RNDN);
  if (mpfr_integer_p(ulps) && std::fabs(whole) < 1e15) {
    return std::to_string(static_cast<long long>(whole));
  }
  return ExponentText(ulps, 3);
}

// Text handed to the sink in pieces of about 64 KiB; false once a piece could not be written.
bool Flushed(std::string& text, const TextSink& sink, bool last) {
  if (!last && text.size() < (size_t{1} << 16)) return true;
  const bool written = text.empty() || sink(text);
  text.clear();
  return written;
}

// The step codes a table's rows show, with what each means.
std::string StepKey(const CheckOutcome& check, int width) {
  std::set<int> shown;
  for (const StepRun& run : check.comparison.runs) shown.insert(run.variant);
  std::string key = "Steps: seed = f_0 and f_1, given";
  const IeeeFormat& format = check.outcome.x.format();
  for (const int variant : shown) {
    key += variant < 0 ? "; none = no variant tried gives your value"
                       : "; " + VariantCode(kStepVariants[variant]) + " = " +
                             VariantName(kStepVariants[variant], format);
  }
  return Wrapped(key + ".", width, "", "  ");
}

}  // namespace

std::vector<std::string> CheckRowTexts(const CheckOutcome& check, size_t m) {
  std::vector<std::string> texts = {std::to_string(m), XUsedDecimalText(check.yours[m]),
                                    XUsedDecimalText(check.lab[m]),
                                    UlpsText(check.comparison.rows[m]), StepCode(check, m)};
  const SeedColumn& yours = check.outcome.columns.back();  // the student's: the last
  for (const ErrorPart& part : kErrorParts) texts.push_back(PartText(part, yours, m));
  return texts;
}

Field CheckParametersOf(const Experiment& experiment, const CheckOutcome& check) {
  const IeeeNumber& x = check.outcome.x;
  return GroupField(
      Field::kObject, "parameters", JsonLayout::kLines,
      {ScalarField(Field::kString, "function", experiment.function->letter),
       ScalarField(Field::kString, "x", experiment.x_text),
       GroupField(Field::kObject, "x_used", JsonLayout::kInline,
                  {ScalarField(Field::kString, "decimal", XUsedDecimalText(x)),
                   ScalarField(Field::kString, "hexadecimal", HexadecimalText(x))}),
       ScalarField(Field::kString, "arithmetic", x.format().name),
       ScalarField(Field::kString, "seeds", SeedKindName(experiment.seeds)),
       ScalarField(Field::kInteger, "orders", std::to_string(check.yours.size() - 1))});
}

bool WriteCheckTable(const Experiment& experiment, const CheckOutcome& check, int width,
                     const TextSink& sink) {
  const BesselFunction& function = *experiment.function;
  const size_t rows = check.yours.size();
  std::string text =
      Wrapped("Your values of " + std::string(function.letter) + "_m(x), m = 0 ... " +
                  std::to_string(rows - 1) + ", x = " + experiment.x_text +
                  ", checked against the lab's " + std::string(check.outcome.x.format().name) +
                  " recurrence " + std::string(function.recurrence) + " from " +
                  std::string(SeedKindName(experiment.seeds)) +
                  " seeds, and their errors against the truth:",
              width, "", "");
  text += "\n";
  const std::vector<std::string> headings = {"m",    "yours",    "lab",       "ulps apart",
                                             "step", "measured", "predicted", "rounding"};
  std::vector<size_t> widths;
  for (const std::string& heading : headings) widths.push_back(heading.size());
  for (size_t m = 0; m < rows; ++m) {
    const std::vector<std::string> texts = CheckRowTexts(check, m);
    for (size_t i = 0; i < widths.size(); ++i) widths[i] = std::max(widths[i], texts[i].size());
  }
  // One block of all the columns, each after a blank, where they fit the width; else the
  // comparison with the lab, then the errors, each after m.
  const size_t total = std::accumulate(widths.begin(), widths.end(), widths.size());
  const std::vector<std::vector<size_t>> blocks =
      total <= static_cast<size_t>(width)
          ? std::vector<std::vector<size_t>>{{0, 1, 2, 3, 4, 5, 6, 7}}
          : std::vector<std::vector<size_t>>{{0, 1, 2, 3, 4}, {0, 5, 6, 7}};
  const auto line = [&](const std::vector<size_t>& block, const std::vector<std::string>& texts) {
    std::string out;
    for (const size_t i : block) out += Padded(texts[i], widths[i] + 1);
    return out + "\n";
  };
  for (const std::vector<size_t>& block : blocks) {
    text += (&block == &blocks.front() ? "" : "\n") + line(block, headings);
    for (size_t m = 0; m < rows; ++m) {
      text += line(block, CheckRowTexts(check, m));
      if (!Flushed(text, sink, false)) return false;
    }
  }
  text += "\n" + StepKey(check, width) + Wrapped(check.verdict + ".", width, "Verdict: ", "  ");
  return Flushed(text, sink, true);
}

bool WriteCheckCsv(const CheckOutcome& check, const TextSink& sink) {
  std::string text;
  for (const CheckColumn& column : kCheckColumns) text += std::string(column.name) + ",";
  for (const ErrorPart& part : kErrorParts) text += std::string(part.name) + ",";
  text.back() = '\n';  // each line's last comma ends it
  for (size_t m = 0; m < check.yours.size(); ++m) {
    for (const std::string& field : CheckRowTexts(check, m)) text += field + ",";
    text.back() = '\n';
    if (!Flushed(text, sink, false)) return false;
  }
  return Flushed(text, sink, true);
}

bool WriteCheckJson(const Experiment& experiment, const CheckOutcome& check, const TextSink& sink) {
  const Field parameters = CheckParametersOf(experiment, check);
  std::string text = "{\n  \"parameters\": " + JsonOf(parameters, 1) + ",\n  \"rows\": [";
  for (size_t m = 0; m < check.yours.size(); ++m) {
    const std::vector<std::string> texts = CheckRowTexts(check, m);
    Field row = GroupField(Field::kObject, "", JsonLayout::kInline);
    for (size_t i = 0; i < std::size(kCheckColumns); ++i) {
      row.members.push_back(ScalarField(kCheckColumns[i].kind, kCheckColumns[i].name, texts[i]));
    }
    row.members.push_back(
        ScalarField(Field::kBoolean, "same", check.comparison.rows[m].same ? "true" : "false"));
    for (size_t i = 0; i < std::size(kErrorParts); ++i) {
      row.members.push_back(
          ScalarField(Field::kNumber, kErrorParts[i].name, texts[std::size(kCheckColumns) + i]));
    }
    text += (m == 0 ? "\n    " : ",\n    ") + JsonOf(row, 2);
    if (!Flushed(text, sink, false)) return false;
  }
  text +=
      "\n  ],\n  \"verdict\": " + JsonOf(ScalarField(Field::kString, "", check.verdict)) + "\n}\n";
  return Flushed(text, sink, true);
}
