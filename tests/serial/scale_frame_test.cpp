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
  // frame, stable, overloaded, weight
  const std::tuple<std::string, bool, bool, std::optional<double>> rows[] = {
      {"\x02 S  1.235 kg  \r", true, false, 1.235},
      {"\x02 MF------ kg  \r", false, true, 0},
      {"\x02 s  1.235 kg  \r", false, false, 1.235},  // lower-case s is not stable
      {"\x02 S 1 2.5 kg  \r", true, false, 12.5},     // blanks inside the number
      {"\x02 S  1.23599999999", true, false, 1.235},  // only positions 5-10 are the weight
      {"", false, false, 0},
      {"abSF", true, true, 0},
      {"abS 1.2", true, false, 1.2},
      {"abS 2.500" + std::string(500, 'x'), true, false, 2.5},
      {"abS xy.zzz kg  \r", true, false, 0},  // garbled weight reads as 0
      {"\x00\xffS\xfe"
       "1.5\x00\xff\x80\x81\x82\x83\x84\x85"s,
       true, false, 1.5},
      {"\x00\x00S\x00\x00"
       "1.5   xxxxx"s,
       true, false, 0},
      {"abS 9E999 kg  \r", true, false, nullopt},  // beyond a double
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
    bool armed;
    bool autoprint;
    std::optional<std::string> boxAfter;  // nothing: the box is not written
    bool print;
    bool armedAfter;
  };
  const Row rows[] = {
      {"..S  0.000", "0.000 KG", false, false, nullopt, false, true},
      {"..S -0.000", "", false, false, "0.000 KG", false, true},
      {"..S -0.005", "0.000 KG", true, true, "-0.005 KG", false, true},
      {"..M  1.235", "", false, false, nullopt, false, false},
      {"..SF 1.235", "1.235 KG", true, true, nullopt, true, false},
      {"..S 1.2346", "", false, false, "1.235 KG", false, false},
      {"..S 9E999", "1.235 KG", true, true, "", false, true},  // unreadable: as in motion
      {"..S 999999", "", false, false, "999999.000 KG", false, false},
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
