#pragma once
// The option parser of corvel's subcommands: each subcommand describes its options as a
// table of rows (a switch, or an option that takes the next argument as its value) and
// what it does with the other arguments; one parser reads every command line, refuses
// what the table does not know in one wording, and prints the subcommand's usage text.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace corvel::tools {

// Takes an option's value (or an argument); returns the problem, empty when taken.
using TakeText = std::function<std::string(const std::string& text)>;

struct OptionRow {
  std::string name;  // "--pdf"
  bool takesValue = false;
  TakeText take;  // a switch is given ""
};

struct OptionTable {
  std::string command;  // "barcode": names the problems ("corvel barcode: ...")
  const char* usage;    // printed after a problem
  std::vector<OptionRow> options;
  // What an argument that is no option is given to; without it, each is refused.
  TakeText argument = nullptr;
  // Whether an argument with a single dash ("-5", "-x") is an option, or only ones with
  // two ("--x"), so that a code or a weight may be a negative number. A lone "-" is an
  // argument either way (standard input).
  bool singleDashOptions = true;
};

// Rows for the common kinds of option.
OptionRow Switch(std::string name, bool& on);
OptionRow Switch(std::string name, std::function<void()> on);
OptionRow Value(std::string name, std::string& into);
OptionRow Value(std::string name, TakeText take);
// A whole number from `min` to `max`; otherwise "--dpi takes a whole number from 20 to
// 2400, not "x"".
OptionRow WholeNumber(std::string name, int& into, int min, int max);

// The problem of a text that is not a whole number from `min` to `max` for `option`, or
// "" when it is one (then stored in `into`).
std::string TakeWholeNumber(const std::string& option, const std::string& text, int& into, int min,
                            int max);

// Reads `args` by the table, in order; returns the first problem, or "" when every
// argument was taken.
std::string ParseOptions(const OptionTable& table, const std::vector<std::string>& args);

// Prints "corvel COMMAND: PROBLEM" (when there is one) and the usage text to `out`;
// returns 2, the exit status of a usage error.
int UsageError(const OptionTable& table, const std::string& problem, std::FILE* out = stderr);

}  // namespace corvel::tools
