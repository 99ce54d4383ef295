// The request writer: what it refuses, what it cuts, what it writes.
#include <gtest/gtest.h>

#include <QFileInfo>

#include "common/text.h"
#include "tests/runner/runner_fixture.h"
#include "tools/requests/request_writer.h"

namespace corvel {
namespace {

TEST(RequestWriter, RefusedWithTheRowNamedOrAccepted) {
  const std::string d33(33, 'd');
  const struct {
    bool json;
    std::string input;
    std::string message;  // empty: accepted
    bool cutAccepts;
  } cases[] = {
      // clang-format off
      {false, "code,description\n1,x\n2," + d33 + "\n", "CSV line 3: description", true},
      {false, "description\n" + std::string(31, 'e') + "é\n", "", true},  // counts once
      {false, "description\nŁódź\n", "Windows-1252", true},
      {false, "code\n\"1\n", "not closed", false},
      {true, "{", "JSON at offset", false},
      {true, R"({"barcodes": [{"code": "1"}, {"code": "123456789012345"}]})", "barcodes row 2: code", true},
      {true, R"({"shelf": [{}], "layouts": {"4": {}}})", "numbered 1 to 3", false},
      {true, R"({"shelf": [{"layouts": {"1": {"elements": {"1": {"size": 3}}}}}]})", "unknown cell", false},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    const auto parse = [&](bool cut) {
      c.json ? ParseRequestJson(c.input, cut) : ParseRequestCsv(c.input, cut);
    };
    std::string refusal;
    try {
      parse(false);
    } catch (const RequestInputError& error) {
      refusal = error.what();
    }
    EXPECT_EQ(refusal.empty(), c.message.empty()) << refusal;
    EXPECT_NE(refusal.find(c.message), std::string::npos) << refusal;
    if (c.cutAccepts) {
      EXPECT_NO_THROW(parse(true)) << "--cut accepts it";
    }
  }
}

TEST(RequestWriter, JsonSettingsLayoutsAndCards) {
  const RequestDescription request = ParseRequestJson(R"({
    "path": "data", "barcodetype": "S2",
    "settings": {"Printer": {"Display": true, "Cassett": 260}},
    "layouts": {"2": {"paperSource": "C", "elements": {"4": {"top": 5000, "italic": true}}}},
    "shelf": [
      {"texts": ["Fresh", "", "Granny Smith", "3.49"], "byWeight": true},
      {"texts": ["", "", "Pens", 2], "layouts": {"2": {"elements": {"4": {"top": "6000"}}}}}
    ]})",
                                                      false);
  EXPECT_EQ(std::tuple(request.path, request.barcodeType, request.settings.size()),
            std::tuple("data", "S2", 2u));
  ASSERT_EQ(request.shelf->size(), 2u);
  const ShelfRecord& first = (*request.shelf)[0];
  const ShelfRecord& second = (*request.shelf)[1];
  EXPECT_EQ(TrimSpaces(first.Layout(9, 3, 2)), "C");
  EXPECT_EQ(TrimSpaces(first.Layout(4, 1, 2)), "5000");
  EXPECT_EQ(TrimSpaces(first.Layout(4, 1, 1)), "3600") << "other layouts keep their defaults";
  EXPECT_EQ(first.ByWeight(), -1);
  EXPECT_EQ(TrimSpaces(second.Layout(4, 1, 2)), "6000") << "a card's own layout wins";
  EXPECT_EQ(TrimSpaces(second.Layout(4, 4, 2)), "x") << "and keeps the request's others";
  EXPECT_EQ(TrimSpaces(second.Text(3)), "2");
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
    const RequestDescription old = ParseRequestCsv("code,text1\n1,a\n2,b\n", false);
    WriteRequestFiles(folder, old, false);
    const RequestDescription request = ParseRequestCsv(row.csv, false);
    if (row.barprintSize < 0) {
      EXPECT_THROW(WriteRequestFiles(folder, request, row.keepShelf), RequestInputError);
    } else {
      WriteRequestFiles(folder, request, row.keepShelf);
    }
    EXPECT_EQ(QFileInfo(QString::fromStdString(folder + "/Barprint")).size(),
              row.barprintSize < 0 ? 2 * 66 : row.barprintSize);
    EXPECT_EQ(QFileInfo(QString::fromStdString(folder + "/ShelfPrint")).size(), row.shelfSize);
  }
}

// Every record is listed and every byte of a field shown; missing files are reported,
// not created.
TEST(RequestWriter, DumpShowsEveryByteAndCreatesNothing) {
  const QString folder = test::MakeTempFolder();
  EXPECT_NE(DumpRequests(folder.toStdString(), true).find("Barprint: missing"), std::string::npos);
  EXPECT_FALSE(QFile::exists(folder + "/Barprint"));
  EXPECT_FALSE(QFile::exists(folder + "/ShelfPrint"));

  BarcodeRequestRecord record;
  record.SetCode(std::string{'1', '2', '\0', '3'});
  record.SetDescription("say \"hi\"\t\\");
  WriteRequestFile(folder.toStdString() + "/Barprint", std::vector{record, record});
  const std::string dump = DumpRequests(folder.toStdString(), false);
  const std::string row = R"(code "12\x003"  description "say \"hi\"\x09\\")";
  EXPECT_NE(dump.find("1  " + row), std::string::npos) << dump;
  EXPECT_NE(dump.find("2  " + row), std::string::npos) << dump;
}

}  // namespace
}  // namespace corvel
