// sheetwise through a private CUPS scheduler: roll labels come out on the 60 x 40 mm
// label and scan at the printer's 203 dpi; a frozen print server ends the run within the
// bounded wait, with a reason and a failure status, and nothing goes to a PDF folder
// instead (a stopped one: tests/faults/runner_faults_test.cpp).
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include "platform/cups_queue.h"
#include "tests/runner/runner_fixture.h"
#include "tests/support/cups_daemon.h"

namespace corvel {
namespace {

class CupsRunner : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::CupsDaemon::Installed()) GTEST_SKIP() << "cupsd is not installed";
    QString error;
    ASSERT_TRUE(daemon.StartWithQueues({{"Roll", test::CupsDaemon::RollLabelPpd()},
                                        {"Office", test::CupsDaemon::OfficePpd(), true}},
                                       &error))
        << error.toStdString();
  }
  // Rows with codes, a roll job routed to the roll printer, the office queue the default.
  void ConfigureRollRun(int labels) {
    rows = test::NumberedRows(labels);
    test::WriteFile(site.data + "/Barprint", test::BarprintBytes(rows));
    site.Configure("Z", /*pdfFolder=*/false);
    IniSettingsStore settings((site.config + "/Corvel/Corvel.ini").toStdString());
    settings.Save("Printer", "PrinterNameZ", "Roll");
  }
  // The last job on the roll queue: one 60 x 40 mm label (203 dpi thermal dots).
  static QStringList LabelCodes(const QString& pdf) {
    const QImage label = test::RasterisePdf(pdf, 203);
    EXPECT_NEAR(label.width(), 60 / 25.4 * 203, 2);
    EXPECT_NEAR(label.height(), 40 / 25.4 * 203, 2);
    return test::DecodeBarcodes(label);
  }

  test::CupsDaemon daemon;
  test::Installation site;
  std::vector<test::RequestRow> rows;
};

TEST_F(CupsRunner, RollLabelsAreLabelSizedAndScanAt203Dpi) {
  ConfigureRollRun(2);
  const test::RunResult run = site.Sheetwise("accept", {daemon.ClientEnvironment()});
  ASSERT_TRUE(run.finished);
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  ASSERT_TRUE(daemon.WaitForCompletedJobs("Roll", 2));
  EXPECT_EQ(daemon.CompletedJobs("Office"), 0);
  EXPECT_EQ(LabelCodes(daemon.OutputFile("Roll")),
            QStringList{QString::fromStdString(rows[1].code)});
}

TEST_F(CupsRunner, FrozenServerEndsTheRunWithAReason) {
  for (const bool duringRun : {false, true}) {
    SCOPED_TRACE(duringRun);
    daemon.Thaw();
    ConfigureRollRun(duringRun ? 400 : 3);
    QProcess runner;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QStringList entries = site.Env("accept") << daemon.ClientEnvironment();
    for (const QString& entry : entries)
      env.insert(entry.section('=', 0, 0), entry.section('=', 1));
    runner.setProcessEnvironment(env);
    if (!duringRun) daemon.Freeze();
    QElapsedTimer took;
    took.start();
    runner.start(test::BuiltProgram("sheetwise"), {});
    ASSERT_TRUE(runner.waitForStarted());
    if (duringRun) {
      // Frozen once the first label has reached the printer.
      while (!QFile::exists(daemon.OutputFile("Roll")) && took.elapsed() < 30000)
        QThread::msleep(5);
      daemon.Freeze();
    }
    const bool ended = runner.waitForFinished(4 * kPrintServerTimeoutMs + 10000);
    if (!ended) runner.kill();
    ASSERT_TRUE(ended) << "still running after " << took.elapsed() << " ms";
    const QString err = QString::fromUtf8(runner.readAllStandardError()).trimmed();
    EXPECT_EQ(runner.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.startsWith("sheetwise: ") && !err.contains('\n') && err.contains("Roll"))
        << err.toStdString();
    EXPECT_TRUE(test::ListPdfFiles(QDir::home().filePath("Corvel/PDF")).isEmpty());
  }
  daemon.Thaw();
}

}  // namespace
}  // namespace corvel
