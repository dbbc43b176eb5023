// The command line as GNU tools read it, the same for every program: long options from a table,
// each also taken as an unambiguous abbreviation ("--ord" for "--orders"), values as
// "--opt VALUE" or "--opt=VALUE", options and operands in any order, and "--" to end the
// options, so that every later word is an operand.
#pragma once

#include <getopt.h>

#include <string>
#include <vector>

// The code of an option that was refused; its `value` is the complaint, in GNU's words.
inline constexpr int kRefusedOption = -1;

struct ReadOption {
  int code;           // the table's `val`, or kRefusedOption
  std::string value;  // the option's value ("" for one without), or the complaint
};

struct ReadCommandLine {
  // In the order given. A refused option is the last: nothing after it is read.
  std::vector<ReadOption> options;
  std::vector<std::string> operands;  // empty when an option was refused
};

// Reads argv with getopt_long against `options` (ended by an all-zero entry; every `val` above
// 255, so that no long option reads as a short one). No message is printed here: a complaint
// such as "unrecognized option '--frob'" or "option '--orders' requires an argument" is handed
// back, the word as typed shown Printable.
ReadCommandLine ReadOptions(int argc, char* argv[], const option* options);
