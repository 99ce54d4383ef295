// The weight frame on its own: what is read from frames of every shape, and what one
// frame does to the weight box and to Autoprint.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "station/scale_frame.h"

namespace corvel {
namespace {

using namespace std::string_literals;

TEST(ScaleFrame, ReadsStabilityOverloadAndWeightFromTheirPositions) {
  struct Row {
    const char* name;
    std::string frame;
    bool stable;
    bool overloaded;
    std::optional<double> weight;
  };
  const Row rows[] = {
      {"stable", "\x02 S  1.235 kg  \r", true, false, 1.235},
      {"overloaded in motion", "\x02 MF------ kg  \r", false, true, 0},
      {"lower-case s is not stable", "\x02 s  1.235 kg  \r", false, false, 1.235},
      {"negative", "\x02 S -0.005 kg  \r", true, false, -0.005},
      {"blanks inside the number are ignored", "\x02 S 1 2.5 kg  \r", true, false, 12.5},
      {"only positions 5-10 are the weight", "\x02 S  1.23599999999", true, false, 1.235},
      {"empty frame", "", false, false, 0},
      {"two characters", "ab", false, false, 0},
      {"ends at the stable flag", "abS", true, false, 0},
      {"ends at the overload flag", "abSF", true, true, 0},
      {"ends inside the weight", "abS 1.2", true, false, 1.2},
      {"long frame", "abS 2.500" + std::string(500, 'x'), true, false, 2.5},
      {"garbled weight reads as 0", "abS xy.zzz kg  \r", true, false, 0},
      {"binary around the weight",
       "\x00\xffS\xfe"
       "1.5\x00\xff\x80\x81\x82\x83\x84\x85"s,
       true, false, 1.5},
      {"NUL before the weight digits",
       "\x00\x00S\x00\x00"
       "1.5   xxxxx"s,
       true, false, 0},
      {"weight beyond a double", "abS 9E999 kg  \r", true, false, std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const ScaleFrame frame = ParseScaleFrame(row.frame);
    EXPECT_EQ(frame.stable, row.stable);
    EXPECT_EQ(frame.overloaded, row.overloaded);
    ASSERT_EQ(frame.weight.has_value(), row.weight.has_value());
    if (row.weight) {
      EXPECT_DOUBLE_EQ(*frame.weight, *row.weight);
    }
  }
}

TEST(ScaleFrame, EvaluationSetsTheBoxArmsAndPrintsOncePerLoad) {
  struct Row {
    const char* name;
    std::string frame;
    std::string before;  // the weight box
    bool armed;
    bool autoprint;
    std::optional<std::string> after;  // nothing: the box is not written
    bool print;
    bool armedAfter;
  };
  // The poll scenarios on the pseudo-terminal cover the ordinary sequence; these are the
  // corners.
  const Row rows[] = {
      {"zero arms when the box already shows it", "..S  0.000", "0.000 KG", false, false,
       std::nullopt, false, true},
      {"minus zero is zero", "..S -0.000", "", false, false, "0.000 KG", false, true},
      {"negative neither arms nor prints", "..S -0.005", "0.000 KG", true, true, "-0.005 KG", false,
       true},
      {"in motion leaves an empty box alone", "..M  1.235", "", false, false, std::nullopt, false,
       false},
      {"overloaded stable writes the weight over the message, printing if armed", "..SF 1.235",
       "1.235 KG", true, true, std::nullopt, true, false},
      {"weight rounds to three decimals", "..S 1.2346", "", false, false, "1.235 KG", false, false},
      {"unreadable weight counts as in motion", "..S 9E999", "1.235 KG", true, true, "", false,
       true},
      {"big weight", "..S 999999", "", false, false, "999999.000 KG", false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const ScaleFrameOutcome outcome =
        EvaluateScaleFrame(ParseScaleFrame(row.frame), row.before, row.armed, row.autoprint);
    EXPECT_EQ(outcome.weightText, row.after);
    EXPECT_EQ(outcome.print, row.print);
    EXPECT_EQ(outcome.armed, row.armedAfter);
  }
}

}  // namespace
}  // namespace corvel
