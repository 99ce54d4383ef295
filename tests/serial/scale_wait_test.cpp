// The waits of a poll: a scale that does not answer or answers wrongly, ticks that
// arrive during a poll, local midnight during a wait, and a port number changed under a
// poll. (The window staying usable meanwhile is tested on the real window.)
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>

#include "common/clock.h"
#include "tests/serial/scale_test_support.h"

namespace corvel::test {
namespace {

TEST_F(ScaleLinkTest, ScaleThatDoesNotAnswerLeavesTheBoxAndEndsThePollAfterItsWait) {
  scale.SetMode(ScaleAnswerMode::Silent);
  // Ticks that arrive during the wait must not start another poll.
  for (int ms : {100, 400, 800})
    QTimer::singleShot(ms, link.get(), &ScaleLink::OnTimerTick);
  QElapsedTimer elapsed;
  elapsed.start();
  ASSERT_TRUE(Poll());
  EXPECT_GE(elapsed.elapsed(), ScaleLink::kAnswerWaitMs);
  QTest::qWait(50);
  EXPECT_EQ(scale.EnqCount(), 1);
  EXPECT_EQ(scale.Dc1Count(), 0);
  EXPECT_EQ(view.weight, "0.00");
  EXPECT_EQ(view.weightWrites, 0);
  EXPECT_TRUE(PollingOn());
  EXPECT_TRUE(view.scalesConnected);
}

TEST_F(ScaleLinkTest, AnythingButExactlyOneAckEndsThePollWithoutDc1) {
  struct Row {
    const char* name;
    ScaleAnswerMode mode;
    std::string extra;
  };
  const Row rows[] = {
      {"ACK and a letter", ScaleAnswerMode::AckExtra, "X"},
      {"two ACKs", ScaleAnswerMode::AckExtra, "\x06"},
      {"ACK and a frame", ScaleAnswerMode::AckExtra, "\x02 S  1.235 kg  \r"},
      {"junk", ScaleAnswerMode::Junk, ""},
  };
  int polls = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    scale.SetMode(row.mode, row.extra);
    ASSERT_TRUE(PollWith("1.235"));
    ++polls;
    EXPECT_EQ(scale.EnqCount(), polls);
    EXPECT_EQ(scale.Dc1Count(), 0);
    EXPECT_EQ(view.weight, "0.00");
    EXPECT_TRUE(PollingOn());
  }
  // The same scale answering properly is read at once.
  scale.SetMode(ScaleAnswerMode::Normal);
  ASSERT_TRUE(PollWith("1.235"));
  EXPECT_EQ(view.weight, "1.235 KG");
}

TEST_F(ScaleLinkTest, StrayCharactersBeforeAPollDoNotShiftItsFrame) {
  view.autoprint = true;
  ASSERT_TRUE(PollWith("0"));
  // A late ACK and the tail of a frame arrive between polls.
  scale.SendNow("\x06 kg  \r");
  QTest::qWait(50);
  ASSERT_TRUE(PollWith("1.235"));
  EXPECT_EQ(view.weight, "1.235 KG");
  EXPECT_EQ(view.printedWeights, QStringList{"1.235 KG"});
}

// Sets the local time zone so that local midnight comes about 0.9 s from now, and puts
// the old zone back at the end.
class MidnightSoon {
 public:
  MidnightSoon() {
    if (const char* tz = std::getenv("TZ")) oldTz_ = tz;
    // Start on a whole UTC second so that the zone's whole-second offset lands the
    // local time just after 23:59:59.
    WaitUntil([] {
      timespec now{};
      clock_gettime(CLOCK_REALTIME, &now);
      return now.tv_nsec > 10'000'000 && now.tv_nsec < 100'000'000;
    });
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const long secondOfDay = now.tv_sec % 86400;
    const long east = (86399 - secondOfDay + 86400) % 86400;
    // POSIX zones count hours west of UTC: "X-hh:mm:ss" is east of it.
    char zone[32];
    std::snprintf(zone, sizeof zone, "LOC-%02ld:%02ld:%02ld", east / 3600, east / 60 % 60,
                  east % 60);
    setenv("TZ", zone, 1);
    tzset();
  }
  ~MidnightSoon() {
    if (oldTz_)
      setenv("TZ", oldTz_->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  static int LocalSecondOfDay() {
    // Not time(): it reads a coarse clock that may still be in the previous second.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    localtime_r(&now.tv_sec, &local);
    return local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
  }

 private:
  std::optional<std::string> oldTz_;
};

TEST_F(ScaleLinkTest, WaitsEndAcrossLocalMidnight) {
  scale.SetMode(ScaleAnswerMode::Silent);
  MidnightSoon midnight;
  ASSERT_EQ(MidnightSoon::LocalSecondOfDay(), 86399);
  ASSERT_GT(SystemClock().SecondsSinceMidnight(), 86399.0);  // the station's clock agrees
  QElapsedTimer elapsed;
  elapsed.start();
  ASSERT_TRUE(Poll());
  EXPECT_LT(MidnightSoon::LocalSecondOfDay(), 60);  // the wait did cross midnight
  EXPECT_GE(elapsed.elapsed(), ScaleLink::kAnswerWaitMs);
  EXPECT_TRUE(PollingOn());
  // And the next poll after midnight reads the scale as usual.
  scale.SetMode(ScaleAnswerMode::Normal);
  ASSERT_TRUE(PollWith("0.321"));
  EXPECT_EQ(view.weight, "0.321 KG");
}

TEST_F(ScaleLinkTest, PortNumberChangedDuringAPollEndsItQuietlyAndMovesToTheNewPort) {
  ScaleSimulator second;
  second.Start();
  second.SetReadings(ParseScaleReading("2.000"));
  settings.Save("Zebra", "COM2", second.DevicePath());
  scale.SetAnswerDelay(std::chrono::milliseconds(300));
  QTimer::singleShot(100, [&] { link->OnPortNumberChanged(2); });
  ASSERT_TRUE(Poll());
  EXPECT_FALSE(link->PortOpen());
  EXPECT_TRUE(PollingOn());
  EXPECT_TRUE(view.scalesConnected);
  EXPECT_EQ(view.weight, "0.00");

  ASSERT_TRUE(Poll());
  EXPECT_EQ(view.weight, "2.000 KG");
  EXPECT_EQ(second.EnqCount(), 1);
  EXPECT_EQ(scale.Dc1Count(), 0);
}

}  // namespace
}  // namespace corvel::test
