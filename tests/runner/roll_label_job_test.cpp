// The roll-label job on the recording surface: whatever the label's size and texts,
// every text stays on the label, nothing overlaps, and short labels keep one shelf line.
// And where list pages put each item.
#include <gtest/gtest.h>

#include <map>

#include "runner/jobs.h"
#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {

TEST(RollLabelJob, TextsAndBarsStackOnTheLabel) {
  const struct {
    const char* name;
    double width, height;
    std::string shelfLines[3];         // Texts(0), (1), (5) of the shelf record
    std::vector<std::string> printed;  // the texts, top to bottom
  } cases[] = {
      // clang-format off
      // Below 1000 twips only the first shelf line, and description and price share a line.
      {"short label", 8640, 900, {"Fresh", "Local", "More"}, {"Fresh", "5012345678900", "Apples   $1.99"}},
      {"narrow label, wide line", 1100, 1440, {std::string(30, 'W'), "", ""}, {std::string(30, 'W'), "5012345678900", "Apples", "$1.99"}},
      {"6 x 4 inches", 8640, 5760, {"Fresh", "Local", "More"}, {"Fresh", "Local", "More", "5012345678900", "Apples", "$1.99"}},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::DataFolder data;
    data.surface.SetPageSize(c.width, c.height);
    test::WriteFile(data.Barprint(), test::BarprintBytes({{"5012345678900", "Apples", "$1.99"}}));
    const auto& l = c.shelfLines;
    test::WriteFile(data.ShelfPrint(), test::ShelfBytes({{{l[0], l[1], "", "", "", l[2]}}}));
    EXPECT_EQ(data.Ends(RollLabelJob), kExitPrinted);
    const auto bars = data.surface.Rects();
    ASSERT_FALSE(bars.empty());
    double bottom = 0;  // of what is printed above
    std::vector<std::string> printed;
    for (const RecordedOp& op : data.surface.Texts()) {
      printed.push_back(op.text);
      // The number line sits right below the bars, which sit below the texts above it.
      if (op.text == "5012345678900") {
        EXPECT_TRUE(bars.front().y >= bottom && op.y == bars.front().y2);
      }
      EXPECT_TRUE(op.y >= bottom && op.x >= 0 &&
                  op.x + double(op.text.size()) * 10 * op.font.size <= c.width)
          << op.text;
      bottom = op.y + 24 * op.font.size;
    }
    EXPECT_LE(bottom, c.height);
    EXPECT_EQ(printed, c.printed);
  }
}

// 21 items "Item i" (10 points a character at size 10 or 14): ten rows a page, in two
// columns of 20 items, odd items left; the 21st starts a new page.
TEST(PageJob, ItemsTakeTheirRowAndColumn) {
  const struct {
    int perPage, item, page;
    double x, y;  // of the description
  } rows[] = {{20, 1, 1, 3600, 1175},   {20, 2, 1, 8700, 1175},  {20, 3, 1, 3600, 2620},
              {20, 20, 1, 8650, 14180}, {20, 21, 2, 3550, 1175}, {10, 2, 1, 1800, 3045},
              {10, 10, 1, 1800, 14605}, {10, 11, 2, 1800, 1600}};
  for (const int perPage : {10, 20}) {
    test::DataFolder data;
    test::WriteFile(data.Barprint(), test::BarprintBytes(test::NumberedRows(21)));
    EXPECT_EQ(data.Ends([perPage](RunContext& run) { PageJob(run, perPage); }), kExitPrinted);
    std::map<std::string, RecordedOp> printed;
    for (const RecordedOp& op : data.surface.Texts())
      printed.emplace(op.text, op);
    for (const auto& row : rows) {
      if (row.perPage != perPage) continue;
      const RecordedOp& description = printed["Item " + std::to_string(row.item)];
      EXPECT_EQ(std::tuple(description.page, description.x, description.y),
                std::tuple(row.page, row.x, row.y))
          << perPage << " a page, item " << row.item;
    }
  }
}

}  // namespace
}  // namespace corvel
