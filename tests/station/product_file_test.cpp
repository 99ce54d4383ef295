// The product file on real files: record counts from file lengths (halves to even),
// short last records, the 5000-product limits and failed writes. The edit rules are
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
  RecordBytes part(bytes.begin() + static_cast<long>(std::min(from, bytes.size())),
                   bytes.begin() + static_cast<long>(std::min(to, bytes.size())));
  return part;
}

RecordBytes NewItemRecord(const char* name) {
  RecordBytes record(150, 0);
  PutTextField(record, 24, 24, name);
  return record;
}

struct LengthCase {
  const char* name;
  int length;           // -1: no file
  std::size_t entries;  // products loaded
  bool notice;          // the operator is told something
};
// Rows show as their names in test output.
void PrintTo(const LengthCase& row, std::ostream* out) {
  *out << row.name;
}

class ProductFileLength : public ::testing::TestWithParam<LengthCase> {};

// A selector entry and the record it stands for never disagree, and "Add New Item"
// never overwrites a loaded product (225 bytes: record 2 is loaded half, the new item
// is record 3).
TEST_P(ProductFileLength, LoadsThenAddsAfterTheLoadedRecords) {
  const LengthCase& c = GetParam();
  const QString path = test::MakeTempFolder() + "/pdlist";
  RecordBytes original = test::ProductFileBytes(4);
  original.resize(static_cast<std::size_t>(std::max(c.length, 0)));
  if (c.length >= 0) test::WriteAllBytes(path, original);
  if (c.length <= 10) original = NewItemRecord("Product");

  ProductStation station(path.toStdString());
  const LoadResult loaded = LoadProductFile(station);
  ASSERT_EQ(loaded.entries.size(), c.entries);
  EXPECT_EQ(!loaded.notice.empty(), c.notice) << loaded.notice;
  if (c.length > 10) {
    EXPECT_EQ(ReadAllBytes(path), original) << "loading changed the file";
  }
  for (std::size_t k = 0; k < c.entries; ++k) {
    RecordBytes expected = Slice(original, k * 150, k * 150 + 150);
    expected.resize(150, 0);  // a short last record is completed with zeros
    EXPECT_EQ(station.table[k + 1].Bytes(), expected) << "record " << k + 1;
  }

  EXPECT_EQ(AddNewItem(station), "New Item                ");
  const RecordBytes after = ReadAllBytes(path);
  // The loaded bytes stay; the rest of a short last record reads as the zeros it was
  // loaded with.
  RecordBytes kept = Slice(original, 0, c.entries * 150);
  kept.resize(c.entries * 150, 0);
  EXPECT_EQ(Slice(after, 0, c.entries * 150), kept);
  EXPECT_EQ(Slice(after, c.entries * 150, c.entries * 150 + 150), NewItemRecord("New Item"));
  EXPECT_EQ(station.Count(), c.entries + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, ProductFileLength,
    ::testing::Values(LengthCase{"Missing", -1, 1, false}, LengthCase{"Empty", 0, 1, false},
                      LengthCase{"TenBytes", 10, 1, false}, LengthCase{"ElevenBytes", 11, 0, true},
                      LengthCase{"HalfRecord", 75, 0, true},
                      LengthCase{"JustOverHalf", 76, 1, false},
                      LengthCase{"OneAndAHalf", 225, 2, false},
                      LengthCase{"TwoAndAHalf", 375, 2, false}, LengthCase{"Whole", 600, 4, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProductFile, SelectorNamesTheFirstDescriptionThatIsNotBlank) {
  const std::vector<std::array<const char*, 3>> lines = {
      {"  Apples ", "x", "y"}, {"", " Pears  ", "z"}, {"", "", "Plums"}, {"", "", ""}};
  RecordBytes bytes;
  for (const auto& [d1, d2, d3] : lines) {
    ProductRecord record;
    record.SetDescription(1, d1);
    record.SetDescription(2, d2);
    record.SetDescription(3, d3);
    bytes.insert(bytes.end(), record.Bytes().begin(), record.Bytes().end());
  }
  bytes.resize(bytes.size() + 150, 0);  // descriptions of zero bytes are not blank
  const QString path = test::MakeTempFolder() + "/pdlist";
  test::WriteAllBytes(path, bytes);
  ProductStation station(path.toStdString());
  EXPECT_EQ(LoadProductFile(station).entries,
            (std::vector<std::string>{"Apples", "Pears", "Plums", "4", std::string(24, '\0')}));
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

// A full disk (/dev/full): the operator is told, and the table keeps what the file holds.
TEST(ProductFile, FailedWritesKeepTableAndFileInStep) {
  const QString path = test::MakeTempFolder() + "/pdlist";
  const RecordBytes original = test::ProductFileBytes(2);
  test::WriteAllBytes(path, original);
  ProductStation station(path.toStdString());
  LoadProductFile(station);
  station.selected = 2;
  station.file = RecordFile("/dev/full", kProductRecordLength);

  const CommitResult price = CommitProductBox(station, ProductBox::Price, "7.77");
  EXPECT_FALSE(price.written);
  EXPECT_EQ(price.boxText, "2.99");
  EXPECT_FALSE(price.message.empty());
  EXPECT_FALSE(CommitNonWeighed(station, true).message.empty());
  EXPECT_THROW(AddNewItem(station), IoError);
  EXPECT_EQ(station.Count(), 2u);
  EXPECT_EQ(station.table[2].Bytes(), Slice(original, 150, 300));

  ProductStation unwritable("/dev/full");
  EXPECT_THROW(LoadProductFile(unwritable), IoError);
  EXPECT_EQ(unwritable.Count(), 0u);
}

}  // namespace
}  // namespace corvel
