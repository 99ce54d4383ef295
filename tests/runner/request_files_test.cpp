// The request files read into memory: counts, limits, causes of failure, and that the
// files are never changed.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QFileInfo>
#include <fstream>

#include "common/errors.h"
#include "common/text.h"
#include "runner/jobs.h"
#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {
using test::DataFolder;

// Records counted from the file's length (a short last one counts as its part), up to the
// limits of 5000 requests and 500 shelf cards; the files stay as written. Past the limit
// and a cut record: tests/faults/runner_faults_test.cpp.
TEST(LoadRequests, CountsUpToTheLimits) {
  for (const bool shelf : {false, true}) {
    SCOPED_TRACE(shelf ? "ShelfPrint" : "Barprint");
    DataFolder data;
    const QString path = shelf ? data.ShelfPrint() : data.Barprint();
    QByteArray bytes = shelf ? test::ShelfBytes(std::vector<test::ShelfCard>(500, {{"Item"}}))
                             : test::BarprintBytes(test::NumberedRows(5001));
    if (!shelf) bytes.chop(1);  // 5000 requests and all but the last byte of one more
    test::WriteFile(path, bytes);
    if (shelf) {
      const auto loaded = LoadShelfRecords(data.run);
      EXPECT_EQ(loaded.size(), 500u);
      EXPECT_EQ(TrimSpaces(loaded.back().Text(0)), "Item");
    } else {
      const BarcodeRequests requests = LoadBarcodeRequests(data.run);
      EXPECT_EQ(requests.records.size(), 5000u);
      EXPECT_DOUBLE_EQ(requests.count, bytes.size() / 66.0);
      EXPECT_EQ(requests.records.back().Description(), FixedText("Item 5000", 32));
    }
    EXPECT_EQ(test::ReadFile(path), bytes) << "unchanged";
  }
}

// A missing request file is created empty and ends the run; an empty "Path" ends every
// reader before anything is opened.
TEST(LoadRequests, MissingFileOrEmptyPathEndTheRun) {
  DataFolder data;
  EXPECT_EQ(data.Ends([](RunContext& run) { LoadBarcodeRequests(run); }), kExitNothingToPrint);
  EXPECT_EQ(QFileInfo(data.Barprint()).size(), 0);
  data.settings.Save(kRunnerSection, "Path", "");
  EXPECT_EQ(data.Ends([](RunContext& run) { LoadShelfRecords(run); }), kExitNothingToPrint);
  EXPECT_EQ(data.Ends(LoadRollRequests), kExitNothingToPrint);
  EXPECT_FALSE(QFileInfo::exists(data.ShelfPrint()));
}

// Neither read nor waited on; a folder in the file's place:
// tests/faults/runner_faults_test.cpp.
TEST(LoadRequests, HugeFileOrNamedPipeIsAFailure) {
  DataFolder data;
  QFile huge(data.Barprint());
  ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(qint64{4} << 30));  // sparse
  huge.close();
  EXPECT_THROW(LoadBarcodeRequests(data.run), Failure);
  EXPECT_EQ(QFileInfo(data.Barprint()).size(), qint64{4} << 30);
  QFile::remove(data.Barprint());
  ASSERT_EQ(::mkfifo(data.Barprint().toLocal8Bit().constData(), 0600), 0);
  EXPECT_THROW(LoadBarcodeRequests(data.run), IoError);
}

// A suite writing its folder name in its single-byte code page: the settings store reads
// "caf\xE9" as "café"; the folder on disk is the one in the suite's bytes.
TEST(LoadRequests, PathInTheSuitesCodePageFindsItsFolder) {
  DataFolder data;
  const std::string folder = data.folder.toStdString() + "/caf\xE9";
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  const QByteArray request = test::BarprintBytes(test::NumberedRows(2));
  std::ofstream(folder + "/Barprint", std::ios::binary).write(request.constData(), request.size());
  data.settings.Save(kRunnerSection, "Path", Cp1252ToUtf8(folder));
  EXPECT_EQ(LoadBarcodeRequests(data.run).records.size(), 2u);
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(Cp1252ToUtf8(folder))));
}

}  // namespace
}  // namespace corvel
