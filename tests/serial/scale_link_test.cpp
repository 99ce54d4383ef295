// The scale link against a simulated scale on a real pseudo-terminal, opened by a real
// QSerialPort: the poll, Autoprint, the waits and the failure rule.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSerialPort>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "common/clock.h"
#include "common/settings_sections.h"
#include "tests/serial/scale_test_support.h"

namespace corvel::test {
namespace {

// One poll: the reading on the scale, the Autoprint box, and afterwards the weight box, the
// labels printed so far and whether the link is armed.
using Step = std::tuple<const char*, bool, const char*, int, bool>;

TEST_F(ScaleLinkTest, WeightBoxAndLabelsFollowTheScale) {
  const std::pair<const char*, std::vector<Step>> scenarios[] = {
      {"one label per load",
       {{"0.000", true, "0.000 KG", 0, true},
        {"1.235", true, "1.235 KG", 1, false},
        {"1.240", true, "1.240 KG", 1, false},
        {"0", true, "0.000 KG", 1, true},
        {"m0.700", true, "", 1, true},
        {"0.800", true, "0.800 KG", 2, false}}},
      {"Autoprint ticked later",
       {{"0.000", false, "0.000 KG", 0, true},
        {"1.235", false, "1.235 KG", 0, true},
        {"1.235", true, "1.235 KG", 0, true},
        {"1.240", true, "1.240 KG", 1, false}}},
      {"negative, then the first load after start-up",
       {{"-0.005", true, "-0.005 KG", 0, false},
        {"1.235", true, "1.235 KG", 0, false},
        {"2.000", true, "2.000 KG", 0, false}}},
      {"overload",
       {{"fm", false, "Scale Over Loaded", 0, false}, {"f31.000", false, "31.000 KG", 0, false}}},
      {"short and garbled frames",
       {{"0", true, "0.000 KG", 0, true},
        {"raw:\\x02 S 1.5", true, "", 0, true},  // cut inside the weight
        {"raw:\\x02 S  1.500", true, "1.500 KG", 1, false},
        {"raw:\\xff\\xfe?x\\xff\\x00\\x01garbage!!", true, "", 1, false},
        {"raw:", true, "", 1, false}}},
  };
  for (const auto& [name, steps] : scenarios) {
    SCOPED_TRACE(name);
    link_.reset();
    link_ = std::make_unique<ScaleLink>(view_, timer1_, settings_, 1);
    view_.weight = "0.00";
    view_.printedWeights.clear();
    int stepNumber = 0;
    for (const auto& [reading, autoprint, weight, labels, armed] : steps) {
      SCOPED_TRACE(testing::Message() << "step " << ++stepNumber << " reading " << reading);
      view_.autoprint = autoprint;
      ASSERT_TRUE(PollWith(reading));
      EXPECT_EQ(view_.weight.toStdString(), weight);
      EXPECT_EQ(view_.printedWeights.size(), labels);
      EXPECT_EQ(link_->Armed(), armed);
      EXPECT_TRUE(PollingOn());
    }
  }
}

TEST_F(ScaleLinkTest, AnythingButExactlyOneAckEndsThePollWithoutDc1) {
  const std::pair<ScaleAnswerMode, std::string> rows[] = {
      {ScaleAnswerMode::AckExtra, "X"},
      {ScaleAnswerMode::AckExtra, "\x06"},
      {ScaleAnswerMode::AckExtra, "\x02 S  1.235 kg  \r"},
      {ScaleAnswerMode::Junk, ""},
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

TEST_F(ScaleLinkTest, StrayCharactersBeforeAPollDoNotShiftItsFrame) {
  view_.autoprint = true;
  ASSERT_TRUE(PollWith("0"));
  scale_.SendNow("\x06 kg  \r");  // a late ACK and the tail of a frame
  QTest::qWait(50);
  ASSERT_TRUE(PollWith("1.235"));
  EXPECT_EQ(view_.printedWeights, QStringList{"1.235 KG"});
}

// At 9600 baud a frame arrives over some 16 ms in several reads; it is one weight.
TEST_F(ScaleLinkTest, FrameArrivingInPiecesAt9600BaudIsReadWhole) {
  scale_.SetEmulateBaud(true);
  view_.autoprint = true;
  ASSERT_TRUE(PollWith("0"));
  ASSERT_TRUE(PollWith("1.235"));
  EXPECT_EQ(view_.weight, "1.235 KG");
  EXPECT_EQ(view_.printedWeights, QStringList{"1.235 KG"});
  EXPECT_TRUE(PollingOn());
}

// A scale that does not answer: the box is left and the poll ends after its wait, also
// when the wait crosses local midnight (the zone is moved so that it comes in about 0.9 s).
TEST_F(ScaleLinkTest, SilentScaleWaitEndsAcrossLocalMidnight) {
  const char* oldTz = std::getenv("TZ");
  const std::optional<std::string> savedTz =
      oldTz ? std::make_optional<std::string>(oldTz) : std::nullopt;
  timespec now{};
  // Start just after a whole UTC second so that a whole-second offset lands at 23:59:59.
  WaitUntil([&] {
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_nsec > 10'000'000 && now.tv_nsec < 100'000'000;
  });
  const long east = (86399 - now.tv_sec % 86400 + 86400) % 86400;
  char zone[32];  // POSIX zones count west of UTC: "X-hh:mm:ss" is east of it
  std::snprintf(zone, sizeof zone, "LOC-%02ld:%02ld:%02ld", east / 3600, east / 60 % 60, east % 60);
  setenv("TZ", zone, 1);
  tzset();
  const std::shared_ptr<void> restore(nullptr, [&](void*) {
    savedTz ? setenv("TZ", savedTz->c_str(), 1) : unsetenv("TZ");
    tzset();
  });

  scale_.SetMode(ScaleAnswerMode::Silent);
  ASSERT_GT(SystemClock().SecondsSinceMidnight(), 86399.0);
  for (int ms : {100, 400, 800})  // ticks during the wait start no other poll
    QTimer::singleShot(ms, link_.get(), &ScaleLink::OnTimerTick);
  QElapsedTimer elapsed;
  elapsed.start();
  ASSERT_TRUE(Poll());
  EXPECT_LT(SystemClock().SecondsSinceMidnight(), 60.0);  // the wait did cross midnight
  EXPECT_GE(elapsed.elapsed(), ScaleLink::kAnswerWaitMs);
  QTest::qWait(50);
  EXPECT_EQ(scale_.EnqCount(), 1);
  EXPECT_EQ(scale_.Dc1Count(), 0);
  EXPECT_EQ(view_.weightWrites, 0);
  EXPECT_TRUE(PollingOn());
  EXPECT_TRUE(view_.scalesConnected);
  scale_.SetMode(ScaleAnswerMode::Normal);
  ASSERT_TRUE(PollWith("0.321"));
  EXPECT_EQ(view_.weight, "0.321 KG");
}

TEST_F(ScaleLinkTest, PortNumberChangedDuringAPollEndsItQuietlyAndMovesToTheNewPort) {
  ScaleSimulator second;
  second.Start();
  second.SetReadings(ParseScaleReading("2.000"));
  settings_.Save(kStationSection, "COM2", second.DevicePath());
  scale_.SetAnswerDelay(std::chrono::milliseconds(300));
  QTimer::singleShot(100, [&] { link_->OnPortNumberChanged(2); });
  ASSERT_TRUE(Poll());
  EXPECT_FALSE(link_->PortOpen());
  EXPECT_TRUE(PollingOn());
  EXPECT_EQ(view_.weight, "0.00");
  ASSERT_TRUE(Poll());
  EXPECT_EQ(view_.weight, "2.000 KG");
  EXPECT_EQ(scale_.Dc1Count(), 0);
}

// The failure rule: polling goes off, "Scales Connected" is cleared, the weight box and the
// armed state stay, and the status line says which device and what went wrong.
TEST_F(ScaleLinkTest, RefusedPortsSwitchPollingOffAndSayWhy) {
  struct Row {
    int port;
    const char* path;  // the COM<port> device; "SIM": the simulated scale, held open elsewhere
    std::vector<QString> mentions;  // in the status line
  };
  const Row rows[] = {
      {.port = 4, .path = "/none/scale", .mentions = {"COM4", "/none/scale", "no such device"}},
      {.port = 0, .path = nullptr, .mentions = {"port number 0"}},
      {.port = 5, .path = "SIM", .mentions = {"COM5", "in use"}},
  };
  for (const auto& [port, path, mentions] : rows) {
    SCOPED_TRACE(port);
    const bool held = path && std::string(path) == "SIM";
    const std::string device = held ? scale_.DevicePath() : path ? path : "";
    if (path) settings_.Save(kStationSection, "COM" + std::to_string(port), device);
    QSerialPort holder(QString::fromStdString(device));
    if (held) {
      ASSERT_TRUE(holder.open(QIODevice::ReadWrite));
    }
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
  EXPECT_EQ(view_.weightWrites, 0);
  EXPECT_EQ(scale_.EnqCount(), 0);
}

TEST_F(ScaleLinkTest, ScaleVanishingMidPollIsAFailure) {
  view_.autoprint = true;
  ASSERT_TRUE(PollWith("0"));
  scale_.SetVanishAfterFrames(0);  // pulled as the next poll asks for attention
  ASSERT_TRUE(Poll());
  EXPECT_TRUE(scale_.Vanished());
  EXPECT_FALSE(PollingOn());
  EXPECT_FALSE(view_.scalesConnected);
  EXPECT_EQ(view_.weight, "0.000 KG");
  EXPECT_TRUE(link_->Armed());
  EXPECT_TRUE(view_.status.contains(QString::fromStdString(scale_.DevicePath())));
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
