// The sheet job on a recording surface: which request lands in which cell of which
// sheet, where the bars and texts go, the number line and the run's end.
#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>
#include <map>

#include "runner/jobs.h"
#include "runner/sheet_layout.h"
#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {

using Settings = std::map<std::string, std::string>;

// Requests "Item 1".. priced "$1.00".. with codes 400638100001C, 400638100002C, ...
struct SheetRun : test::DataFolder {
  SheetRun(int requests, std::int16_t type, const Settings& values = {},
           const std::vector<std::string>& codes = {}, const QByteArray& shelf = {},
           int strayBytes = 0) {
    auto rows = test::NumberedRows(requests, 400638100001LL);
    for (std::size_t i = 0; i < codes.size(); ++i)
      rows[i].code = codes[i];
    test::WriteFile(Barprint(), test::BarprintBytes(rows) + QByteArray(strayBytes, ' '));
    if (!shelf.isNull()) test::WriteFile(ShelfPrint(), shelf);
    for (const auto& [key, value] : values)
      settings.Save(kRunnerSection, key, value);
    exitCode = Ends([type](RunContext& run) { SheetJob(run, type); });
  }
  // The ops of cell n (from 1): from after the (n-1)-th price to the n-th.
  std::vector<RecordedOp> Cell(int n) const {
    std::vector<RecordedOp> ops;
    int cell = 1;
    for (const RecordedOp& op : surface.Ops()) {
      if (cell == n) ops.push_back(op);
      if (op.kind == RecordedOp::Kind::Text && op.text.find(".00") != std::string::npos) ++cell;
    }
    return ops;
  }
  std::optional<int> exitCode;
};

std::vector<int> Cycle(int first, int labels, int count) {
  std::vector<int> out;
  for (int i = 0; i < labels; ++i)
    out.push_back((first - 1 + i) % count + 1);
  return out;
}

TEST(SheetJobTest, RequestsFillTheCellsInACycle) {
  const Settings grid65 = {{"numofrows", "13"}, {"numofcolumns", "5"}, {"OnePage", "False"}};
  const struct {
    std::int16_t type;
    Settings settings;
    int requests;
    std::vector<std::vector<int>> sheets;
    int strayBytes = 0;  // after the last record
  } cases[] = {
      // clang-format off
      {44, {}, 3, {Cycle(1, 22, 3)}},    // half a sheet
      {44, {}, 60, {Cycle(1, 44, 60)}},  // one sheet only
      // Until a sheet ends on the last request.
      {99, grid65, 5, {Cycle(1, 32, 5), Cycle(3, 32, 5), Cycle(5, 32, 5), Cycle(2, 32, 5), Cycle(4, 32, 5)}},
      {99, grid65, 130, {Cycle(1, 65, 130), Cycle(66, 65, 130)}, 7},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.type) + " with " + std::to_string(c.requests));
    SheetRun sheet(c.requests, c.type, c.settings, {}, {}, c.strayBytes);
    EXPECT_EQ(sheet.exitCode, 0);
    std::vector<std::vector<int>> sheets;  // the request of every label, from " Item 7"
    for (const RecordedOp& op : sheet.surface.Texts()) {
      if (op.text.rfind(" Item ", 0) != 0) continue;
      sheets.resize(std::max<std::size_t>(sheets.size(), op.document));
      sheets[op.document - 1].push_back(std::stoi(op.text.substr(6)));
    }
    EXPECT_EQ(sheets, c.sheets);
    EXPECT_EQ(sheet.surface.EndedDocuments(), int(c.sheets.size())) << "one document per sheet";
  }
}

TEST(SheetJobTest, FailuresPrintNothing) {
  for (const auto& [type, settings] : std::vector<std::pair<std::int16_t, Settings>>{
           {50, {}}, {98, {}}, {99, {{"numofrows", "0"}}}, {99, {{"BarcodeWidth", "345"}}}}) {
    SheetRun sheet(3, type, settings);
    EXPECT_EQ(sheet.exitCode, kExitFailed) << type;
    EXPECT_TRUE(sheet.surface.Ops().empty());
    EXPECT_TRUE(sheet.messages.messages.empty());
  }
}

