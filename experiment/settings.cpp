// The experiment's parameters from their texts, with the complaints both front ends print.
#include "experiment/settings.hpp"

#include <algorithm>

#include "cli/messages.hpp"
#include "numeric/bessel_truth.hpp"

namespace {

// Longer than any one argument Linux passes to a program (MAX_ARG_STRLEN less its NUL): a
// text the command line can never give, refused before MPFR reads it.
constexpr size_t kMaxXText = 131071;

constexpr long kMaxOrders = 100000;

}  // namespace

bool ReadWhole(std::string_view text, long most, long& value) {
  if (text.empty() || text.size() > 6) return false;
  long read = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    read = read * 10 + (c - '0');
  }
  if (read < 1 || read > most) return false;
  value = read;
  return true;
}

std::string SetFunction(Experiment& experiment, std::string_view letter) {
  const BesselFunction* function = BesselFunctionNamed(letter);
  if (function == nullptr) {
    return "--function is J, Y, I, K, j or y, not '" + Printable(letter) + "'";
  }
  experiment.function = function;
  return "";
}

std::string SetX(Experiment& experiment, std::string_view text) {
  if (text.size() > kMaxXText) {
    return "--x needs a number with 0 < X <= 10000, not a text of " + std::to_string(text.size()) +
           " bytes";
  }
  IeeeNumber x(kBinary64);
  if (ReadX(std::string(text), kBinary64, x) == XReading::kNotInRange) {
    return "--x needs a number with 0 < X <= 10000, not '" + Printable(text) + "'";
  }
  experiment.x_text = text;
  return "";
}

std::string SetOrders(Experiment& experiment, std::string_view text) {
  if (!ReadWhole(text, kMaxOrders, experiment.orders)) {
    return "--orders needs a whole number from 1 to 100000, not '" + Printable(text) + "'";
  }
  return "";
}

std::string SetFormats(Experiment& experiment, std::string_view list) {
  std::vector<std::string> names;
  for (size_t start = 0; start <= list.size();) {
    const size_t comma = std::min(list.find(',', start), list.size());
    names.emplace_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  return SetFormats(experiment, names);
}

std::string SetFormats(Experiment& experiment, const std::vector<std::string>& names) {
  std::vector<const IeeeFormat*> formats;
  for (const std::string& name : names) {
    const IeeeFormat* format = FormatNamed(name);
    if (format == nullptr) return UnknownFormatText(Printable(name));
    if (std::find(formats.begin(), formats.end(), format) != formats.end()) {
      return "--formats names '" + std::string(format->name) + "' twice";
    }
    formats.push_back(format);
  }
  if (formats.empty()) return "--formats needs one format at least";
  experiment.seed_formats = formats;
  return "";
}

std::string SetArithmetic(Experiment& experiment, std::string_view name) {
  const IeeeFormat* format = FormatNamed(name);
  if (format == nullptr) return UnknownFormatText(Printable(name));
  experiment.arithmetic = format;
  return "";
}

std::string SetSeeds(Experiment& experiment, std::string_view kind) {
  for (const SeedKind known : {SeedKind::kRounded, SeedKind::kSeries}) {
    if (kind == SeedKindName(known)) {
      experiment.seeds = known;
      return "";
    }
  }
  return "--seeds is rounded or series, not '" + Printable(kind) + "'";
}

std::string CheckTogether(const Experiment& experiment) {
  if (experiment.seeds == SeedKind::kSeries && !HasSeries(*experiment.function)) {
    return "--seeds series: " + std::string(experiment.function->letter) +
           " has no power series to sum; J, I and j have";
  }
  // The range holds for the value computed with, x rounded to the arithmetic format (where
  // only 0 can fall out of it: 10000 rounds down in every format).
  IeeeNumber x(*experiment.arithmetic);
  if (ReadX(experiment.x_text, *experiment.arithmetic, x) != XReading::kValid) {
    return "--x '" + Printable(experiment.x_text) + "' is 0 in " +
           std::string(experiment.arithmetic->name) +
           ", out of 0 < X <= 10000; give a larger X or a wider --arithmetic";
  }
  return "";
}

std::string UnprovenTruthText(const Experiment& experiment) {
  return "the true values at x = " + Printable(experiment.x_text) + " for m = 0 ... " +
         std::to_string(experiment.orders) +
         " could not be proven to the digits printed: they need more than " +
         std::to_string(kMaxTruthBits) +
         " bits, or a wider exponent range than MPFR has on this machine; ask for fewer orders "
         "or a larger x";
}
