// bessel-recurrence-lab's JSON: JsonOf's layout by hand, and the lab's JSON read back by
// nlohmann::json: every field there, the same numbers as the CSV, the marks, the x used in
// decimal and hexadecimal; the summary's numbers kept whole beside their text for Python.
#include <gtest/gtest.h>

#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "experiment/report.hpp"
#include "tests/lab/lab_support.hpp"

namespace {

// JsonOf places every comma, line break and indent: values on one line, on lines of their own
// (the summary's formats with a blank after each comma), nested, and deeper in; strings escaped;
// a number's text as it stands, infinity and NaN as null.
TEST(LabJson, JsonOfPlacesCommasLineBreaksAndIndents) {
  using enum Field::Kind;
  using enum JsonLayout;
  const struct {
    Field field;
    size_t depth;
    const char* text;
  } rows[] = {
      {GroupField(kArray, "", kInline), 0, "[]"},
      {GroupField(kObject, "", kLines), 0, "{}"},
      {GroupField(kObject, "", kInline,
                  {ScalarField(kString, "s\"", "a\\b\n"), ScalarField(kNumber, "r", "1.5e+400"),
                   ScalarField(kInteger, "i", "-3"), ScalarField(kNumber, "n", "-inf"),
                   ScalarField(kNumber, "f", "0.5000", 0.5), ScalarField(kBoolean, "b", "false"),
                   ScalarField(kNull, "z")}),
       0,
       R"({"s\"": "a\\b\u000a", "r": 1.5e+400, "i": -3, "n": null, "f": 0.5000, "b": false, )"
       R"("z": null})"},
      {GroupField(
           kObject, "", kLines,
           {ScalarField(kInteger, "m", "0"),
            GroupField(kArray, "f", kInline,
                       {ScalarField(kString, "", "a"), ScalarField(kNumber, "", "-nan")}),
            GroupField(kObject, "o", kLinesCommaBlank,
                       {ScalarField(kBoolean, "k", "true"), ScalarField(kInteger, "l", "1")})}),
       0,
       "{\n  \"m\": 0,\n  \"f\": [\"a\", null],\n  \"o\": {\n    \"k\": true, \n    \"l\": 1\n  "
       "}\n}"},
      {GroupField(kArray, "", kLines,
                  {GroupField(kObject, "", kInline, {ScalarField(kInteger, "m", "0")}),
                   GroupField(kObject, "", kInline)}),
       0, "[\n  {\"m\": 0},\n  {}\n]"},
      {GroupField(kObject, "", kLines, {GroupField(kArray, "a", kLines, {ScalarField(kNull, "")})}),
       1, "{\n    \"a\": [\n      null\n    ]\n  }"},
  };
  for (const auto& row : rows) EXPECT_EQ(JsonOf(row.field, row.depth), row.text);
}

// The CSV's fields, line by line.
std::vector<std::vector<std::string>> CsvFields(const std::string& csv) {
  std::vector<std::vector<std::string>> lines;
  std::istringstream in(csv);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    std::istringstream row(line);
    for (std::string field; std::getline(row, field, ',');) fields.push_back(field);
    lines.push_back(fields);
  }
  return lines;
}

