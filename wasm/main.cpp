// bessel-recurrence-wasm: the laboratory compiled to WebAssembly, for a page with no server. It
// answers the web server's API in the browser's own process: a path ("/api/run", "/api/run.csv",
// "/api/summary", "/api/check", "/api/check.csv") and a query give the same status, type and
// bytes as bessel-recurrence-web (and the lab's --json and --csv) give for them. The page runs it
// in a Web Worker, which it ends to stop a run no longer wanted.
#include <emscripten/bind.h>

#include <optional>
#include <string>
#include <utility>

#include "cli/messages.hpp"
#include "experiment/api.hpp"

namespace {

// The summary of the last run, for the page's "/api/summary" that follows its "/api/run" of the
// same query, as the server keeps it: the run is not made twice.
struct LastSummary {
  std::string query;
  ApiAnswer answer;
};
LastSummary last_summary;

emscripten::val AsObject(const ApiAnswer& answer) {
  emscripten::val object = emscripten::val::object();
  object.set("status", answer.status);
  object.set("type", std::string(answer.content_type));
  object.set("body", answer.body ? *answer.body : std::string());
  return object;
}

// {status, type, body} for `path` asked with `query`.
emscripten::val Answer(const std::string& path, const std::string& query) {
  const std::optional<ApiOutput> output = ApiOutputAt(path);
  if (!output) return AsObject(ErrorAnswer(404, "nothing is served at '" + Printable(path) + "'"));
  if (*output == ApiOutput::kSummary && last_summary.answer.body && last_summary.query == query) {
    return AsObject(last_summary.answer);
  }
  ApiAnswer summary;
  const ApiAnswer answer = AnswerQuery(*output, query, &summary);
  if (summary.body) last_summary = {query, std::move(summary)};
  return AsObject(answer);
}

}  // namespace

EMSCRIPTEN_BINDINGS(bessel_recurrence_lab) {
  emscripten::function("answer", &Answer);
}
