// The weight frame on its own: what is read from frames of every shape, and what one
// frame does to the weight box and to Autoprint.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

#include "station/scale_frame.h"

namespace corvel {
namespace {

using namespace std::string_literals;
using std::nullopt;

TEST(ScaleFrame, ReadsStabilityOverloadAndWeightFromTheirPositions) {
  struct Row {
    std::string text;
    bool stable = false, overloaded = false;
    std::optional<double> weight = 0;
  };
  const Row rows[] = {
      {.text = "\x02 S  1.235 kg  \r", .stable = true, .weight = 1.235},
      {.text = "\x02 MF------ kg  \r", .overloaded = true},
      {.text = "\x02 s  1.235 kg  \r", .weight = 1.235},  // lower-case s is not stable
      {.text = "\x02 S 1 2.5 kg  \r", .stable = true, .weight = 12.5},  // blanks inside the number
      // Only positions 5-10 are the weight.
      {.text = "\x02 S  1.23599999999", .stable = true, .weight = 1.235},
      {.text = "", .weight = nullopt},
      {.text = "abSF", .stable = true, .overloaded = true, .weight = nullopt},
      {.text = "abS 1.2", .stable = true, .weight = nullopt},  // cut inside the weight
      {.text = "abS xy.zzz kg  \r", .stable = true},           // garbled weight reads as 0
      {.text = "\0\377S\3761.5\0\377\200\201\202\203\204\205"s, .stable = true, .weight = 1.5},
      {.text = "\0\0S\0\0001.5   xxxxx"s, .stable = true},
      {.text = "abS 9E999 kg  \r", .stable = true, .weight = nullopt},  // beyond a double
  };
  for (const auto& [text, stable, overloaded, weight] : rows) {
    SCOPED_TRACE(testing::PrintToString(text));
    const ScaleFrame frame = ParseScaleFrame(text);
    EXPECT_EQ(frame.stable, stable);
    EXPECT_EQ(frame.overloaded, overloaded);
    ASSERT_EQ(frame.weight.has_value(), weight.has_value());
    if (weight) {
      EXPECT_DOUBLE_EQ(*frame.weight, *weight);
    }
  }
}

TEST(ScaleFrame, EvaluationSetsTheBoxArmsAndPrintsOncePerLoad) {
  struct Row {
    std::string frame;
    std::string box;
    std::string in = "";                            // 'a'rmed, 'p': Autoprint ticked
    std::optional<std::string> boxAfter = nullopt;  // nothing: the box is not written
    std::string out = "";                           // 'a'rmed, 'p'rints
  };
  const Row rows[] = {
      {.frame = "..S  0.000", .box = "0.000 KG", .out = "a"},
      {.frame = "..S -0.000", .box = "", .boxAfter = "0.000 KG", .out = "a"},
      {.frame = "..S -0.005", .box = "0.000 KG", .in = "ap", .boxAfter = "-0.005 KG", .out = "a"},
      {.frame = "..M  1.235", .box = ""},
      {.frame = "..SF 1.235", .box = "1.235 KG", .in = "ap", .out = "p"},
      {.frame = "..S 1.2346", .box = "", .boxAfter = "1.235 KG"},
      {.frame = "..S 9E999", .box = "1.235 KG", .in = "ap", .boxAfter = "", .out = "a"},  // moving
      {.frame = "..S 999999", .box = "", .boxAfter = "999999.000 KG"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.frame);
    const ScaleFrameOutcome outcome = EvaluateScaleFrame(ParseScaleFrame(row.frame), row.box,
                                                         row.in.find('a') != std::string::npos,
                                                         row.in.find('p') != std::string::npos);
    EXPECT_EQ(outcome.weightText, row.boxAfter);
    EXPECT_EQ(outcome.print, row.out.find('p') != std::string::npos);
    EXPECT_EQ(outcome.armed, row.out.find('a') != std::string::npos);
  }
}

}  // namespace
}  // namespace corvel
