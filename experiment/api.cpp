#include "experiment/api.hpp"

#include <charconv>
#include <functional>
#include <string>

#include "cli/messages.hpp"
#include "experiment/check_report.hpp"
#include "experiment/report.hpp"
#include "experiment/settings.hpp"

namespace {

constexpr std::string_view kJsonType = "application/json";
constexpr int kSummaryWidth = 80;  // the table's width where standard output is no terminal

// A name or value of a query: "%XX" is the byte XX and "+" a blank; false for a "%" that
// two hexadecimal digits do not follow.
bool Decoded(std::string_view part, std::string& out) {
  out.clear();
  for (size_t i = 0; i < part.size(); ++i) {
    const std::string_view hex = part.substr(i + 1, 2);  // after a '%', the byte's digits
    unsigned char byte = 0;
    if (part[i] == '+') {
      out += ' ';
    } else if (part[i] != '%') {
      out += part[i];
    } else if (hex.size() == 2 &&
               std::from_chars(hex.data(), hex.data() + 2, byte, 16).ptr == hex.data() + 2) {
      out += static_cast<char>(byte);
      i += 2;
    } else {
      return false;
    }
  }
  return true;
}

// The option a parameter names, applied; the complaint when the value is refused.
std::string Apply(Experiment& experiment, std::string_view name, std::string_view value) {
  if (name == "function") return SetFunction(experiment, value);
  if (name == "x") return SetX(experiment, value);
  if (name == "orders") return SetOrders(experiment, value);
  if (name == "formats") return SetFormats(experiment, value);
  if (name == "arithmetic") return SetArithmetic(experiment, value);
  if (name == "seeds") return SetSeeds(experiment, value);
  return "unknown parameter '" + Printable(name) +
         "'; the parameters are function, x, orders, formats, arithmetic and seeds";
}

// Each "name=value" of the query, decoded, handed to `apply` in the order given; the first
// complaint, `apply`'s or of a '%' that starts no escape, ends the reading.
std::string EachParameter(
    std::string_view query,
    const std::function<std::string(const std::string&, const std::string&)>& apply) {
  std::string name, value;
  while (!query.empty()) {
    const size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? "" : query.substr(amp + 1);
    if (pair.empty()) continue;  // "a=1&&b=2", a trailing "&"
    const size_t equals = pair.find('=');
    if (!Decoded(pair.substr(0, equals), name) ||
        !Decoded(equals == std::string_view::npos ? "" : pair.substr(equals + 1), value)) {
      return "a '%' in the query must start an escape such as %2C, not '" + Printable(pair) + "'";
    }
    if (std::string complaint = apply(name, value); !complaint.empty()) return complaint;
  }
  return "";
}

}  // namespace

std::string ReadQuery(std::string_view query, Experiment& experiment) {
  const std::string complaint =
      EachParameter(query, [&](const std::string& name, const std::string& value) {
        return Apply(experiment, name, value);
      });
  return complaint.empty() ? CheckTogether(experiment) : complaint;
}

std::string ReadCheckQuery(std::string_view query, Experiment& experiment,
                           std::vector<GivenValue>& values, std::string& key) {
  std::string text, column;
  std::string complaint =
      EachParameter(query, [&](const std::string& name, const std::string& value) {
        if (name == "values") {
          text = value;
        } else if (name == "column") {
          column = value;
        } else if (name == "orders" || name == "formats") {
          return name + " is not a parameter of a check: " +
                 (name == "orders" ? "the orders are those of its values"
                                   : "the values are in the arithmetic format");
        } else {
          return Apply(experiment, name, value);
        }
        return std::string();
      });
  if (complaint.empty()) complaint = CheckTogether(experiment);
  if (!complaint.empty()) return complaint;
  std::vector<GivenText> texts;
  complaint = SplitGivenValues(text, column, texts);
  if (complaint.empty()) complaint = ReadGivenTexts(texts, *experiment.arithmetic, "line", values);
  if (!complaint.empty()) return "values: " + complaint;
  experiment.orders = static_cast<long>(values.size()) - 1;
  // Each length first, so that no column's text can take the values' place.
  key = "&column=" + std::to_string(column.size()) + ":" + column +
        "&values=" + std::to_string(text.size()) + ":" + text;
  return "";
}

