// sheetwise as the suite starts it, on damaged, locked, misplaced and oversized
// requests, and with no display to show its print dialog on (it would wait unseen
// forever): each run ends with its status (and one line on standard error when it
// fails), and leaves the request files byte for byte as the suite wrote them. Print
// server faults: tests/runner/cups_runner_test.cpp.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <chrono>
#include <cstring>
#include <thread>

#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {

// Whether another process has `path` open (a link in its /proc/PID/fd leads there).
bool OpenedByAnother(const QString& path) {
  const QString self = QString::number(::getpid());
  for (const QString& pid : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    if (pid == self || !pid.front().isDigit()) continue;
    const QDir fds("/proc/" + pid + "/fd");
    for (const QFileInfo& fd : fds.entryInfoList(QDir::AllEntries | QDir::System))
      if (fd.symLinkTarget() == path) return true;
  }
  return false;
}

TEST(RunnerFaults, DamagedLockedAndOversizedRequestsEndAsTheySayAndStayAsWritten) {
  const QByteArray three = test::BarprintBytes(test::NumberedRows(3));
  const QByteArray cards = test::ShelfBytes({{{"", "", "Ham", "$1"}}, {{"", "", "Egg", "$2"}}});
  enum Lock { kNone, kFlockBriefly, kFcntlHeld };  // how the suite holds the request
  const struct {
    const char* fault;
    QByteArray barprint;  // null: a folder in its place
    int exitCode;
    std::string reason = "";  // empty: three labels printed
    Lock lock = kNone;
    std::string type = "Z";
    const char* dialog = "accept";  // "": no answer, and no display to show the dialog on
  } rows[] = {
      // clang-format off
      {"request cut inside a record", three + QByteArray(40, 'x'), 0},
      {"request locked by its writer for a moment", three, 0, "", kFlockBriefly},
      {"request locked by its writer", three, 1, "is locked by the program writing it", kFcntlHeld},
      {"request replaced by a folder", {}, 1, std::string("Barprint: ") + std::strerror(EISDIR)},
      {"5001 requests", test::BarprintBytes(test::NumberedRows(5001)), 1, "holds 5001 records; at most 5000", kNone, "P"},
      {"no display for the print dialog", three, 1, "no display to show the print dialog on", kNone, "Z", ""},
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.fault);
    test::Installation site;
    site.Configure(row.type);
    if (row.barprint.isNull()) QDir(site.data).mkdir("Barprint");
    if (!row.barprint.isNull()) test::WriteFile(site.data + "/Barprint", row.barprint);
    test::WriteFile(site.data + "/ShelfPrint", cards);

    const int held = ::open((site.data + "/Barprint").toUtf8().constData(), O_RDWR | O_CLOEXEC);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    ASSERT_EQ(row.lock == kFcntlHeld ? ::fcntl(held, F_SETLK, &lock) : 0, 0);
    ASSERT_EQ(row.lock == kFlockBriefly ? ::flock(held, LOCK_EX) : 0, 0);
    // The brief lock goes once sheetwise has the request open, so that it meets the lock.
    std::thread release([&] {
      if (row.lock != kFlockBriefly) return;
      const QString request = QFileInfo(site.data + "/Barprint").canonicalFilePath();
      for (QDeadlineTimer limit(60000); !limit.hasExpired() && !OpenedByAnother(request);)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      ::flock(held, LOCK_UN);
    });
    const test::RunResult run = site.Sheetwise(row.dialog);
    release.join();
    if (held >= 0) ::close(held);

    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, row.exitCode) << run.err.toStdString();
    EXPECT_TRUE(row.reason.empty() ||
                (run.err.startsWith("sheetwise: ") && run.err.contains(row.reason.c_str()) &&
                 run.err.count('\n') == 1))
        << run.err.toStdString();
    EXPECT_EQ(site.Pdfs().size(), row.exitCode ? 0 : 3);
    EXPECT_EQ(test::ReadFile(site.data + "/Barprint"), row.barprint) << "request changed";
    EXPECT_EQ(test::ReadFile(site.data + "/ShelfPrint"), cards) << "shelf file changed";
  }
}

}  // namespace
}  // namespace corvel
