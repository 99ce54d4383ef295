// The request files read into memory: record layouts, counts, limits, and that the
// files are never changed.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFileInfo>
#include <fstream>

#include "common/errors.h"
#include "common/text.h"
#include "runner/jobs.h"
#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {
using test::DataFolder;
const auto LoadBarcodes = [](RunContext& run) { LoadBarcodeRequests(run); };
const auto LoadShelf = [](RunContext& run) { LoadShelfRecords(run); };

TEST(RequestRecords, FieldsSitAtTheirOffsets) {
  const std::string raw =
      "5012345678900 Granny Smith apples, loose  1 kg   $3.49          \x34\x12";
  ASSERT_EQ(raw.size(), 66u);
  BarcodeRequestRecord record;
  record.bytes.assign(raw.begin(), raw.end());
  EXPECT_EQ(std::tuple(record.Code(), record.Description(), record.Price(), int(record.Spare())),
            std::tuple("5012345678900 ", "Granny Smith apples, loose  1 kg", "   $3.49          ",
                       0x1234));
  BarcodeRequestRecord written;
  written.SetCode("5012345678900");
  written.SetDescription("Granny Smith apples, loose  1 kg");
  written.SetPrice("   $3.49");
  written.SetSpare(0x1234);
  EXPECT_EQ(written.bytes, record.bytes);

  ShelfRecord shelf = BlankShelfRecord();
  shelf.SetText(8, "ninth");
  shelf.SetByWeight(-1);
  shelf.SetLayout(9, 3, 3, "C");
  shelf.SetLayout(10, 10, 3, "last");
  const auto at = [&](std::size_t offset, std::size_t n) {
    return std::string(shelf.bytes.begin() + offset, shelf.bytes.begin() + offset + n);
  };
  EXPECT_EQ(at(240, 5) + at(270, 2) + at(272 + 30 * (9 + 33 + 242), 1) + at(11162 - 30, 4),
            "ninth\xFF\xFF"
            "Clast");
  EXPECT_EQ(shelf.Layout(9, 3, 3), "C" + std::string(29, ' '));
  EXPECT_THROW(shelf.Layout(0, 0, 4), std::out_of_range);
}

// Records counted from the file's length (a short last one counts as its part), up to the
// limits of 5000 requests and 500 shelf cards; the files stay as written. Past the limits
// and below one record: tests/faults/runner_faults_test.cpp.
TEST(LoadRequests, CountsUpToTheLimits) {
  const struct {
    bool shelf;
    int bytes, records;
  } cases[] = {{false, 200, 3}, {false, 5000 * 66 + 65, 5000}, {true, 11162 * 500, 500}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    DataFolder data;
    const int count = c.bytes / (c.shelf ? 11162 : 66) + 1;
    QByteArray bytes = c.shelf ? test::ShelfBytes(std::vector<test::ShelfCard>(count, {{"Item"}}))
                               : test::BarprintBytes(test::NumberedRows(count));
    bytes.truncate(c.bytes);
    test::WriteFile(c.shelf ? data.ShelfPrint() : data.Barprint(), bytes);
    if (c.shelf) {
      const auto loaded = LoadShelfRecords(data.run);
      EXPECT_EQ(int(loaded.size()), c.records);
      EXPECT_EQ(TrimSpaces(loaded.back().Text(0)), "Item");
    } else {
      const BarcodeRequests requests = LoadBarcodeRequests(data.run);
      EXPECT_EQ(int(requests.records.size()), c.records);
      EXPECT_DOUBLE_EQ(requests.count, c.bytes / 66.0);
      EXPECT_EQ(requests.records.back().Description(),
                FixedText("Item " + std::to_string(c.records), 32));
    }
    EXPECT_EQ(test::ReadFile(c.shelf ? data.ShelfPrint() : data.Barprint()), bytes) << "unchanged";
  }
}

