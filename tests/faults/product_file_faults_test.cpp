// The product file under faults, through the real station window: a write the system
// refuses is told to the operator and the window's table still matches the file byte
// for byte; odd files start without a byte changed; a second station is refused.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTest>
#include <functional>
#include <optional>
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

// 54 records end 8100 bytes into the file: a 55th needs a new block of the file system,
// so on a full one the write fails after its first bytes went in.
constexpr int kRecords = 54;

TEST(ProductFileFaults, RefusedWritesAreToldAndTableAndFileAgree) {
  MemorySettingsStore settings;
  test::FakeMessages messages;
  using Strike = std::function<std::shared_ptr<void>(const QString& folder)>;  // undone on release
  const struct {
    const char* fault;
    bool smallFileSystem;
    bool priceFails;  // an edit in place: only the folder refuses it
    Strike strike;
  } rows[] = {
      {"file size limit", false, false,
       [](const QString&) { return std::make_shared<test::FileSizeLimit>(kRecords * 150 + 46); }},
      {"full file system", true, false,
       [](const QString& folder) {
         test::SmallFileSystem::FillFolder(folder);
         return nullptr;
       }},
      {"file replaced by a folder", false, true,
       [](const QString& folder) {
         QFile::remove(folder + "/pdlist");
         QDir(folder).mkdir("pdlist");
         return nullptr;
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.fault);
    const QString folder = test::MakeTempFolder();
    std::optional<test::SmallFileSystem> fileSystem;
    if (row.smallFileSystem && !fileSystem.emplace(folder, 64).Mounted()) {
      std::printf("[ SKIPPED  ] %s: mounting a tmpfs needs root\n", row.fault);
      continue;
    }
    test::WriteAllBytes(folder + "/pdlist", test::ProductFileBytes(kRecords));
    auto w = test::OpenStation(settings, messages, folder);
    const std::shared_ptr<void> fault = row.strike(folder);
    const std::tuple<const char*, bool, std::function<void()>> actions[] = {
        {"Add New Item", true, [&] { w->Command2->click(); }},
        {"price", row.priceFails, [&] { test::TypeAndLeave(w->Text3, "7.25"); }},
    };
    for (const auto& [action, fails, act] : actions) {
      SCOPED_TRACE(action);
      messages.messages.clear();
      const RecordBytes before = TableBytes(w->Products());
      act();
      const bool changed = TableBytes(w->Products()) != before;
      EXPECT_NE(changed, fails);
      EXPECT_EQ(messages.messages.size(), fails ? 1u : 0u);
      if (QFileInfo(folder + "/pdlist").isFile()) {
        EXPECT_TRUE(test::ReadAllBytes(folder + "/pdlist") == TableBytes(w->Products()));
      }
      EXPECT_EQ(w->Combo1->count(), static_cast<int>(w->Products().Count()));
      const auto shown = ShowSelectedProduct(w->Products());
      ASSERT_TRUE(shown);
      EXPECT_EQ(w->Text3->text().toStdString(), shown->price);
    }
    w.reset();
  }
}

// Short and odd lengths are read by tests/station/product_file_test.cpp; here the window
// starts on the worst files and an edit changes nothing but the edited bytes.
TEST(ProductFileFaults, OddFilesStartWithoutAByteChanged) {
  MemorySettingsStore settings;
  test::FakeMessages messages;
  const std::string junk = test::RandomBytes(1000, 12);
  const RecordBytes garbage(junk.begin(), junk.end());
  const struct {
    const char* file;
    RecordBytes bytes;
    int entries;
  } rows[] = {
      {"zero-length", {}, 1},
      {"garbage", garbage, 7},
      {"5002 records", test::ProductFileBytes(5002), 5000},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    const QString folder = test::MakeTempFolder();
    test::WriteAllBytes(folder + "/pdlist", row.bytes);
    auto w = test::OpenStation(settings, messages, folder);
    EXPECT_EQ(w->Combo1->count(), row.entries);
    RecordBytes expected = row.bytes.empty() ? test::NewItemRecord("Product") : row.bytes;
    EXPECT_TRUE(test::ReadAllBytes(folder + "/pdlist") == expected) << "start-up changed the file";
    // An edit of the first product changes its second description and nothing else.
    test::TypeAndLeave(w->Text6, "Fresh");
    ProductRecord edited(RecordBytes(expected.begin(), expected.begin() + 150));
    edited.SetDescription(2, "Fresh");
    std::copy(edited.Bytes().begin(), edited.Bytes().end(), expected.begin());
    EXPECT_TRUE(test::ReadAllBytes(folder + "/pdlist") == expected) << "the edit changed more";
  }
}

// Two stations on one file would each overwrite the other's edits: the second is refused
// with a message and a failure status while the first runs, and starts once it is gone
// (a station killed outright leaves no lock behind).
TEST(SecondStation, IsRefusedWhileTheFirstRuns) {
  const QString folder = test::MakeTempFolder();
  auto start = [&folder](QProcess& station) {
    station.setWorkingDirectory(folder);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("CORVEL_PRINT_DIALOG", "accept");  // messages on standard error
    station.setProcessEnvironment(env);
    station.start(test::BuiltProgram("tarewise"), {});
    return station.waitForStarted();
  };
  QProcess first;
  ASSERT_TRUE(start(first));
  QDeadlineTimer ready(20000);
  while (QFileInfo(folder + "/pdlist").size() < 150 && !ready.hasExpired())
    QTest::qWait(20);
  const RecordBytes file = test::ReadAllBytes(folder + "/pdlist");
  ASSERT_EQ(file.size(), 150u);

  QProcess second;
  ASSERT_TRUE(start(second));
  ASSERT_TRUE(second.waitForFinished(20000));
  EXPECT_EQ(second.exitCode(), 1);
  const QString err = QString::fromUtf8(second.readAllStandardError());
  EXPECT_TRUE(err.contains("Another station is already working on the product file \"" +
                           QDir(folder).filePath("pdlist") + "\""))
      << err.toStdString();
  EXPECT_EQ(first.state(), QProcess::Running);
  EXPECT_TRUE(test::ReadAllBytes(folder + "/pdlist") == file);

  first.kill();
  first.waitForFinished();
  QProcess third;
  ASSERT_TRUE(start(third));
  EXPECT_FALSE(third.waitForFinished(1500)) << third.readAllStandardError().toStdString();
  third.kill();
  third.waitForFinished();
}

}  // namespace
}  // namespace corvel
