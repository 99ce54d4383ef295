// The scale: frames on their own, the link against a simulated scale on a real pty opened
// by a real QSerialPort, the link on the real station window, and `corvel scale` as a process.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QTest>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "common/clock.h"
#include "common/settings_sections.h"
#include "platform/printing.h"
#include "platform/serial_line.h"
#include "station/scale_frame.h"
#include "station/station_window.h"
#include "tests/serial/scale_test_support.h"
#include "tests/support/fake_messages.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel::test {
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
      {.text = "abS xy.zzz kg  \r", .stable = true},  // garbled weight reads as 0
      {.text = "\0\377S\3761.5\0\377\200\201\202\203\204\205"s, .stable = true, .weight = 1.5},
      {.text = "\0\0S\0\0001.5   xxxxx"s, .stable = true},
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
    std::string in = "";                            // 'a'rmed, 'p': Autoprint ticked
    std::optional<std::string> boxAfter = nullopt;  // nothing: the box is not written
    std::string out = "";                           // 'a'rmed, 'p'rints
  };
  const Row rows[] = {
      {.frame = "..S  0.000", .box = "0.000 KG", .out = "a"},
      {.frame = "..S -0.000", .box = "", .boxAfter = "0.000 KG", .out = "a"},
      {.frame = "..S -0.005", .box = "0.000 KG", .in = "ap", .boxAfter = "-0.005 KG", .out = "a"},
      {.frame = "..M  1.235", .box = ""},
      {.frame = "..SF 1.235", .box = "1.235 KG", .in = "ap", .out = "p"},
      {.frame = "..S 1.2346", .box = "", .boxAfter = "1.235 KG"},
      {.frame = "..S 9E999", .box = "1.235 KG", .in = "ap", .boxAfter = "", .out = "a"},  // moving
      {.frame = "..S 999999", .box = "", .boxAfter = "999999.000 KG"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.frame);
    const ScaleFrameOutcome outcome = EvaluateScaleFrame(ParseScaleFrame(row.frame), row.box,
                                                         row.in.find('a') != std::string::npos,
                                                         row.in.find('p') != std::string::npos);
    EXPECT_EQ(outcome.weightText, row.boxAfter);
    EXPECT_EQ(outcome.print, row.out.find('p') != std::string::npos);
    EXPECT_EQ(outcome.armed, row.out.find('a') != std::string::npos);
  }
}

