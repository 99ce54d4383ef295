// List pages on the recording surface: where each item's texts and bars go, pages and
// documents.
#include <gtest/gtest.h>

#include <optional>

#include "runner/jobs.h"
#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {
using test::DataFolder;
using test::QuietMessages;

struct PageRun {
  DataFolder data;
  RecordingSurface surface{12240, 15840};
  QuietMessages messages;
  RunContext run{data.settings, surface, messages, {}, {}};
  std::optional<EndRun> end;

  void Start(int itemsPerPage, const QByteArray& request, int copies = 1) {
    test::WriteFile(data.Barprint(), request);
    run.state.Copies = static_cast<std::int16_t>(copies);
    try {
      PageJob(run, itemsPerPage);
    } catch (const EndRun& e) {
      end = e;
    }
  }
  // The texts of one item are its description, price and number line; find by text.
  std::optional<RecordedOp> Text(const std::string& text) const {
    for (const RecordedOp& op : surface.Texts())
      if (op.text == text) return op;
    return std::nullopt;
  }
  int NewPages() const {
    int n = 0;
    for (const RecordedOp& op : surface.Ops())
      n += op.kind == RecordedOp::Kind::NewPage;
    return n;
  }
};

struct Point {
  double x, y;
};

struct ItemCase {
  const char* name;
  int itemsPerPage;
  int items;
  int item;  // 1-based record whose placing is checked
  Point description, price, bars, numberLine;
  double barHeight, textSize;
  int page;
};

class PageItemPlacing : public ::testing::TestWithParam<ItemCase> {};

TEST_P(PageItemPlacing, TextsAndBars) {
  const ItemCase& c = GetParam();
  const auto rows = test::NumberedRows(c.items);
  const test::RequestRow& row = rows[c.item - 1];
  PageRun pages;
  pages.Start(c.itemsPerPage, test::BarprintBytes(rows));
  ASSERT_TRUE(pages.end.has_value());
  EXPECT_EQ(pages.end->exitCode, kExitPrinted);

  const auto check = [&](const std::string& text, Point at, double size) {
    SCOPED_TRACE(text);
    const auto op = pages.Text(text);
    ASSERT_TRUE(op.has_value());
    EXPECT_DOUBLE_EQ(op->x, at.x);
    EXPECT_DOUBLE_EQ(op->y, at.y);
    EXPECT_EQ(op->page, c.page);
    EXPECT_DOUBLE_EQ(op->font.size, size);
    EXPECT_TRUE(op->font.bold);
    EXPECT_EQ(op->font.name, "Tahoma");
  };
  check(row.description, c.description, c.textSize);
  check(row.price, c.price, c.textSize);
  check(row.code, c.numberLine, 10);

  // The item's bars: the first rectangle drawn after its price.
  bool afterPrice = false;
  std::optional<RecordedOp> bar;
  for (const RecordedOp& op : pages.surface.Ops()) {
    if (op.kind == RecordedOp::Kind::Text && op.text == row.price) afterPrice = true;
    if (afterPrice && op.kind == RecordedOp::Kind::Rect) {
      bar = op;
      break;
    }
  }
  ASSERT_TRUE(bar.has_value());
  EXPECT_DOUBLE_EQ(bar->x, c.bars.x);
  EXPECT_DOUBLE_EQ(bar->y, c.bars.y);
  EXPECT_DOUBLE_EQ(bar->y2 - bar->y, c.barHeight);
}

