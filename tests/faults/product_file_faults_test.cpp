// The product file under faults, through the real station window: a write the system
// refuses is told to the operator and the window's table still matches the file byte
// for byte; a second station on the same file is refused.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QProcess>
#include <functional>
#include <tuple>

#include "tests/faults/fault_support.h"
#include "tests/station/station_test_support.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

RecordBytes TableBytes(const ProductStation& station) {
  RecordBytes bytes;
  for (std::uint64_t n = 1; n <= station.Count(); ++n)
    bytes.insert(bytes.end(), station.table[n].Bytes().begin(), station.table[n].Bytes().end());
  return bytes;
}

constexpr int kRecords = 54;

TEST(ProductFileFaults, RefusedWritesAreToldAndTableAndFileAgree) {
  MemorySettingsStore settings;
  test::FakeMessages messages;
  for (const bool folderInItsPlace : {false, true}) {
    SCOPED_TRACE(folderInItsPlace ? "file replaced by a folder" : "file size limit");
    const QString folder = test::MakeTempFolder();
    test::WriteAllBytes(folder + "/pdlist", test::ProductFileBytes(kRecords));
    auto w = test::OpenStation(settings, messages, folder);
    // The limit falls inside the record a new product appends: the write fails midway.
    const test::FileSizeLimit limit(folderInItsPlace ? RLIM_INFINITY : kRecords * 150 + 46);
    ASSERT_TRUE(!folderInItsPlace ||
                (QFile::remove(folder + "/pdlist") && QDir(folder).mkdir("pdlist")));
    const std::tuple<const char*, bool, std::function<void()>> actions[] = {
        {"Add New Item", true, [&] { w->Command2->click(); }},
        {"price", folderInItsPlace, [&] { test::TypeAndLeave(w->Text3, "7.25"); }},
    };
    for (const auto& [action, fails, act] : actions) {
      SCOPED_TRACE(action);
      messages.messages.clear();
      const RecordBytes before = TableBytes(w->Products());
      act();
      EXPECT_NE(TableBytes(w->Products()) != before, fails);
      EXPECT_EQ(messages.messages.size(), fails ? 1u : 0u);
      EXPECT_TRUE(folderInItsPlace ||
                  test::ReadAllBytes(folder + "/pdlist") == TableBytes(w->Products()));
      EXPECT_EQ(w->Combo1->count(), static_cast<int>(w->Products().Count()));
    }
  }
}

// Two stations on one file would each overwrite the other's edits: the second is refused
// with a message and a failure status while the first runs, and starts once it is gone
// (a station killed outright leaves no lock behind).
TEST(SecondStation, IsRefusedWhileTheFirstRuns) {
  const QString folder = test::MakeTempFolder();
  qputenv("CORVEL_PRINT_DIALOG", "accept");  // messages on standard error
  const auto start = [&folder](QProcess& station) {
    station.setWorkingDirectory(folder);
    station.start(test::BuiltProgram("tarewise"), {});
    return station.waitForStarted();
  };
  QProcess first, second, third;
  ASSERT_TRUE(start(first));
  ASSERT_TRUE(test::WaitUntil([&] { return QFileInfo(folder + "/pdlist").size() >= 150; }))
      << "the first station wrote no product file";
  const RecordBytes file = test::ReadAllBytes(folder + "/pdlist");

  ASSERT_TRUE(start(second));
  ASSERT_TRUE(second.waitForFinished(60000));
  EXPECT_EQ(second.exitCode(), 1);
  const QString err = QString::fromUtf8(second.readAllStandardError());
  EXPECT_TRUE(err.contains(QDir(folder).filePath("pdlist"))) << err.toStdString();
  EXPECT_EQ(first.state(), QProcess::Running);
  EXPECT_EQ(test::ReadAllBytes(folder + "/pdlist"), file);

  first.kill();
  first.waitForFinished();
  ASSERT_TRUE(start(third));
  // The third takes the file's lock (a line of /proc/locks names its process and the
  // file's inode) and runs on; it ends with its QProcess.
  const QString holder = QStringLiteral(" %1 ").arg(third.processId());
  struct stat info {};
  ASSERT_EQ(::stat((folder + "/pdlist").toLocal8Bit().constData(), &info), 0);
  const QString inode = QStringLiteral(":%1 ").arg(info.st_ino);
  const auto locked = [&] {
    QFile locks("/proc/locks");
    if (!locks.open(QIODevice::ReadOnly)) return false;
    for (const QString& line : QString::fromLatin1(locks.readAll()).split('\n'))
      if (line.contains("FLOCK") && line.contains(holder) && line.contains(inode)) return true;
    return false;
  };
  ASSERT_TRUE(test::WaitUntil(locked)) << third.readAllStandardError().toStdString();
  EXPECT_EQ(third.state(), QProcess::Running);
}

}  // namespace
}  // namespace corvel
