// The sheet job on a recording surface: which request lands in which cell of which
// sheet, where the bars and texts go, the number line and the run's end.
#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>
#include <map>

#include "runner/jobs.h"
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

double Least(const std::vector<RecordedOp>& ops, double RecordedOp::*a, double RecordedOp::*b) {
  double least = 1e9;
  for (const RecordedOp& op : ops)
    if (op.kind == RecordedOp::Kind::Rect) least = std::min({least, op.*a, op.*b});
  return least;
}

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
    EXPECT_TRUE(sheet.messages.informed.empty());
  }
}

// Positions worked out by hand (recording surface: 10 twips wide and 24 high per point
// and character). Texts are centred on the whole-number half of the free width, less
// half the column gap; bars on the rounded half, without the gap. The bars' offset in
// a 44 cell shows the symbol's width (EAN-13 330, UPC-E 814).
TEST(SheetJobTest, BarsAndTextsAreCentredInTheirCell) {
  const double x44 = 6 * 56.7, y44 = 7 * 56.7, w44 = 194 * 56.7 / 4, h44 = 280 * 56.7 / 11;
  const double x84 = 2 * 56.7 + 2594.025 + 5 * 56.7, y84 = 14 * 56.7;
  const struct {
    std::int16_t type;
    int cell;
    Settings settings;
    std::string code;  // of the first request
    double barsLeft, barsTop;
    std::vector<std::tuple<std::string, double, double, double>> texts;  // text, x, y, size
  } cases[] = {
      // clang-format off
      {44, 1, {}, "", x44 + 330, y44,
       {{"400638100001 7", x44 + 815, y44 + 600, 8}, {" Item 1", x44 + 1025, y44 + 792, 10}, {"$1.00", x44 + 1075, y44 + 1032, 12}}},
      {44, 6, {}, "", x44 + w44 + 330, y44 + h44, {{"400638100006 2", x44 + w44 + 815, y44 + h44 + 600, 8}}},
      {84, 2, {}, "", x84 + 347, y84,  // price beside the description
       {{"400638100002 4", x84 + 1017 - 141.75, y84 + 300, 4}, {" Item 2 $2.00", x84 + 907 - 141.75, y84 + 396, 6}}},
      {44, 1, {{"UPCE", "True"}}, "1230000045", x44 + 814, y44, {{"123453", x44 + 1135, y44 + 600, 8}}},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.type) + " cell " + std::to_string(c.cell) + " " + c.code);
    SheetRun sheet(44, c.type, c.settings,
                   c.code.empty() ? std::vector<std::string>{} : std::vector{c.code});
    ASSERT_EQ(sheet.exitCode, 0);
    const auto ops = sheet.Cell(c.cell);
    EXPECT_NEAR(Least(ops, &RecordedOp::x, &RecordedOp::x2), c.barsLeft, 1e-6);
    EXPECT_NEAR(Least(ops, &RecordedOp::y, &RecordedOp::y2), c.barsTop, 1e-6);
    std::vector<RecordedOp> texts;
    std::copy_if(ops.begin(), ops.end(), std::back_inserter(texts),
                 [](const RecordedOp& op) { return op.kind == RecordedOp::Kind::Text; });
    ASSERT_GE(texts.size(), c.texts.size());
    for (std::size_t i = 0; i < c.texts.size(); ++i) {
      const auto& [text, x, y, size] = c.texts[i];
      EXPECT_EQ(texts[i].text, text);
      EXPECT_NEAR(texts[i].x, x, 1e-6) << text;
      EXPECT_NEAR(texts[i].y, y, 1e-6) << text;
      EXPECT_EQ(texts[i].font, (RecordedFont{"Tahoma", size, true}));
    }
  }
}

TEST(SheetJobTest, StoreLinesComeFromTheFirstShelfRecord) {
  const struct {
    bool shelfFile;
    Settings settings;
    std::vector<std::string> texts;  // the first label's
    double barsTop;                  // under store line 1 (8 pt: 192)
  } cases[] = {
      // clang-format off
      {true, {}, {"Corner Shop", "400638100001 7", " Item 1", "$1.00", "Open 7 days"}, 8 * 56.7 + 192},
      {false, {}, {"", "400638100001 7", " Item 1", "$1.00", ""}, 8 * 56.7 + 192},  // blank lines
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.texts.size());
    const QByteArray shelf =
        c.shelfFile ? test::ShelfBytes({{{"  Corner Shop  ", "Open 7 days"}}, {{"Other", "Card"}}})
                    : QByteArray();
    SheetRun sheet(1, 99, c.settings, {}, shelf);
    ASSERT_EQ(sheet.exitCode, 0);
    const auto texts = sheet.surface.Texts();
    ASSERT_GE(texts.size(), c.texts.size());
    for (std::size_t i = 0; i < c.texts.size(); ++i)
      EXPECT_EQ(texts[i].text, c.texts[i]);
    EXPECT_NEAR(Least(sheet.Cell(1), &RecordedOp::y, &RecordedOp::y2), c.barsTop, 1e-6);
    EXPECT_TRUE(QFile::exists(sheet.ShelfPrint()));
  }
}

}  // namespace
}  // namespace corvel
