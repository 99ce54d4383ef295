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
      {.text = ""},
      {.text = "abSF", .stable = true, .overloaded = true},
      {.text = "abS 1.2", .stable = true, .weight = 1.2},
      {.text = "abS 2.500" + std::string(500, 'x'), .stable = true, .weight = 2.5},
      {.text = "abS xy.zzz kg  \r", .stable = true},  // garbled weight reads as 0
      {.text = "\x00\xffS\xfe"
               "1.5\x00\xff\x80\x81\x82\x83\x84\x85"s,
       .stable = true,
       .weight = 1.5},
      {.text = "\x00\x00S\x00\x00"
               "1.5   xxxxx"s,
       .stable = true},
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
    bool armed = false, autoprint = false;
    std::optional<std::string> boxAfter = nullopt;  // nothing: the box is not written
    bool print = false, armedAfter = false;
  };
  const Row rows[] = {
      {.frame = "..S  0.000", .box = "0.000 KG", .armedAfter = true},
      {.frame = "..S -0.000", .box = "", .boxAfter = "0.000 KG", .armedAfter = true},
      {.frame = "..S -0.005",
       .box = "0.000 KG",
       .armed = true,
       .autoprint = true,
       .boxAfter = "-0.005 KG",
       .armedAfter = true},
      {.frame = "..M  1.235", .box = ""},
      {.frame = "..SF 1.235", .box = "1.235 KG", .armed = true, .autoprint = true, .print = true},
      {.frame = "..S 1.2346", .box = "", .boxAfter = "1.235 KG"},
      // Unreadable: as in motion.
      {.frame = "..S 9E999",
       .box = "1.235 KG",
       .armed = true,
       .autoprint = true,
       .boxAfter = "",
       .armedAfter = true},
      {.frame = "..S 999999", .box = "", .boxAfter = "999999.000 KG"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.frame);
    const ScaleFrameOutcome outcome =
        EvaluateScaleFrame(ParseScaleFrame(row.frame), row.box, row.armed, row.autoprint);
    EXPECT_EQ(outcome.weightText, row.boxAfter);
    EXPECT_EQ(outcome.print, row.print);
    EXPECT_EQ(outcome.armed, row.armedAfter);
  }
}

}  // namespace
}  // namespace corvel
