// corvel products: every refusal of an import as one table (each with its line and
// column, the file untouched), the byte-exact round trip of an awkward product file,
// and the product-file lock shared with the station.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <thread>

#include "common/errors.h"
#include "common/whole_file.h"
#include "station/product_csv.h"
#include "station/product_file_lock.h"
#include "tests/station/station_test_support.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

using test::ReadAllBytes;

const char kHeader[] =
    "item,code,description1,description2,description3,price,shelf_life,tare,non_weighed\r\n";

// Three products, the second with bytes no column shows: reserved bytes set, a
// description of zero bytes, a flag that is neither true nor false, a tare that is no
// number; the third with the extremes of the fixed point and text beyond ASCII.
RecordBytes AwkwardFile() {
  RecordBytes file;
  ProductRecord first;
  first.SetCodeFixed(40063813339310000);
  first.SetPriceFixed(129900);
  first.SetDescription(1, "Apples, \"Gala\"");
  first.SetDescription(2, "line\nbreak");
  first.SetShelfLifeDays(7);
  first.SetTare(0.015f);
  ProductRecord second;
  RecordBytes bytes = second.Bytes();
  for (std::size_t at : {8, 9, 20, 21, 96, 99, 104, 149})
    bytes[at] = static_cast<std::uint8_t>(at);
  PutInt16(bytes, 18, 1);
  PutTextField(bytes, 48, 24, "Brot");
  bytes[52] = 0;  // "Brot" then a zero byte then spaces
  bytes[100] = 0xff, bytes[101] = 0xff, bytes[102] = 0xff, bytes[103] = 0x7f;  // NaN tare
  second = ProductRecord(bytes);
  ProductRecord third;
  third.SetCodeFixed(INT64_MIN);
  third.SetPriceFixed(INT64_MAX);
  third.SetDescription(1, "Crème brûlée €");
  third.SetDescription(3, "\u0081 undefined byte");
  third.SetNonWeighed(true);
  third.SetShelfLifeDays(-32768);
  for (const ProductRecord* r : {&first, &second, &third})
    file.insert(file.end(), r->Bytes().begin(), r->Bytes().end());
  return file;
}

