#include "tools/options/option_table.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace corvel::tools {
namespace {

bool IsOption(const OptionTable& table, const std::string& arg) {
  if (arg.size() < 2 || arg[0] != '-') return false;
  return table.singleDashOptions || (arg.size() > 2 && arg[1] == '-');
}

}  // namespace

OptionRow Switch(std::string name, bool& on) {
  return {std::move(name), false, [&on](const std::string&) {
            on = true;
            return std::string();
          }};
}

OptionRow Switch(std::string name, std::function<void()> on) {
  return {std::move(name), false, [on = std::move(on)](const std::string&) {
            on();
            return std::string();
          }};
}

OptionRow Value(std::string name, std::string& into) {
  return {std::move(name), true, [&into](const std::string& value) {
            into = value;
            return std::string();
          }};
}

OptionRow Value(std::string name, TakeText take) {
  return {std::move(name), true, std::move(take)};
}

OptionRow WholeNumber(std::string name, int& into, int min, int max) {
  return {name, true, [name, &into, min, max](const std::string& value) {
            return TakeWholeNumber(name, value, into, min, max);
          }};
}

std::string TakeWholeNumber(const std::string& option, const std::string& text, int& into, int min,
                            int max) {
  int number = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  if (error != std::errc() || stop != end || number < min || number > max)
    return option + " takes a whole number from " + std::to_string(min) + " to " +
           std::to_string(max) + ", not \"" + text + "\"";
  into = number;
  return "";
}

std::string ParseOptions(const OptionTable& table, const std::vector<std::string>& args) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string problem;
    if (!IsOption(table, arg)) {
      if (!table.argument) return "unexpected argument \"" + arg + "\"";
      problem = table.argument(arg);
    } else {
      const auto row = std::find_if(table.options.begin(), table.options.end(),
                                    [&](const OptionRow& option) { return option.name == arg; });
      if (row == table.options.end()) return "unknown option " + arg;
      if (!row->takesValue) {
        problem = row->take("");
      } else if (i + 1 >= args.size()) {
        return arg + " needs a value";
      } else {
        problem = row->take(args[++i]);  // taken whatever it looks like: a value may start with '-'
      }
    }
    if (!problem.empty()) return problem;
  }
  return "";
}

int UsageError(const OptionTable& table, const std::string& problem, std::FILE* out) {
  if (!problem.empty())
    std::fprintf(out, "corvel %s: %s\n", table.command.c_str(), problem.c_str());
  std::fputs(table.usage ? table.usage : "", out);
  return 2;
}

}  // namespace corvel::tools
