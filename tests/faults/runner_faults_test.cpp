// sheetwise as the suite starts it, on damaged, locked, misplaced and oversized requests,
// an awkward data folder, a printer that refuses and a print server that goes away: each
// run ends with its status and one line on standard error, and leaves the request files
// byte for byte as the suite wrote them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <chrono>
#include <cstring>
#include <thread>

#include "tests/faults/fault_support.h"
#include "tests/runner/runner_fixture.h"
#include "tests/support/cups_daemon.h"

namespace corvel {
namespace {

using test::Installation;

QByteArray Checksums(const Installation& site) {
  return test::Sha256(site.data + "/Barprint") + test::Sha256(site.data + "/ShelfPrint");
}

void ExpectOneLine(const QString& err, const std::string& reason) {
  EXPECT_TRUE(err.startsWith("sheetwise: ") && err.contains(reason.c_str()) && err.count('\n') == 1)
      << err.toStdString();
}

// Record counts at the limits and short records are checked on the loaders
// (tests/runner/request_files_test.cpp); here one of each through the real program.
TEST(RunnerFaults, DamagedLockedAndOversizedRequestsEndAsTheySayAndStayAsWritten) {
  const QByteArray three = test::BarprintBytes(test::NumberedRows(3));
  const QByteArray cards = test::ShelfBytes({{{"", "", "Ham", "$1"}}, {{"", "", "Egg", "$2"}}});
  enum Lock { kNone, kFlockBriefly, kFcntlHeld };  // how the suite holds the request
  const struct {
    const char* fault;
    const char* type;
    QByteArray barprint;  // null: a folder in its place
    int exitCode, pdfs;
    std::string reason = "";
    Lock lock = kNone;
    const char* folder = "";  // the data folder's name under a temporary folder
  } rows[] = {
      // clang-format off
      {"request cut inside a record", "Z", three + QByteArray(40, 'x'), 0, 3},
      {"request locked by its writer for a moment", "Z", three, 0, 3, "", kFlockBriefly},
      {"request locked by its writer", "P", three, 1, 0, "is locked by the program writing it", kFcntlHeld},
      {"request replaced by a folder", "P", {}, 1, 0, std::string("Barprint: ") + std::strerror(EISDIR)},
      {"5001 requests", "P", test::BarprintBytes(test::NumberedRows(5001)), 1, 0, "holds 5001 records; at most 5000"},
      {"Path with spaces, umlauts and a trailing slash", "Z", three, 0, 3, "", kNone, "Dätä Ordner mit Leerzeichen/"},
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.fault);
    Installation site;
    if (*row.folder) site.data += "/" + QString::fromUtf8(row.folder);
    QDir().mkpath(site.data);
    site.Configure(row.type);
    if (row.barprint.isNull())
      QDir(site.data).mkdir("Barprint");
    else
      test::WriteFile(site.data + "/Barprint", row.barprint);
    test::WriteFile(site.data + "/ShelfPrint", cards);
    const QByteArray before = Checksums(site);

    const int held = ::open((site.data + "/Barprint").toUtf8().constData(), O_RDWR | O_CLOEXEC);
    std::thread release;
    if (row.lock == kFlockBriefly) {
      ASSERT_EQ(::flock(held, LOCK_EX), 0);
      release = std::thread([held] {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        ::flock(held, LOCK_UN);
      });
    } else if (row.lock == kFcntlHeld) {
      struct flock lock {};
      lock.l_type = F_WRLCK;
      lock.l_whence = SEEK_SET;
      ASSERT_EQ(::fcntl(held, F_SETLK, &lock), 0);
    }
    const test::RunResult run = site.Sheetwise("accept");
    if (release.joinable()) release.join();
    if (held >= 0) ::close(held);

    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, row.exitCode) << run.err.toStdString();
    if (!row.reason.empty()) ExpectOneLine(run.err, row.reason);
    EXPECT_EQ(site.Pdfs().size(), row.pdfs);
    EXPECT_EQ(Checksums(site), before) << "a request file changed";
  }
}

// A roll queue that refuses jobs, and the print server stopped once the first of 300
// labels has come out: both end the run within the server's bounded wait, naming the
// queue, with nothing diverted to a PDF folder.
TEST(RunnerPrinterFaults, RefusingPrinterAndStoppedServerEndTheRun) {
  if (!test::CupsDaemon::Installed()) GTEST_SKIP() << "cupsd is not installed";
  test::CupsDaemon daemon;
  QString error;
  ASSERT_TRUE(daemon.StartWithQueues({{"Roll", test::CupsDaemon::RollLabelPpd(), true}}, &error))
      << error.toStdString();
  for (const bool stopMidRun : {false, true}) {
    SCOPED_TRACE(stopMidRun ? "server stopped mid-run" : "queue refuses jobs");
    Installation site;
    test::WriteFile(site.data + "/Barprint",
                    test::BarprintBytes(test::NumberedRows(stopMidRun ? 300 : 3)));
    test::WriteFile(site.data + "/ShelfPrint", {});
    site.Configure("Z", /*pdfFolder=*/false);
    const QByteArray before = Checksums(site);
    ASSERT_EQ(stopMidRun ? 0 : daemon.RunClient("cupsreject", {"Roll"}), 0);

    QProcess runner;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QStringList entries = site.Env("accept") << daemon.ClientEnvironment();
    for (const QString& entry : entries)
      env.insert(entry.section('=', 0, 0), entry.section('=', 1));
    runner.setProcessEnvironment(env);
    QElapsedTimer took;
    took.start();
    runner.start(test::BuiltProgram("sheetwise"), {});
    ASSERT_TRUE(runner.waitForStarted());
    if (stopMidRun) {
      while (!QFile::exists(daemon.OutputFile("Roll")) && took.elapsed() < 30000)
        QThread::msleep(5);
      ASSERT_TRUE(QFile::exists(daemon.OutputFile("Roll"))) << "no label came out";
      daemon.Stop();
    }
    ASSERT_TRUE(runner.waitForFinished(60000)) << "still running after " << took.elapsed();
    EXPECT_EQ(runner.exitCode(), 1);
    ExpectOneLine(QString::fromUtf8(runner.readAllStandardError()), "Roll");
    EXPECT_TRUE(test::ListPdfFiles(QDir::home().filePath("Corvel/PDF")).isEmpty());
    EXPECT_EQ(Checksums(site), before);
    ASSERT_EQ(stopMidRun ? 0 : daemon.RunClient("cupsaccept", {"Roll"}), 0);
  }
}

}  // namespace
}  // namespace corvel