// A missing request file is created empty and ends the run; an empty "Path" ends every
// reader before anything is opened.
TEST(LoadRequests, MissingFileOrEmptyPathEndTheRun) {
  DataFolder data;
  EXPECT_EQ(data.Ends(LoadBarcodes), kExitNothingToPrint);
  EXPECT_EQ(QFileInfo(data.Barprint()).size(), 0);
  data.settings.Save(kRunnerSection, "Path", "");
  EXPECT_EQ(data.Ends(LoadShelf), kExitNothingToPrint);
  EXPECT_EQ(data.Ends(LoadRollRequests), kExitNothingToPrint);
  EXPECT_FALSE(QFileInfo::exists(data.ShelfPrint()));
}

// A folder in the file's place: tests/faults/runner_faults_test.cpp.
TEST(LoadRequests, HugeFileOrNamedPipeIsAFailure) {
  DataFolder data;
  QFile huge(data.Barprint());
  ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(qint64{4} << 30));  // sparse
  huge.close();
  EXPECT_THROW(LoadBarcodeRequests(data.run), Failure) << "without reading it";
  EXPECT_EQ(QFileInfo(data.Barprint()).size(), qint64{4} << 30);
  QFile::remove(data.Barprint());
  ASSERT_EQ(::mkfifo(data.Barprint().toLocal8Bit().constData(), 0600), 0);
  EXPECT_THROW(LoadBarcodeRequests(data.run), IoError) << "a named pipe, without waiting";
}

// The message names the file or folder at fault and why; permissions only bind a user
// other than root.
TEST(LoadRequests, OpeningFailuresNameTheCause) {
  const bool root = ::geteuid() == 0;
  const struct {
    const char* path;    // "Path" below the data folder
    mode_t folderMode;   // 0: as created
    bool writeRequest;   // a Barprint of one record, mode 0
    const char* reason;  // part of the message
  } cases[] = {
      {"/no/such", 0, false, "/no/such (setting Quorrel/Path) does not exist"},
      {"/plain", 0, false, "/plain (setting Quorrel/Path) is not a folder"},
      {"/locked", 0555, false, "is missing and cannot be created: no permission to write in"},
      {"/locked", 0755, true, "no permission to read request file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    if (root && (c.folderMode || c.writeRequest)) continue;
    DataFolder data;
    const QString folder = data.folder + c.path;
    test::WriteFile(data.folder + "/plain", "x");
    QDir().mkpath(data.folder + "/locked");
    if (c.writeRequest) {
      test::WriteFile(folder + "/Barprint", test::BarprintBytes(test::NumberedRows(1)));
      ::chmod((folder + "/Barprint").toLocal8Bit().constData(), 0);
    }
    if (c.folderMode) ::chmod(folder.toLocal8Bit().constData(), c.folderMode);
    data.settings.Save(kRunnerSection, "Path", folder.toStdString());
    try {
      LoadBarcodeRequests(data.run);
      ADD_FAILURE() << "opened";
    } catch (const IoError& error) {
      EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << error.what();
    }
  }
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

// Blank shelf lines when the shelf file is short; it is created empty when missing, and
// never changed.
TEST(LoadRollRequests, ShelfLinesBesideEachRequest) {
  DataFolder data;
  const QByteArray shelf = test::ShelfBytes({{{"a"}}, {{"", "", "", "", "", "z"}}});
  test::WriteFile(data.Barprint(), test::BarprintBytes(test::NumberedRows(3)));
  LoadRollRequests(data.run);
  EXPECT_EQ(QFileInfo(data.ShelfPrint()).size(), 0);
  test::WriteFile(data.ShelfPrint(), shelf);
  const RollRequests loaded = LoadRollRequests(data.run);
  EXPECT_EQ(loaded.requests.records.size(), 3u);
  ASSERT_EQ(loaded.shelf.size(), 3u);
  EXPECT_EQ(TrimSpaces(loaded.shelf[0].Text(0)) + TrimSpaces(loaded.shelf[1].Text(5)) +
                TrimSpaces(loaded.shelf[2].Text(0)),
            "az");
  EXPECT_EQ(test::ReadFile(data.ShelfPrint()), shelf);
}

}  // namespace
}  // namespace corvel
