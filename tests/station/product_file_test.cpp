// The product file on real files: record counts from file lengths (halves to even),
// short last records and the 5000-product limits. The edit rules are
// tested through the window (station_window_test.cpp).
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
  const std::tuple<const char*, int, Act> rows[] = {
      // {what, file length, the write}
      {"first start", 0, [&](auto& s) { return reported([&] { LoadProductFile(s); }); }},
      {"Add New Item", 450, [&](auto& s) { return reported([&] { AddNewItem(s); }); }},
      // A short last record (400 bytes: three records, the third cut) overwritten
      // and extended at once.
      {"edit", 400,
       [](auto& s) {
         s.selected = 3;
         return CommitProductBox(s, ProductBox::Description1, "Changed").message;
       }},
  };
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
  const std::tuple<std::string, std::string, const char*> rows[] = {
      // {line 1, line 2 (each followed by zero bytes; line 3 all zero bytes), name}
      {"", "", "7"},
      {"", "Ham", "Ham"},
      {"        ", "  Beef  ", "Beef"},
      {std::string("Lamb\0xyz", 8), "", "Lamb"},
  };
  for (const auto& [line1, line2, name] : rows) {
    RecordBytes bytes(150, 0);
    std::copy(line1.begin(), line1.end(), bytes.begin() + 24);
    std::copy(line2.begin(), line2.end(), bytes.begin() + 48);
    EXPECT_EQ(ProductRecord(bytes).SelectorName(7), name) << line1 << "|" << line2;
  }
}

}  // namespace
}  // namespace corvel
