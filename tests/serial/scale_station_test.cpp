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
#include "tests/support/fake_messages.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel::test {
namespace {

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
