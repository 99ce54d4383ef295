// The request files read into memory: record layouts, counts, limits, and that the
// files are never changed.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QDir>
#include <QFileInfo>

#include "common/errors.h"
#include "common/text.h"
#include "runner/jobs.h"
#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {
using test::DataFolder;
using test::QuietMessages;

struct Context {
  DataFolder data;
  RecordingSurface surface;
  QuietMessages messages;
  RunContext run{data.settings, surface, messages, {}, {}};
};

TEST(BarcodeRequestRecord, FieldsSitAtTheirOffsets) {
  BarcodeRequestRecord record;
  const std::string raw =
      "5012345678900 "                    // code, 14
      "Granny Smith apples, loose  1 kg"  // description, 32
      "   $3.49          "                // price, 18
      "\x34\x12";                         // spare, little-endian 0x1234
  ASSERT_EQ(raw.size(), 66u);
  record.bytes.assign(raw.begin(), raw.end());
  EXPECT_EQ(record.Code(), "5012345678900 ");
  EXPECT_EQ(record.Description(), "Granny Smith apples, loose  1 kg");
  EXPECT_EQ(record.Price(), "   $3.49          ");
  EXPECT_EQ(record.Spare(), 0x1234);

  BarcodeRequestRecord written;
  written.SetCode("5012345678900");
  written.SetDescription("Granny Smith apples, loose  1 kg");
  written.SetPrice("   $3.49");
  written.SetSpare(0x1234);
  EXPECT_EQ(written.bytes, record.bytes);
}

TEST(ShelfRecord, FieldsSitAtTheirOffsets) {
  ShelfRecord record = BlankShelfRecord();
  record.SetText(0, "first");
  record.SetText(8, "ninth");
  record.SetByWeight(-1);
  record.SetLayout(1, 0, 1, "100");
  record.SetLayout(9, 3, 3, "C");
  record.SetLayout(10, 10, 3, "last");
  const auto at = [&](std::size_t offset, std::size_t n) {
    return std::string(record.bytes.begin() + offset, record.bytes.begin() + offset + n);
  };
  EXPECT_EQ(at(0, 5), "first");
  EXPECT_EQ(at(240, 5), "ninth");
  EXPECT_EQ(record.bytes[270], 0xFF);
  EXPECT_EQ(record.bytes[271], 0xFF);
  EXPECT_EQ(at(272 + 30 * 1, 3), "100");
  EXPECT_EQ(at(272 + 30 * (9 + 33 + 242), 1), "C");
  EXPECT_EQ(at(11162 - 30, 4), "last");
  EXPECT_EQ(record.ByWeight(), -1);
  EXPECT_EQ(record.Layout(9, 3, 3), "C" + std::string(29, ' '));
  EXPECT_THROW(record.Layout(0, 0, 4), std::out_of_range);
}

struct BarprintCase {
  const char* name;
  int bytes;            // file length
  int expectedRecords;  // -1: the run ends without a table
  int expectedExit;     // for runs that end
};

class BarprintLength : public ::testing::TestWithParam<BarprintCase> {};

