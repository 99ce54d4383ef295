// Each protocol end to end: the simulated scale speaks it on a real pty, the link reads it
// as the settings choose, and the weight box, "Scale Over Loaded", Autoprint's one label
// per load, junk and a vanishing device come out as for the station's own protocol.
#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <chrono>
#include <memory>

#include "common/settings_sections.h"
#include "station/scale/scale_protocol.h"
#include "tests/serial/scale_test_support.h"
#include "tests/support/test_env.h"

namespace corvel::test {
namespace {

using namespace std::chrono_literals;

class ProtocolLink : public ::testing::Test {
 protected:
  void Start(const char* protocol, const ScaleOptions& options) {
    scale_.SetProtocol(MakeScaleProtocol(protocol, options), 20ms);
    scale_.Start();
    settings_.Save(kStationSection, "ScaleProtocol", protocol);
    // The station opens the scale by a name of its own, which goes when the scale does.
    device_ = MakeTempFolder() + "/scale";
    ASSERT_TRUE(QFile::link(QString::fromStdString(scale_.DevicePath()), device_));
    settings_.Save(kStationSection, "ScaleDevice", device_.toStdString());
    timer1_.start(ScaleLink::kPollIntervalMs);
    link_ = std::make_unique<ScaleLink>(view_, timer1_, settings_, 1);
    link_->SetAnswerWait(kGenerousWaitMs);
  }

  QString device_;

  bool Poll() {
    QSignalSpy finished(link_.get(), &ScaleLink::pollFinished);
    link_->OnTimerTick();
    return WaitUntil([&] { return finished.count() > 0; });
  }

  // Polls until the box shows `box`: a streaming scale's newest reading may still be the
  // one before.
  bool PollUntil(const QString& box) {
    for (int polls = 0; polls < 500; ++polls) {
      if (!Poll()) return false;
      if (view_.weight == box) return true;
    }
    return false;
  }

  ScaleSimulator scale_;
  MemorySettingsStore settings_;
  QTimer timer1_;
  FakeStationView view_;
  std::unique_ptr<ScaleLink> link_;
};

struct ProtocolRow {
  const char* protocol;
  const char* request;  // lines: "" streams
  const char* status;   // what the status line names
};

void PrintTo(const ProtocolRow& row, std::ostream* out) {
  *out << row.protocol << (*row.request ? " on request" : "");
}

class EachProtocol : public ProtocolLink, public ::testing::WithParamInterface<ProtocolRow> {};

TEST_P(EachProtocol, WeightBoxAutoprintOverloadJunkAndVanishing) {
  const ProtocolRow& row = GetParam();
  ScaleOptions options;
  options.request = Unescape(row.request);
  if (*row.request) settings_.Save(kStationSection, "ScaleRequest", row.request);
  // The first reading is set before the scale starts streaming: an empty scale before it
  // would arm Autoprint.
  scale_.SetReadings(ParseScaleReading("1.000"));
  Start(row.protocol, options);
  view_.autoprint = true;

  ASSERT_TRUE(PollUntil("1.000 KG"));  // not seen empty since start-up: no label
  EXPECT_TRUE(view_.status.contains(row.status)) << view_.status.toStdString();
  scale_.SetReadings(ParseScaleReading("0"));
  ASSERT_TRUE(PollUntil("0.000 KG"));
  EXPECT_TRUE(link_->Armed());
  scale_.SetReadings(ParseScaleReading("1.235"));
  ASSERT_TRUE(PollUntil("1.235 KG"));
  for (int more = 0; more < 3; ++more)
    ASSERT_TRUE(Poll());
  EXPECT_EQ(view_.printedWeights, QStringList{"1.235 KG"});  // one label for the load
  EXPECT_FALSE(link_->Armed());

  scale_.SetReadings(ParseScaleReading("fm"));
  ASSERT_TRUE(PollUntil("Scale Over Loaded"));
  scale_.SetReadings(ParseScaleReading("m1.0"));
  ASSERT_TRUE(PollUntil(""));
  scale_.SetReadings(ParseScaleReading("-0.005"));
  ASSERT_TRUE(PollUntil("-0.005 KG"));

  // Junk is skipped and counted, never shown; the poll gives up after its wait.
  scale_.SetMode(ScaleAnswerMode::Junk);
  link_->SetAnswerWait(ScaleLink::kAnswerWaitMs);
  ASSERT_TRUE(WaitUntil([&] { return Poll() && link_->Skipped() > 0; }));
  EXPECT_EQ(view_.weight, "-0.005 KG");
  EXPECT_TRUE(timer1_.isActive());
  EXPECT_EQ(view_.printedWeights.size(), 1);

  // The device vanishes: polling goes off and "Scales Connected" is cleared.
  scale_.Vanish();
  QFile::remove(device_);  // left behind, it would name the next pseudo-terminal handed out
  ASSERT_TRUE(WaitUntil([&] { return Poll() && !timer1_.isActive(); }));
  EXPECT_FALSE(view_.scalesConnected);
  EXPECT_TRUE(view_.status.contains(device_)) << view_.status.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Protocols, EachProtocol,
                         ::testing::Values(ProtocolRow{"lines", "", "lines 9600 8N1"},
                                           ProtocolRow{"lines", "SI\\r\\n", "lines 9600 8N1"},
                                           ProtocolRow{"hid", "", "hid reports"}),
                         [](const auto& info) {
                           return std::string(info.param.protocol) +
                                  (*info.param.request ? "OnRequest" : "");
                         });

// A setting that does not read is said once on the status line, not at every opening.
TEST_F(ProtocolLink, BadSettingIsReportedOnce) {
  settings_.Save(kStationSection, "ScaleBaud", "96OO");
  Start("lines", {});
  scale_.SetReadings(ParseScaleReading("1.5"));
  ASSERT_TRUE(PollUntil("1.500 KG"));
  EXPECT_TRUE(view_.status.contains("setting Zebra/ScaleBaud \"96OO\""))
      << view_.status.toStdString();
  EXPECT_TRUE(view_.status.contains("9600 used")) << view_.status.toStdString();
  link_->OnPortNumberChanged(1);  // closes the line; the next poll opens it again
  scale_.SetReadings(ParseScaleReading("2.5"));
  ASSERT_TRUE(PollUntil("2.500 KG"));
  EXPECT_FALSE(view_.status.contains("ScaleBaud")) << view_.status.toStdString();
}

}  // namespace
}  // namespace corvel::test
