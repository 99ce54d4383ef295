// The scale line under faults, through a real QSerialPort on a pseudo-terminal: frames
// that arrive in pieces, and the device vanishing and coming back. A vanished device
// switches polling off, and ticking "Scales Connected" again picks the device up once it
// is back. And the printer refusing the labels Autoprint sends. (Junk answers and frames:
// tests/serial/scale_test.cpp.)
#include <gtest/gtest.h>
#include <malloc.h>

#include <QFile>

#include "platform/printing.h"
#include "tests/faults/fault_support.h"
#include "tests/serial/scale_test_support.h"
#include "tests/station/station_test_support.h"
#include "tests/support/cups_daemon.h"
#include "tests/support/test_env.h"

namespace corvel::test {
namespace {

using SerialFaults = ScaleLinkTest;

// A frame that comes in pieces, as a slow converter passes it on: the poll waits for the
// whole frame. A frame whose rest comes only after the poll gave up on it is read as far
// as it came ("  1" of "  1.235"), and its rest never shifts into the next frame.
TEST_F(SerialFaults, FramesInPiecesAreReadWhole) {
  const std::string frame = BuildScaleFrame(ParseScaleReading("1.235").front());
  scale_.SetReadings({ScaleReading{.raw = ""}});  // the frame is sent below, in pieces
  const auto poll = [&](std::size_t piecesBeforeTheWaitEnds) {
    QSignalSpy finished(link_.get(), &ScaleLink::pollFinished);
    link_->OnTimerTick();
    const int dc1 = scale_.Dc1Count() + 1;
    if (!WaitUntil([&] { return scale_.Dc1Count() == dc1; })) return false;
    for (std::size_t at = 0; at < 6 * piecesBeforeTheWaitEnds; at += 6) {
      scale_.SendNow(frame.substr(at, 6));  // each piece waits at the station before the next
      const auto arrived = [&] { return link_->Line().BytesAvailable() >= qint64(at + 6); };
      if (!WaitUntil([&] { return finished.count() > 0 || arrived(); })) return false;
    }
    return WaitUntil([&] { return finished.count() > 0; });
  };
  ASSERT_TRUE(poll(3));
  EXPECT_EQ(view_.weight, "1.235 KG");
  // The wait ends with only the first piece in. It runs from the poll's start, so it is
  // long enough that a loaded machine still delivers that piece before it ends.
  link_->SetAnswerWait(5 * ScaleLink::kAnswerWaitMs);
  ASSERT_TRUE(poll(1));
  EXPECT_EQ(view_.weight, "1.000 KG");
  scale_.SendNow(frame.substr(6));  // the rest, late
  ASSERT_TRUE(WaitUntil([&] { return link_->Line().BytesAvailable() >= 10; }));
  link_->SetAnswerWait(kGenerousWaitMs);
  ASSERT_TRUE(PollWith("2.5"));
  EXPECT_EQ(view_.weight, "2.500 KG");
  EXPECT_TRUE(PollingOn());
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
  link.SetAnswerWait(kGenerousWaitMs);
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
    ASSERT_TRUE(WaitUntil([&] { return window->Text4->text() == weight + QString(" KG"); }))
        << window->StatusLine->text().toStdString();
    scale.Vanish();
    // The name goes with the device, as a pulled adapter's does: left behind, it would
    // name the pseudo-terminal number the system hands out next, perhaps to another
    // program, which the station would then open.
    QFile::remove(device);
    ASSERT_TRUE(WaitUntil([&] { return !window->Timer1->isActive(); }))
        << window->StatusLine->text().toStdString();
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
