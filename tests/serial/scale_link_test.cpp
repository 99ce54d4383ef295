// The scale link against a simulated scale on a real pseudo-terminal, opened by a real
// QSerialPort: the poll, Autoprint, the failure rule and the waits.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSerialPort>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "tests/serial/scale_test_support.h"
#include "tests/support/test_env.h"

namespace corvel::test {
namespace {

// One poll of a scenario: the reading on the scale, the Autoprint box, and what the
// window shows afterwards.
struct Step {
  const char* reading;
  bool autoprint;
  const char* weightAfter;
  int labelsAfter;  // labels printed so far
  bool armedAfter;
};

struct Scenario {
  const char* name;
  std::vector<Step> steps;
};

class ScaleScenarioTest : public ScaleLinkTest, public ::testing::WithParamInterface<Scenario> {};

TEST_P(ScaleScenarioTest, WeightBoxAndLabelsFollowTheScale) {
  int stepNumber = 0;
  for (const Step& step : GetParam().steps) {
    SCOPED_TRACE(testing::Message() << "step " << ++stepNumber << " reading " << step.reading);
    view.autoprint = step.autoprint;
    ASSERT_TRUE(PollWith(step.reading));
    EXPECT_EQ(view.weight.toStdString(), step.weightAfter);
    EXPECT_EQ(view.printedWeights.size(), step.labelsAfter);
    EXPECT_EQ(link->Armed(), step.armedAfter);
    EXPECT_TRUE(PollingOn());
  }
  // Every label printed the weight the box showed when it printed.
  for (const QString& printed : view.printedWeights)
    EXPECT_NE(printed, "0.000 KG");
}

const Scenario kScenarios[] = {
    {"EmptyScaleArmsThenOneLabelPerLoad",
     {{"0.000", true, "0.000 KG", 0, true},
      {"1.235", true, "1.235 KG", 1, false},
      {"1.235", true, "1.235 KG", 1, false},
      {"1.240", true, "1.240 KG", 1, false},
      {"0", true, "0.000 KG", 1, true},
      {"0.500", true, "0.500 KG", 2, false}}},
    {"AutoprintTickedLaterPrintsOnTheNextNewWeight",
     {{"0.000", false, "0.000 KG", 0, true},
      {"1.235", false, "1.235 KG", 0, true},
      {"1.235", true, "1.235 KG", 0, true},
      {"1.240", true, "1.240 KG", 1, false}}},
    {"FirstLoadAfterStartUpDoesNotPrint",
     {{"1.235", true, "1.235 KG", 0, false}, {"2.000", true, "2.000 KG", 0, false}}},
    {"InMotionClearsTheBox",
     {{"0", true, "0.000 KG", 0, true},
      {"m0.700", true, "", 0, true},
      {"m0.800", true, "", 0, true},
      {"0.800", true, "0.800 KG", 1, false}}},
    {"Overload",
     {{"fm", false, "Scale Over Loaded", 0, false},
      {"f31.000", false, "31.000 KG", 0, false},
      {"fm", false, "Scale Over Loaded", 0, false}}},
    {"NegativeWeightShownButNeitherArmsNorPrints",
     {{"-0.005", true, "-0.005 KG", 0, false}, {"1.000", true, "1.000 KG", 0, false}}},
    {"NegativeAfterArmingKeepsItArmed",
     {{"0", true, "0.000 KG", 0, true},
      {"-0.005", true, "-0.005 KG", 0, true},
      {"0.250", true, "0.250 KG", 1, false}}},
    {"ShortFramesAreEvaluatedGarbledOnesEmptyTheBox",
     {{"0", true, "0.000 KG", 0, true},
      {"raw:\\x02 S 1.5", true, "1.500 KG", 1, false},
      {"raw:\\xff\\xfe?x\\xff\\x00\\x01garbage!!", true, "", 1, false},
      {"raw:", true, "", 1, false},
      {"raw:\\x02 S 1.5", true, "1.500 KG", 1, false}}},
};

INSTANTIATE_TEST_SUITE_P(Scale, ScaleScenarioTest, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvel::test
