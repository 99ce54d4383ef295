// The request writer: what it refuses, what it cuts, what it writes.
#include <gtest/gtest.h>

#include "common/text.h"
#include "runner/request_writer.h"
#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {

TEST(RequestWriter, RefusedWithTheRowNamedOrAccepted) {
  const std::string d32(32, 'd'), d33(33, 'd');
  const struct {
    bool json;
    std::string input;
    std::string message;  // empty: accepted
    bool cutAccepts;
  } cases[] = {
      // clang-format off
      {false, "code,description\n1," + d32 + "\n", "", true},
      {false, "code,description\n1,x\n2," + d33 + "\n", "CSV line 3: description", true},
      {false, "code\n123456789012345\n", "CSV line 2: code", true},
      {false, "price\n" + std::string(19, '9') + "\n", "price", true},
      {false, "description\n" + std::string(31, 'e') + "é\n", "", true},  // counts once
      {false, "description\nŁódź\n", "Windows-1252", true},
      {false, "code,colour\n1,red\n", "unknown column", false},
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
  EXPECT_EQ(request.path, "data");
  EXPECT_EQ(request.barcodeType, "S2");
  EXPECT_EQ(request.settings.size(), 2u);
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

TEST(RequestWriter, DumpReportsMissingFilesWithoutCreatingThem) {
  const QString folder = test::MakeTempFolder();
  EXPECT_NE(DumpRequests(folder.toStdString(), true).find("Barprint: missing"), std::string::npos);
  EXPECT_FALSE(QFile::exists(folder + "/Barprint"));
  EXPECT_FALSE(QFile::exists(folder + "/ShelfPrint"));
}

}  // namespace
}  // namespace corvel
