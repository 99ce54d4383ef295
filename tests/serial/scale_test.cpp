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
#include <string>
#include <tuple>
#include <vector>

#include "common/clock.h"
#include "common/settings_sections.h"
#include "platform/serial_line.h"
#include "station/scale/scale_frame.h"
#include "tests/serial/scale_test_support.h"
#include "tests/support/test_env.h"

namespace corvel::test {
namespace {

using namespace std::string_literals;

// What each frame does, in order from start-up (the box shows "0.00", not armed): the
// weight box's text, whether a label is printed, whether Autoprint is armed after it.
// Frames are given from position 1: 3 "S" stable, 4 "F" overloaded, 5 to 10 the weight.
TEST(ScaleFrame, WeightBoxAndAutoprintFollowTheFrames) {
  struct Step {
    std::string frame;
    const char* box;
    bool printed = false, armed = false, autoprint = true;
  };
  const Step steps[] = {
      {"\x02 S  1.235 kg  \r", "1.235 KG"},  // not seen empty since start-up: no label
      {"..S  0.000", "0.000 KG", false, true},
      {"..S  1.235", "1.235 KG", true},  // a new load after the empty scale: one label
      {"..S  1.235", "1.235 KG"},
      {"..S  1.240", "1.240 KG"},  // the load changed, the scale was not emptied
      {"..M  0.000", ""},          // in motion, even at zero: cleared, not armed
      {"..MF------", "Scale Over Loaded"},
      {"..SF 9.999", "9.999 KG"},          // stable and overloaded: the weight replaces the message
      {"..S 0", "0.000 KG", false, true},  // a short frame, as far as it goes
      {"..S -0.005", "-0.005 KG", false, true},
      {"..S  2.000", "2.000 KG", false, true, false},  // Autoprint clear: still armed
      {"..S  2.000", "2.000 KG", false, true},         // ticked now: the same weight prints nothing
      {"..S 2 2.5 kg", "22.500 KG", true},             // blanks inside the number
      {"..S xy.zzz kg", "0.000 KG", false, true},      // a garbled weight reads as 0
      {"\0\377S\3761.5\0\377\200\201\202\203\204\205"s, "1.500 KG", true},
      {"..S  1.23599999", "1.235 KG"},  // only positions 5 to 10 are the weight
      {"..S 9E999 kg", ""},             // beyond a double: as in motion
  };
  std::string box = "0.00";
  bool armed = false;
  for (const Step& step : steps) {
    SCOPED_TRACE(testing::PrintToString(step.frame));
    const ScaleFrameOutcome outcome =
        EvaluateScaleFrame(ParseScaleFrame(step.frame), box, armed, step.autoprint);
    box = outcome.weightText.value_or(box);
    armed = outcome.armed;
    EXPECT_EQ(std::tuple(box, outcome.print, armed),
              std::tuple(std::string(step.box), step.printed, step.armed));
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

// A silent scale, or any answer to ENQ but exactly one ACK, ends the poll without DC1;
// the weight box stays and polling goes on. The silent scale's poll ends after the
// real wait, the others on the answer.
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
    if (mode == ScaleAnswerMode::Silent) link_->SetAnswerWait(ScaleLink::kAnswerWaitMs);
    ASSERT_TRUE(PollWith("1.235"));
    ASSERT_TRUE(WaitUntil([&] { return scale_.EnqCount() >= polls; }));
    EXPECT_EQ(scale_.EnqCount(), polls);
    EXPECT_EQ(scale_.Dc1Count(), 0);
    EXPECT_EQ(view_.weight, "0.00");
    EXPECT_TRUE(PollingOn());
  }
}

// A scale that does not answer: the box is left and the poll ends after its wait, also
// when the wait crosses local midnight. The zone is moved so that midnight comes about
// three seconds after the poll starts, half way through a six-second wait.
TEST_F(ScaleLinkTest, SilentScaleWaitEndsAcrossLocalMidnight) {
  const bool hadTz = qEnvironmentVariableIsSet("TZ");
  const QByteArray savedTz = qgetenv("TZ");
  timespec now{};
  // Start just after a whole UTC second so that a whole-second offset lands at 23:59:57.
  WaitUntil([&] {
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_nsec > 10'000'000 && now.tv_nsec < 100'000'000;
  });
  const long east = (86397 - now.tv_sec % 86400 + 86400) % 86400;
  char zone[32];  // POSIX zones count west of UTC: "X-hh:mm:ss" is east of it
  std::snprintf(zone, sizeof zone, "LOC-%02ld:%02ld:%02ld", east / 3600, east / 60 % 60, east % 60);
  setenv("TZ", zone, 1);
  tzset();
  const std::shared_ptr<void> restore(nullptr, [&](void*) {
    hadTz ? qputenv("TZ", savedTz) : qunsetenv("TZ");
    tzset();
  });

  scale_.SetMode(ScaleAnswerMode::Silent);
  link_->SetAnswerWait(6000);
  for (int ms : {100, 400, 800})  // ticks during the wait start no other poll
    QTimer::singleShot(ms, link_.get(), &ScaleLink::OnTimerTick);
  QElapsedTimer elapsed;
  elapsed.start();
  ASSERT_GT(SystemClock().SecondsSinceMidnight(), 86390.0);
  ASSERT_TRUE(Poll());
  EXPECT_LT(SystemClock().SecondsSinceMidnight(), 60.0);  // the wait did cross midnight
  EXPECT_GE(elapsed.elapsed(), 6000);
  EXPECT_EQ(view_.weight, "0.00");  // nothing was written to the box
  EXPECT_TRUE(PollingOn());
  scale_.SetMode(ScaleAnswerMode::Normal);
  link_->SetAnswerWait(kGenerousWaitMs);
  ASSERT_TRUE(PollWith("0.321"));
  EXPECT_EQ(view_.weight, "0.321 KG");
  EXPECT_EQ(std::pair(scale_.EnqCount(), scale_.Dc1Count()), std::pair(2, 1)) << "polls overlapped";
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
  link.SetAnswerWait(kGenerousWaitMs);
  QObject::connect(&timer1, &QTimer::timeout, &link, &ScaleLink::OnTimerTick);
  ASSERT_TRUE(WaitUntil([&] { return !timer1.isActive(); }));
  EXPECT_EQ(view.weight, "1.235 KG");
  ASSERT_TRUE(simulator.state() == QProcess::NotRunning || simulator.waitForFinished(60000));
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
    ASSERT_TRUE(simulator.waitForFinished(60000));
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
