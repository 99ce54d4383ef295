// sheetwise through a private CUPS scheduler: roll labels come out on the 60 x 40 mm
// label and scan at the printer's 203 dpi; a queue that refuses jobs and a print server
// frozen or stopped end the run within the bounded wait, with a reason and status 1,
// nothing diverted to a PDF folder and the request left as written.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include "platform/cups_queue.h"
#include "tests/runner/runner_fixture.h"
#include "tests/support/cups_daemon.h"

namespace corvel {
namespace {

TEST(CupsRunner, RollLabelsOnTheLabelQueueAndPrintServerFaults) {
  if (!test::CupsDaemon::Installed()) GTEST_SKIP() << "cupsd is not installed";
  test::CupsDaemon daemon;
  QString error;
  ASSERT_TRUE(daemon.StartWithQueues(
      {{"Roll", test::CupsDaemon::RollLabelPpd()}, {"Office", test::CupsDaemon::OfficePpd(), true}},
      &error))
      << error.toStdString();
  // The socket the daemon listens on, also once it is stopped.
  const QString socket = daemon.ClientEnvironment().section('=', 1);
  enum Fault { kNone, kRefuses, kFrozen, kStopped };
  const struct {
    const char* name;
    Fault fault;
    bool afterFirstLabel;       // made once the first label has reached the printer
    bool dialogShown = false;   // on a display, the print dialog really shown
    bool named = true;          // PrinterNameZ names the roll queue
    const char* says = "Roll";  // a pattern of the line that tells why
  } rows[] = {
      {"no fault", kNone, false},
      {"queue refuses jobs", kRefuses, false},
      {"server frozen", kFrozen, false},
      {"server frozen, dialog on a display", kFrozen, false, true, true,
       "print server does not answer"},
      {"server frozen mid-run", kFrozen, true},
      {"server stopped mid-run", kStopped, true},  // from here on the daemon is gone
      {"server stopped, no printer named", kStopped, false, false, false, "nothing listens there"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    // Roll requests routed to the roll queue; the office queue is the default.
    test::Installation site;
    const auto requests = test::NumberedRows(row.afterFirstLabel ? 400 : 2);
    test::WriteFile(site.data + "/Barprint", test::BarprintBytes(requests));
    site.Configure("Z", /*pdfFolder=*/false);
    if (row.named)
      IniSettingsStore((site.config + "/Corvel/Corvel.ini").toStdString())
          .Save("Printer", "PrinterNameZ", "Roll");
    const auto makeFault = [&] {
      if (row.fault == kRefuses) daemon.RunClient("cupsreject", {"Roll"});
      if (row.fault == kFrozen) daemon.Freeze();
      if (row.fault == kStopped) daemon.Stop();
    };
    if (!row.afterFirstLabel) makeFault();
    QFile::remove(daemon.OutputFile("Roll"));
    QProcess runner;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QStringList entries = site.Env(row.dialogShown ? "" : "accept")
                                << daemon.ClientEnvironment() << "CUPS_SERVER=" + socket;
    for (const QString& entry : entries)
      env.insert(entry.section('=', 0, 0), entry.section('=', 1));
    if (row.dialogShown) env.remove("QT_QPA_PLATFORM");
    runner.setProcessEnvironment(env);
    QElapsedTimer took;
    took.start();
    if (row.dialogShown)
      runner.start("xvfb-run", {"-a", test::BuiltProgram("sheetwise")});
    else
      runner.start(test::BuiltProgram("sheetwise"), {});
    ASSERT_TRUE(runner.waitForStarted());
    if (row.afterFirstLabel) {
      while (!QFile::exists(daemon.OutputFile("Roll")) && took.elapsed() < 30000)
        QThread::msleep(5);
      ASSERT_TRUE(QFile::exists(daemon.OutputFile("Roll"))) << "no label came out";
      makeFault();
    }
    const bool ended =
        runner.waitForFinished(static_cast<int>((4 * kPrintServerTimeout).count()) + 10000);
    if (!ended) runner.kill();
    ASSERT_TRUE(ended) << "still running after " << took.elapsed() << " ms";
    const QString err = QString::fromUtf8(runner.readAllStandardError());
    EXPECT_EQ(runner.exitCode(), row.fault ? 1 : 0) << err.toStdString();
    EXPECT_TRUE(row.fault ? err.startsWith("sheetwise: ") && err.count('\n') == 1 &&
                                err.contains(QRegularExpression(row.says))
                          : err.isEmpty())
        << err.toStdString();
    EXPECT_TRUE(test::ListPdfFiles(QDir::home().filePath("Corvel/PDF")).isEmpty());
    EXPECT_EQ(test::ReadFile(site.data + "/Barprint"), test::BarprintBytes(requests));
    daemon.Thaw();
    if (row.fault == kRefuses) daemon.RunClient("cupsaccept", {"Roll"});
    if (row.fault != kNone) continue;
    ASSERT_TRUE(daemon.WaitForCompletedJobs("Roll", 2));
    EXPECT_EQ(daemon.CompletedJobs("Office"), 0);
    const QImage label = test::RasterisePdf(daemon.OutputFile("Roll"), 203);  // the last one
    EXPECT_NEAR(label.width(), 60 / 25.4 * 203, 2);
    EXPECT_NEAR(label.height(), 40 / 25.4 * 203, 2);
    EXPECT_EQ(test::DecodeBarcodes(label), QStringList{QString::fromStdString(requests[1].code)});
  }
}

}  // namespace
}  // namespace corvel
