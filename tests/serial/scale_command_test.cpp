// The devices the station opens for its port numbers, and `corvel scale` run as its own
// process.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <optional>
#include <string>

#include "common/settings_sections.h"
#include "platform/serial_line.h"
#include "tests/serial/scale_test_support.h"
#include "tests/support/test_env.h"

namespace corvel::test {
namespace {

TEST(ScalePorts, PortNumbersNameTheirDevices) {
  MemorySettingsStore settings;
  settings.Save(kStationSection, "COM3", "/dev/ttyUSB0");
  settings.Save(kStationSection, "COM4", "");
  const std::pair<int, const char*> rows[] = {
      {1, "/dev/ttyS0"}, {3, "/dev/ttyUSB0"}, {4, "/dev/ttyS3"}, {0, ""}};
  for (const auto& [port, device] : rows)
    EXPECT_EQ(SerialDeviceForPort(settings, port).toStdString(), device) << port;
}

// `corvel scale` as the station meets it: a separate process announcing its device.
TEST(ScaleCommand, StationReadsTheSimulatorProcessUntilItVanishes) {
  ASSERT_TRUE(QFile::exists(BuiltProgram("corvel"))) << "build the corvel program first";
  QProcess simulator;
  simulator.start(BuiltProgram("corvel"), {"scale", "0", "1.235", "--vanish-after", "2"});
  ASSERT_TRUE(simulator.waitForStarted());
  ASSERT_TRUE(WaitUntil([&] { return simulator.canReadLine(); }));
  const QString device = QString::fromUtf8(simulator.readLine()).trimmed();
  ASSERT_TRUE(device.startsWith("/dev/")) << device.toStdString();

  MemorySettingsStore settings;
  settings.Save(kStationSection, "COM1", device.toStdString());
  FakeStationView view;
  view.autoprint = true;
  QTimer timer1;
  timer1.start(ScaleLink::kPollIntervalMs);
  ScaleLink link(view, timer1, settings, 1);
  QObject::connect(&timer1, &QTimer::timeout, &link, &ScaleLink::OnTimerTick);

  ASSERT_TRUE(WaitUntil([&] { return view.weight == "1.235 KG"; })) << view.weight.toStdString();
  EXPECT_EQ(view.printedWeights, QStringList{"1.235 KG"});
  ASSERT_TRUE(WaitUntil([&] { return !timer1.isActive(); }));
  EXPECT_FALSE(view.scalesConnected);
  EXPECT_EQ(view.weight, "1.235 KG");
  // The event loop of the waits above may already have seen it end.
  ASSERT_TRUE(simulator.state() == QProcess::NotRunning || simulator.waitForFinished(10000));
  EXPECT_EQ(simulator.exitCode(), 0);
}

// --link PATH takes a new name, or a link an earlier simulator left to a pty that is
// gone; anything else at PATH is someone else's and stays. At exit only a link that
// still leads to the device goes.
TEST(ScaleCommand, LinkNeverRemovesWhatIsNotItsOwn) {
  enum class Before { None, File, LinkToFile, StalePtyLink };
  const struct {
    const char* name;
    Before before = Before::None;
    bool replacedWhileRunning = false;  // a file is put at PATH while the simulator runs
    int exitCode = 0;
    bool remains = false;  // PATH is there after the simulator exits
  } rows[] = {
      {.name = "new name"},
      {.name = "stale link to a vanished pty", .before = Before::StalePtyLink},
      {.name = "regular file", .before = Before::File, .exitCode = 1, .remains = true},
      {.name = "link to a file", .before = Before::LinkToFile, .exitCode = 1, .remains = true},
      {.name = "file put there meanwhile", .replacedWhileRunning = true, .remains = true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const QString folder = MakeTempFolder();
    const QString path = folder + "/scale";
    QFile other(folder + "/other");
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    const bool madeBefore =
        row.before == Before::None ||
        (row.before == Before::File && QFile::copy(other.fileName(), path)) ||
        (row.before == Before::LinkToFile && QFile::link(other.fileName(), path)) ||
        (row.before == Before::StalePtyLink && QFile::link("/dev/pts/99999999", path));
    ASSERT_TRUE(madeBefore);
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
