// The product file on real files: record counts from file lengths, byte-exact records,
// reserved bytes kept by every edit, refused values, the 5000-product limits and
// failed writes.
#include <gtest/gtest.h>

#include <cstring>

#include "common/errors.h"
#include "station/product_file.h"
#include "tests/station/station_test_support.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

using test::PatternBytes;
using test::ReadAllBytes;
using test::WriteAllBytes;

QString FreshProductFile() {
  return test::MakeTempFolder() + "/pdlist";
}

// A record whose every byte is set, with readable descriptions and small numbers.
ProductRecord NamedRecord(const std::string& name, int seed) {
  ProductRecord record(PatternBytes(kProductRecordLength, seed));
  record.SetDescription(1, name);
  record.SetCodeFixed(1234 * 10000);
  record.SetPriceFixed(13000);
  record.SetShelfLifeDays(3);
  record.SetTare(0.015f);
  record.SetNonWeighed(false);
  return record;
}

RecordBytes FileOfRecords(int count) {
  RecordBytes bytes;
  for (int n = 1; n <= count; ++n) {
    const RecordBytes record = NamedRecord("Item " + std::to_string(n), n).Bytes();
    bytes.insert(bytes.end(), record.begin(), record.end());
  }
  return bytes;
}

// Missing, empty or near-empty: the file becomes one product "Product", zeros elsewhere.
TEST(ProductFile, NoWholeRecordWithinTenBytesCreatesOneProduct) {
  for (const int length : {-1, 0, 10}) {
    SCOPED_TRACE(length);
    const QString path = FreshProductFile();
    if (length >= 0) WriteAllBytes(path, PatternBytes(static_cast<std::size_t>(length), 1));
    ProductStation station(path.toStdString());
    const LoadResult loaded = LoadProductFile(station);

    RecordBytes expected(150, 0);
    std::memcpy(expected.data() + 24, "Product                 ", 24);
    EXPECT_EQ(ReadAllBytes(path), expected);
    EXPECT_EQ(loaded.entries, std::vector<std::string>{"Product                 "});
    EXPECT_TRUE(loaded.notice.empty());
    EXPECT_EQ(station.Count(), 1u);
    AddNewItem(station);
    EXPECT_EQ(station.Count(), 2u);
    EXPECT_EQ(ReadAllBytes(path).size(), 300u);
  }
}

struct LengthCase {
  const char* name;
  std::size_t length;
  std::size_t entries;    // products loaded
  bool notice;            // the operator is told something
  std::uint64_t addedAs;  // record number "Add New Item" writes
};

class ProductFileLength : public ::testing::TestWithParam<LengthCase> {};

