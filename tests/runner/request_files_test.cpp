// The request files: read into memory (counts, limits, causes of failure, and the files
// never changed), and written by the request writer (what it refuses, what it cuts,
// which files it writes).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QFileInfo>
#include <fstream>

#include "common/errors.h"
#include "common/text.h"
#include "runner/jobs.h"
#include "tests/runner/runner_fixture.h"
#include "tools/requests/request_writer.h"

namespace corvel {
namespace {
using test::DataFolder;

// Requests counted from the file's length (a short last one counts as its part), up to
// the limit of 5000; the file stays as written. Past the limit and a cut record:
// tests/faults/runner_faults_test.cpp.
TEST(LoadRequests, CountsUpToTheLimit) {
  DataFolder data;
  QByteArray bytes = test::BarprintBytes(test::NumberedRows(5001));
  bytes.chop(1);  // 5000 requests and all but the last byte of one more
  test::WriteFile(data.Barprint(), bytes);
  const BarcodeRequests requests = LoadBarcodeRequests(data.run);
  EXPECT_EQ(requests.records.size(), 5000u);
  EXPECT_DOUBLE_EQ(requests.count, bytes.size() / 66.0);
  EXPECT_EQ(requests.records.back().Description(), FixedText("Item 5000", 32));
  EXPECT_EQ(test::ReadFile(data.Barprint()), bytes) << "unchanged";
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

// A value that does not fit is refused naming its row (--cut accepts it, cut); a
// character counts once however many bytes it takes.
TEST(RequestWriter, RefusedWithTheRowNamedOrAccepted) {
  const std::pair<std::string, std::string> cases[] = {
      {"code,description\n1,x\n2," + std::string(33, 'd') + "\n", "CSV line 3: description"},
      {"description\n" + std::string(31, 'e') + "é\n", ""},  // empty: accepted
      {"description\nŁódź\n", "Windows-1252"}};
  for (const auto& [input, message] : cases) {
    SCOPED_TRACE(input);
    std::string refusal;
    try {
      ParseRequestCsv(input, false);
    } catch (const RequestInputError& error) {
      refusal = error.what();
    }
    EXPECT_EQ(refusal.empty(), message.empty()) << refusal;
    EXPECT_NE(refusal.find(message), std::string::npos) << refusal;
    EXPECT_NO_THROW(ParseRequestCsv(input, true)) << "--cut accepts it";
  }
}

// Each request replaces both files, so an older request's shelf lines never reach new
// labels; --keep-shelf leaves the shelf file alone and cannot go with shelf cards.
TEST(RequestWriter, WritesBothFilesUnlessTheShelfFileIsKept) {
  const struct {
    const char* csv;
    bool keepShelf;
    qint64 barprintSize;  // -1: refused, both files left as they were
    qint64 shelfSize;
  } rows[] = {
      {"code\n1\n", false, 66, 0},
      {"code\n1\n", true, 66, 2 * 11162},
      {"text1\nx\n", false, 0, 11162},
      {"text1\nx\n", true, -1, 2 * 11162},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.csv) + (row.keepShelf ? " kept" : ""));
    const std::string folder = test::MakeTempFolder().toStdString();
    WriteRequestFiles(folder, ParseRequestCsv("code,text1\n1,a\n2,b\n", false), false);
    const auto write = [&] {
      WriteRequestFiles(folder, ParseRequestCsv(row.csv, false), row.keepShelf);
    };
    if (row.barprintSize < 0) {
      EXPECT_THROW(write(), RequestInputError);
    } else {
      write();
    }
    EXPECT_EQ(QFileInfo(QString::fromStdString(folder + "/Barprint")).size(),
              row.barprintSize < 0 ? 2 * 66 : row.barprintSize);
    EXPECT_EQ(QFileInfo(QString::fromStdString(folder + "/ShelfPrint")).size(), row.shelfSize);
  }
}

}  // namespace
}  // namespace corvel