TEST_P(BarprintLength, CountAndOutcome) {
  const BarprintCase& c = GetParam();
  Context context;
  QByteArray bytes = test::BarprintBytes(test::NumberedRows(c.bytes / 66 + 1));
  bytes.truncate(c.bytes);
  test::WriteFile(context.data.Barprint(), bytes);
  if (c.expectedRecords < 0) {
    try {
      LoadBarcodeRequests(context.run);
      FAIL() << "the run should have ended";
    } catch (const EndRun& end) {
      EXPECT_EQ(end.exitCode, c.expectedExit);
    } catch (const Failure&) {
      EXPECT_EQ(c.expectedExit, kExitFailed);
    }
  } else {
    const BarcodeRequests requests = LoadBarcodeRequests(context.run);
    EXPECT_EQ(static_cast<int>(requests.records.size()), c.expectedRecords);
    EXPECT_DOUBLE_EQ(requests.count, c.bytes / 66.0);
    EXPECT_EQ(requests.records.back().Description(),
              FixedText("Item " + std::to_string(c.expectedRecords), 32));
  }
  EXPECT_EQ(test::ReadFile(context.data.Barprint()), bytes) << "the request must stay as written";
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, BarprintLength,
    ::testing::Values(BarprintCase{"ThreeRecords", 198, 3, 0},
                      BarprintCase{"TrailingPartIgnored", 200, 3, 0},
                      BarprintCase{"OneRecord", 66, 1, 0},
                      BarprintCase{"ShorterThanOneRecord", 65, -1, kExitNothingToPrint},
                      BarprintCase{"Empty", 0, -1, kExitNothingToPrint},
                      BarprintCase{"Largest", 5000 * 66, 5000, 0},
                      BarprintCase{"LargestWithPartialTail", 5000 * 66 + 65, 5000, 0},
                      BarprintCase{"OneTooMany", 5001 * 66, -1, kExitFailed}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoadBarcodeRequests, MissingFileIsCreatedEmptyAndEndsTheRun) {
  Context context;
  try {
    LoadBarcodeRequests(context.run);
    FAIL();
  } catch (const EndRun& end) {
    EXPECT_EQ(end.exitCode, kExitNothingToPrint);
  }
  const QFileInfo info(context.data.Barprint());
  EXPECT_TRUE(info.exists());
  EXPECT_EQ(info.size(), 0);
}

TEST(LoadBarcodeRequests, HugeFileFailsWithoutReadingIt) {
  Context context;
  QFile file(context.data.Barprint());
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  ASSERT_TRUE(file.resize(qint64{4} << 30));  // sparse 4 GiB
  file.close();
  EXPECT_THROW(LoadBarcodeRequests(context.run), Failure);
  EXPECT_EQ(QFileInfo(context.data.Barprint()).size(), qint64{4} << 30);
}

struct NoFolderCase {
  const char* name;
  bool setPath;  // false: "Path" absent; true: "Path" empty
};

class EmptyPath : public ::testing::TestWithParam<NoFolderCase> {};

TEST_P(EmptyPath, EveryReaderEndsTheRunBeforeOpeningAnything) {
  MemorySettingsStore settings;
  if (GetParam().setPath) settings.Save(kRunnerSection, "Path", "");
  RecordingSurface surface;
  QuietMessages messages;
  RunContext run{settings, surface, messages, {}, {}};
  const auto endsQuietly = [&](auto&& call) {
    try {
      call();
      ADD_FAILURE() << "the run should have ended";
    } catch (const EndRun& end) {
      EXPECT_EQ(end.exitCode, kExitNothingToPrint);
    }
  };
  endsQuietly([&] { LoadBarcodeRequests(run); });
  endsQuietly([&] { LoadShelfRecords(run); });
  endsQuietly([&] { LoadRollRequests(run); });
  endsQuietly([&] { RollLabelJob(run); });
  endsQuietly([&] { PageJob(run, 20); });
  EXPECT_TRUE(surface.Ops().empty());
}

INSTANTIATE_TEST_SUITE_P(Settings, EmptyPath,
                         ::testing::Values(NoFolderCase{"Absent", false},
                                           NoFolderCase{"Empty", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LoadBarcodeRequests, SomethingElseInTheFilesPlaceIsAFailure) {
  Context context;
  ASSERT_EQ(::mkfifo(context.data.Barprint().toLocal8Bit().constData(), 0600), 0);
  EXPECT_THROW(LoadBarcodeRequests(context.run), IoError) << "a named pipe, without waiting";
  QDir(context.data.folder).mkdir("ShelfPrint");
  EXPECT_THROW(LoadShelfRecords(context.run), IoError) << "a folder";
}

TEST(LoadBarcodeRequests, MissingFolderIsAFailure) {
  Context context;
  context.data.settings.Save(kRunnerSection, "Path",
                             context.data.folder.toStdString() + "/no/such/folder");
  EXPECT_THROW(LoadBarcodeRequests(context.run), IoError);
}

struct ShelfCase {
  const char* name;
  qint64 bytes;
  int limit;
  int expectedRecords;  // -1: a failure
};

class ShelfLength : public ::testing::TestWithParam<ShelfCase> {};

TEST_P(ShelfLength, CountAndLimit) {
  const ShelfCase& c = GetParam();
  Context context;
  QByteArray bytes =
      test::ShelfBytes(std::vector<std::vector<std::string>>(c.bytes / 11162 + 1, {"line"}));
  bytes.truncate(c.bytes);
  test::WriteFile(context.data.ShelfPrint(), bytes);
  if (c.expectedRecords < 0) {
    EXPECT_THROW(LoadShelfRecords(context.run, c.limit), Failure);
  } else {
    const auto records = LoadShelfRecords(context.run, c.limit);
    EXPECT_EQ(static_cast<int>(records.size()), c.expectedRecords);
    if (!records.empty()) {
      EXPECT_EQ(TrimSpaces(records.back().Text(0)), "line");
    }
  }
  EXPECT_EQ(test::ReadFile(context.data.ShelfPrint()), bytes);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ShelfLength,
                         ::testing::Values(ShelfCase{"Empty", 0, 500, 0},
                                           ShelfCase{"ThreeAndAPart", 11162 * 3 + 100, 500, 3},
                                           ShelfCase{"Largest", 11162 * 500, 500, 500},
                                           ShelfCase{"OneTooMany", 11162 * 501, 500, -1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LoadRollRequests, ShelfLinesBesideEachRequestBlankWhenShort) {
  Context context;
  test::WriteFile(context.data.Barprint(), test::BarprintBytes(test::NumberedRows(3)));
  test::WriteFile(context.data.ShelfPrint(), test::ShelfBytes({{"a", "b", "c"}, {"", "", "z"}}));
  const RollRequests loaded = LoadRollRequests(context.run);
  ASSERT_EQ(loaded.shelf.size(), 3u);
  EXPECT_EQ(TrimSpaces(loaded.shelf[0].Text(5)), "c");
  EXPECT_EQ(TrimSpaces(loaded.shelf[1].Text(5)), "z");
  EXPECT_EQ(TrimSpaces(loaded.shelf[2].Text(0)), "");
}

struct RollLimitCase {
  const char* name;
  int records;
  bool loads;
};

class RollLimit : public ::testing::TestWithParam<RollLimitCase> {};

TEST_P(RollLimit, FiveHundredRequestsAtMost) {
  Context context;
  test::WriteFile(context.data.Barprint(),
                  test::BarprintBytes(test::NumberedRows(GetParam().records)));
  if (GetParam().loads)
    EXPECT_EQ(LoadRollRequests(context.run).requests.records.size(),
              static_cast<std::size_t>(GetParam().records));
  else
    EXPECT_THROW(LoadRollRequests(context.run), Failure);
  // The shelf file was opened first and created empty.
  EXPECT_TRUE(QFileInfo::exists(context.data.ShelfPrint()));
  EXPECT_EQ(QFileInfo(context.data.ShelfPrint()).size(), 0);
}

INSTANTIATE_TEST_SUITE_P(Limits, RollLimit,
                         ::testing::Values(RollLimitCase{"FiveHundred", 500, true},
                                           RollLimitCase{"FiveHundredAndOne", 501, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvel
