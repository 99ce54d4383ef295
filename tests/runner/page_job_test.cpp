// List pages on the recording surface: where each item's texts and bars go, pages and
// documents.
#include <gtest/gtest.h>

#include "runner/jobs.h"
#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {

struct PageRun : test::DataFolder {
  PageRun(int itemsPerPage, const QByteArray& request, int copies = 1) {
    surface.SetPageSize(12240, 15840);
    test::WriteFile(Barprint(), request);
    run.state.Copies = std::int16_t(copies);
    exitCode = Ends([itemsPerPage](RunContext& run) { PageJob(run, itemsPerPage); });
  }
  std::optional<RecordedOp> Text(const std::string& text) const {
    for (const RecordedOp& op : surface.Texts())
      if (op.text == text) return op;
    return std::nullopt;
  }
  std::optional<int> exitCode;
};

struct Point {
  double x, y;
};

// Codes are 13 digits (number line 1300 wide at size 10: half 650); "Item 3" is six
// characters, "$3.00" five.
TEST(PageJob, ItemTextsAndBars) {
  const struct {
    int itemsPerPage, items;  // the last item is checked
    Point description, price, bars, numberLine;
    double barHeight, textSize;
    int page;
  } cases[] = {
      {10, 3, {1800, 4490}, {6500, 4490}, {8000, 3990}, {8950, 4990}, 900, 14, 1},
      {10, 11, {1800, 1600}, {6360, 1600}, {8000, 1100}, {8950, 2100}, 900, 14, 2},
      {20, 2, {8700, 1175}, {8750, 1400}, {7500, 400}, {8350, 950}, 500, 10, 1},
      {20, 3, {3600, 2620}, {3650, 2845}, {2400, 1845}, {3250, 2395}, 500, 10, 1},
      {20, 21, {3550, 1175}, {3600, 1400}, {2400, 400}, {3250, 950}, 500, 10, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.items) + " items, " + std::to_string(c.itemsPerPage) + " a page");
    const auto rows = test::NumberedRows(c.items);
    const test::RequestRow& row = rows.back();
    PageRun pages(c.itemsPerPage, test::BarprintBytes(rows));
    EXPECT_EQ(pages.exitCode, kExitPrinted);
    const auto check = [&](const std::string& text, Point at, double size) {
      SCOPED_TRACE(text);
      const auto op = pages.Text(text);
      ASSERT_TRUE(op.has_value());
      EXPECT_DOUBLE_EQ(op->x, at.x);
      EXPECT_DOUBLE_EQ(op->y, at.y);
      EXPECT_EQ(op->page, c.page);
      EXPECT_EQ(op->font, (RecordedFont{"Tahoma", size, true}));
    };
    check(row.description, c.description, c.textSize);
    check(row.price, c.price, c.textSize);
    check(row.code, c.numberLine, 10);
    // The item's bars: the first rectangle drawn after its price.
    const auto& ops = pages.surface.Ops();
    auto it = std::find_if(ops.begin(), ops.end(),
                           [&](const RecordedOp& op) { return op.text == row.price; });
    it = std::find_if(it, ops.end(),
                      [](const RecordedOp& op) { return op.kind == RecordedOp::Kind::Rect; });
    ASSERT_NE(it, ops.end());
    EXPECT_DOUBLE_EQ(it->x, c.bars.x);
    EXPECT_DOUBLE_EQ(it->y, c.bars.y);
    EXPECT_DOUBLE_EQ(it->y2 - it->y, c.barHeight);
  }
}

TEST(PageJob, OneDocumentWithoutBlankLastPage) {
  const struct {
    int itemsPerPage, bytes, copies, pages;
  } cases[] = {{10, 10 * 66, 1, 1}, {10, 11 * 66, 1, 2}, {20, 21 * 66, 3, 2}, {10, 200, 1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    QByteArray request = test::BarprintBytes(test::NumberedRows(c.bytes / 66 + 1));
    request.truncate(c.bytes);
    PageRun pages(c.itemsPerPage, request, c.copies);
    EXPECT_EQ(pages.surface.EndedDocuments(), 1);
    EXPECT_EQ(
        std::count_if(pages.surface.Ops().begin(), pages.surface.Ops().end(),
                      [](const RecordedOp& op) { return op.kind == RecordedOp::Kind::NewPage; }),
        c.pages - 1);
    EXPECT_EQ(pages.surface.Texts().back().page, c.pages);
  }
}

TEST(PageJob, Ean8BarsStart450FurtherAndEmptyTextsStillPrint) {
  PageRun pages(10, test::BarprintBytes({{"5012345678900", "   ", ""}, {"1234567", "B", "2"}}));
  const auto rects = pages.surface.Rects();
  const auto second = std::find_if(rects.begin(), rects.end(),
                                   [&](const RecordedOp& op) { return op.y != rects[0].y; });
  ASSERT_NE(second, rects.end());
  EXPECT_DOUBLE_EQ(rects[0].x, 8000);
  EXPECT_DOUBLE_EQ(second->x, 8450);
  EXPECT_TRUE(pages.Text("1234567   0").has_value());
  const auto texts = pages.surface.Texts();
  EXPECT_EQ(texts[0].text, "");
  EXPECT_EQ(texts[1].text, "");
  EXPECT_DOUBLE_EQ(texts[1].x, 7200);
}

}  // namespace
}  // namespace corvel
