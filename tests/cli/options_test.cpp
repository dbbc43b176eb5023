// Reading a command line as GNU tools do: abbreviations, "=" values, "--", operands anywhere,
// and each refusal in GNU's words (those of getopt_long's own messages, checked by hand against
// `ls --frob`, `ls --colo`, `sort --key` and `ls --all=x` on this system).
#include "cli/options.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

enum : int { kAlpha = 256, kAlso, kOrders, kBeta };

constexpr option kTable[] = {
    {"alpha", no_argument, nullptr, kAlpha},
    {"also", no_argument, nullptr, kAlso},
    {"orders", required_argument, nullptr, kOrders},
    {"beta", no_argument, nullptr, kBeta},
    {nullptr, 0, nullptr, 0},
};

// "alpha" for an option without a value, "orders=5" with one, "refused: WHY", "operand: WORD".
std::vector<std::string> Read(std::vector<std::string> words) {
  words.insert(words.begin(), "program");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const ReadCommandLine line = ReadOptions(static_cast<int>(words.size()), argv.data(), kTable);
  std::vector<std::string> read;
  for (const ReadOption& o : line.options) {
    if (o.code == kRefusedOption) {
      read.push_back("refused: " + o.value);
      continue;
    }
    std::string name;
    for (const option* t = kTable; t->name != nullptr; ++t)
      name = t->val == o.code ? t->name : name;
    read.push_back(o.value.empty() ? name : name + "=" + o.value);
  }
  for (const std::string& operand : line.operands) read.push_back("operand: " + operand);
  return read;
}

TEST(ReadOptions, TakesWhatGnuToolsTakeAndRefusesTheRest) {
  // POSIXLY_CORRECT would stop the reading at the first operand.
#ifdef _WIN32
  _putenv("POSIXLY_CORRECT=");
#else
  unsetenv("POSIXLY_CORRECT");
#endif
  struct Row {
    std::vector<std::string> words;
    std::vector<std::string> read;
  };
  const Row rows[] = {
      {{}, {}},
      {{"--alpha", "--orders", "5"}, {"alpha", "orders=5"}},
      {{"--orders=5"}, {"orders=5"}},
      {{"--orders="}, {"orders"}},
      {{"--ord", "7", "--b"}, {"orders=7", "beta"}},
      {{"--alp"}, {"alpha"}},
      {{"dir", "--beta", "more"}, {"beta", "operand: dir", "operand: more"}},
      {{"--", "--alpha", "-"}, {"operand: --alpha", "operand: -"}},
      {{"-"}, {"operand: -"}},
      {{"--orders", "--alpha"}, {"orders=--alpha"}},
      // Refused in GNU's words, and nothing read after.
      {{"--frob", "--alpha"}, {"refused: unrecognized option '--frob'"}},
      {{"--frob=1"}, {"refused: unrecognized option '--frob=1'"}},
      {{"--al"}, {"refused: option '--al' is ambiguous; possibilities: '--alpha' '--also'"}},
      {{"--al=3"}, {"refused: option '--al=3' is ambiguous; possibilities: '--alpha' '--also'"}},
      {{"--beta", "--orders"}, {"beta", "refused: option '--orders' requires an argument"}},
      {{"--or"}, {"refused: option '--orders' requires an argument"}},
      {{"--beta=yes"}, {"refused: option '--beta' doesn't allow an argument"}},
      {{"-x"}, {"refused: invalid option -- 'x'"}},
      {{"-\x1b"}, {"refused: invalid option -- '\\033'"}},
      {{"--\n\x1b[2J"}, {"refused: unrecognized option '--\\012\\033[2J'"}},
      {{"dir", "--frob"}, {"refused: unrecognized option '--frob'"}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Read(row.words), row.read) << testing::PrintToString(row.words);
  }
}

}  // namespace
