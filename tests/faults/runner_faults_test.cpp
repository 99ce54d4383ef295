// sheetwise as the suite starts it, on damaged, locked, misplaced and oversized
// requests, and with no display to show its print dialog on (it would wait unseen
// forever): each run ends with its status (and one line on standard error when it
// fails), and leaves the request files byte for byte as the suite wrote them. Print
// server faults: tests/runner/cups_runner_test.cpp.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <chrono>
#include <csignal>
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
  // What stands in place of a file of the installation: a named pipe (which must neither
  // hang the run nor be waited on), or a symbolic link to "gone" beside it (which must
  // not be created).
  enum Plant { kNothing, kPipe, kLinkToNothing };
  const struct {
    const char* fault;
    QByteArray barprint;  // null: a folder in its place
    int exitCode;
    std::string reason = "";  // empty: three labels printed
    Lock lock = kNone;
    std::string type = "Z";
    const char* dialog = "accept";  // "": no answer, and no display to show the dialog on
    QByteArray shelf = {};          // null: the two cards
    Plant plant = kNothing;
    const char* plantedAt = "";  // relative to the data folder; "@": the settings file
  } rows[] = {
      // clang-format off
      {"request cut inside a record", three + QByteArray(40, 'x'), 0},
      {"request locked by its writer for a moment", three, 0, "", kFlockBriefly},
      {"request locked by its writer", three, 1, "is locked by the program writing it", kFcntlHeld},
      {"request replaced by a folder", {}, 1, "Barprint is a folder, not a regular file"},
      {"5001 requests", test::BarprintBytes(test::NumberedRows(5001)), 1, "holds 5001 records; at most 5000", kNone, "P"},
      {"no display for the print dialog", three, 1, "no display to show the print dialog on", kNone, "Z", ""},
      {"settings file a named pipe", three, 1, "Corvel.ini is a named pipe", kNone, "Z", "accept", {}, kPipe, "@"},
      {"request a link to nothing", "", 1, "Barprint is a symbolic link to", kNone, "Z", "accept", {}, kLinkToNothing, "Barprint"},
      {"settings lock a link to nothing", three, 1, "Corvel.ini.lock is a symbolic link to", kNone, "S1", "accept", {}, kLinkToNothing, "@.lock"},
      {"shelf cards from an empty request", three, 4, "ShelfPrint is empty", kNone, "S1", "accept", ""},
      {"shelf cards from less than one record", three, 4, "holds 11161 bytes, less than one record", kNone, "S2", "accept", cards.left(11161)},
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.fault);
    test::Installation site;
    site.Configure(row.type);
    const QByteArray shelf = row.shelf.isNull() ? cards : row.shelf;
    if (row.barprint.isNull()) QDir(site.data).mkdir("Barprint");
    if (!row.barprint.isNull()) test::WriteFile(site.data + "/Barprint", row.barprint);
    test::WriteFile(site.data + "/ShelfPrint", shelf);
    const QString settings = site.config + "/Corvel/Corvel.ini";
    const QString planted = QString(row.plantedAt).replace("@", settings);
    const QString at = planted.startsWith('/') ? planted : site.data + "/" + planted;
    const QString gone = QFileInfo(at).absolutePath() + "/gone";
    if (row.plant != kNothing) QFile::remove(at);
    ASSERT_TRUE(row.plant != kPipe || ::mkfifo(at.toUtf8().constData(), 0600) == 0);
    ASSERT_TRUE(row.plant != kLinkToNothing || QFile::link(gone, at));

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
    EXPECT_EQ(test::ReadFile(site.data + "/ShelfPrint"), shelf) << "shelf file changed";
    EXPECT_FALSE(QFileInfo::exists(gone)) << "created where a link points";
  }
}