// Lengths that are no multiple of 150 round halves to even; the selector and the
// record numbers must agree, and adding an item never overwrites a loaded product.
TEST_P(ProductFileLength, LoadsAndAddsWithoutOverwriting) {
  const LengthCase& c = GetParam();
  const QString path = FreshProductFile();
  RecordBytes original = FileOfRecords(4);
  original.resize(c.length);
  WriteAllBytes(path, original);

  ProductStation station(path.toStdString());
  const LoadResult loaded = LoadProductFile(station);
  ASSERT_EQ(loaded.entries.size(), c.entries);
  EXPECT_EQ(!loaded.notice.empty(), c.notice) << loaded.notice;
  EXPECT_EQ(ReadAllBytes(path), original) << "loading must not change the file";
  for (std::size_t k = 0; k < c.entries; ++k) {
    // Entry k names record k + 1, completed with zeros when the file ends inside it.
    RecordBytes expected(
        original.begin() + static_cast<long>(std::min(original.size(), k * 150)),
        original.begin() + static_cast<long>(std::min(original.size(), k * 150 + 150)));
    expected.resize(150, 0);
    EXPECT_EQ(station.table[k + 1].Bytes(), expected) << "record " << k + 1;
    EXPECT_EQ(loaded.entries[k], station.table[k + 1].SelectorName(k + 1));
  }

  const std::string entry = AddNewItem(station);
  EXPECT_EQ(entry, "New Item                ");
  EXPECT_EQ(station.Count(), c.addedAs);
  const RecordBytes after = ReadAllBytes(path);
  ASSERT_GE(after.size(), c.addedAs * 150);
  const std::size_t loadedBytes = std::min(original.size(), c.entries * 150);
  EXPECT_TRUE(std::equal(original.begin(), original.begin() + static_cast<long>(loadedBytes),
                         after.begin()))
      << "a loaded product was overwritten";
  RecordBytes newRecord(150, 0);
  std::memcpy(newRecord.data() + 24, "New Item                ", 24);
  EXPECT_EQ(RecordBytes(after.begin() + static_cast<long>((c.addedAs - 1) * 150),
                        after.begin() + static_cast<long>(c.addedAs * 150)),
            newRecord);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ProductFileLength,
                         ::testing::Values(LengthCase{"ElevenBytes", 11, 0, true, 1},
                                           LengthCase{"HalfRecord", 75, 0, true, 1},
                                           LengthCase{"JustOverHalf", 76, 1, false, 2},
                                           LengthCase{"OneAndAHalf", 225, 2, false, 3},
                                           LengthCase{"TwoAndAHalf", 375, 2, false, 3},
                                           LengthCase{"ThreeWhole", 450, 3, false, 4}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProductFile, SelectorNamesTheFirstDescriptionThatIsNotBlank) {
  const QString path = FreshProductFile();
  RecordBytes bytes;
  auto add = [&](const std::string& d1, const std::string& d2, const std::string& d3) {
    ProductRecord record;
    record.SetDescription(1, d1);
    record.SetDescription(2, d2);
    record.SetDescription(3, d3);
    bytes.insert(bytes.end(), record.Bytes().begin(), record.Bytes().end());
  };
  add("  Apples ", "x", "y");
  add("", " Pears  ", "z");
  add("", "", "Plums");
  add("", "", "");
  ProductRecord zeros;  // descriptions of zero bytes count as text
  bytes.insert(bytes.end(), zeros.Bytes().begin(), zeros.Bytes().end());
  WriteAllBytes(path, bytes);

  ProductStation station(path.toStdString());
  const LoadResult loaded = LoadProductFile(station);
  ASSERT_EQ(loaded.entries.size(), 5u);
  EXPECT_EQ(loaded.entries[0], "Apples");
  EXPECT_EQ(loaded.entries[1], "Pears");
  EXPECT_EQ(loaded.entries[2], "Plums");
  EXPECT_EQ(loaded.entries[3], "4");
  EXPECT_EQ(loaded.entries[4], std::string(24, '\0'));
}

TEST(ProductFile, ShowSelectedProductFormatsEachBox) {
  ProductRecord record;
  record.SetCodeFixed(125000);  // 12.5
  record.SetPriceFixed(35000);  // 3.5
  record.SetTare(0.1234f);
  record.SetShelfLifeDays(-2);
  record.SetDescription(1, "Ham");
  record.SetNonWeighed(true);
  const ProductBoxTexts texts = BoxTextsOf(record);
  EXPECT_EQ(texts.code, "12.5");
  EXPECT_EQ(texts.price, "3.50");
  EXPECT_EQ(texts.tare, "0.123");
  EXPECT_EQ(texts.shelfLife, "-2");
  EXPECT_EQ(texts.description1, "Ham                     ");
  EXPECT_EQ(texts.description2, std::string(24, '\0'));
  EXPECT_TRUE(texts.nonWeighed);

  // Only FFFF hex is "non weighed"; a damaged tare shows as no tare.
  RecordBytes bytes(150, 0);
  bytes[18] = 1;
  bytes[102] = 0xc0;
  bytes[103] = 0x7f;  // NaN
  const ProductBoxTexts damaged = BoxTextsOf(ProductRecord(bytes));
  EXPECT_FALSE(damaged.nonWeighed);
  EXPECT_EQ(damaged.tare, "0.000");
}

struct CommitCase {
  const char* name;
  ProductBox box;
  const char* typed;
  const char* boxAfter;
  std::size_t offset;      // first byte of the field
  RecordBytes fieldBytes;  // the field's bytes afterwards
};

RecordBytes Int64Bytes(std::int64_t v) {
  RecordBytes b(8);
  for (int i = 0; i < 8; ++i)
    b[i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(v) >> (8 * i));
  return b;
}
RecordBytes Int16Bytes(std::int16_t v) {
  return {static_cast<std::uint8_t>(v & 0xff), static_cast<std::uint8_t>((v >> 8) & 0xff)};
}
RecordBytes FloatBytes(float f) {
  std::uint32_t u;
  std::memcpy(&u, &f, 4);
  return {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8),
          static_cast<std::uint8_t>(u >> 16), static_cast<std::uint8_t>(u >> 24)};
}
RecordBytes TextBytes(const std::string& s) {
  return RecordBytes(s.begin(), s.end());
}

