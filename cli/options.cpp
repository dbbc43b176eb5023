// getopt_long, quiet, with the complaints put into GNU's words here.
#include "cli/options.hpp"

#include <string_view>

#include "cli/messages.hpp"

namespace {

// "--ord=5" -> "ord": the name as typed, without its dashes and value.
std::string_view TypedName(std::string_view word) {
  word.remove_prefix(word.starts_with("--") ? 2 : 0);
  return word.substr(0, word.find('='));
}

// What getopt_long refused: `code` is its optopt (0 for a long option it could not match),
// `word` the argument it stopped at.
std::string RefusedText(const option* options, int code, std::string_view word) {
  if (code == 0) {
    std::string possibilities;
    int matches = 0;
    const std::string_view typed = TypedName(word);
    for (const option* o = options; o->name != nullptr && word.starts_with("--"); ++o) {
      if (!std::string_view(o->name).starts_with(typed)) continue;
      ++matches;
      possibilities += " '--" + std::string(o->name) + "'";
    }
    if (matches > 1) {
      return "option '" + Printable(word) + "' is ambiguous; possibilities:" + possibilities;
    }
    return "unrecognized option '" + Printable(word) + "'";
  }
  for (const option* o = options; o->name != nullptr; ++o) {
    if (o->val != code) continue;
    return "option '--" + std::string(o->name) +
           (o->has_arg == required_argument ? "' requires an argument"
                                            : "' doesn't allow an argument");
  }
  return "invalid option -- '" + Printable(std::string(1, static_cast<char>(code))) + "'";
}

}  // namespace

ReadCommandLine ReadOptions(int argc, char* argv[], const option* options) {
  ReadCommandLine line;
  opterr = 0;  // the complaint is ours, the same on every platform
  optind = 0;  // read this argv from its start, even when another was read before
  for (;;) {
    const int code = getopt_long(argc, argv, "", options, nullptr);
    if (code == -1) break;
    if (code == '?') {  // every code of the table is above 255
      line.options.push_back({kRefusedOption, RefusedText(options, optopt, argv[optind - 1])});
      return line;
    }
    line.options.push_back({code, optarg != nullptr ? optarg : ""});
  }
  for (int i = optind; i < argc; ++i) line.operands.emplace_back(argv[i]);
  return line;
}