// corvel request, the suite's stand-in, on a disk that fills up and with a link planted
// where a request goes: the old request stays whole and nothing is created where the
// link points. The settings it chooses for one run of sheetwise (--first, --set,
// --pdf-folder) are put back however the run ends, byte for byte; with --no-run they are
// kept for the run to come.
TEST(RequestCommandFaults, OldRequestStaysWholeAndRunTimeSettingsArePutBack) {
  const QByteArray oldRequest = test::BarprintBytes(test::NumberedRows(3));
  QByteArray csv = "code,description,price\n";
  for (const test::RequestRow& row : test::NumberedRows(100))  // 6600 bytes of requests
    csv += QByteArray::fromStdString(row.code + "," + row.description + "," + row.price + "\n");
  const struct {
    const char* fault;
    const char* setUp;  // shell commands in the data folder first
    QStringList options;
    int exitCode;
    const char* said;   // part of standard error
    int requestBytes;   // in Barprint afterwards: 6600 the new request, 198 the old one
    bool settingsKept;  // the settings file afterwards as before, byte for byte
    bool interrupt = false;
  } rows[] = {
      // clang-format off
      {"nearly full disk", "trap '' XFSZ; ulimit -f 4;", {"--type", "44", "--no-run"}, 1, "cannot write", 198, true},
      {"request a link to nothing", "rm Barprint; ln -s gone Barprint;", {"--type", "44"}, 1, "Barprint: it is a symbolic link to gone", 0, true},
      {"printed run", "", {"--type", "44", "--first", "30", "--set", "Quorrel/OnePage=True", "--set", "Calibration PDF/Dpi=203", "--pdf-folder", "@"}, 0, "started at label 30", 6600, true},
      {"failed run", "", {"--type", "99", "--first", "2", "--set", "Quorrel/OnePage=maybe"}, 1, "OnePage", 6600, true},
      {"interrupted run", "", {"--type", "Z", "--keep-shelf", "--first", "2"}, 128 + SIGTERM, "interrupted", 6600, true, true},
      {"no run", "", {"--type", "44", "--first", "30", "--no-run"}, 0, "", 6600, false},
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.fault);
    test::Installation site;
    site.Configure(row.options[1].toStdString());
    const QString settingsFile = site.config + "/Corvel/Corvel.ini";
    const QByteArray settingsBefore = test::ReadFile(settingsFile);
    test::WriteFile(site.data + "/Barprint", oldRequest);
    test::WriteFile(site.data + "/ShelfPrint", "");
    // A writer holding the kept shelf file makes sheetwise wait, long enough to interrupt.
    const int shelf = ::open((site.data + "/ShelfPrint").toUtf8().constData(), O_RDWR | O_CLOEXEC);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    ASSERT_EQ(row.interrupt ? ::fcntl(shelf, F_SETLK, &lock) : 0, 0);

    QStringList options = row.options;
    options.replaceInStrings("@", test::MakeTempFolder());
    QProcess corvel;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : site.Env("accept"))
      env.insert(entry.section('=', 0, 0), entry.section('=', 1));
    corvel.setProcessEnvironment(env);
    corvel.setWorkingDirectory(site.data);
    corvel.start("/bin/sh",
                 QStringList{"-c", QString(row.setUp) + " exec \"$0\" request --data . \"$@\" -",
                             test::BuiltProgram("corvel")} +
                     options);
    corvel.write(csv);
    corvel.closeWriteChannel();
    if (row.interrupt) {
      for (QDeadlineTimer limit(20000); !test::ReadFile(settingsFile).contains("FirstLabel");)
        ASSERT_FALSE(limit.hasExpired() || corvel.waitForFinished(10)) << "no run under way";
      corvel.terminate();
    }
    ASSERT_TRUE(corvel.waitForFinished(60000));
    ::close(shelf);
    const QByteArray err = corvel.readAllStandardError();
    EXPECT_EQ(corvel.exitCode(), row.exitCode) << err.toStdString();
    EXPECT_TRUE(err.contains(row.said)) << err.toStdString();
    const QByteArray request = test::ReadFile(site.data + "/Barprint");
    EXPECT_EQ(request.size(), row.requestBytes);
    EXPECT_TRUE(row.requestBytes != oldRequest.size() || request == oldRequest);
    EXPECT_EQ(test::ReadFile(settingsFile) == settingsBefore, row.settingsKept)
        << test::ReadFile(settingsFile).toStdString();
    EXPECT_FALSE(QFileInfo::exists(site.data + "/gone")) << "created where a link points";
    for (const QString& name :
         QDir(site.data).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
      EXPECT_TRUE(name == "Barprint" || name == "ShelfPrint")
          << "left behind: " << name.toStdString();
  }
}

}  // namespace
}  // namespace corvel
