// The scale line under faults, through a real QSerialPort on a pseudo-terminal: a flood
// of junk, frames that arrive in bursts of pieces, and the device vanishing and coming
// back. Junk is no error and leaves no memory behind; a vanished device switches
// polling off, and ticking "Scales Connected" again picks the device up once it is back.
// And the printer refusing the labels Autoprint sends.
#include <gtest/gtest.h>
#include <malloc.h>

#include <QFile>
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/printing.h"
#include "tests/faults/fault_support.h"
#include "tests/serial/scale_test_support.h"
#include "tests/station/station_test_support.h"
#include "tests/support/cups_daemon.h"
#include "tests/support/test_env.h"

namespace corvel::test {
namespace {

using namespace std::chrono_literals;

using SerialFaults = ScaleLinkTest;

TEST_F(SerialFaults, JunkFloodIsDroppedAndLeavesNoMemoryBehind) {
  const auto PollUntilWeight = [this](const char* weight) {
    for (int i = 0; i < 5 && view_.weight != weight; ++i)
      if (!Poll()) return false;
    return view_.weight == weight;
  };
  view_.autoprint = true;
  scale_.SetReadings(ParseScaleReading("0"));
  ASSERT_TRUE(PollUntilWeight("0.000 KG"));
  const std::string junk = RandomBytes(4096, 37);  // every byte value, ACK and STX too
  const std::size_t heapBefore = mallinfo2().uordblks;
  std::atomic<std::size_t> sent{0};
  std::thread flood([&] {
    while (sent < 1'100'000) {
      sent += scale_.SendNow(junk);
      std::this_thread::yield();
    }
  });
  for (int polls = 0; sent < 1'100'000 && polls < 100000; ++polls)
    EXPECT_TRUE(Poll());
  flood.join();
  EXPECT_TRUE(PollingOn()) << "junk is no error";
  scale_.SetReadings(ParseScaleReading("1.235"));
  ASSERT_TRUE(PollUntilWeight("1.235 KG"));
  EXPECT_LT(mallinfo2().uordblks, heapBefore + 256 * 1024) << "a megabyte of junk kept memory";
  EXPECT_EQ(view_.printedWeights, QStringList{"1.235 KG"}) << "junk printed nothing";
}

// Each frame comes in three pieces 150 ms apart, as a slow converter passes it on: the
// poll waits for the whole frame. A frame whose rest comes only after the poll gave up is
// read as far as it came ("  1" of "  1.235"), and its rest never shifts into a later
// frame.
TEST_F(SerialFaults, FramesInBurstsOfPiecesAreReadWhole) {
  const std::string frame = BuildScaleFrame(ParseScaleReading("1.235").front());
  for (const auto& [pauseMs, weight] : {std::pair{150, "1.235 KG"}, {1200, "1.000 KG"}}) {
    SCOPED_TRACE(pauseMs);
    scale_.SetReadings({ScaleReading{.raw = ""}});  // the frame is sent below, in pieces
    std::atomic<bool> stop{false};
    std::thread bursts([&] {
      for (int answered = scale_.Dc1Count(); !stop; std::this_thread::sleep_for(1ms)) {
        if (scale_.Dc1Count() == answered) continue;  // to the next DC1
        answered = scale_.Dc1Count();
        for (std::size_t at = 0; at < frame.size() && !stop; at += 6) {
          if (at > 0) std::this_thread::sleep_for(pauseMs * 1ms);
          scale_.SendNow(frame.substr(at, 6));
        }
      }
    });
    view_.weight = "0.00";
    for (int poll = 0; poll < 3; ++poll) {
      EXPECT_TRUE(Poll());
      EXPECT_TRUE(view_.weight == weight || view_.weight == "0.00" || view_.weight.isEmpty())
          << view_.weight.toStdString();
    }
    stop = true;
    bursts.join();
    EXPECT_TRUE(PollingOn());
  }
}

// The device vanishes (a pulled USB adapter: the pty closes) and comes back under the
// same name (a link the station's COM1 names). Polling stops and "Scales Connected" is
// cleared; ticking it again resumes reading the scale. Ten rounds keep memory flat.
TEST(SerialDeviceFaults, VanishingDeviceStopsPollingAndTickingResumesIt) {
  const QString folder = MakeTempFolder(), device = folder + "/scale";
  MemorySettingsStore settings;
  settings.Save(kStationSection, "COM1", device.toStdString());
  FakeMessages messages;
  const auto window = OpenStation(settings, messages, folder);
  ScaleLink link(*window, *window->Timer1, settings, 1);
  ConnectScaleLink(*window, link);
  std::size_t heapAfterSecond = 0;
  for (int round = 1; round <= 10; ++round) {
    SCOPED_TRACE(round);
    const char* weight = round % 2 ? "1.235" : "2.500";
    ScaleSimulator scale;
    scale.SetReadings(ParseScaleReading(weight));
    scale.Start();
    QFile::remove(device);
    ASSERT_TRUE(QFile::link(QString::fromStdString(scale.DevicePath()), device));
    if (round > 1) QTest::mouseClick(window->Check3, Qt::LeftButton);  // ticked again
    ASSERT_TRUE(WaitUntil([&] { return window->Text4->text() == weight + QString(" KG"); }, 5000));
    scale.Vanish();
    ASSERT_TRUE(WaitUntil([&] { return !window->Timer1->isActive(); }, 15000));
    EXPECT_FALSE(window->Check3->isChecked());
    if (round == 2) heapAfterSecond = mallinfo2().uordblks;
  }
  EXPECT_LT(mallinfo2().uordblks, heapAfterSecond + 256 * 1024);
  EXPECT_TRUE(messages.messages.empty());
}

// The label roll has run out and the queue refuses every label; the print server is slow
// to say so, so two Autoprint labels are on their way before the first refusal comes
// back from the background sender. That refusal switches polling off and clears "Scales
// Connected" as any failed Autoprint label does (an unattended counter must not go on
// weighing goods without labels), and the operator gets one message for both, not one
// box over the other per weighed item.
TEST(SerialDeviceFaults, RefusedAutoprintLabelsStopPollingWithOneMessage) {
  if (!CupsDaemon::Installed()) GTEST_SKIP() << "cupsd is not installed";
  CupsDaemon daemon;
  QString error;
  ASSERT_TRUE(daemon.StartWithQueues({{"Roll", CupsDaemon::RollLabelPpd(), true}}, &error))
      << error.toStdString();
  daemon.SetClientEnvironment();
  ASSERT_EQ(daemon.RunClient("cupsreject", {"-r", "roll empty", "Roll"}), 0);

  const QString folder = MakeTempFolder();
  WriteAllBytes(folder + "/pdlist", ProductFileBytes(1));
  MemorySettingsStore settings;
  ScaleSimulator scale;
  scale.SetReadings(ParseScaleReading("0"));
  for (const char* load : {"1.235", "0", "2.500"})  // two loads; the last reading repeats
    scale.AddReadings(ParseScaleReading(load));
  scale.Start();
  settings.Save(kStationSection, "COM1", scale.DevicePath());
  FakeMessages messages;
  const FixedClock clock(MakeLocalTime(2026, 12, 6, 9));
  PrinterTarget target;
  target.kind = PrinterTarget::Kind::CupsQueue;
  target.queue = "Roll";
  target.program = "tarewise";
  target.pageWidthMm = 60;
  target.pageHeightMm = 40;
  StationServices services{settings, messages, clock,
                           target,   {},       (folder + "/pdlist").toStdString()};
  services.makeBackgroundSurface = [target](PrintStatus status, PaperReport paper) {
    return MakeBackgroundPrintSurface(target, std::move(status), std::move(paper));
  };
  StationWindow window(std::move(services));
  window.Check2->setChecked(true);  // Autoprint
  daemon.Freeze();
  ScaleLink link(window, *window.Timer1, settings, 1);
  ConnectScaleLink(window, link);
  window.Check3->click();  // "Scales Connected" ticked
  // The second load's label is sent in the poll that shows its weight.
  ASSERT_TRUE(WaitUntil([&] { return window.Text4->text() == "2.500 KG"; }));
  daemon.Thaw();

  ASSERT_TRUE(WaitUntil([&] {
    return window.StatusLine->text().contains("2 labels not printed") ||
           messages.messages.size() >= 2;
  })) << window.StatusLine->text().toStdString();
  EXPECT_FALSE(window.Timer1->isActive());
  EXPECT_FALSE(window.Check3->isChecked());
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_NE(messages.messages[0].find("Autoprint has stopped"), std::string::npos)
      << messages.messages[0];
  EXPECT_TRUE(window.StatusLine->text().contains("Autoprint label failed"))
      << window.StatusLine->text().toStdString();
}

}  // namespace
}  // namespace corvel::test
