// The product file on real files: record counts from file lengths (halves to even),
// short last records, the 5000-product limits, and the edit rules of the product boxes
// (the window's part, which box runs which rule, is in station_window_test.cpp).
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <functional>

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
  struct Case {
    int length;           // of the file; -1: no file
    std::size_t entries;  // products loaded
    bool notice = false;  // the operator is told something
  };
  const Case cases[] = {{.length = -1, .entries = 1},
                        {.length = 10, .entries = 1},
                        {.length = 11, .entries = 0, .notice = true},
                        {.length = 75, .entries = 0, .notice = true},
                        {.length = 76, .entries = 1},
                        {.length = 225, .entries = 2},
                        {.length = 375, .entries = 2},
                        {.length = 600, .entries = 4}};
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

// A write the file system refuses half way (a full disk; here a file size limit a few
// bytes above the file, so the first bytes of the record go in) is reported, and file
// and table stay as they were.
TEST(ProductFile, FailedWritesLeaveTheFileAsItWas) {
  using Act = std::function<std::string(ProductStation&)>;  // what the operator is told
  const auto reported = [](const std::function<void()>& act) -> std::string {
    try {
      act();
    } catch (const IoError& error) {
      return error.what();
    }
    return "";
  };
  struct Row {
    const char* what;
    int length;  // of the file
    Act act;
  };
  const Act load = [&](auto& s) { return reported([&] { LoadProductFile(s); }); };
  const Act add = [&](auto& s) { return reported([&] { AddNewItem(s); }); };
  const Act edit = [](auto& s) {
    s.selected = 3;
    return CommitProductBox(s, ProductBox::Description1, "Changed").message;
  };
  // 400 bytes: three records, the third cut, overwritten and extended at once.
  const Row rows[] = {{.what = "first start", .length = 0, .act = load},
                      {.what = "Add New Item", .length = 450, .act = add},
                      {.what = "edit of a short last record", .length = 400, .act = edit}};
  for (const auto& [what, length, act] : rows) {
    SCOPED_TRACE(what);
    const QString path = test::MakeTempFolder() + "/pdlist";
    RecordBytes original = test::ProductFileBytes(3);
    original.resize(static_cast<std::size_t>(length));
    test::WriteAllBytes(path, original);
    ProductStation station(path.toStdString());
    if (length > 0) LoadProductFile(station);
    const ProductStation loaded = station;

    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = static_cast<rlim_t>(length + 46);
    setrlimit(RLIMIT_FSIZE, &limited);
    const std::string message = act(station);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_NE(message, "");
    EXPECT_EQ(ReadAllBytes(path), original);
    EXPECT_TRUE(station.table == loaded.table);
  }
}

// The selector names a product by the first description line that shows something (up
// to its first zero byte, spaces trimmed), else by its record number.
TEST(ProductFile, SelectorNames) {
  struct Row {
    std::string line1, line2;  // each followed by zero bytes; line 3 all zero bytes
    const char* name;
  };
  const Row rows[] = {
      {.line1 = "", .line2 = "", .name = "7"},
      {.line1 = "", .line2 = "Ham", .name = "Ham"},
      {.line1 = "        ", .line2 = "  Beef  ", .name = "Beef"},
      {.line1 = std::string("Lamb\0xyz", 8), .line2 = "", .name = "Lamb"},
  };
  for (const auto& [line1, line2, name] : rows) {
    RecordBytes bytes(150, 0);
    std::copy(line1.begin(), line1.end(), bytes.begin() + 24);
    std::copy(line2.begin(), line2.end(), bytes.begin() + 48);
    EXPECT_EQ(ProductRecord(bytes).SelectorName(7), name) << line1 << "|" << line2;
  }
}

// Leaving a box with product 1 (code 1000, price 1.99, tare 0.015, 1 day) selected: the
// box is rewritten and the value read back from the rewritten text; a value equal to the
// stored one writes nothing, one that does not fit is refused with its range.
TEST(ProductFile, BoxEditRules) {
  using B = ProductBox;
  struct Row {
    ProductBox box;
    const char* typed;
    const char* shown = nullptr;    // none: as typed
    const char* stored = nullptr;   // the field's new value; none: nothing written
    const char* refusal = nullptr;  // a part of the message
  };
  const Row rows[] = {
      {.box = B::Code, .typed = "4711x", .shown = "4711", .stored = "47110000"},
      {.box = B::Price, .typed = "free", .shown = "0.00", .stored = "0"},
      {.box = B::Price, .typed = "1.994", .shown = "1.99"},
      {.box = B::Tare, .typed = "0.015"},                    // compared as the stored float
      {.box = B::ShelfLife, .typed = "6.5", .stored = "6"},  // halves to even
      {.box = B::Description1,
       .typed = "ABCDEFGHIJKLMNOPQRSTUVWXYZ",
       .stored = "ABCDEFGHIJKLMNOPQRSTUVWX"},
      {.box = B::Code, .typed = "1e15", .shown = "1000", .refusal = "922337203685477.5807"},
      {.box = B::Code, .typed = "1e999", .shown = "1000", .refusal = "code"},
      {.box = B::ShelfLife, .typed = "32767.5", .shown = "1", .refusal = "-32768 to 32767 days"},
      {.box = B::Tare, .typed = "1e39", .shown = "0.015", .refusal = "about -3.4E+38 to 3.4E+38"},
  };
  const auto put = [](RecordBytes& f, ProductBox box, const std::string& value) {
    if (box == B::Description1) return PutTextField(f, 24, 24, value);
    if (box == B::ShelfLife) return PutInt16(f, 22, static_cast<std::int16_t>(std::stoi(value)));
    PutInt64(f, box == B::Code ? 0 : 10, std::stoll(value));
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.typed);
    const QString path = test::MakeTempFolder() + "/pdlist";
    RecordBytes expected = test::ProductFileBytes(1);
    test::WriteAllBytes(path, expected);
    ProductStation station(path.toStdString());
    LoadProductFile(station);
    station.selected = 1;
    const CommitResult result = CommitProductBox(station, row.box, row.typed);
    EXPECT_EQ(result.boxText, row.shown ? row.shown : row.typed);
    EXPECT_EQ(result.written, row.stored != nullptr);
    if (row.stored) put(expected, row.box, row.stored);
    EXPECT_EQ(ReadAllBytes(path), expected);
    if (row.refusal)
      EXPECT_NE(result.message.find(row.refusal), std::string::npos) << result.message;
    else
      EXPECT_EQ(result.message, "");
  }
}

}  // namespace
}  // namespace corvel
