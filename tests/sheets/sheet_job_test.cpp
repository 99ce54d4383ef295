// The sheet job on a recording surface: which request lands in which cell of which
// sheet, where the bars and texts go, the number line and the run's end.
#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>

#include "common/errors.h"
#include "runner/jobs.h"
#include "tests/sheets/sheet_test_support.h"

namespace corvel {
namespace {

using test::JobRig;

// Runs the job to its end: the exit code of EndRun, or nothing when a Failure ended it.
std::optional<int> RunSheet(JobRig& rig, std::int16_t type) {
  try {
    SheetJob(rig.run, type);
  } catch (const EndRun& end) {
    return end.exitCode;
  } catch (const Failure&) {
    return std::nullopt;
  }
  ADD_FAILURE() << "the sheet job returned instead of ending the run";
  return -1;
}

// The request number of every label, sheet by sheet, read from the description lines
// (" Item 7" on its own line, or " Item 7 $7.99" when the price shares it).
std::vector<std::vector<int>> RequestsBySheet(const RecordingSurface& surface) {
  std::vector<std::vector<int>> sheets;
  for (const RecordedOp& op : surface.Texts()) {
    if (op.text.rfind(" Item ", 0) != 0) continue;
    if (int(sheets.size()) < op.document) sheets.resize(op.document);
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

struct CycleCase {
  const char* name;
  std::int16_t type;
  std::map<std::string, std::string> settings;
  int requests;
  std::vector<std::vector<int>> sheets;
};

TEST(SheetJobTest, RequestsFillTheCellsInACycle) {
  const std::map<std::string, std::string> grid65 = {
      {"numofrows", "13"}, {"numofcolumns", "5"}, {"OnePage", "False"}};
  std::vector<int> first44;
  for (int i = 1; i <= 44; ++i)
    first44.push_back(i);
  std::vector<int> to130;
  for (int i = 66; i <= 130; ++i)
    to130.push_back(i);
  const CycleCase cases[] = {
      {"44 with 3 requests: half a sheet", 44, {}, 3, {Cycle(1, 22, 3)}},
      {"44 with 30 requests: 1-30 then 1-14", 44, {}, 30, {Cycle(1, 44, 30)}},
      {"44 with 60 requests: only the first sheet", 44, {}, 60, {first44}},
      {"84 with 1 request", 84, {}, 1, {Cycle(1, 42, 1)}},
      {"99 OnePage True with 5 requests",
       99,
       {{"numofrows", "13"}, {"numofcolumns", "5"}},
       5,
       {Cycle(1, 32, 5)}},
      {"99 OnePage False with 5 requests on 65: five sheets",
       99,
       grid65,
       5,
       {Cycle(1, 32, 5), Cycle(3, 32, 5), Cycle(5, 32, 5), Cycle(2, 32, 5), Cycle(4, 32, 5)}},
      {"99 OnePage False with 130 requests: two full sheets",
       99,
       grid65,
       130,
       {Cycle(1, 65, 130), to130}},
      {"99 OnePage False with 1 request: one sheet", 99, grid65, 1, {Cycle(1, 32, 1)}},
  };
  for (const CycleCase& c : cases) {
    SCOPED_TRACE(c.name);
    JobRig rig;
    for (const auto& [key, value] : c.settings)
      rig.settings.Save("Quorrel", key, value);
    test::WriteBarcodeRequests(rig.folder, test::NumberedRequests(c.requests));
    EXPECT_EQ(RunSheet(rig, c.type), 0);
    EXPECT_EQ(RequestsBySheet(rig.surface), c.sheets);
    EXPECT_EQ(rig.surface.EndedDocuments(), int(c.sheets.size())) << "one document per sheet";
    EXPECT_FALSE(rig.surface.DocumentOpen());
    EXPECT_TRUE(rig.messages.texts.empty());
  }
}

TEST(SheetJobTest, FractionalRequestCountPrintsTheWholeRecords) {
  JobRig rig;
  test::WriteBarcodeRequests(rig.folder, test::NumberedRequests(3));
  {
    std::FILE* file = std::fopen((rig.folder + "/Barprint").toStdString().c_str(), "ab");
    std::fputs("00", file);  // 200 bytes: 3.03 records
    std::fclose(file);
  }
  EXPECT_EQ(RunSheet(rig, 44), 0);
  EXPECT_EQ(RequestsBySheet(rig.surface), std::vector<std::vector<int>>{Cycle(1, 22, 3)});
}

TEST(SheetJobTest, SheetTypeWithoutGridPrintsNothing) {
  for (std::int16_t type : {50, 0, 1, 98}) {
    SCOPED_TRACE(type);
    JobRig rig;
    test::WriteBarcodeRequests(rig.folder, test::NumberedRequests(3));
    EXPECT_EQ(RunSheet(rig, type), std::nullopt) << "a failure, not a normal end";
    EXPECT_TRUE(rig.surface.Ops().empty());
    EXPECT_TRUE(rig.messages.texts.empty());
  }
}

TEST(SheetJobTest, FitMessagesAreShownAndPrintingGoesOn) {
  JobRig rig;
  rig.settings.Save("Quorrel", "BarcodeWidth", "40");
  test::WriteBarcodeRequests(rig.folder, test::NumberedRequests(2));
  EXPECT_EQ(RunSheet(rig, 99), 0);
  EXPECT_EQ(rig.messages.texts,
            (std::vector<std::string>{"EAN-13 codes will not fit", "EAN-8 codes will not fit"}));
  EXPECT_EQ(rig.surface.EndedDocuments(), 1);
  // Centred bars wider than the label start left of it: (2199.96 - 3800) / 2 = -800.
  double left = 1e9;
  for (const RecordedOp& op : rig.surface.Rects())
    left = std::min({left, op.x, op.x2});
  EXPECT_DOUBLE_EQ(left, 4 * 56.7 - 800);
}

TEST(SheetJobTest, SymbolBeyond16BitsEndsTheRunBeforeAnyMessage) {
  JobRig rig;
  rig.settings.Save("Quorrel", "BarcodeWidth", "345");
  test::WriteBarcodeRequests(rig.folder, test::NumberedRequests(2));
  EXPECT_EQ(RunSheet(rig, 99), std::nullopt);
  EXPECT_TRUE(rig.messages.texts.empty());
  EXPECT_TRUE(rig.surface.Ops().empty());
}

struct PlacedText {
  std::string text;
  double x, y, size;
};

struct PlacementCase {
  const char* name;
  std::int16_t type;
  int label;  // from 1
  double barsLeft, barsTop, barsBottom;
  std::vector<PlacedText> texts;
};

// Positions worked out by hand from the sheet sizes (recording surface: 10 twips wide
// and 24 high per point and character).
TEST(SheetJobTest, BarsAndTextsArePlacedInTheirCell) {
  const double x44 = 6 * 56.7, y44 = 7 * 56.7, w44 = (206 - 12) * 56.7 / 4, h44 = 280 * 56.7 / 11;
  const double x84 = 2 * 56.7, y84 = 14 * 56.7, w84 = 2594.025 + 5 * 56.7;
  const PlacementCase cases[] = {
      {"44, first label: bars (2749.95 - 2090) / 2 = 330 in",
       44,
       1,
       x44 + 330,
       y44,
       y44 + 600,
       {{"400638100001 7", x44 + 815, y44 + 600, 8},
        {" Item 1", x44 + 1025, y44 + 600 + 192, 10},
        {"$1.99", x44 + 1075, y44 + 600 + 192 + 240, 12}}},
      {"44, second column",
       44,
       2,
       x44 + w44 + 330,
       y44,
       y44 + 600,
       {{"400638100002 4", x44 + w44 + 815, y44 + 600, 8}}},
      {"44, second row",
       44,
       5,
       x44 + 330,
       y44 + h44,
       y44 + h44 + 600,
       {{"400638100005 5", x44 + 815, y44 + h44 + 600, 8}}},
      {"84: price beside the description, texts half a column gap left",
       84,
       2,
       x84 + w84 + 347,
       y84,
       y84 + 300,
       {{"400638100002 4", x84 + w84 + 1017 - 141.75, y84 + 300, 4},
        {" Item 2 $2.99", x84 + w84 + 907 - 141.75, y84 + 300 + 96, 6}}},
  };
  for (const PlacementCase& c : cases) {
    SCOPED_TRACE(c.name);
    JobRig rig;
    test::WriteBarcodeRequests(rig.folder, test::NumberedRequests(44));
    ASSERT_EQ(RunSheet(rig, c.type), 0);
    // Ops of label n lie between the (n-1)-th and n-th price text.
    std::vector<RecordedOp> rects, texts;
    int label = 1;
    for (const RecordedOp& op : rig.surface.Ops()) {
      if (label == c.label && op.kind == RecordedOp::Kind::Rect) rects.push_back(op);
      if (label == c.label && op.kind == RecordedOp::Kind::Text) texts.push_back(op);
      if (op.kind == RecordedOp::Kind::Text && op.text.find(".99") != std::string::npos) ++label;
    }
    ASSERT_FALSE(rects.empty());
    double left = 1e9, top = 1e9, bottom = -1e9;
    for (const RecordedOp& r : rects) {
      left = std::min({left, r.x, r.x2});
      top = std::min({top, r.y, r.y2});
      bottom = std::max({bottom, r.y, r.y2});
    }
    EXPECT_NEAR(left, c.barsLeft, 1e-6);
    EXPECT_NEAR(top, c.barsTop, 1e-6);
    EXPECT_NEAR(bottom, c.barsBottom, 1e-6);
    ASSERT_GE(texts.size(), c.texts.size());
    for (std::size_t i = 0; i < c.texts.size(); ++i) {
      SCOPED_TRACE(c.texts[i].text);
      EXPECT_EQ(texts[i].text, c.texts[i].text);
      EXPECT_NEAR(texts[i].x, c.texts[i].x, 1e-6);
      EXPECT_NEAR(texts[i].y, c.texts[i].y, 1e-6);
      EXPECT_EQ(texts[i].font.size, c.texts[i].size);
      EXPECT_EQ(texts[i].font.name, "Tahoma");
      EXPECT_TRUE(texts[i].font.bold);
    }
  }
}

struct NumberLineCase {
  const char* name;
  const char* code;
  std::map<std::string, std::string> settings;
  std::string numberLine;
  double barsOffset;  // from the cell's left edge on a 44 sheet
};

TEST(SheetJobTest, NumberLineAndSymbology) {
  const NumberLineCase cases[] = {
      {"11 digits get the computed check digit", "12345678901", {}, "12345678901 2", 330},
      {"11 digits, check digit not asked for",
       "12345678901",
       {{"PrintCheckDigit", "False"}},
       "12345678901",
       330},
      {"13 digits keep their own check digit",
       "4006381333931",
       {{"PrintCheckDigit", "False"}},
       "400638133393 1",
       330},
      {"leading zeros are dropped", "00012345", {}, "12345 7", 330},
      {"blank code", "", {}, "0 0", 330},
      {"EAN-8 when allowed", "9638507", {{"EAN8", "True"}}, "9638507 4", 638},
      {"EAN-8 not allowed: EAN-13", "9638507", {}, "9638507 4", 330},
      {"UPC-E digits", "1230000045", {{"UPCE", "True"}}, "123453", 814},
      {"UPC-E digits without leading zeros", "999", {{"UPCE", "True"}}, "9990", 814},
      {"UPC-E with the digits not asked for",
       "1230000045",
       {{"UPCE", "True"}, {"PrintUpcEcode", "False"}},
       "1230000045 1",
       814},
  };
  for (const NumberLineCase& c : cases) {
    SCOPED_TRACE(c.name);
    JobRig rig;
    for (const auto& [key, value] : c.settings)
      rig.settings.Save("Quorrel", key, value);
    test::WriteBarcodeRequests(rig.folder, {{c.code, "Thing", "1.00"}});
    ASSERT_EQ(RunSheet(rig, 44), 0);
    ASSERT_FALSE(rig.surface.Texts().empty());
    EXPECT_EQ(rig.surface.Texts().front().text, c.numberLine);
    double left = 1e9;
    for (const RecordedOp& op : rig.surface.Rects())
      left = std::min({left, op.x, op.x2});
    EXPECT_NEAR(left, 6 * 56.7 + c.barsOffset, 1e-6);
  }
}

TEST(SheetJobTest, StoreLinesComeFromTheFirstShelfRecord) {
  JobRig rig;
  test::WriteBarcodeRequests(rig.folder, test::NumberedRequests(1));
  test::ShelfCard first, second;
  first.texts = {"  Corner Shop  ", "Open 7 days"};
  second.texts = {"Other", "Card"};
  test::WriteShelfRecords(rig.folder, {first, second});
  ASSERT_EQ(RunSheet(rig, 99), 0);
  const auto texts = rig.surface.Texts();
  ASSERT_GE(texts.size(), 5u);
  const double x0 = 4 * 56.7, y0 = 8 * 56.7;
  // Store line 1 at the cell top, the bars below it by its height (8 pt: 192).
  EXPECT_EQ(texts[0].text, "Corner Shop");
  EXPECT_NEAR(texts[0].y, y0, 1e-6);
  EXPECT_NEAR(texts[0].x, x0 + 660, 1e-6) << "(2199.96 - 880) rounds to 1320, half 660";
  double top = 1e9;
  for (const RecordedOp& op : rig.surface.Rects()) {
    if (op.document == 1) top = std::min({top, op.y, op.y2});
  }
  EXPECT_NEAR(top, y0 + 192, 1e-6);
  EXPECT_NEAR(texts[1].y, y0 + 192 + 420, 1e-6) << "number line under the bars";
  EXPECT_EQ(texts[2].text, " Item 1");
  EXPECT_EQ(texts[3].text, "$1.99");
  EXPECT_EQ(texts[4].text, "Open 7 days");
  EXPECT_EQ(texts[4].font.size, 8);
  for (const RecordedOp& op : texts) {
    EXPECT_EQ(op.font.name, "Tahoma");
    EXPECT_TRUE(op.font.bold);
  }
  EXPECT_TRUE(test::TextsEqual(rig.surface, "Other").empty());
}

TEST(SheetJobTest, StoreLinesOffOrWithoutShelfFile) {
  JobRig rig;
  rig.settings.Save("Quorrel", "PrintStore1", "False");
  test::WriteBarcodeRequests(rig.folder, test::NumberedRequests(1));
  ASSERT_EQ(RunSheet(rig, 99), 0);
  const auto texts = rig.surface.Texts();
  // No shelf file: store line 2 is printed blank, and the file is left behind empty.
  ASSERT_GE(texts.size(), 4u);
  EXPECT_EQ(texts[0].text.substr(0, 6), "400638");
  EXPECT_EQ(texts[3].text, "");
  EXPECT_TRUE(QFile::exists(rig.folder + "/ShelfPrint"));
  double top = 1e9;
  for (const RecordedOp& op : rig.surface.Rects())
    top = std::min({top, op.y, op.y2});
  EXPECT_NEAR(top, 8 * 56.7, 1e-6) << "bars at the cell top without store line 1";
}

}  // namespace
}  // namespace corvel
