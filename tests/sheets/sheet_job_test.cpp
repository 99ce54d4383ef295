// The sheet job on a recording surface: which request lands in which cell of which
// sheet, where the bars and texts go, the number line and the run's end.
#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>
#include <map>
#include <optional>

#include "common/errors.h"
#include "runner/jobs.h"
#include "tests/sheets/sheet_test_support.h"

namespace corvel {
namespace {

using Settings = std::map<std::string, std::string>;

// Runs the job to its end: EndRun's exit code, or nothing when a Failure ended it.
std::optional<int> RunSheet(test::JobRig& rig, std::int16_t type, const Settings& settings = {}) {
  for (const auto& [key, value] : settings)
    rig.settings.Save("Quorrel", key, value);
  try {
    SheetJob(rig.run, type);
  } catch (const EndRun& end) {
    return end.exitCode;
  } catch (const Failure&) {
    return std::nullopt;
  }
  return -1;
}

// The request of every label, sheet by sheet, from the description (" Item 7").
std::vector<std::vector<int>> RequestsBySheet(const RecordingSurface& surface) {
  std::vector<std::vector<int>> sheets;
  for (const RecordedOp& op : surface.Texts()) {
    if (op.text.rfind(" Item ", 0) != 0) continue;
    sheets.resize(std::max<std::size_t>(sheets.size(), op.document));
    sheets[op.document - 1].push_back(std::stoi(op.text.substr(6)));
  }
  return sheets;
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
    const char* name;
    std::int16_t type;
    Settings settings;
    int requests;
    std::vector<std::vector<int>> sheets;
  } cases[] = {
      // clang-format off
      {"44 with 3: half a sheet", 44, {}, 3, {Cycle(1, 22, 3)}},
      {"44 with 30: 1-30 then 1-14", 44, {}, 30, {Cycle(1, 44, 30)}},
      {"44 with 60: one sheet only", 44, {}, 60, {Cycle(1, 44, 60)}},
      {"99 with OnePage True", 99, {{"numofrows", "13"}, {"numofcolumns", "5"}}, 5, {Cycle(1, 32, 5)}},
      {"99, OnePage False, 5 on 65: until a sheet ends on request 5", 99, grid65, 5,
       {Cycle(1, 32, 5), Cycle(3, 32, 5), Cycle(5, 32, 5), Cycle(2, 32, 5), Cycle(4, 32, 5)}},
      {"99, OnePage False, 130 on 65: two full sheets", 99, grid65, 130,
       {Cycle(1, 65, 130), Cycle(66, 65, 130)}},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::JobRig rig;
    test::WriteBarcodeRequests(rig.folder, c.requests);
    EXPECT_EQ(RunSheet(rig, c.type, c.settings), 0);
    EXPECT_EQ(RequestsBySheet(rig.surface), c.sheets);
    EXPECT_EQ(rig.surface.EndedDocuments(), int(c.sheets.size())) << "one document per sheet";
  }
}

TEST(SheetJobTest, FailuresPrintNothing) {
  for (const auto& [type, settings] : std::vector<std::pair<std::int16_t, Settings>>{
           {50, {}}, {98, {}}, {99, {{"numofrows", "0"}}}, {99, {{"BarcodeWidth", "345"}}}}) {
    SCOPED_TRACE(type);
    test::JobRig rig;
    test::WriteBarcodeRequests(rig.folder, 3);
    EXPECT_EQ(RunSheet(rig, type, settings), std::nullopt) << "a failure, not a normal end";
    EXPECT_TRUE(rig.surface.Ops().empty());
    EXPECT_TRUE(rig.messages.texts.empty());
  }
}

// The ops of cell n (from 1): from after the (n-1)-th price to the n-th.
std::vector<RecordedOp> Cell(const RecordingSurface& surface, int n) {
  std::vector<RecordedOp> ops;
  int cell = 1;
  for (const RecordedOp& op : surface.Ops()) {
    if (cell == n) ops.push_back(op);
    if (op.kind == RecordedOp::Kind::Text && op.text.find(".99") != std::string::npos) ++cell;
  }
  return ops;
}

// Positions worked out by hand (recording surface: 10 twips wide and 24 high per point
// and character). Texts are centred on the whole-number half of the free width, less
// half the column gap; bars on the rounded half, without the gap.
TEST(SheetJobTest, BarsAndTextsAreCentredInTheirCell) {
  const double x44 = 6 * 56.7, y44 = 7 * 56.7, w44 = 194 * 56.7 / 4, h44 = 280 * 56.7 / 11;
  const double x84 = 2 * 56.7 + 2594.025 + 5 * 56.7, y84 = 14 * 56.7;
  const struct {
    const char* name;
    std::int16_t type;
    int cell;
    double barsLeft, barsTop;
    std::vector<std::tuple<std::string, double, double, double>> texts;  // text, x, y, size
  } cases[] = {
      // clang-format off
      {"44, cell 1: bars (2749.95 - 2090) / 2 = 330 in", 44, 1, x44 + 330, y44,
       {{"400638100001 7", x44 + 815, y44 + 600, 8}, {" Item 1", x44 + 1025, y44 + 792, 10},
        {"$1.99", x44 + 1075, y44 + 1032, 12}}},
      {"44, cell 6: second row, second column", 44, 6, x44 + w44 + 330, y44 + h44,
       {{"400638100006 2", x44 + w44 + 815, y44 + h44 + 600, 8}}},
      {"84, cell 2: price beside the description", 84, 2, x84 + 347, y84,
       {{"400638100002 4", x84 + 1017 - 141.75, y84 + 300, 4},
        {" Item 2 $2.99", x84 + 907 - 141.75, y84 + 396, 6}}},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::JobRig rig;
    test::WriteBarcodeRequests(rig.folder, 44);
    ASSERT_EQ(RunSheet(rig, c.type), 0);
    double left = 1e9, top = 1e9;
    std::vector<RecordedOp> texts;
    for (const RecordedOp& op : Cell(rig.surface, c.cell)) {
      if (op.kind == RecordedOp::Kind::Rect) left = std::min({left, op.x, op.x2});
      if (op.kind == RecordedOp::Kind::Rect) top = std::min({top, op.y, op.y2});
      if (op.kind == RecordedOp::Kind::Text) texts.push_back(op);
    }
    EXPECT_NEAR(left, c.barsLeft, 1e-6);
    EXPECT_NEAR(top, c.barsTop, 1e-6);
    ASSERT_GE(texts.size(), c.texts.size());
    for (std::size_t i = 0; i < c.texts.size(); ++i) {
      const auto& [text, x, y, size] = c.texts[i];
      EXPECT_EQ(texts[i].text, text);
      EXPECT_NEAR(texts[i].x, x, 1e-6) << text;
      EXPECT_NEAR(texts[i].y, y, 1e-6) << text;
      EXPECT_EQ(texts[i].font.size, size);
      EXPECT_EQ(texts[i].font.name, "Tahoma");
      EXPECT_TRUE(texts[i].font.bold);
    }
  }
}

// Number line and symbology on a 44 sheet; the bars' offset in the cell shows the
// symbol's width (EAN-13 330, EAN-8 638, UPC-E 814).
TEST(SheetJobTest, NumberLineAndSymbology) {
  const struct {
    const char* code;
    Settings settings;
    std::string numberLine;
    double barsOffset;
  } cases[] = {
      {"12345678901", {}, "12345678901 2", 330},
      {"12345678901", {{"PrintCheckDigit", "False"}}, "12345678901", 330},
      {"4006381333931", {{"PrintCheckDigit", "False"}}, "400638133393 1", 330},
      {"9638507", {{"EAN8", "True"}}, "9638507 4", 638},
      {"1230000045", {{"UPCE", "True"}}, "123453", 814},
      {"1230000045", {{"UPCE", "True"}, {"PrintUpcEcode", "False"}}, "1230000045 1", 814},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("code '") + c.code + "'");
    test::JobRig rig;
    test::WriteBarcodeRequests(rig.folder, 1, {c.code});
    ASSERT_EQ(RunSheet(rig, 44, c.settings), 0);
    EXPECT_EQ(rig.surface.Texts().at(0).text, c.numberLine);
    double left = 1e9;
    for (const RecordedOp& op : rig.surface.Rects())
      left = std::min({left, op.x, op.x2});
    EXPECT_NEAR(left, 6 * 56.7 + c.barsOffset, 1e-6);
  }
}

