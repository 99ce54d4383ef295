// A queue that reports its resolution needs no calibration: the station's label sent to a
// 203 dpi roll printer comes out with every bar a whole number of dots, and the doctor
// says which resolution each target prints at.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "platform/cups_queue.h"
#include "tests/support/bar_widths.h"
#include "tests/support/cups_daemon.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

TEST(QueueResolution, LabelOnA203DpiQueueHasExactBars) {
  if (!test::CupsDaemon::Installed()) GTEST_SKIP() << "cupsd is not installed";
  test::CupsDaemon daemon;
  QString error;
  ASSERT_TRUE(daemon.StartWithQueues(
      {{"Roll203", test::CupsDaemon::RollLabelPpd() + "*DefaultResolution: 203dpi\n", true},
       {"Roll", test::CupsDaemon::RollLabelPpd()}},
      &error))
      << error.toStdString();
  daemon.SetClientEnvironment();
  EXPECT_EQ(CupsQueue("Roll203").DefaultResolution(), 203);
  EXPECT_EQ(CupsQueue("Roll").DefaultResolution(), 0);

  const test::RunResult run =
      test::RunProgram(test::BuiltProgram("corvel"),
                       {"label", "--code", "1234", "--price", "12.99", "--weight", "1.235 KG"}, {},
                       {daemon.ClientEnvironment(), "XDG_CONFIG_HOME=" + test::MakeTempFolder()});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  ASSERT_TRUE(daemon.WaitForCompletedJobs("Roll203", 1));
  const test::SpreadSummary bars = test::Summarise(
      test::MeasureSymbols(test::RasterisePdf(daemon.OutputFile("Roll203"), 203), 203));
  EXPECT_EQ(bars.symbols, 1);
  EXPECT_EQ(bars.uneven, 0);

  // The doctor names the queues, and the resolution that will be used for each target.
  const QString config = test::MakeTempFolder();
  QDir().mkpath(config + "/Corvel");
  QFile ini(config + "/Corvel/Corvel.ini");
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
  // No serial device: the doctor would ask this machine's own port.
  ini.write("[Zebra]\nCOM1=" + config.toUtf8() +
            "/no-tty\n[Printer]\nPrinterName=Roll\n[Calibration Gone]\nDpi=300\n");
  ini.close();
  const test::RunResult doctor = test::RunProgram(
      test::BuiltProgram("corvel"), {"doctor", "--station-folder", test::MakeTempFolder()}, {},
      {daemon.ClientEnvironment(), "XDG_CONFIG_HOME=" + config});
  const QString out = QString::fromUtf8(doctor.out);
  for (const char* line :
       {"OK   printers: Roll, Roll203; default Roll203",
        "OK   tarewise prints to printer Roll203 (60 x 40 mm, 203 dpi reported by the queue)",
        "WARN sheetwise prints to printer Roll (60 x 40 mm): it reports no resolution",
        "WARN [Calibration Gone]: Dpi 300, OffsetX 0, OffsetY 0, BarReduction 0; the print server "
        "has no printer Gone"})
    EXPECT_TRUE(out.contains(line)) << line << "\nin:\n" << out.toStdString();
}

}  // namespace
}  // namespace corvel
