// The product file on real files: record counts from file lengths (halves to even),
// short last records and the 5000-product limits. The edit rules are
// tested through the window (station_window_test.cpp).
#include <gtest/gtest.h>

#include "common/errors.h"
#include "station/product_file.h"
#include "tests/station/station_test_support.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

using test::ReadAllBytes;

RecordBytes Slice(const RecordBytes& bytes, std::size_t from, std::size_t to) {
  return RecordBytes(bytes.begin() + static_cast<long>(std::min(from, bytes.size())),
                     bytes.begin() + static_cast<long>(std::min(to, bytes.size())));
}

// A selector entry and the record it stands for never disagree, and "Add New Item" never
// overwrites a loaded product (225 bytes: record 2 is loaded half, the new item is record 3).
TEST(ProductFile, LoadsThenAddsAfterTheLoadedRecords) {
  // {file length (-1: no file), products loaded, the operator is told something}
  const std::tuple<int, std::size_t, bool> cases[] = {
      {-1, 1, false}, {0, 1, false},   {10, 1, false},  {11, 0, true},  {75, 0, true},
      {76, 1, false}, {225, 2, false}, {375, 2, false}, {600, 4, false}};
  for (const auto& [length, entries, notice] : cases) {
    SCOPED_TRACE(length);
    const QString path = test::MakeTempFolder() + "/pdlist";
    RecordBytes original = test::ProductFileBytes(4);
    original.resize(static_cast<std::size_t>(std::max(length, 0)));
    if (length >= 0) test::WriteAllBytes(path, original);
    if (length <= 10) original = test::NewItemRecord("Product");

    ProductStation station(path.toStdString());
    const LoadResult loaded = LoadProductFile(station);
    ASSERT_EQ(loaded.entries.size(), entries);
    EXPECT_EQ(!loaded.notice.empty(), notice) << loaded.notice;
    EXPECT_TRUE(length <= 10 || ReadAllBytes(path) == original) << "loading changed the file";
    // A short last record is completed with zeros, in the table and, once a new item is
    // added after it, in the file.
    RecordBytes kept = Slice(original, 0, entries * 150);
    kept.resize(entries * 150, 0);
    for (std::size_t k = 0; k < entries; ++k)
      EXPECT_EQ(station.table[k + 1].Bytes(), Slice(kept, k * 150, k * 150 + 150)) << k + 1;

    EXPECT_EQ(AddNewItem(station), "New Item                ");
    const RecordBytes after = ReadAllBytes(path);
    EXPECT_EQ(Slice(after, 0, entries * 150), kept);
    EXPECT_EQ(Slice(after, entries * 150, entries * 150 + 150), test::NewItemRecord("New Item"));
    EXPECT_EQ(station.Count(), entries + 1);
  }
}

TEST(ProductFile, MoreThan5000RecordsLoadTheFirst5000AndKeepTheRest) {
  for (const int count : {5000, 5002}) {
    SCOPED_TRACE(count);
    const QString path = test::MakeTempFolder() + "/pdlist";
    const RecordBytes original = test::ProductFileBytes(count);
    test::WriteAllBytes(path, original);
    ProductStation station(path.toStdString());
    const LoadResult loaded = LoadProductFile(station);
    EXPECT_EQ(loaded.entries.size(), 5000u);
    EXPECT_EQ(loaded.notice.empty(), count == 5000) << loaded.notice;
    EXPECT_THROW(AddNewItem(station), Failure) << "the table is full";
    station.selected = 5000;
    EXPECT_TRUE(CommitProductBox(station, ProductBox::Description2, "Last").written);
    const RecordBytes after = ReadAllBytes(path);
    ASSERT_EQ(after.size(), original.size());
    EXPECT_EQ(Slice(after, 5000 * 150, after.size()), Slice(original, 5000 * 150, after.size()));
  }
}

// A write that fails (here: a full disk) is reported and leaves the table as the file is.
TEST(ProductFile, FailedWritesAreReportedAndChangeNothing) {
  const QString path = test::MakeTempFolder() + "/pdlist";
  test::WriteAllBytes(path, test::ProductFileBytes(2));
  ProductStation station(path.toStdString());
  LoadProductFile(station);
  station.selected = 2;
  const RecordBytes before = station.table[2].Bytes();
  station.file = RecordFile("/dev/full", kProductRecordLength);
  const CommitResult result = CommitProductBox(station, ProductBox::Description1, "Changed");
  EXPECT_FALSE(result.written);
  EXPECT_FALSE(result.message.empty());
  EXPECT_EQ(station.table[2].Bytes(), before);
  EXPECT_THROW(AddNewItem(station), IoError);
  EXPECT_EQ(station.Count(), 2u);
}

}  // namespace
}  // namespace corvel
