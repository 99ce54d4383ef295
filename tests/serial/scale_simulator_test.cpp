// The scale simulator's script and frames, the port numbers and devices of the station,
// and `corvel scale` run as its own process.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <optional>
#include <string>

#include "platform/serial_line.h"
#include "station/scale_frame.h"
#include "tests/serial/scale_test_support.h"
#include "tests/support/test_env.h"

namespace corvel::test {
namespace {

TEST(ScaleSimulatorScript, ReadingsParseAndFramesReadBackThroughTheStationParser) {
  struct Row {
    const char* token;
    int count;
    bool stable;
    bool overloaded;
    double weight;
  };
  const Row rows[] = {
      {"1.235", 1, true, false, 1.235},   {"0", 1, true, false, 0},
      {"-0.005", 1, true, false, -0.005}, {"m1.5", 1, false, false, 1.5},
      {"f9.999", 1, true, true, 9.999},   {"fm", 1, false, true, 0},
      {"MF2", 1, false, true, 2},         {"0x3", 3, true, false, 0},
      {"m1.2x2", 2, false, false, 1.2},   {"s123456", 1, true, false, 123456},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.token);
    const auto readings = ParseScaleReading(row.token);
    ASSERT_EQ(static_cast<int>(readings.size()), row.count);
    const std::string frame = BuildScaleFrame(readings.front());
    EXPECT_EQ(frame.size(), 16u);
    EXPECT_GE(static_cast<int>(frame.size()), kScaleFrameLength);
    const ScaleFrame parsed = ParseScaleFrame(frame);
    EXPECT_EQ(parsed.stable, row.stable);
    EXPECT_EQ(parsed.overloaded, row.overloaded);
    ASSERT_TRUE(parsed.weight.has_value());
    EXPECT_DOUBLE_EQ(*parsed.weight, row.weight);
  }
}

TEST(ScalePorts, PortNumbersNameTheirDevices) {
  MemorySettingsStore settings;
  settings.Save("Zebra", "COM3", "/dev/ttyUSB0");
  settings.Save("Zebra", "COM4", "");
  struct Row {
    int port;
    const char* device;
  };
  const Row rows[] = {{1, "/dev/ttyS0"}, {3, "/dev/ttyUSB0"},
                      {4, "/dev/ttyS3"}, {10, "/dev/ttyS9"},
                      {0, ""},           {-1, ""}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.port);
    EXPECT_EQ(SerialDeviceForPort(settings, row.port).toStdString(), row.device);
  }
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
