// The failure rule: a port that cannot be opened, a scale that vanishes, an Autoprint
// label that fails. Polling goes off, "Scales Connected" is cleared, the weight box and
// the armed state stay, and the status line says which device and what went wrong.
#include <gtest/gtest.h>

#include <QSerialPort>
#include <optional>
#include <string>

#include "tests/serial/scale_test_support.h"

namespace corvel::test {
namespace {

TEST_F(ScaleLinkTest, RefusedPortsSwitchPollingOffAndSayWhy) {
  struct Row {
    const char* name;
    int port;
    std::optional<std::string> device;  // COM<port>; "SIM" is the simulated scale
    bool holdDevice;                    // another port has the device open
    std::vector<std::string> statusMentions;
  };
  const Row rows[] = {
      {"missing device",
       4,
       "/nonexistent/scale",
       false,
       {"COM4", "/nonexistent/scale", "no such device"}},
      {"port 0", 0, std::nullopt, false, {"port number 0"}},
      {"negative port", -3, std::nullopt, false, {"port number -3"}},
      {"busy device", 5, "SIM", true, {"COM5", "in use"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeStationView rowView;
    rowView.weight = "1.000 KG";
    QTimer rowTimer;
    rowTimer.start(ScaleLink::kPollIntervalMs);
    const std::string device = row.device == "SIM" ? scale.DevicePath() : row.device.value_or("");
    if (row.device) settings.Save("Zebra", "COM" + std::to_string(row.port), device);
    QSerialPort holder(QString::fromStdString(device));
    if (row.holdDevice) {
      ASSERT_TRUE(holder.open(QIODevice::ReadWrite));
    }

    ScaleLink rowLink(rowView, rowTimer, settings, row.port);
    QSignalSpy finished(&rowLink, &ScaleLink::pollFinished);
    rowLink.OnTimerTick();
    ASSERT_TRUE(WaitUntil([&] { return finished.count() > 0; }));

    EXPECT_FALSE(rowTimer.isActive());
    EXPECT_FALSE(rowView.scalesConnected);
    EXPECT_EQ(rowView.weight, "1.000 KG");
    EXPECT_EQ(rowView.weightWrites, 0);
    EXPECT_FALSE(rowLink.PortOpen());
    for (const std::string& mention : row.statusMentions)
      EXPECT_TRUE(rowView.status.contains(QString::fromStdString(mention)))
          << rowView.status.toStdString();
  }
  EXPECT_EQ(scale.EnqCount(), 0);
}

TEST_F(ScaleLinkTest, CheckingScalesConnectedAgainRetriesOnTheTimer) {
  QObject::connect(&timer1, &QTimer::timeout, link.get(), &ScaleLink::OnTimerTick);
  settings.Save("Zebra", "COM1", "/nonexistent/scale");
  ASSERT_TRUE(WaitUntil([&] { return !PollingOn(); }));
  EXPECT_FALSE(view.scalesConnected);

  // Still missing: the retry fails the same way.
  view.status.clear();
  view.scalesConnected = true;
  link->OnScalesConnectedClicked(true);
  EXPECT_TRUE(PollingOn());
  ASSERT_TRUE(WaitUntil([&] { return !PollingOn(); }));
  EXPECT_TRUE(view.status.contains("/nonexistent/scale"));

  // Plugged in: the next tick opens it and the weight shows.
  settings.Save("Zebra", "COM1", scale.DevicePath());
  scale.SetReadings(ParseScaleReading("0.450"));
  view.scalesConnected = true;
  link->OnScalesConnectedClicked(true);
  ASSERT_TRUE(WaitUntil([&] { return view.weight == "0.450 KG"; }));
  EXPECT_TRUE(PollingOn());
  EXPECT_TRUE(view.status.contains(QString::fromStdString(scale.DevicePath())));

  // Switched off by the operator: no more polls, the port stays open.
  link->OnScalesConnectedClicked(false);
  EXPECT_FALSE(PollingOn());
  EXPECT_TRUE(link->PortOpen());
}

TEST_F(ScaleLinkTest, ScaleVanishingMidPollIsAFailure) {
  view.autoprint = true;
  ASSERT_TRUE(PollWith("0"));
  ASSERT_EQ(view.weight, "0.000 KG");
  ASSERT_TRUE(link->Armed());

  // The adapter is pulled as the next poll asks for attention.
  scale.SetVanishAfterFrames(0);
  ASSERT_TRUE(Poll());
  EXPECT_TRUE(scale.Vanished());
  EXPECT_FALSE(PollingOn());
  EXPECT_FALSE(view.scalesConnected);
  EXPECT_EQ(view.weight, "0.000 KG");
  EXPECT_TRUE(link->Armed());
  EXPECT_TRUE(view.status.contains(QString::fromStdString(scale.DevicePath())))
      << view.status.toStdString();

  // Switched on again while it is still gone: the reopening fails the same way.
  view.scalesConnected = true;
  link->OnScalesConnectedClicked(true);
  ASSERT_TRUE(Poll());
  EXPECT_FALSE(PollingOn());
  EXPECT_FALSE(view.scalesConnected);
  EXPECT_TRUE(view.status.contains("cannot open")) << view.status.toStdString();
}

TEST_F(ScaleLinkTest, FailedAutoprintLabelIsAFailureAndKeepsTheLoadArmed) {
  view.autoprint = true;
  ASSERT_TRUE(PollWith("0"));
  view.failPrint = true;
  ASSERT_TRUE(PollWith("1.235"));
  EXPECT_FALSE(PollingOn());
  EXPECT_FALSE(view.scalesConnected);
  EXPECT_EQ(view.weight, "1.235 KG");
  EXPECT_TRUE(link->Armed());
  EXPECT_TRUE(view.status.contains("printer out of labels")) << view.status.toStdString();
  EXPECT_TRUE(link->PortOpen());
}

}  // namespace
}  // namespace corvel::test