// x = 0.1 in binary16 is 1638 / 2^14 = 0.0999755859375 = 0x1.998p-4 (by hand); there the
// forward values lose every digit from m = 3 (-523), overflow from m = 7, and J_m falls below
// binary16's smallest subnormal, 2^-24 = 6.0e-8, from m = 5 (J_5 = 2.6e-9).
TEST(LabJson, HoldsTheParametersTheRowsAndTheSummary) {
  const Experiment experiment = ExperimentOf("0.1", 12, {&kBinary16, &kBinary64}, &kBinary16);
  const Outcome outcome = Ran(experiment);
  const nlohmann::json json = nlohmann::json::parse(JsonText(experiment, outcome));
  const nlohmann::json& parameters = json.at("parameters");
  EXPECT_EQ(parameters.at("x"), "0.1");
  EXPECT_EQ(parameters.at("x_used").at("decimal"), "9.9976e-02");
  EXPECT_EQ(parameters.at("x_used").at("hexadecimal"), "0x1.998p-4");
  EXPECT_EQ(parameters.at("arithmetic"), "binary16");
  EXPECT_EQ(parameters.at("seeds"), "rounded");
  EXPECT_EQ(parameters.at("formats"), nlohmann::json({"binary16", "binary64"}));
  EXPECT_EQ(parameters.at("orders"), 12);
  EXPECT_EQ(parameters.at("miller").at("start"), outcome.backward_start);
  EXPECT_TRUE(parameters.at("miller").at("rule").is_string());

  // Every number is the CSV's; infinity and NaN are null, and the row says it overflowed.
  const auto csv = CsvFields(CsvText(outcome));
  const nlohmann::json& rows = json.at("rows");
  ASSERT_EQ(rows.size(), 13u);
  bool any_overflow = false, any_below = false;
  for (size_t m = 0; m < rows.size(); ++m) {
    const nlohmann::json& row = rows[m];
    const std::vector<std::string>& fields = csv[m + 1];
    const auto same = [](const nlohmann::json& value, const std::string& field) {
      return value.is_null()
                 ? field == "inf" || field == "-inf" || field == "nan" || field == "-nan"
                 : std::stod(field) == value.get<double>();
    };
    EXPECT_EQ(row.at("m"), m);
    EXPECT_TRUE(same(row.at("J_m"), fields[1])) << m;
    EXPECT_TRUE(same(row.at("formats").at("binary16").at("measured"), fields[2])) << m;
    EXPECT_TRUE(same(row.at("formats").at("binary16").at("predicted"), fields[3])) << m;
    EXPECT_TRUE(same(row.at("formats").at("binary64").at("measured"), fields[4])) << m;
    EXPECT_TRUE(same(row.at("backward"), fields[6])) << m;
    EXPECT_TRUE(same(row.at("formats").at("binary16").at("rounding"), fields[7])) << m;
    EXPECT_EQ(row.at("near_zero"), static_cast<bool>(outcome.near_zero[m]));
    EXPECT_EQ(row.at("below_range"), static_cast<bool>(outcome.below_range[m]));
    const bool overflowed = row.at("formats").at("binary16").at("measured").is_null() ||
                            row.at("formats").at("binary64").at("measured").is_null();
    EXPECT_EQ(row.at("overflowed"), overflowed) << m;
    any_overflow = any_overflow || overflowed;
    any_below = any_below || row.at("below_range").get<bool>();
  }
  EXPECT_TRUE(any_overflow);
  EXPECT_TRUE(any_below);
  const nlohmann::json& summary = json.at("summary");
  EXPECT_EQ(summary.at("formats").at("binary16").at("every_digit_lost_at"), 3);
  EXPECT_TRUE(summary.at("backward").at("largest_ulps").is_number());
}

// K's unstable backward recurrence at x = 1000 from M = 1100 in binary128 is off by
// -6.034852e+450 of K_0(1000) = 2.0115173162429970e-436 (its CSV), whose last place is
// 2^(-1447 - 113): 4.9089e+484 units there (mpmath), beyond a double's range, and printed as the
// errors beyond it are.
TEST(LabJson, PrintsALargestErrorBeyondADoublesRange) {
  const Experiment experiment =
      ExperimentOf("1000", 1100, {&kBinary64}, &kBinary128, SeedKind::kRounded, kBesselK);
  const Outcome outcome = Ran(experiment);
  EXPECT_NE(
      JsonText(experiment, outcome).find("\"backward\": {\"largest_ulps\": 4.909e+484, \"at\": 0}"),
      std::string::npos);
  EXPECT_NE(TableText(experiment, outcome, 1000).find("at most 4.91e+484 units in the last place"),
            std::string::npos);
  // Python's float64 of it is infinity.
  const Field summary = SummaryOf(outcome);
  const Field& largest_ulps = summary.members.at(1).members.at(0);
  EXPECT_EQ(largest_ulps.key, "largest_ulps");
  EXPECT_EQ(largest_ulps.text, "4.909e+484");
  EXPECT_EQ(largest_ulps.value, std::numeric_limits<double>::infinity());
}

}  // namespace
