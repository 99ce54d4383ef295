// The suite stand-in's request writer: what it refuses, what it cuts, what it writes.
#include <gtest/gtest.h>

#include "common/text.h"
#include "runner/request_writer.h"
#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {

struct RefusalCase {
  const char* name;
  std::string csv;
  std::string expectedInMessage;  // empty: accepted
};

class CsvLimits : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(CsvLimits, RefusedWithTheRowNamedOrAccepted) {
  const RefusalCase& c = GetParam();
  if (c.expectedInMessage.empty()) {
    EXPECT_NO_THROW(ParseRequestCsv(c.csv, false));
    return;
  }
  try {
    ParseRequestCsv(c.csv, false);
    FAIL() << "accepted";
  } catch (const RequestInputError& error) {
    EXPECT_NE(std::string(error.what()).find(c.expectedInMessage), std::string::npos)
        << error.what();
  }
  EXPECT_NO_THROW(ParseRequestCsv(c.csv, true)) << "--cut accepts it";
}

INSTANTIATE_TEST_SUITE_P(
    Fields, CsvLimits,
    ::testing::Values(
        RefusalCase{"DescriptionOf32", "code,description\n1," + std::string(32, 'd') + "\n", ""},
        RefusalCase{"DescriptionOf33", "code,description\n1,x\n2," + std::string(33, 'd') + "\n",
                    "CSV line 3: description"},
        RefusalCase{"CodeOf15", "code\n123456789012345\n", "CSV line 2: code"},
        RefusalCase{"PriceOf19", "price\n" + std::string(19, '9') + "\n", "price"},
        RefusalCase{"ShelfTextOf31", "text3\n" + std::string(31, 't') + "\n", "text3"},
        RefusalCase{"WideCharacterCountsOnce", "description\n" + std::string(31, 'e') + "é\n", ""},
        RefusalCase{"OutsideCodePage", "description\nŁódź\n", "Windows-1252"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseRequestCsv, QuotedFieldsAndBothFiles) {
  const RequestDescription request = ParseRequestCsv(
      "Code,Description,Price,text1,text6,byweight\r\n"
      "5012345678900,\"Apples, \"\"Granny\"\"\",$1.99,Fresh,Local,true\r\n"
      "\r\n"
      "4006381333931,Pens,$3,,,\r\n",
      false);
  ASSERT_TRUE(request.barcodes.has_value());
  ASSERT_TRUE(request.shelf.has_value());
  ASSERT_EQ(request.barcodes->size(), 2u);
  EXPECT_EQ(TrimSpaces((*request.barcodes)[0].Description()), "Apples, \"Granny\"");
  EXPECT_EQ(TrimSpaces((*request.barcodes)[1].Price()), "$3");
  ASSERT_EQ(request.shelf->size(), 2u);
  EXPECT_EQ(TrimSpaces((*request.shelf)[0].Text(5)), "Local");
  EXPECT_EQ((*request.shelf)[0].ByWeight(), -1);
  EXPECT_EQ((*request.shelf)[1].ByWeight(), 0);
  EXPECT_EQ(TrimSpaces((*request.shelf)[1].Layout(3, 1, 2)), "1700") << "default layouts";
}

TEST(ParseRequestCsv, BadInputIsRefused) {
  EXPECT_THROW(ParseRequestCsv("code,colour\n1,red\n", false), RequestInputError);
  EXPECT_THROW(ParseRequestCsv("code\n\"1\n", false), RequestInputError);
  EXPECT_THROW(ParseRequestCsv("code\n1,2\n", false), RequestInputError);
}

TEST(ParseRequestJson, SettingsLayoutsAndCards) {
  const RequestDescription request = ParseRequestJson(R"({
    "path": "data", "barcodetype": "S2",
    "settings": {"Printer": {"Display": true, "Cassett": 260}},
    "layouts": {"2": {"paperSource": "C", "elements": {"4": {"top": 5000, "italic": true}}}},
    "shelf": [
      {"texts": ["Fresh", "", "Granny Smith", "3.49"], "byWeight": true},
      {"texts": ["", "", "Pens", 2], "layouts": {"2": {"elements": {"4": {"top": "6000"}}}}}
    ]})",
                                                      false);
  EXPECT_EQ(request.path, "data");
  EXPECT_EQ(request.barcodeType, "S2");
  ASSERT_EQ(request.settings.size(), 2u);
  EXPECT_FALSE(request.barcodes.has_value());
  ASSERT_EQ(request.shelf->size(), 2u);
  const ShelfRecord& first = (*request.shelf)[0];
  const ShelfRecord& second = (*request.shelf)[1];
  EXPECT_EQ(TrimSpaces(first.Layout(9, 3, 2)), "C");
  EXPECT_EQ(TrimSpaces(first.Layout(4, 1, 2)), "5000");
  EXPECT_EQ(TrimSpaces(first.Layout(4, 4, 2)), "x");
  EXPECT_EQ(TrimSpaces(first.Layout(4, 1, 1)), "3600") << "other layouts keep their defaults";
  EXPECT_EQ(first.ByWeight(), -1);
  EXPECT_EQ(TrimSpaces(second.Layout(4, 1, 2)), "6000");
  EXPECT_EQ(TrimSpaces(second.Layout(4, 4, 2)), "x");
  EXPECT_EQ(TrimSpaces(second.Text(3)), "2");
}