// Every label stays inside its cell (cells taken row by row): bars centred on it, texts
// centred half a column gap further left, nothing beyond its edges.
TEST(SheetJobTest, LabelsStayInsideTheirCells) {
  const struct {
    std::int16_t type;
    Settings settings;
    std::string code;  // of the first request
  } cases[] = {{44, {}, ""}, {65, {}, ""}, {84, {}, ""}, {44, {{"UPCE", "True"}}, "1230000045"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.type) + " " + c.code);
    SheetRun sheet(44, c.type, c.settings,
                   c.code.empty() ? std::vector<std::string>{} : std::vector{c.code});
    ASSERT_EQ(sheet.exitCode, 0);
    const SheetLayout layout = LoadSheetLayout(sheet.settings, c.type);
    const CellSize cell = LabelCellSize(layout);
    for (int n = 1; n <= layout.columns + 2; ++n) {
      SCOPED_TRACE(n);
      const double left =
          layout.leftMargin + (cell.width + layout.columnGap) * ((n - 1) % layout.columns);
      const double top =
          layout.topMargin + (cell.height + layout.rowGap) * ((n - 1) / layout.columns);
      const double centre = left + cell.width / 2;
      double barsLeft = 1e9, barsRight = 0, numberCentre = 0;
      for (const RecordedOp& op : sheet.Cell(n)) {
        const bool text = op.kind == RecordedOp::Kind::Text;
        const double right = text ? op.x + double(op.text.size()) * 10 * op.font.size : op.x2;
        const double bottom = text ? op.y + 24 * op.font.size : op.y2;
        EXPECT_TRUE(op.x >= left && right <= left + cell.width && op.y >= top &&
                    bottom <= top + cell.height + 1e-6)
            << op.text << " " << op.x << "," << op.y << " " << right << "," << bottom;
        if (!text) barsLeft = std::min(barsLeft, op.x), barsRight = std::max(barsRight, right);
        if (text && !numberCentre) numberCentre = (op.x + right) / 2;
      }
      EXPECT_NEAR((barsLeft + barsRight) / 2, centre, 1);
      EXPECT_NEAR(numberCentre, centre - layout.columnGap / 2, 1);
    }
  }
}

// Store lines from the first shelf record, blank without a shelf file (which is then
// created); the bars sit under store line 1 (8 pt: 192 twips) either way.
TEST(SheetJobTest, StoreLinesComeFromTheFirstShelfRecord) {
  for (const bool shelfFile : {true, false}) {
    SCOPED_TRACE(shelfFile);
    const QByteArray shelf =
        shelfFile ? test::ShelfBytes({{{"  Corner Shop  ", "Open 7 days"}}, {{"Other", "Card"}}})
                  : QByteArray();
    SheetRun sheet(1, 99, {}, {}, shelf);
    ASSERT_EQ(sheet.exitCode, 0);
    std::vector<std::string> texts;
    for (const RecordedOp& op : sheet.surface.Texts())
      texts.push_back(op.text);
    ASSERT_GE(texts.size(), 5u);
    texts.resize(5);
    EXPECT_EQ(texts,
              (std::vector<std::string>{shelfFile ? "Corner Shop" : "", "400638100001 7", " Item 1",
                                        "$1.00", shelfFile ? "Open 7 days" : ""}));
    double barsTop = 1e9;
    for (const RecordedOp& op : sheet.Cell(1))
      if (op.kind == RecordedOp::Kind::Rect) barsTop = std::min({barsTop, op.y, op.y2});
    EXPECT_NEAR(barsTop, 8 * 56.7 + 192, 1e-6);
    EXPECT_TRUE(QFile::exists(sheet.ShelfPrint()));
  }
}

}  // namespace
}  // namespace corvel
