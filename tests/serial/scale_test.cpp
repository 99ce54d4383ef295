// The scale: frames on their own, port numbers and their devices, and the link against a
// simulated scale on a real pty opened by a real QSerialPort.
#include <gtest/gtest.h>

#include <QSerialPort>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "common/settings_sections.h"
#include "platform/serial_line.h"
#include "station/scale_frame.h"
#include "tests/serial/scale_test_support.h"

namespace corvel::test {
namespace {

using namespace std::string_literals;
using std::nullopt;

// Which properties a frame's positions carry is held by the fuzz target; here what the
// weight field reads as.
TEST(ScaleFrame, ReadsTheWeightFromItsPositions) {
  struct Row {
    std::string text;
    std::optional<double> weight = 0;
  };
  const Row rows[] = {
      {.text = "\x02 S  1.235 kg  \r", .weight = 1.235},
      {.text = "\x02 S 1 2.5 kg  \r", .weight = 12.5},  // blanks inside the number
      {.text = "abS 1.2", .weight = 1.2},               // a short frame, as far as it goes
      {.text = "abS xy.zzz kg  \r"},                    // garbled weight reads as 0
      {.text = "\0\377S\3761.5\0\377\200\201\202\203\204\205"s, .weight = 1.5},
      {.text = "\x02 S  1.23599999999", .weight = 1.235},  // only positions 5-10 are the weight
      {.text = "abS 9E999 kg  \r", .weight = nullopt},     // beyond a double
  };
  for (const auto& [text, weight] : rows) {
    SCOPED_TRACE(testing::PrintToString(text));
    const ScaleFrame frame = ParseScaleFrame(text);
    EXPECT_TRUE(frame.stable);
    ASSERT_EQ(frame.weight.has_value(), weight.has_value());
    if (weight) {
      EXPECT_DOUBLE_EQ(*frame.weight, *weight);
    }
  }
}

// "On COM" takes the leading number, halves to even; COM<n> names the device of port n.
TEST(ScalePorts, PortNumbersFromTextAndTheirDevices) {
  const std::tuple<const char*, int, const char*> texts[] = {
      {"2.5 x", 2, ""}, {"3.5", 4, ""}, {"COM5", 0, "start at 1"}, {"1e20", 0, "too large"}};
  for (const auto& [text, number, problem] : texts) {
    const PortChoice choice = PortNumberFromText(text);
    EXPECT_EQ(choice.number, number) << text;
    EXPECT_EQ(choice.problem.empty(), !*problem) << text;
    EXPECT_NE(choice.problem.find(problem), std::string::npos) << choice.problem;
  }
  MemorySettingsStore settings;
  settings.Save(kStationSection, "COM3", "/dev/ttyUSB0");
  settings.Save(kStationSection, "COM4", "");
  const std::pair<int, const char*> ports[] = {
      {1, "/dev/ttyS0"}, {3, "/dev/ttyUSB0"}, {4, "/dev/ttyS3"}, {0, ""}};
  for (const auto& [port, device] : ports)
    EXPECT_EQ(SerialDeviceForPort(settings, port).toStdString(), device) << port;
}

// One poll: the reading on the scale, then the weight box, the labels printed so far and
// whether the link is armed (Autoprint ticked throughout): one label per load after the
// scale was seen empty, none for a load in motion; frames whole, cut short, garbled.
TEST_F(ScaleLinkTest, WeightBoxAndLabelsFollowTheScale) {
  const std::tuple<const char*, const char*, int, bool> steps[] = {
      {"0.000", "0.000 KG", 0, true},
      {"1.235", "1.235 KG", 1, false},
      {"1.240", "1.240 KG", 1, false},
      {"m0.700", "", 1, false},
      {"0", "0.000 KG", 1, true},
      {"-0.005", "-0.005 KG", 1, true},  // below empty: shown, no label, still armed
      {"raw:\\x02 S 1.5", "1.500 KG", 2, false},
      {"raw:\\xff\\xfe?x\\xff\\x00\\x01garbage!!", "", 2, false},
      {"fm", "Scale Over Loaded", 2, false},
  };
  view_.autoprint = true;
  for (const auto& [reading, weight, labels, armed] : steps) {
    SCOPED_TRACE(reading);
    ASSERT_TRUE(PollWith(reading));
    EXPECT_EQ(view_.weight.toStdString(), weight);
    EXPECT_EQ(view_.printedWeights.size(), labels);
    EXPECT_EQ(link_->Armed(), armed);
    EXPECT_TRUE(PollingOn());
  }
}

// A silent scale, or any answer to ENQ but exactly one ACK, ends the poll after its wait
// without DC1; the weight box stays and polling goes on.
TEST_F(ScaleLinkTest, AnythingButExactlyOneAckEndsThePollWithoutDc1) {
  const std::pair<ScaleAnswerMode, std::string> rows[] = {
      {ScaleAnswerMode::AckExtra, "\x02 S  1.235 kg  \r"},
      {ScaleAnswerMode::Junk, ""},
      {ScaleAnswerMode::Silent, ""},
  };
  int polls = 0;
  for (const auto& [mode, extra] : rows) {
    SCOPED_TRACE(++polls);
    scale_.SetMode(mode, extra);
    ASSERT_TRUE(PollWith("1.235"));
    EXPECT_EQ(scale_.EnqCount(), polls);
    EXPECT_EQ(scale_.Dc1Count(), 0);
    EXPECT_EQ(view_.weight, "0.00");
    EXPECT_TRUE(PollingOn());
  }
}

// The failure rule: polling goes off, "Scales Connected" is cleared, the weight box and the
// armed state stay, and the status line says which device and what went wrong.
TEST_F(ScaleLinkTest, RefusedPortsSwitchPollingOffAndSayWhy) {
  const std::tuple<int, const char*, std::vector<QString>> rows[] = {
      {4, "/none/scale", {"COM4", "/none/scale", "no such device"}},
      {0, nullptr, {"port number 0"}},
      {5, "", {"COM5", "in use"}},  // "": the simulated scale, held open elsewhere
  };
  for (const auto& [port, path, mentions] : rows) {
    SCOPED_TRACE(port);
    const std::string device = !path ? "" : *path ? path : scale_.DevicePath();
    if (path) settings_.Save(kStationSection, "COM" + std::to_string(port), device);
    QSerialPort holder(QString::fromStdString(device));
    ASSERT_TRUE(!path || *path || holder.open(QIODevice::ReadWrite));
    view_.scalesConnected = true;
    timer1_.start();
    link_->OnPortNumberChanged(port);
    ASSERT_TRUE(Poll());
    EXPECT_FALSE(PollingOn());
    EXPECT_FALSE(view_.scalesConnected);
    EXPECT_FALSE(link_->PortOpen());
    for (const QString& mention : mentions)
      EXPECT_TRUE(view_.status.contains(mention)) << view_.status.toStdString();
  }
  EXPECT_EQ(view_.weight, "0.00");
  EXPECT_EQ(scale_.EnqCount(), 0);
}

TEST_F(ScaleLinkTest, FailedAutoprintLabelIsAFailureAndKeepsTheLoadArmed) {
  view_.autoprint = true;
  ASSERT_TRUE(PollWith("0"));
  view_.failPrint = true;
  ASSERT_TRUE(PollWith("1.235"));
  EXPECT_FALSE(PollingOn());
  EXPECT_FALSE(view_.scalesConnected);
  EXPECT_TRUE(link_->Armed());
  EXPECT_TRUE(view_.status.contains("printer out of labels")) << view_.status.toStdString();
  EXPECT_TRUE(link_->PortOpen());
}

}  // namespace
}  // namespace corvel::test
