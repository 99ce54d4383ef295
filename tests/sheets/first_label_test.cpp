// A half-used sheet fed again: "FirstLabel" leaves the cells before it empty on the
// first sheet only, and a value that names no cell is reported and starts at cell 1.
#include <gtest/gtest.h>

#include <map>

#include "runner/jobs.h"
#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {

struct Label {
  int document, request;
  double x, y;  // where its description stands
};

// Runs the sheet job on `requests` numbered requests and lists its labels in order.
std::vector<Label> PrintSheet(std::int16_t type, int requests,
                              const std::map<std::string, std::string>& settings,
                              std::vector<std::string>* notices = nullptr) {
  test::DataFolder data;
  test::WriteFile(data.Barprint(), test::BarprintBytes(test::NumberedRows(requests)));
  for (const auto& [key, value] : settings)
    data.settings.Save(kRunnerSection, key, value);
  data.run.notice = [&](const std::string& line) {
    if (notices) notices->push_back(line);
  };
  EXPECT_EQ(data.Ends([type](RunContext& run) { SheetJob(run, type); }), kExitPrinted);
  std::vector<Label> labels;
  for (const RecordedOp& op : data.surface.Texts())
    if (op.text.rfind(" Item ", 0) == 0)
      labels.push_back({op.document, std::stoi(op.text.substr(6)), op.x, op.y});
  return labels;
}

TEST(FirstLabelTest, CellsBeforeItStayEmptyOnTheFirstSheet) {
  const std::map<std::string, std::string> grid65 = {
      {"numofrows", "13"}, {"numofcolumns", "5"}, {"OnePage", "False"}};
  const struct {
    std::int16_t type;
    int requests;
    std::string first;
    int firstCell;              // of the first label
    std::vector<int> perSheet;  // labels on each sheet
  } cases[] = {
      {44, 30, "21", 21, {24}},   // a full sheet prints to its end
      {44, 3, " 30 ", 30, {15}},  // half a sheet's labels, as far as the sheet goes
      {44, 3, "44", 44, {1}},
      {99, 5, "60", 60, {6, 32, 32}},  // later sheets start in their first cell
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.type) + " from \"" + c.first + "\"");
    auto settings = c.type == 99 ? grid65 : decltype(grid65){};
    const auto fresh = PrintSheet(c.type, 44, settings);  // every cell of a fresh sheet
    settings["FirstLabel"] = c.first;
    std::vector<std::string> notices;
    const auto fed = PrintSheet(c.type, c.requests, settings, &notices);
    EXPECT_TRUE(notices.empty());
    std::vector<int> perSheet;
    for (std::size_t i = 0; i < fed.size(); ++i) {
      perSheet.resize(fed[i].document);
      const int inSheet = perSheet.back()++;
      // The requests carry on in their cycle; the label stands in the cell of a fresh
      // sheet (a column is over 2000 twips wide).
      EXPECT_EQ(fed[i].request, int(i) % c.requests + 1);
      const Label& cell = fresh[fed[i].document == 1 ? c.firstCell - 1 + inSheet : inSheet];
      EXPECT_NEAR(fed[i].x, cell.x, 200) << i;  // centred: the text's length moves it
      EXPECT_DOUBLE_EQ(fed[i].y, cell.y) << i;
    }
    EXPECT_EQ(perSheet, c.perSheet);
  }
}

TEST(FirstLabelTest, AValueNamingNoCellIsReportedAndStartsAtOne) {
  const auto fresh = PrintSheet(44, 3, {});
  for (const std::string value : {"0", "45", "-3", "2.5", "abc", "", "1e999"}) {
    SCOPED_TRACE("\"" + value + "\"");
    std::vector<std::string> notices;
    const auto labels = PrintSheet(44, 3, {{"FirstLabel", value}}, &notices);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("FirstLabel"), std::string::npos) << notices[0];
    EXPECT_NE(notices[0].find("1 to 44"), std::string::npos) << notices[0];
    ASSERT_EQ(labels.size(), fresh.size());
    EXPECT_DOUBLE_EQ(labels[0].y, fresh[0].y);
  }
}

// corvel request --first through sheetwise to the PDF: two labels in the last cells; a
// value naming no cell is refused before anything prints.
TEST(FirstLabelTest, RequestCommandSetsIt) {
  const QByteArray csv = "code,description,price\n4006381333931,Tea,$1.00\n5901234123457,Jam,$2\n";
  const test::Installation site, refused;
  EXPECT_EQ(site.Request("44", csv, "accept", {"--first", "43"}).exitCode, 0);
  ASSERT_EQ(site.Pdfs().size(), 1);
  EXPECT_EQ(test::DecodedCodes(site.Pdfs()[0]), (QStringList{"4006381333931", "5901234123457"}));
  EXPECT_EQ(refused.Request("44", csv, "accept", {"--first", "0"}).exitCode, 2);
  EXPECT_TRUE(refused.Pdfs().isEmpty());
}

}  // namespace
}  // namespace corvel
