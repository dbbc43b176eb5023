// The laboratory's outputs over HTTP, apart from the network: a query read as the lab's
// options, and the bytes the lab prints for it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "experiment/check.hpp"
#include "experiment/experiment.hpp"
#include "numeric/stop.hpp"

// What the API answers with: the lab's --json, its --csv, or the summary that ends its table;
// or a check of a student's values, as --check --json or --check --csv writes it.
enum class ApiOutput { kJson, kCsv, kSummary, kCheckJson, kCheckCsv };
constexpr bool IsCheck(ApiOutput output) {
  return output == ApiOutput::kCheckJson || output == ApiOutput::kCheckCsv;
}

// What each path of the API answers with ("/api/run": the JSON, "/api/run.csv", "/api/summary",
// "/api/check", "/api/check.csv"); nullopt for any other path.
std::optional<ApiOutput> ApiOutputAt(std::string_view path);

// A query ("function=J&x=1&orders=30&formats=binary32,binary64&arithmetic=binary128
// &seeds=rounded") applied to `experiment` as the lab applies its options: each name a long
// option's, in the order given, a later value replacing an earlier one; "%XX" and "+" decoded
// as in a form. "" when the experiment can run; else the complaint, in the command line's own
// words where the command line has them ("--x needs a number with 0 < X <= 10000, not 'abc'").
std::string ReadQuery(std::string_view query, Experiment& experiment);

// A check's query: function, x, arithmetic and seeds as ReadQuery reads them, "values" the text
// of --check's file (one value a line, "#" a comment), and "column" its --column. "" and the
// experiment, its orders those of the values, the values read into its arithmetic, and in
// `key` the values' part of the cache's key; else the complaint ("values: line 3: 'abc' is not
// a number ...").
std::string ReadCheckQuery(std::string_view query, Experiment& experiment,
                           std::vector<GivenValue>& values, std::string& key);

// The experiment's parameters in one text, the same for every query that asks for the same
// bytes ("x=1" and "x=1&x=1"): the key of the response cache.
std::string CanonicalQuery(const Experiment& experiment);

// An answer: its HTTP status, content type and body.
struct ApiAnswer {
  int status = 200;
  std::string_view content_type;
  std::shared_ptr<const std::string> body;
};

// The lab's output for a valid experiment, or 500 with the lab's own message when the truth
// could not be proven; the summary at the table's default width, 80 columns. With `summary`,
// the summary of the same run as well (a page asks for it next), unless the run failed.
// Throws Stopped once `stop` is asked for (an answer no longer wanted).
ApiAnswer RunApi(const Experiment& experiment, ApiOutput output, ApiAnswer* summary = nullptr,
                 const StopToken& stop = {});

// The check of `values` as --check --json (kCheckJson) or --check --csv writes it, or 500 as
// RunApi; Stopped as RunApi.
ApiAnswer RunCheckApi(const Experiment& experiment, const std::vector<GivenValue>& values,
                      ApiOutput output, const StopToken& stop = {});

// The answer to a query of `output`'s path, read and run: 400 with the complaint where the query
// is refused, else RunApi's or RunCheckApi's answer (with `summary` as RunApi's).
ApiAnswer AnswerQuery(ApiOutput output, std::string_view query, ApiAnswer* summary = nullptr,
                      const StopToken& stop = {});

// {"error": "<complaint>"}, with `status`.
ApiAnswer ErrorAnswer(int status, std::string_view complaint);