class ProductCommit : public ::testing::TestWithParam<CommitCase> {};

// Each edit rule writes its field of the selected record, and only that field: every
// other byte of the file, reserved bytes and the other records included, stays.
TEST_P(ProductCommit, WritesOnlyItsField) {
  const CommitCase& c = GetParam();
  const QString path = FreshProductFile();
  const RecordBytes original = FileOfRecords(3);
  WriteAllBytes(path, original);
  ProductStation station(path.toStdString());
  LoadProductFile(station);
  station.selected = 2;

  const CommitResult result = CommitProductBox(station, c.box, c.typed);
  EXPECT_EQ(result.boxText, c.boxAfter);
  EXPECT_TRUE(result.written);
  EXPECT_TRUE(result.message.empty()) << result.message;

  RecordBytes expected = original;
  std::copy(c.fieldBytes.begin(), c.fieldBytes.end(),
            expected.begin() + static_cast<long>(150 + c.offset));
  EXPECT_EQ(ReadAllBytes(path), expected);
  EXPECT_EQ(station.table[2].Bytes(), RecordBytes(expected.begin() + 150, expected.begin() + 300));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ProductCommit,
    ::testing::Values(
        CommitCase{"Code", ProductBox::Code, "  98 76", "9876", 0, Int64Bytes(98760000)},
        CommitCase{"CodeFraction", ProductBox::Code, "12.34567", "12.34567", 0, Int64Bytes(123457)},
        CommitCase{"ThirteenDigitCode", ProductBox::Code, "1234567890128", "1234567890128", 0,
                   Int64Bytes(12345678901280000)},
        CommitCase{"PriceRounded", ProductBox::Price, "2.456", "2.46", 10, Int64Bytes(24600)},
        CommitCase{"PriceLetters", ProductBox::Price, "abc", "0.00", 10, Int64Bytes(0)},
        CommitCase{"PriceNegative", ProductBox::Price, "-1.5", "-1.50", 10, Int64Bytes(-15000)},
        CommitCase{"Tare", ProductBox::Tare, "0.1234", "0.123", 100, FloatBytes(0.123f)},
        CommitCase{"ShelfLifeHalfUp", ProductBox::ShelfLife, "7.5", "7.5", 22, Int16Bytes(8)},
        CommitCase{"ShelfLifeHalfDown", ProductBox::ShelfLife, "6.5", "6.5", 22, Int16Bytes(6)},
        CommitCase{"ShelfLifeNegative", ProductBox::ShelfLife, "-32768", "-32768", 22,
                   Int16Bytes(-32768)},
        CommitCase{"DescriptionCut", ProductBox::Description1, "abcdefghijklmnopqrstuvwxyz1234",
                   "abcdefghijklmnopqrstuvwxyz1234", 24, TextBytes("abcdefghijklmnopqrstuvwx")},
        CommitCase{"DescriptionPadded", ProductBox::Description2, "Fresh", "Fresh", 48,
                   TextBytes("Fresh                   ")},
        CommitCase{"DescriptionCodePage", ProductBox::Description3, "Caf\xc3\xa9", "Caf\xc3\xa9",
                   72, TextBytes("Caf\xe9                    ")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProductFile, NonWeighedClicksWriteTheFlag) {
  const QString path = FreshProductFile();
  const RecordBytes original = FileOfRecords(2);
  WriteAllBytes(path, original);
  ProductStation station(path.toStdString());
  LoadProductFile(station);
  station.selected = 1;

  EXPECT_FALSE(CommitNonWeighed(station, false).written) << "box agrees with the record";
  EXPECT_TRUE(CommitNonWeighed(station, true).written);
  RecordBytes bytes = ReadAllBytes(path);
  EXPECT_EQ(bytes[18], 0xff);
  EXPECT_EQ(bytes[19], 0xff);
  EXPECT_TRUE(CommitNonWeighed(station, false).written);
  EXPECT_EQ(ReadAllBytes(path), original);
}

TEST(ProductFile, UnchangedValuesWriteNothingButAPaddedDescriptionIsRewritten) {
  const QString path = FreshProductFile();
  WriteAllBytes(path, FileOfRecords(1));
  ProductStation station(path.toStdString());
  LoadProductFile(station);
  station.selected = 1;
  const ProductBoxTexts shown = *ShowSelectedProduct(station);

  EXPECT_FALSE(CommitProductBox(station, ProductBox::Code, shown.code).written);
  EXPECT_FALSE(CommitProductBox(station, ProductBox::Price, shown.price).written);
  EXPECT_FALSE(CommitProductBox(station, ProductBox::Tare, shown.tare).written);
  EXPECT_FALSE(CommitProductBox(station, ProductBox::ShelfLife, shown.shelfLife).written);
  EXPECT_FALSE(CommitProductBox(station, ProductBox::Description1, "Item 1").written);
  // The box shows the field with its padding, which differs from the trimmed field:
  // the record is rewritten, byte for byte the same.
  const RecordBytes before = ReadAllBytes(path);
  EXPECT_TRUE(CommitProductBox(station, ProductBox::Description1, shown.description1).written);
  EXPECT_EQ(ReadAllBytes(path), before);
}

struct RefusedCase {
  const char* name;
  ProductBox box;
  const char* typed;
  const char* storedText;  // what the box shows again
};

class ProductRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(ProductRefused, KeepsTheStoredValueAndSaysWhy) {
  const RefusedCase& c = GetParam();
  const QString path = FreshProductFile();
  const RecordBytes original = FileOfRecords(1);
  WriteAllBytes(path, original);
  ProductStation station(path.toStdString());
  LoadProductFile(station);
  station.selected = 1;

  const CommitResult result = CommitProductBox(station, c.box, c.typed);
  EXPECT_FALSE(result.written);
  EXPECT_EQ(result.boxText, c.storedText);
  EXPECT_FALSE(result.message.empty());
  EXPECT_EQ(ReadAllBytes(path), original);
  EXPECT_EQ(station.table[1].Bytes(), RecordBytes(original.begin(), original.begin() + 150));
}

INSTANTIATE_TEST_SUITE_P(
    OutOfRange, ProductRefused,
    ::testing::Values(RefusedCase{"CodeBeyondFixedPoint", ProductBox::Code, "1e15", "1234"},
                      RefusedCase{"CodeBeyondDouble", ProductBox::Code, "1e999", "1234"},
                      RefusedCase{"NegativeCode", ProductBox::Code, "-922337203685478", "1234"},
                      RefusedCase{"PriceBeyondFixedPoint", ProductBox::Price, "1e300", "1.30"},
                      RefusedCase{"ShelfLifeTooLong", ProductBox::ShelfLife, "32767.5", "3"},
                      RefusedCase{"ShelfLifeTooNegative", ProductBox::ShelfLife, "-40000", "3"},
                      RefusedCase{"TareBeyondSingle", ProductBox::Tare, "1e39", "0.015"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProductFile, NothingIsWrittenWithoutASelectedProduct) {
  const QString path = FreshProductFile();
  const RecordBytes original = FileOfRecords(2);
  WriteAllBytes(path, original);
  ProductStation station(path.toStdString());
  LoadProductFile(station);
  station.selected = 0;
  EXPECT_FALSE(CommitProductBox(station, ProductBox::Price, "9.99").written);
  EXPECT_FALSE(CommitProductBox(station, ProductBox::Description1, "Other").written);
  EXPECT_FALSE(CommitNonWeighed(station, true).written);
  EXPECT_FALSE(ShowSelectedProduct(station).has_value());
  EXPECT_EQ(ReadAllBytes(path), original);
}

TEST(ProductFile, MoreThan5000RecordsLoadTheFirst5000AndKeepTheRest) {
  const QString path = FreshProductFile();
  const RecordBytes original = FileOfRecords(5002);
  WriteAllBytes(path, original);
  ProductStation station(path.toStdString());
  const LoadResult loaded = LoadProductFile(station);
  EXPECT_EQ(loaded.entries.size(), 5000u);
  EXPECT_EQ(loaded.entries.back(), "Item 5000");
  EXPECT_NE(loaded.notice.find("5002"), std::string::npos) << loaded.notice;

  EXPECT_THROW(AddNewItem(station), Failure);
  EXPECT_EQ(station.Count(), 5000u);
  station.selected = 5000;
  EXPECT_TRUE(CommitProductBox(station, ProductBox::Description2, "Last").written);
  const RecordBytes after = ReadAllBytes(path);
  ASSERT_EQ(after.size(), original.size());
  EXPECT_TRUE(
      std::equal(original.begin() + 5000 * 150, original.end(), after.begin() + 5000 * 150));
}

TEST(ProductFile, Exactly5000RecordsLoadQuietlyButTheTableIsFull) {
  const QString path = FreshProductFile();
  WriteAllBytes(path, FileOfRecords(5000));
  ProductStation station(path.toStdString());
  const LoadResult loaded = LoadProductFile(station);
  EXPECT_EQ(loaded.entries.size(), 5000u);
  EXPECT_TRUE(loaded.notice.empty());
  EXPECT_THROW(AddNewItem(station), Failure);
  EXPECT_EQ(ReadAllBytes(path).size(), 5000u * 150);
}

// A full disk: the write fails, the operator is told, and the table keeps what the file
// holds.
TEST(ProductFile, FailedWritesKeepTableAndFileInStep) {
  const QString path = FreshProductFile();
  const RecordBytes original = FileOfRecords(2);
  WriteAllBytes(path, original);
  ProductStation station(path.toStdString());
  LoadProductFile(station);
  station.selected = 2;
  station.file = RecordFile("/dev/full", kProductRecordLength);

  const CommitResult price = CommitProductBox(station, ProductBox::Price, "7.77");
  EXPECT_FALSE(price.written);
  EXPECT_EQ(price.boxText, "1.30");
  EXPECT_FALSE(price.message.empty());
  const CommitResult flag = CommitNonWeighed(station, true);
  EXPECT_FALSE(flag.written);
  EXPECT_FALSE(flag.message.empty());
  EXPECT_THROW(AddNewItem(station), IoError);
  EXPECT_EQ(station.Count(), 2u);
  EXPECT_EQ(station.table[2].Bytes(), RecordBytes(original.begin() + 150, original.end()));
}

}  // namespace
}  // namespace corvel