std::string CanonicalQuery(const Experiment& experiment) {
  std::string formats;
  for (const IeeeFormat* format : experiment.seed_formats) {
    formats += (formats.empty() ? "" : ",") + std::string(format->name);
  }
  // x as given (the JSON repeats it) comes last, so that no text of its own can forge another
  // parameter's place.
  return "function=" + std::string(experiment.function->letter) +
         "&orders=" + std::to_string(experiment.orders) + "&formats=" + formats +
         "&arithmetic=" + std::string(experiment.arithmetic->name) +
         "&seeds=" + std::string(SeedKindName(experiment.seeds)) + "&x=" + experiment.x_text;
}

ApiAnswer RunApi(const Experiment& experiment, ApiOutput output, ApiAnswer* summary,
                 const StopToken& stop) {
  Outcome outcome;
  if (!Run(experiment, outcome, stop)) return ErrorAnswer(500, UnprovenTruthText(experiment));
  const ApiAnswer summary_answer = {
      200, "text/plain; charset=utf-8",
      std::make_shared<std::string>(SummaryText(outcome, kSummaryWidth).substr(1))};
  if (summary != nullptr) *summary = summary_answer;
  if (output == ApiOutput::kCsv) {
    return {200, "text/csv; charset=utf-8", std::make_shared<std::string>(CsvText(outcome))};
  }
  if (output == ApiOutput::kSummary) return summary_answer;
  return {200, kJsonType, std::make_shared<std::string>(JsonText(experiment, outcome))};
}

ApiAnswer RunCheckApi(const Experiment& experiment, const std::vector<GivenValue>& values,
                      ApiOutput output, const StopToken& stop) {
  CheckOutcome check;
  if (!RunCheck(experiment, values, check, stop)) {
    return ErrorAnswer(500, UnprovenTruthText(experiment));
  }
  std::string text;
  const TextSink gather = [&](std::string_view piece) {
    text += piece;
    return true;
  };
  if (output == ApiOutput::kCheckCsv) {
    WriteCheckCsv(check, gather);
    return {200, "text/csv; charset=utf-8", std::make_shared<std::string>(std::move(text))};
  }
  WriteCheckJson(experiment, check, gather);
  return {200, kJsonType, std::make_shared<std::string>(std::move(text))};
}

std::optional<ApiOutput> ApiOutputAt(std::string_view path) {
  constexpr std::pair<std::string_view, ApiOutput> kPaths[] = {
      {"/api/run", ApiOutput::kJson},           {"/api/run.csv", ApiOutput::kCsv},
      {"/api/summary", ApiOutput::kSummary},    {"/api/check", ApiOutput::kCheckJson},
      {"/api/check.csv", ApiOutput::kCheckCsv},
  };
  for (const auto& [at, output] : kPaths) {
    if (at == path) return output;
  }
  return std::nullopt;
}

ApiAnswer AnswerQuery(ApiOutput output, std::string_view query, ApiAnswer* summary,
                      const StopToken& stop) {
  Experiment experiment;
  if (!IsCheck(output)) {
    if (std::string complaint = ReadQuery(query, experiment); !complaint.empty()) {
      return ErrorAnswer(400, complaint);
    }
    return RunApi(experiment, output, summary, stop);
  }
  std::vector<GivenValue> values;
  std::string key;
  if (std::string complaint = ReadCheckQuery(query, experiment, values, key); !complaint.empty()) {
    return ErrorAnswer(400, complaint);
  }
  return RunCheckApi(experiment, values, output, stop);
}

ApiAnswer ErrorAnswer(int status, std::string_view complaint) {
  const Field error = GroupField(Field::kObject, "", JsonLayout::kInline,
                                 {ScalarField(Field::kString, "error", complaint)});
  return {status, kJsonType, std::make_shared<std::string>(JsonOf(error) + "\n")};
}
