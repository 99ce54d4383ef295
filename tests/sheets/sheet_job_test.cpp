// The sheet job on a recording surface: which request lands in which cell of which
// sheet, and every label inside its cell.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "runner/jobs.h"
#include "runner/sheet_layout.h"
#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {

using Settings = std::map<std::string, std::string>;

std::vector<int> Cycle(int first, int labels, int count) {
  std::vector<int> out;
  for (int i = 0; i < labels; ++i)
    out.push_back((first - 1 + i) % count + 1);
  return out;
}

// Requests "Item 1".. priced "$1.00".. with distinct EAN-13 codes. The first sheet starts
// at its FirstLabel cell, for this run only; every bar and text stays inside the cell of
// its label (cells taken row by row; texts are centred half a column gap left of the
// bars). Requests a sheet leaves unprinted are counted on standard error.
TEST(SheetJobTest, RequestsFillTheCellsInACycle) {
  // A 9-point price fits the 13-row cells (the default 12 points does not).
  const Settings grid65 = {
      {"numofrows", "13"}, {"numofcolumns", "5"}, {"OnePage", "False"}, {"Pircefont", "9"}};
  Settings grid65From60 = grid65;
  grid65From60["FirstLabel"] = "60";
  const struct {
    std::int16_t type;
    Settings settings;
    int requests;
    std::vector<std::vector<int>> sheets;  // the request of every label on each sheet
    int firstCell = 1;
    int strayBytes = 0;  // after the last record
    // What the run says on standard error: requests left unprinted, the label it
    // started at (FirstLabel is then set back to 1 for the next run).
    std::vector<std::string> said = {};
  } cases[] = {
      // clang-format off
      {44, {}, 22, {Cycle(1, 22, 22)}},  // half a sheet
      {44, {}, 23, {Cycle(1, 44, 23)}},  // the whole sheet, and one sheet only
      {44, {}, 45, {Cycle(1, 44, 45)}, 1, 0, {"1 of 45 requests did not fit: request 45 was not printed"}},
      {84, {}, 3, {Cycle(1, 42, 3)}},
      {99, {{"numofrows", "1"}, {"numofcolumns", "1"}}, 1, {{1}}},
      // Until a sheet ends on the last request; stray bytes once made a sheet per record.
      {99, grid65, 5, {Cycle(1, 32, 5), Cycle(3, 32, 5), Cycle(5, 32, 5), Cycle(2, 32, 5), Cycle(4, 32, 5)}},
      {99, grid65, 130, {Cycle(1, 65, 130), Cycle(66, 65, 130)}, 1, 7},
      // A half-used sheet fed again: as many labels as a fresh sheet, as far as it goes.
      {44, {{"FirstLabel", "21"}}, 30, {Cycle(1, 24, 30)}, 21, 0, {"started at label 21", "6 of 30 requests did not fit"}},
      {44, {{"FirstLabel", "30"}}, 3, {Cycle(1, 15, 3)}, 30, 0, {"started at label 30"}},
      {44, {{"FirstLabel", "44"}}, 3, {{1}}, 44, 0, {"started at label 44", "2 of 3 requests did not fit: requests 2 to 3 were not printed"}},
      {99, grid65From60, 5, {Cycle(1, 6, 5), Cycle(2, 32, 5), Cycle(4, 32, 5)}, 60, 0, {"started at label 60"}},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.type) + " with " + std::to_string(c.requests));
    test::DataFolder sheet;
    test::WriteFile(sheet.Barprint(), test::BarprintBytes(test::NumberedRows(c.requests)) +
                                          QByteArray(c.strayBytes, ' '));
    for (const auto& [key, value] : c.settings)
      sheet.settings.Save(kRunnerSection, key, value);
    std::vector<std::string> said;
    sheet.run.notice = [&said](const std::string& line) { said.push_back(line); };
    EXPECT_EQ(sheet.Ends([&c](RunContext& run) { SheetJob(run, c.type); }), kExitPrinted);
    ASSERT_EQ(said.size(), c.said.size()) << (said.empty() ? "" : said.front());
    for (std::size_t i = 0; i < said.size(); ++i)
      EXPECT_NE(said[i].find(c.said[i]), std::string::npos) << said[i];
    EXPECT_EQ(sheet.settings.Get(kRunnerSection, "FirstLabel"),
              c.settings.count("FirstLabel") ? std::optional<std::string>("1") : std::nullopt)
        << "a start label applies to one run";
    EXPECT_EQ(sheet.surface.EndedDocuments(), int(c.sheets.size())) << "one document per sheet";

    const SheetLayout l = LoadSheetLayout(sheet.settings, c.type);
    const CellSize cell = LabelCellSize(l);
    std::vector<std::vector<int>> sheets;
    for (const RecordedOp& op : sheet.surface.Ops()) {
      const bool text = op.kind == RecordedOp::Kind::Text;
      if (text ? op.text.empty() : op.kind != RecordedOp::Kind::Rect) continue;
      const double right = text ? op.x + double(op.text.size()) * 10 * op.font.size : op.x2;
      const double bottom = text ? op.y + 24 * op.font.size : op.y2;
      const double middle = (op.x + right) / 2 + (text ? l.columnGap / 2 : 0);
      const int column = int(std::floor((middle - l.leftMargin) / (cell.width + l.columnGap)));
      const int row =
          int(std::floor(((op.y + bottom) / 2 - l.topMargin) / (cell.height + l.rowGap)));
      const double left = l.leftMargin + (cell.width + l.columnGap) * column;
      const double top = l.topMargin + (cell.height + l.rowGap) * row;
      EXPECT_TRUE(column < l.columns && op.x >= left && right <= left + cell.width && op.y >= top &&
                  bottom <= top + cell.height + 1e-6)
          << op.text << " " << op.x << "," << op.y << " " << right << "," << bottom;
      if (!text || op.text.rfind(" Item ", 0) != 0) continue;
      sheets.resize(std::max<std::size_t>(sheets.size(), op.document));
      auto& labels = sheets[op.document - 1];
      labels.push_back(std::stoi(op.text.substr(6)));
      EXPECT_EQ(row * l.columns + column + 1,
                int(labels.size()) + (op.document == 1 ? c.firstCell - 1 : 0));
    }
    EXPECT_EQ(sheets, c.sheets);
  }
}

}  // namespace
}  // namespace corvel
