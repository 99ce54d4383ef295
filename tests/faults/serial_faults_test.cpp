// The scale line under faults, through a real QSerialPort on a pseudo-terminal: frames
// that arrive in pieces, and the device vanishing and coming back. A vanished device
// switches polling off, and ticking "Scales Connected" again picks the device up once it
// is back. (Junk answers and frames: tests/serial/scale_test.cpp.)
#include <gtest/gtest.h>
#include <malloc.h>

#include <QFile>

#include "tests/faults/fault_support.h"
#include "tests/serial/scale_test_support.h"
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
  link_->SetAnswerWait(ScaleLink::kAnswerWaitMs);
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
    ASSERT_TRUE(WaitUntil([&] { return window->Text4->text() == weight + QString(" KG"); }));
    scale.Vanish();
    ASSERT_TRUE(WaitUntil([&] { return !window->Timer1->isActive(); }));
    EXPECT_FALSE(window->Check3->isChecked());
    if (round == 2) heapAfterSecond = mallinfo2().uordblks;
  }
  EXPECT_LT(mallinfo2().uordblks, heapAfterSecond + 256 * 1024);
  EXPECT_TRUE(messages.messages.empty());
}

}  // namespace
}  // namespace corvel::test
