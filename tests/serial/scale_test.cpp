// The scale: frames on their own, port numbers and their devices, and the link against a
// simulated scale on a real pty opened by a real QSerialPort.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "common/clock.h"
#include "common/settings_sections.h"
#include "platform/serial_line.h"
#include "station/scale_frame.h"
#include "tests/serial/scale_test_support.h"
#include "tests/support/test_env.h"

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

// A scale that does not answer: the box is left and the poll ends after its wait, also
// when the wait crosses local midnight (the zone is moved so that it comes in about 0.9 s).
TEST_F(ScaleLinkTest, SilentScaleWaitEndsAcrossLocalMidnight) {
  const bool hadTz = qEnvironmentVariableIsSet("TZ");
  const QByteArray savedTz = qgetenv("TZ");
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
    hadTz ? qputenv("TZ", savedTz) : qunsetenv("TZ");
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
  EXPECT_EQ(view_.weight, "0.00");  // nothing was written to the box
  EXPECT_TRUE(PollingOn());
  scale_.SetMode(ScaleAnswerMode::Normal);
  ASSERT_TRUE(PollWith("0.321"));
  EXPECT_EQ(view_.weight, "0.321 KG");
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

// `corvel scale` as the station meets it: a separate process announcing its device, read
// until it vanishes, then ending well.
TEST(ScaleCommand, StationReadsTheSimulatorProcessUntilItVanishes) {
  QProcess simulator;
  simulator.start(BuiltProgram("corvel"), {"scale", "1.235", "--vanish-after", "2"});
  ASSERT_TRUE(WaitUntil([&] { return simulator.canReadLine(); }));
  MemorySettingsStore settings;
  settings.Save(kStationSection, "COM1", simulator.readLine().trimmed().toStdString());
  FakeStationView view;
  QTimer timer1;
  timer1.start(ScaleLink::kPollIntervalMs);
  ScaleLink link(view, timer1, settings, 1);
  QObject::connect(&timer1, &QTimer::timeout, &link, &ScaleLink::OnTimerTick);
  ASSERT_TRUE(WaitUntil([&] { return !timer1.isActive(); }));
  EXPECT_EQ(view.weight, "1.235 KG");
  ASSERT_TRUE(simulator.state() == QProcess::NotRunning || simulator.waitForFinished(10000));
  EXPECT_EQ(simulator.exitCode(), 0);
}

// --link PATH takes a new name, or a link an earlier simulator left to a pty that is
// gone; anything else at PATH is someone else's and stays. At exit only a link that
// still leads to the device goes.
TEST(ScaleCommand, LinkNeverRemovesWhatIsNotItsOwn) {
  const struct {
    const char* name;
    bool file = false;                  // a regular file at PATH before
    const char* linkTo = nullptr;       // a link at PATH before: "other" is a regular file
    bool replacedWhileRunning = false;  // a file is put at PATH while the simulator runs
    int exitCode = 0;
    bool remains = false;  // PATH is there after the simulator exits
  } rows[] = {
      {.name = "new name"},
      {.name = "stale link to a vanished pty", .linkTo = "/dev/pts/99999999"},
      {.name = "regular file", .file = true, .exitCode = 1, .remains = true},
      {.name = "link to a file", .linkTo = "other", .exitCode = 1, .remains = true},
      {.name = "file put there meanwhile", .replacedWhileRunning = true, .remains = true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const QString folder = MakeTempFolder(), path = folder + "/scale";
    QFile other(folder + "/other");
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    ASSERT_TRUE(!row.file || QFile::copy(other.fileName(), path));
    ASSERT_TRUE(!row.linkTo || QFile::link(QDir(folder).filePath(row.linkTo), path));
    const QString targetBefore = QFileInfo(path).symLinkTarget();

    QProcess simulator;
    simulator.start(BuiltProgram("corvel"), {"scale", "--link", path, "0"});
    ASSERT_TRUE(simulator.waitForStarted());
    if (row.exitCode == 0) {
      ASSERT_TRUE(WaitUntil([&] { return simulator.canReadLine(); }));
      const QString device = QString::fromUtf8(simulator.readLine()).trimmed();
      EXPECT_EQ(QFileInfo(path).symLinkTarget(), device);
      if (row.replacedWhileRunning) {
        ASSERT_TRUE(QFile::remove(path));
        ASSERT_TRUE(QFile::copy(other.fileName(), path));
      }
      simulator.terminate();
    }
    ASSERT_TRUE(simulator.waitForFinished(10000));
    EXPECT_EQ(simulator.exitCode(), row.exitCode) << simulator.readAllStandardError().constData();
    const QFileInfo after(path);
    EXPECT_EQ(after.exists() || after.isSymLink(), row.remains);
    if (row.exitCode != 0) {
      EXPECT_EQ(after.symLinkTarget(), targetBefore) << "left as it was";
    }
  }
}

}  // namespace
}  // namespace corvel::test