// Codes are 13 digits (number line 1300 wide at size 10: half 650); "Item 3" is six
// characters, "$3.00" five.
INSTANTIATE_TEST_SUITE_P(Layouts, PageItemPlacing,
                         ::testing::Values(ItemCase{"TenPerPageThirdRow",
                                                    10,
                                                    3,
                                                    3,
                                                    {1800, 4490},
                                                    {6500, 4490},
                                                    {8000, 3990},
                                                    {8950, 4990},
                                                    900,
                                                    14,
                                                    1},
                                           ItemCase{"TenPerPageFirstOfPageTwo",
                                                    10,
                                                    11,
                                                    11,
                                                    {1800, 1600},
                                                    {6360, 1600},
                                                    {8000, 1100},
                                                    {8950, 2100},
                                                    900,
                                                    14,
                                                    2},
                                           ItemCase{"TwentyPerPageRightColumn",
                                                    20,
                                                    2,
                                                    2,
                                                    {8700, 1175},
                                                    {8750, 1400},
                                                    {7500, 400},
                                                    {8350, 950},
                                                    500,
                                                    10,
                                                    1},
                                           ItemCase{"TwentyPerPageSecondRowLeft",
                                                    20,
                                                    3,
                                                    3,
                                                    {3600, 2620},
                                                    {3650, 2845},
                                                    {2400, 1845},
                                                    {3250, 2395},
                                                    500,
                                                    10,
                                                    1},
                                           ItemCase{"TwentyFirstItemStartsPageTwo",
                                                    20,
                                                    21,
                                                    21,
                                                    {3550, 1175},
                                                    {3600, 1400},
                                                    {2400, 400},
                                                    {3250, 950},
                                                    500,
                                                    10,
                                                    2}),
                         [](const auto& info) { return std::string(info.param.name); });

struct PagingCase {
  const char* name;
  int itemsPerPage;
  int bytes;
  int copies;
  int pages;
};

class PageDocuments : public ::testing::TestWithParam<PagingCase> {};

TEST_P(PageDocuments, OneDocumentWithoutBlankLastPage) {
  const PagingCase& c = GetParam();
  PageRun pages;
  QByteArray request = test::BarprintBytes(test::NumberedRows(c.bytes / 66 + 1));
  request.truncate(c.bytes);
  pages.Start(c.itemsPerPage, request, c.copies);
  EXPECT_EQ(pages.surface.EndedDocuments(), 1);
  EXPECT_EQ(pages.NewPages(), c.pages - 1);
  EXPECT_EQ(pages.surface.Texts().back().page, c.pages);
}

INSTANTIATE_TEST_SUITE_P(Counts, PageDocuments,
                         ::testing::Values(PagingCase{"TenExactlyOnePage", 10, 10 * 66, 1, 1},
                                           PagingCase{"ElevenTwoPages", 10, 11 * 66, 1, 2},
                                           PagingCase{"TwentyOneTwoPages", 20, 21 * 66, 1, 2},
                                           PagingCase{"FortyExactlyTwoPages", 20, 40 * 66, 1, 2},
                                           PagingCase{"CopiesIgnored", 20, 21 * 66, 3, 2},
                                           PagingCase{"FractionalCountPrintsWholeRecords", 10, 200,
                                                      1, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PageJob, Ean8BarsStart450Further) {
  PageRun pages;
  pages.Start(10, test::BarprintBytes({{"5012345678900", "A", "1"}, {"1234567", "B", "2"}}));
  std::vector<double> firstBars;
  double lastY = -1;
  for (const RecordedOp& op : pages.surface.Rects()) {
    if (op.y != lastY) firstBars.push_back(op.x);
    lastY = op.y;
  }
  ASSERT_EQ(firstBars.size(), 2u);
  EXPECT_DOUBLE_EQ(firstBars[0], 8000);
  EXPECT_DOUBLE_EQ(firstBars[1], 8450);
  EXPECT_TRUE(pages.Text("1234567   0").has_value());
}

TEST(PageJob, EmptyDescriptionAndPriceStillPrintLines) {
  PageRun pages;
  pages.Start(10, test::BarprintBytes({{"5012345678900", "   ", ""}}));
  ASSERT_EQ(pages.surface.Texts().size(), 3u);
  EXPECT_EQ(pages.surface.Texts()[0].text, "");
  EXPECT_EQ(pages.surface.Texts()[1].text, "");
  EXPECT_DOUBLE_EQ(pages.surface.Texts()[1].x, 7200);
}

}  // namespace
}  // namespace corvel
