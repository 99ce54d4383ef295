// The station sends labels off its window thread: with the print server frozen the window
// still answers at once, and the refusal reaches the operator when the bounded wait ends.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include "common/clock.h"
#include "common/settings_store.h"
#include "platform/cups_queue.h"
#include "platform/printing.h"
#include "station/station_window.h"
#include "tests/station/station_test_support.h"
#include "tests/support/cups_daemon.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

TEST(StationCups, WindowAnswersWhileThePrintServerIsFrozen) {
  if (!test::CupsDaemon::Installed()) GTEST_SKIP() << "cupsd is not installed";
  test::CupsDaemon daemon;
  QString error;
  ASSERT_TRUE(daemon.StartWithQueues({{"Roll", test::CupsDaemon::RollLabelPpd(), true}}, &error))
      << error.toStdString();
  daemon.SetClientEnvironment();

  MemorySettingsStore settings;
  test::FakeMessages messages;
  FixedClock clock(MakeLocalTime(2026, 12, 6, 12));
  PrinterTarget target;
  target.kind = PrinterTarget::Kind::CupsQueue;
  target.queue = "Roll";
  target.program = "tarewise";
  target.pageWidthMm = 60;  // as the station chooses it
  target.pageHeightMm = 40;
  const QString products = test::MakeTempFolder() + "/pdlist";
  test::WriteAllBytes(products, test::ProductFileBytes(1));  // a product with a code
  StationServices services{settings, messages, clock, target, {}, products.toStdString()};
  services.makeBackgroundSurface = [target](PrintStatus status) {
    return MakeBackgroundPrintSurface(target, std::move(status));
  };
  StationWindow window(std::move(services));
  window.Text4->setText("1.235");
  messages.messages.clear();
  const auto waitForStatus = [&](const char* word) {
    QElapsedTimer waited;
    waited.start();
    while (!window.StatusLine->text().contains(word) &&
           waited.elapsed() < 4 * kPrintServerTimeoutMs)
      QTest::qWait(20);
    return window.StatusLine->text();
  };

  window.Command1->click();
  EXPECT_TRUE(waitForStatus("printed").contains("last label: printed on printer Roll"))
      << window.StatusLine->text().toStdString();
  EXPECT_TRUE(messages.messages.empty());
  ASSERT_TRUE(daemon.WaitForCompletedJobs("Roll", 1));  // the label, as the printer's dots
  EXPECT_EQ(test::DecodeBarcodes(test::RasterisePdf(daemon.OutputFile("Roll"), 203)).size(), 1);

  daemon.Freeze();
  QElapsedTimer took;
  took.start();
  window.Command1->click();
  window.Command1->click();
  EXPECT_LT(took.elapsed(), 1000) << "the window waited for the print server";
  // The window goes on answering events while the labels wait.
  QTest::qWait(200);
  window.Text4->setText("2.000");
  EXPECT_EQ(window.Text4->text(), "2.000");
  EXPECT_TRUE(waitForStatus("refused").contains("refused"))
      << window.StatusLine->text().toStdString();
  ASSERT_FALSE(messages.messages.empty());
  EXPECT_NE(messages.messages.front().find("The label was not printed"), std::string::npos)
      << messages.messages.front();
  daemon.Thaw();
}

}  // namespace
}  // namespace corvel