TEST(ProductImport, RefusalsNameLineAndColumnAndChangeNothing) {
  const std::vector<ProductRecord> records = ProductsOfFile(
      std::string(reinterpret_cast<const char*>(AwkwardFile().data()), AwkwardFile().size()));
  const struct {
    const char* name;
    std::string csv;
    std::size_t line, column;
    const char* says;
  } rows[] = {
      {"code does not read", std::string(kHeader) + "1,12a,,,,1,1,0,no\r\n", 2, 2, "code"},
      {"code with an exponent", std::string(kHeader) + "1,4.00638E+12,,,,1,1,0,no\r\n", 2, 2,
       "no exponent"},
      {"price beyond the fixed point", std::string(kHeader) + "1,1,,,,922337203685478,1,0,no\r\n",
       2, 6, "beyond the fixed point"},
      {"price with five decimals", std::string(kHeader) + "1,1,,,,1.23456,1,0,no\r\n", 2, 6,
       "beyond the fixed point"},
      {"description too long", std::string(kHeader) + ",1,1234567890123456789012345,,,1,1,0,no\r\n",
       2, 3, "25 characters long"},
      {"description outside the code page", std::string(kHeader) + ",1,Łódź,,,1,1,0,no\r\n", 2, 3,
       "Windows-1252"},
      {"description not UTF-8", std::string(kHeader) + ",1,caf\xe9,,,1,1,0,no\r\n", 2, 3, "UTF-8"},
      {"duplicated item",
       std::string(kHeader) + "2,1,,,,1,1,0,no\n3,1,,,,1,1,0,no\n2,5,,,,1,1,0,no\n", 4, 1,
       "already on line 2"},
      {"item not in the file", std::string(kHeader) + "4,1,,,,1,1,0,no\r\n", 2, 1, "1 to 3"},
      {"shelf life beyond 16 bits", std::string(kHeader) + "1,1,,,,1,40000,0,no\r\n", 2, 7,
       "-32768 to 32767"},
      {"tare no number", std::string(kHeader) + "1,1,,,,1,1,heavy,no\r\n", 2, 8, "kilograms"},
      {"non weighed neither", std::string(kHeader) + "1,1,,,,1,1,0,maybe\r\n", 2, 9, "yes nor no"},
      {"unknown column", "item,colour\r\n1,red\r\n", 1, 2, "no column"},
      {"no item column", "code,price\r\n1,1\r\n", 1, 0, "no column \"item\""},
      {"short row", std::string(kHeader) + "1,1,,\r\n", 2, 0, "4 fields"},
      {"quote left open", std::string(kHeader) + "1,1,\"Apples,,,1,1,0,no\r\n", 2, 0, "not closed"},
      // A quoted line break moves the next row's line number on.
      {"problem after a quoted line break",
       std::string(kHeader) + ",1,\"two\nlines\",,,1,1,0,no\r\n,x,,,,1,1,0,no\r\n", 4, 2, "code"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const ImportPlan plan = PlanProductImport(records, row.csv);
    ASSERT_EQ(plan.problems.size(), 1u) << (plan.problems.empty() ? "" : plan.problems[1].text);
    EXPECT_EQ(plan.problems[0].line, row.line);
    EXPECT_EQ(plan.problems[0].column, row.column);
    EXPECT_NE(plan.problems[0].text.find(row.says), std::string::npos) << plan.problems[0].text;
  }

  // More than 5000 products: the row that would be number 5001 is refused.
  std::string many = kHeader;
  for (int i = 0; i < 4998; ++i)
    many += ",1,,,,1,1,0,no\n";
  EXPECT_EQ(PlanProductImport(records, many).problems.size(), 1u);
  EXPECT_EQ(PlanProductImport(records, many).problems[0].line, 4999u);

  // Through the command: every problem listed, status 1, the file not touched.
  const QString folder = test::MakeTempFolder();
  test::WriteAllBytes(folder + "/pdlist", AwkwardFile());
  QFile csv(folder + "/bad.csv");
  ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
  csv.write(
      (std::string(kHeader) + "1,1,,,,2.5,1,0,no\n2,abc,,,,1,1,0,no\n,1,,,,1e3,1,0,no\n").c_str());
  csv.close();
  const test::RunResult run =
      test::RunProgram(test::BuiltProgram("corvel"),
                       {"products", "import", folder + "/bad.csv", folder + "/pdlist"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(run.err.contains("line 3, column 2: code")) << run.err.toStdString();
  EXPECT_TRUE(run.err.contains("line 4, column 6: price")) << run.err.toStdString();
  EXPECT_TRUE(run.err.contains("nothing was changed")) << run.err.toStdString();
  EXPECT_EQ(ReadAllBytes(folder + "/pdlist"), AwkwardFile());
}

// Export then import of an unchanged file changes no byte; an edited field changes only
// its own bytes, and a new row is appended after the last record.
TEST(ProductImport, RoundTripIsByteExact) {
  const QString folder = test::MakeTempFolder();
  RecordBytes original = AwkwardFile();
  original.resize(original.size() - 60);  // a short last record, as the station keeps it
  test::WriteAllBytes(folder + "/pdlist", original);
  const QString corvel = test::BuiltProgram("corvel");
  const QStringList german = test::DecimalCommaLocale();
  const test::RunResult exported = test::RunProgram(
      corvel, {"products", "export", folder + "/pdlist", "--csv", folder + "/p.csv"}, {}, german);
  ASSERT_EQ(exported.exitCode, 0) << exported.err.toStdString();
  QFile csvFile(folder + "/p.csv");
  ASSERT_TRUE(csvFile.open(QIODevice::ReadOnly));
  const QByteArray csv = csvFile.readAll();
  EXPECT_TRUE(csv.contains(
      "1,4006381333931,\"Apples, \"\"Gala\"\"\",\"line\nbreak\",,12.99,7,0.015,no\r\n"))
      << csv.toStdString();
  EXPECT_TRUE(csv.contains("3,-922337203685477.5808,Crème brûlée €")) << csv.toStdString();

  const test::RunResult imported = test::RunProgram(
      corvel, {"products", "import", folder + "/p.csv", folder + "/pdlist"}, {}, german);
  ASSERT_EQ(imported.exitCode, 0) << imported.err.toStdString();
  EXPECT_TRUE(imported.out.contains("no change")) << imported.out.toStdString();
  EXPECT_EQ(ReadAllBytes(folder + "/pdlist"), original);

  // One price edited, one product added: only those bytes change.
  QByteArray edited = csv;
  edited.replace(",12.99,", ",1.5,");
  edited.append(",2000001000007,Pears,,,3.49,5,0,no\r\n");
  QFile out(folder + "/edited.csv");
  ASSERT_TRUE(out.open(QIODevice::WriteOnly));
  out.write(edited);
  out.close();
  const test::RunResult dry = test::RunProgram(
      corvel, {"products", "import", folder + "/edited.csv", folder + "/pdlist", "--dry-run"});
  EXPECT_EQ(dry.exitCode, 0);
  EXPECT_TRUE(dry.out.contains("item 1 price: \"12.99\" -> \"1.5\"")) << dry.out.toStdString();
  EXPECT_TRUE(dry.out.contains("new item 4 \"Pears\"")) << dry.out.toStdString();
  EXPECT_EQ(ReadAllBytes(folder + "/pdlist"), original);
  ASSERT_EQ(
      test::RunProgram(corvel, {"products", "import", folder + "/edited.csv", folder + "/pdlist"})
          .exitCode,
      0);
  const RecordBytes after = ReadAllBytes(folder + "/pdlist");
  ASSERT_EQ(after.size(), 600u);
  RecordBytes expected = original;
  PutInt64(expected, 10, 15000);
  expected.resize(450, 0);
  EXPECT_EQ(RecordBytes(after.begin(), after.begin() + 450), expected);
  EXPECT_EQ(ProductRecord(RecordBytes(after.begin() + 450, after.end())).Description(1),
            "Pears                   ");
}

// The import takes the station's lock: refused while a station holds it; and a station
// starting during an import waits, then locks the file the import put in place.
TEST(ProductImport, SharesTheStationsLock) {
  const QString folder = test::MakeTempFolder();
  const std::string pdlist = (folder + "/pdlist").toStdString();
  test::WriteAllBytes(folder + "/pdlist", AwkwardFile());
  const QString csv = folder + "/p.csv";
  QFile file(csv);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write((std::string(kHeader) + ",1,New,,,1,1,0,no\n").c_str());
  file.close();
  {
    const FileDescriptor station = LockProductFile(pdlist);
    const test::RunResult run = test::RunProgram(test::BuiltProgram("corvel"),
                                                 {"products", "import", csv, folder + "/pdlist"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("a station is working on the product file"))
        << run.err.toStdString();
    EXPECT_EQ(ReadAllBytes(folder + "/pdlist"), AwkwardFile());
  }

  FileDescriptor import = LockProductFile(pdlist, std::chrono::milliseconds(0));
  FileDescriptor station;
  std::atomic<bool> locked = false;
  std::thread starting([&] {
    station = LockProductFile(pdlist, std::chrono::seconds(60));
    locked = true;
  });
  WriteWholeFile(pdlist, "replaced");
  import = FileDescriptor();
  starting.join();
  ASSERT_TRUE(locked);
  struct stat held {
  }, named{};
  ASSERT_EQ(::fstat(station.get(), &held), 0);
  ASSERT_EQ(::stat(pdlist.c_str(), &named), 0);
  EXPECT_EQ(held.st_ino, named.st_ino) << "the station locked the file the import replaced";
  EXPECT_THROW(LockProductFile(pdlist, std::chrono::milliseconds(0)), Failure);
}

}  // namespace
}  // namespace corvel