TEST(ScalePorts, PortNumbersNameTheirDevices) {
  MemorySettingsStore settings;
  settings.Save(kStationSection, "COM3", "/dev/ttyUSB0");
  settings.Save(kStationSection, "COM4", "");
  const std::pair<int, const char*> rows[] = {
      {1, "/dev/ttyS0"}, {3, "/dev/ttyUSB0"}, {4, "/dev/ttyS3"}, {0, ""}};
  for (const auto& [port, device] : rows)
    EXPECT_EQ(SerialDeviceForPort(settings, port).toStdString(), device) << port;
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

// One poll: the reading on the scale, the Autoprint box, and afterwards the weight box, the
// labels printed so far and whether the link is armed.
using Step = std::tuple<const char*, bool, const char*, int, bool>;

// What a frame means is ScaleFrame's (scale_frame_test.cpp); here that the frames the
// scale sends, whole, garbled or cut short, reach the weight box and Autoprint.
TEST_F(ScaleLinkTest, WeightBoxAndLabelsFollowTheScale) {
  const Step steps[] = {
      {"0.000", true, "0.000 KG", 0, true},
      {"1.235", true, "1.235 KG", 1, false},
      {"1.240", true, "1.240 KG", 1, false},
      {"m0.700", true, "", 1, false},
      {"0", true, "0.000 KG", 1, true},
      {"raw:\\x02 S 1.5", true, "1.500 KG", 2, false},
      {"raw:\\xff\\xfe?x\\xff\\x00\\x01garbage!!", true, "", 2, false},
      {"raw:", true, "", 2, false},
      {"fm", false, "Scale Over Loaded", 2, false},
  };
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
  EXPECT_EQ(view_.weightWrites, 0);
  EXPECT_TRUE(PollingOn());
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

class ScaleStationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scale_.Start();
    settings_.Save(kStationSection, "COM1", scale_.DevicePath());
    target_.kind = PrinterTarget::Kind::PdfFolder;
    target_.pdfFolder = (folder_ + "/labels").toStdString();
    target_.program = "tarewise";
    target_.pageWidthMm = 60;
    target_.pageHeightMm = 40;
    window_ = std::make_unique<StationWindow>(StationServices{
        settings_, messages_, clock_, target_, [this] { return MakePrintSurface(target_); },
        (folder_ + "/pdlist").toStdString()});
    window_->Command2->click();  // a product to label
    window_->show();
    QApplication::setActiveWindow(window_.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    link_ =
        std::make_unique<ScaleLink>(*window_, *window_->Timer1, settings_, window_->PortNumber());
    ConnectScaleLink(*window_, *link_);
  }

  void TearDown() override { EXPECT_EQ(messages_.messages, std::vector<std::string>{}); }
  QStringList Labels() const { return ListPdfFiles(QString::fromStdString(target_.pdfFolder)); }
  bool FirstLabelShows(const QString& text) const {
    for (const PdfWord& word : PdfWords(Labels().value(0)))
      if (word.text.contains(text)) return true;
    return false;
  }

  QString folder_ = MakeTempFolder();
  ScaleSimulator scale_;
  MemorySettingsStore settings_;
  FakeMessages messages_;
  FixedClock clock_{MakeLocalTime(2026, 12, 6, 9)};
  PrinterTarget target_;
  std::unique_ptr<StationWindow> window_;
  std::unique_ptr<ScaleLink> link_;
};

TEST_F(ScaleStationTest, AutoprintPrintsOneDocumentPerLoadOnTheWindowsTimer) {
  scale_.SetReadings(ParseScaleReading("0x2"));
  QTest::mouseClick(window_->Check2, Qt::LeftButton);  // "Autoprint"
  ASSERT_TRUE(WaitUntil([&] { return window_->Text4->text() == "0.000 KG"; }));
  scale_.SetReadings(ParseScaleReading("1.235"));
  ASSERT_TRUE(WaitUntil([&] { return Labels().size() == 1; }));
  EXPECT_EQ(window_->Text4->text(), "1.235 KG");
  EXPECT_TRUE(FirstLabelShows("1.235"));
  const int frames = scale_.FramesSent();  // the load stays on: more polls, no more labels
  ASSERT_TRUE(WaitUntil([&] { return scale_.FramesSent() >= frames + 3; }));
  EXPECT_EQ(Labels().size(), 1);

  // "Scales Connected" clicked on and then off: no more ticks.
  QTest::mouseClick(window_->Check3, Qt::LeftButton);
  EXPECT_TRUE(window_->Timer1->isActive());
  QTest::mouseClick(window_->Check3, Qt::LeftButton);
  EXPECT_FALSE(window_->Timer1->isActive());

  // A new port number typed into "On COM" closes the port for the next poll to reopen.
  window_->Text11->setFocus(Qt::MouseFocusReason);
  window_->Text11->selectAll();
  QTest::keyClicks(window_->Text11, "2");
  QTest::keyClick(window_->Text11, Qt::Key_Tab);
  EXPECT_EQ(link_->PortNumber(), 2);
  EXPECT_FALSE(link_->PortOpen());
}

TEST_F(ScaleStationTest, PrintPressedDuringASlowPollPrintsTheWeightBoxAsItStands) {
  window_->Timer1->stop();
  window_->Text4->setText("0.400 KG");
  QSignalSpy finished(link_.get(), &ScaleLink::pollFinished);
  scale_.SetAnswerDelay(std::chrono::milliseconds(400));
  scale_.SetReadings(ParseScaleReading("2.500"));
  bool pollWaiting = false;
  QTimer::singleShot(150, [&] {
    pollWaiting = link_->PollUnderWay();
    QTest::mouseClick(window_->Command1, Qt::LeftButton);  // "Print"
  });
  link_->OnTimerTick();
  ASSERT_TRUE(WaitUntil([&] { return finished.count() == 1; }));
  EXPECT_TRUE(pollWaiting);
  ASSERT_EQ(Labels().size(), 1);
  EXPECT_EQ(window_->Text4->text(), "2.500 KG");
  EXPECT_TRUE(FirstLabelShows("0.400"));
}

}  // namespace
}  // namespace corvel::test