TEST(ParseRequestJson, ErrorsNameTheRow) {
  const struct {
    const char* name;
    std::string json;
    std::string expected;
  } rows[] = {
      {"NotJson", "{", "JSON at offset"},
      {"LongCode", R"({"barcodes": [{"code": "1"}, {"code": "123456789012345"}]})",
       "barcodes row 2: code"},
      {"LayoutFour", R"({"shelf": [{}], "layouts": {"4": {}}})", "numbered 1 to 3"},
      {"UnknownCell", R"({"shelf": [{"layouts": {"1": {"elements": {"1": {"size": 3}}}}}]})",
       "unknown cell"},
      {"TenTexts", R"({"shelf": [{"texts": [1,2,3,4,5,6,7,8,9,10]}]})", "at most 9"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    try {
      ParseRequestJson(row.json, false);
      ADD_FAILURE() << "accepted";
    } catch (const RequestInputError& error) {
      EXPECT_NE(std::string(error.what()).find(row.expected), std::string::npos) << error.what();
    }
  }
}

TEST(WriteRequestFile, WritesRecordsAndDumpListsThem) {
  const QString folder = test::MakeTempFolder();
  const RequestDescription request = ParseRequestJson(
      R"({"barcodes": [{"code": 5012345678900, "description": "Apples", "price": "$1.99"}],
          "shelf": [{"texts": ["Fresh"]}]})",
      false);
  WriteRequestFile(folder.toStdString() + "/Barprint", *request.barcodes);
  WriteRequestFile(folder.toStdString() + "/ShelfPrint", *request.shelf);
  EXPECT_EQ(test::ReadFile(folder + "/Barprint").size(), 66);
  EXPECT_EQ(test::ReadFile(folder + "/ShelfPrint").size(), 11162);
  const std::string dump = DumpRequests(folder.toStdString(), false);
  EXPECT_NE(dump.find("code \"5012345678900\"  description \"Apples\"  price \"$1.99\""),
            std::string::npos)
      << dump;
  EXPECT_NE(dump.find("text1 \"Fresh\""), std::string::npos) << dump;
}

TEST(DumpRequests, MissingFilesAreReportedNotCreated) {
  const QString folder = test::MakeTempFolder();
  const std::string dump = DumpRequests(folder.toStdString(), true);
  EXPECT_NE(dump.find("Barprint: missing"), std::string::npos);
  EXPECT_FALSE(QFile::exists(folder + "/Barprint"));
  EXPECT_FALSE(QFile::exists(folder + "/ShelfPrint"));
}

}  // namespace
}  // namespace corvel