TEST(SheetJobTest, StoreLinesComeFromTheFirstShelfRecord) {
  const struct {
    const char* name;
    bool shelfFile;
    Settings settings;
    std::vector<std::string> texts;  // the first label's
    double barsTop;
  } cases[] = {
      // clang-format off
      {"both lines", true, {}, {"Corner Shop", "400638100001 7", " Item 1", "$1.99", "Open 7 days"},
       8 * 56.7 + 192},
      {"line 1 off", true, {{"PrintStore1", "False"}}, {"400638100001 7", " Item 1", "$1.99", "Open 7 days"},
       8 * 56.7},
      {"no shelf file: blank lines", false, {}, {"", "400638100001 7", " Item 1", "$1.99", ""},
       8 * 56.7 + 192},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::JobRig rig;
    test::WriteBarcodeRequests(rig.folder, 1);
    if (c.shelfFile) {
      test::WriteShelfRecords(
          rig.folder, {{{"  Corner Shop  ", "Open 7 days"}, 0, {}}, {{"Other", "Card"}, 0, {}}});
    }
    ASSERT_EQ(RunSheet(rig, 99, c.settings), 0);
    const auto texts = rig.surface.Texts();
    ASSERT_GE(texts.size(), c.texts.size());
    for (std::size_t i = 0; i < c.texts.size(); ++i)
      EXPECT_EQ(texts[i].text, c.texts[i]);
    double top = 1e9;
    for (const RecordedOp& op : Cell(rig.surface, 1)) {
      if (op.kind == RecordedOp::Kind::Rect) top = std::min({top, op.y, op.y2});
    }
    EXPECT_NEAR(top, c.barsTop, 1e-6) << "bars under store line 1 (8 pt: 192)";
    EXPECT_TRUE(QFile::exists(rig.folder + "/ShelfPrint"));
  }
}

}  // namespace
}  // namespace corvel
