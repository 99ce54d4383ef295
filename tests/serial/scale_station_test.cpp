// The scale link on the real station window: Timer1, "Scales Connected" and "On COM"
// drive it, Autoprint labels are PDF documents in the station's PDF folder, and "Print"
// works while a slow scale keeps a poll waiting.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <memory>

#include "common/clock.h"
#include "common/settings_sections.h"
#include "platform/printing.h"
#include "station/station_window.h"
#include "tests/serial/scale_test_support.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel::test {
namespace {

class NoMessages : public MessageBoxes {
 public:
  bool AskYesNo(std::string_view, std::string_view, bool defaultYes) override { return defaultYes; }
  void Inform(std::string_view text, std::string_view) override { ADD_FAILURE() << text; }
};

class ScaleStationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scale.Start();
    settings.Save(kStationSection, "COM1", scale.DevicePath());
    target.kind = PrinterTarget::Kind::PdfFolder;
    target.pdfFolder = (folder + "/labels").toStdString();
    target.program = "tarewise";
    target.pageWidthMm = 60;
    target.pageHeightMm = 40;
    window = std::make_unique<StationWindow>(StationServices{
        settings, messages, clock, target, [this] { return MakePrintSurface(target); },
        (folder + "/pdlist").toStdString()});
    window->Command2->click();  // a product to label
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    link = std::make_unique<ScaleLink>(*window, *window->Timer1, settings, window->PortNumber());
    ConnectScaleLink(*window, *link);
  }

  QStringList Labels() const { return ListPdfFiles(QString::fromStdString(target.pdfFolder)); }
  bool FirstLabelShows(const QString& text) const {
    for (const PdfWord& word : PdfWords(Labels().value(0)))
      if (word.text.contains(text)) return true;
    return false;
  }

  QString folder = MakeTempFolder();
  ScaleSimulator scale;
  MemorySettingsStore settings;
  NoMessages messages;
  FixedClock clock{MakeLocalTime(2026, 12, 6, 9)};
  PrinterTarget target;
  std::unique_ptr<StationWindow> window;
  std::unique_ptr<ScaleLink> link;
};

TEST_F(ScaleStationTest, AutoprintPrintsOneDocumentPerLoadOnTheWindowsTimer) {
  scale.SetReadings(ParseScaleReading("0x2"));
  QTest::mouseClick(window->Check2, Qt::LeftButton);  // "Autoprint"
  ASSERT_TRUE(WaitUntil([&] { return window->Text4->text() == "0.000 KG"; }));
  scale.SetReadings(ParseScaleReading("1.235"));
  ASSERT_TRUE(WaitUntil([&] { return Labels().size() == 1; }));
  EXPECT_EQ(window->Text4->text(), "1.235 KG");
  EXPECT_TRUE(FirstLabelShows("1.235"));
  const int frames = scale.FramesSent();  // the load stays on: more polls, no more labels
  ASSERT_TRUE(WaitUntil([&] { return scale.FramesSent() >= frames + 3; }));
  EXPECT_EQ(Labels().size(), 1);

  // "Scales Connected" clicked on and then off: no more ticks.
  QTest::mouseClick(window->Check3, Qt::LeftButton);
  EXPECT_TRUE(window->Timer1->isActive());
  QTest::mouseClick(window->Check3, Qt::LeftButton);
  EXPECT_FALSE(window->Timer1->isActive());

  // A new port number typed into "On COM" closes the port for the next poll to reopen.
  window->Text11->setFocus(Qt::MouseFocusReason);
  window->Text11->selectAll();
  QTest::keyClicks(window->Text11, "2");
  QTest::keyClick(window->Text11, Qt::Key_Tab);
  EXPECT_EQ(link->PortNumber(), 2);
  EXPECT_FALSE(link->PortOpen());
}

TEST_F(ScaleStationTest, PrintPressedDuringASlowPollPrintsTheWeightBoxAsItStands) {
  window->Timer1->stop();
  window->Text4->setText("0.400 KG");
  QSignalSpy finished(link.get(), &ScaleLink::pollFinished);
  scale.SetAnswerDelay(std::chrono::milliseconds(400));
  scale.SetReadings(ParseScaleReading("2.500"));
  bool pollWaiting = false;
  QTimer::singleShot(150, [&] {
    pollWaiting = link->PollUnderWay();
    QTest::mouseClick(window->Command1, Qt::LeftButton);  // "Print"
  });
  link->OnTimerTick();
  ASSERT_TRUE(WaitUntil([&] { return finished.count() == 1; }));
  EXPECT_TRUE(pollWaiting);
  ASSERT_EQ(Labels().size(), 1);
  EXPECT_EQ(window->Text4->text(), "2.500 KG");
  EXPECT_TRUE(FirstLabelShows("0.400"));
}

}  // namespace
}  // namespace corvel::test
