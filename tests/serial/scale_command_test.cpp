// The devices the station opens for its port numbers, and `corvel scale` run as its own
// process.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <optional>
#include <string>

#include "platform/serial_line.h"
#include "tests/serial/scale_test_support.h"
#include "tests/support/test_env.h"

namespace corvel::test {
namespace {

TEST(ScalePorts, PortNumbersNameTheirDevices) {
  MemorySettingsStore settings;
  settings.Save("Zebra", "COM3", "/dev/ttyUSB0");
  settings.Save("Zebra", "COM4", "");
  const std::pair<int, const char*> rows[] = {{1, "/dev/ttyS0"}, {3, "/dev/ttyUSB0"},
                                              {4, "/dev/ttyS3"}, {10, "/dev/ttyS9"},
                                              {0, ""},           {-1, ""}};
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
  settings.Save("Zebra", "COM1", device.toStdString());
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
  ASSERT_TRUE(simulator.waitForFinished(10000));
  EXPECT_EQ(simulator.exitCode(), 0);
}

}  // namespace
}  // namespace corvel::test
