// The option parser every corvel subcommand reads its command line with: what each kind of
// row takes, where options end and arguments begin, and the one wording of a refusal.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/options/option_table.h"

namespace corvel::tools {
namespace {

// What a parse of the sample table below left behind, written out for comparison.
struct Taken {
  bool upce = false;
  std::string pdf;
  int dpi = 300;
  std::vector<std::string> arguments;
  std::string mode = "normal";

  std::string Text() const {
    std::string text = (upce ? "upce " : "") + ("pdf=" + pdf) + " dpi=" + std::to_string(dpi) +
                       " mode=" + mode + " args=";
    for (const std::string& argument : arguments)
      text += "[" + argument + "]";
    return text;
  }
};

OptionTable SampleTable(Taken& taken, bool singleDashOptions) {
  return {"sample",
          "usage: corvel sample [--upce] [--pdf FILE] [--dpi N] [--junk] [ARG]\n",
          {Switch("--upce", taken.upce), Value("--pdf", taken.pdf),
           WholeNumber("--dpi", taken.dpi, 20, 2400),
           Switch("--junk", [&taken] { taken.mode = "junk"; }),
           Value("--mode",
                 [&taken](const std::string& mode) -> std::string {
                   if (mode != "fast" && mode != "slow") return "--mode takes fast or slow";
                   taken.mode = mode;
                   return "";
                 })},
          [&taken](const std::string& argument) -> std::string {
            if (taken.arguments.size() == 2) return "two arguments at most";
            taken.arguments.push_back(argument);
            return "";
          },
          singleDashOptions};
}

TEST(OptionTable, ReadsEachKindOfRowAndRefusesInOneWording) {
  const struct {
    const char* name;
    std::vector<std::string> args;
    bool singleDashOptions;
    const char* problem;  // "" when the line is taken
    const char* taken;    // what was taken up to the end or the problem
  } rows[] = {
      {"nothing", {}, true, "", "pdf= dpi=300 mode=normal args="},
      {"every kind in any order",
       {"a", "--dpi", "600", "--upce", "--pdf", "x.pdf", "--junk"},
       true,
       "",
       "upce pdf=x.pdf dpi=600 mode=junk args=[a]"},
      {"a later value wins",
       {"--pdf", "1", "--pdf", "2"},
       true,
       "",
       "pdf=2 dpi=300 mode=normal args="},
      {"a value is taken whatever it looks like",
       {"--pdf", "--upce", "--mode", "-x"},
       true,
       "--mode takes fast or slow",
       "pdf=--upce dpi=300 mode=normal args="},
      {"the row's own refusal",
       {"--mode", "fast", "--mode", "quick"},
       true,
       "--mode takes fast or slow",
       "pdf= dpi=300 mode=fast args="},
      {"a lone dash is an argument", {"-", "b"}, true, "", "pdf= dpi=300 mode=normal args=[-][b]"},
      {"unknown long option",
       {"--upce", "--pfd", "x"},
       true,
       "unknown option --pfd",
       "upce pdf= dpi=300 mode=normal args="},
      {"unknown short option", {"-u"}, true, "unknown option -u", "pdf= dpi=300 mode=normal args="},
      {"a negative number where single dashes are arguments",
       {"-5", "--"},
       false,
       "",
       "pdf= dpi=300 mode=normal args=[-5][--]"},
      {"long options are still options there",
       {"-5", "--dpu"},
       false,
       "unknown option --dpu",
       "pdf= dpi=300 mode=normal args=[-5]"},
      {"a double dash alone is an option otherwise",
       {"--"},
       true,
       "unknown option --",
       "pdf= dpi=300 mode=normal args="},
      {"missing value",
       {"a", "--pdf"},
       true,
       "--pdf needs a value",
       "pdf= dpi=300 mode=normal args=[a]"},
      {"a switch takes no value",
       {"--upce", "x.pdf"},
       true,
       "",
       "upce pdf= dpi=300 mode=normal args=[x.pdf]"},
      {"the argument taker's refusal",
       {"a", "b", "c"},
       true,
       "two arguments at most",
       "pdf= dpi=300 mode=normal args=[a][b]"},
      {"number at the bounds", {"--dpi", "2400"}, true, "", "pdf= dpi=2400 mode=normal args="},
      {"number past the bound",
       {"--dpi", "2401"},
       true,
       "--dpi takes a whole number from 20 to 2400, not \"2401\"",
       "pdf= dpi=300 mode=normal args="},
      {"number with a fraction",
       {"--dpi", "300.5"},
       true,
       "--dpi takes a whole number from 20 to 2400, not \"300.5\"",
       "pdf= dpi=300 mode=normal args="},
      {"number with a leading blank",
       {"--dpi", " 300"},
       true,
       "--dpi takes a whole number from 20 to 2400, not \" 300\"",
       "pdf= dpi=300 mode=normal args="},
      {"number beyond an int",
       {"--dpi", "99999999999999999999"},
       true,
       "--dpi takes a whole number from 20 to 2400, not \"99999999999999999999\"",
       "pdf= dpi=300 mode=normal args="},
      {"empty number",
       {"--dpi", ""},
       true,
       "--dpi takes a whole number from 20 to 2400, not \"\"",
       "pdf= dpi=300 mode=normal args="},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Taken taken;
    EXPECT_EQ(ParseOptions(SampleTable(taken, row.singleDashOptions), row.args), row.problem);
    EXPECT_EQ(taken.Text(), row.taken);
  }
}

TEST(OptionTable, ArgumentsAreRefusedWhereTheTableTakesNone) {
  bool on = false;
  const OptionTable table{"doctor", "usage\n", {Switch("--on", on)}};
  EXPECT_EQ(ParseOptions(table, {"--on", "here"}), "unexpected argument \"here\"");
  EXPECT_TRUE(on);
}

TEST(OptionTable, UsageErrorNamesTheCommandAndPrintsTheUsage) {
  Taken taken;
  const OptionTable table = SampleTable(taken, true);
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(UsageError(table, "unknown option --x", out), 2);
  EXPECT_EQ(UsageError(table, "", out), 2);
  std::fclose(out);
  const std::string printed(text, size);
  std::free(text);
  EXPECT_EQ(printed,
            "corvel sample: unknown option --x\n"
            "usage: corvel sample [--upce] [--pdf FILE] [--dpi N] [--junk] [ARG]\n"
            "usage: corvel sample [--upce] [--pdf FILE] [--dpi N] [--junk] [ARG]\n");
}

}  // namespace
}  // namespace corvel::tools
