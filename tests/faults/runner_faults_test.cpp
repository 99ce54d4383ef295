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

// A program that keeps a request file locked while it writes it.
enum class Lock { None, FlockBriefly, FcntlHeld };

struct Checksums {
  QByteArray barprint, shelf;
  explicit Checksums(const Installation& site)
      : barprint(test::Sha256(site.data + "/Barprint")),
        shelf(test::Sha256(site.data + "/ShelfPrint")) {}
  bool operator==(const Checksums&) const = default;
};

void ExpectOneLine(const test::RunResult& run, const std::string& reason) {
  if (reason.empty()) return;
  EXPECT_TRUE(run.err.startsWith("sheetwise: ") && run.err.contains(reason.c_str()))
      << run.err.toStdString();
  EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
}

TEST(RunnerFaults, DamagedLockedAndOversizedRequestsEndAsTheySayAndStayAsWritten) {
  const QByteArray three = test::BarprintBytes(test::NumberedRows(3));
  const QByteArray cards = test::ShelfBytes({{{"", "", "Ham", "$1"}}, {{"", "", "Egg", "$2"}}});
  const struct {
    const char* fault;
    const char* type;
    QByteArray barprint, shelf;
    int exitCode, pdfs;
    std::string reason = "";
    Lock lock = Lock::None;
    const char* folder = "";  // the data folder's name under a temporary folder
  } rows[] = {
      {"request cut inside a record", "Z", three + QByteArray(40, 'x'), cards, 0, 3},
      {"request shorter than a record", "Z", three.left(40), cards, 4, 0, "less than one record"},
      {"shelf request cut inside a card", "S1", {}, cards + cards.left(100), 0, 2},
      {"request locked by its writer for a moment", "Z", three, cards, 0, 3, "",
       Lock::FlockBriefly},
      {"request locked by its writer", "P", three, cards, 1, 0,
       "is locked by the program writing it", Lock::FcntlHeld},
      {"request replaced by a folder",
       "P",
       {},
       cards,
       1,
       0,
       std::string("Barprint: ") + std::strerror(EISDIR)},
      {"5001 requests", "P", test::BarprintBytes(test::NumberedRows(5001)), cards, 1, 0,
       "holds 5001 records; at most 5000"},
      {"501 roll labels", "Z", test::BarprintBytes(test::NumberedRows(501)), cards, 1, 0,
       "at most 500"},
      {"501 shelf cards",
       "S1",
       {},
       cards.left(ShelfRecord::kLength).repeated(501),
       1,
       0,
       "holds 501 records; at most 500"},
      {"Path with spaces, umlauts and a trailing slash", "Z", three, cards, 0, 3, "", Lock::None,
       "Dätä Ordner mit Leerzeichen/"},
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
    test::WriteFile(site.data + "/ShelfPrint", row.shelf);
    const Checksums before(site);

    const int held = ::open((site.data + "/Barprint").toUtf8().constData(), O_RDWR | O_CLOEXEC);
    std::thread release;
    if (row.lock == Lock::FlockBriefly) {
      ASSERT_EQ(::flock(held, LOCK_EX), 0);
      release = std::thread([held] {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        ::flock(held, LOCK_UN);
      });
    } else if (row.lock == Lock::FcntlHeld) {
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
    ExpectOneLine(run, row.reason);
    EXPECT_EQ(site.Pdfs().size(), row.pdfs);
    EXPECT_TRUE(Checksums(site) == before) << "a request file changed";
  }
}

class RunnerPrinterFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::CupsDaemon::Installed()) GTEST_SKIP() << "cupsd is not installed";
    QString error;
    ASSERT_TRUE(daemon_.StartWithQueues({{"Roll", test::CupsDaemon::RollLabelPpd(), true}}, &error))
        << error.toStdString();
  }
  test::CupsDaemon daemon_;
};

// A roll queue that refuses jobs, and the print server stopped once the first of 300
// labels has come out: both end the run within the server's bounded wait, naming the
// queue, with nothing diverted to a PDF folder.
TEST_F(RunnerPrinterFaults, RefusingPrinterAndStoppedServerEndTheRun) {
  for (const bool stopMidRun : {false, true}) {
    SCOPED_TRACE(stopMidRun ? "server stopped mid-run" : "queue refuses jobs");
    Installation site;
    test::WriteFile(site.data + "/Barprint",
                    test::BarprintBytes(test::NumberedRows(stopMidRun ? 300 : 3)));
    test::WriteFile(site.data + "/ShelfPrint", {});
    site.Configure("Z", /*pdfFolder=*/false);
    const Checksums before(site);
    if (!stopMidRun) {
      ASSERT_EQ(daemon_.RunClient("cupsreject", {"Roll"}), 0);
    }

    QProcess runner;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QStringList entries = site.Env("accept") << daemon_.ClientEnvironment();
    for (const QString& entry : entries)
      env.insert(entry.section('=', 0, 0), entry.section('=', 1));
    runner.setProcessEnvironment(env);
    QElapsedTimer took;
    took.start();
    runner.start(test::BuiltProgram("sheetwise"), {});
    ASSERT_TRUE(runner.waitForStarted());
    if (stopMidRun) {
      while (!QFile::exists(daemon_.OutputFile("Roll")) && took.elapsed() < 30000)
        QThread::msleep(5);
      ASSERT_TRUE(QFile::exists(daemon_.OutputFile("Roll"))) << "no label came out";
      daemon_.Stop();
    }
    ASSERT_TRUE(runner.waitForFinished(60000)) << "still running after " << took.elapsed();
    const QString err = QString::fromUtf8(runner.readAllStandardError());
    EXPECT_EQ(runner.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.startsWith("sheetwise: ") && err.count('\n') == 1 && err.contains("Roll"))
        << err.toStdString();
    EXPECT_TRUE(test::ListPdfFiles(QDir::home().filePath("Corvel/PDF")).isEmpty());
    EXPECT_TRUE(Checksums(site) == before);
    if (!stopMidRun) {
      ASSERT_EQ(daemon_.RunClient("cupsaccept", {"Roll"}), 0);
    }
  }
}

}  // namespace
}  // namespace corvel
