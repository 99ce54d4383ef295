// The roll-label job on the recording surface (10 twips per character per point, text
// height 24 twips per point): positions, sizes, bar heights and documents.
#include <gtest/gtest.h>

#include "runner/jobs.h"
#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {

using Lines = std::vector<std::string>;  // shelf Texts(0), (1), (5)

struct RollRun : test::DataFolder {
  RollRun(double width, double height, const std::vector<test::RequestRow>& rows,
          const std::vector<Lines>& lines = {}) {
    surface.SetPageSize(width, height);
    test::WriteFile(Barprint(), test::BarprintBytes(rows));
    std::vector<test::ShelfCard> cards;
    for (const Lines& l : lines)
      if (!l.empty()) cards.push_back({{l[0], l[1], "", "", "", l[2]}});
    test::WriteFile(ShelfPrint(), test::ShelfBytes(cards));
    exitCode = Ends(RollLabelJob);
  }
  std::optional<int> exitCode;
};

const test::RequestRow kApples{"5012345678900", "Apples", "$1.99"};

TEST(RollLabelJob, PositionsAndSizes) {
  const struct {
    const char* name;
    double width, height;
    test::RequestRow row;
    Lines lines;
    double barLeft, barTop, barHeight;
    std::vector<std::tuple<std::string, double, double, double, bool>> texts;  // x, y, size, bold
  } cases[] = {
      // clang-format off
      // 1 inch high: bars 400, number line at size 400 / 75 = 5; the free height below
      // takes "T" twice up to size 18 (2 x 18 x 24 = 864 <= 905).
      {"one inch", 8640, 1440, kApples, {}, 3329, 15, 400,
       {{"5012345678900", 3995, 415, 5, true}, {"Apples", 3780, 535, 18, true}, {"$1.99", 3870, 967, 18, true}}},
      // Below 1000 twips only line 1 is printed (three lines still count: 400 / 1.3), and
      // the text falls back to one line centred on x = 1200 at the first size that no
      // longer fits twice (9: 2 x 9 x 24 = 432 > 385).
      {"short label, one line", 8640, 900, kApples, {"Fresh", "Local", "More"}, 3329, 111, 308,
       {{"Fresh", 4220, 15, 4, false}, {"5012345678900", 4060, 419, 4, true}, {"Apples   $1.99", 570, 515, 9, true}}},
      // A line wider than the page shrinks until narrower, then the size comes back.
      {"wide extra line", 1100, 1440, {"5012345678900", "", ""}, {{std::string(30, 'W'), "", ""}}, -441, 87, 364,
       {{std::string(30, 'W'), 100, 15, 3, false}, {"5012345678900", 290, 451, 4, true}}},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RollRun roll(c.width, c.height, {c.row}, {c.lines});
    EXPECT_EQ(roll.exitCode, kExitPrinted);
    EXPECT_EQ(roll.surface.EndedDocuments(), 1);
    const RecordedOp bar = roll.surface.Rects().front();
    EXPECT_DOUBLE_EQ(bar.x, c.barLeft);
    EXPECT_DOUBLE_EQ(bar.y, c.barTop);
    EXPECT_DOUBLE_EQ(bar.y2 - bar.y, c.barHeight);
    const auto texts = roll.surface.Texts();
    ASSERT_EQ(texts.size(), c.texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
      const auto& [text, x, y, size, bold] = c.texts[i];
      SCOPED_TRACE(text);
      EXPECT_EQ(texts[i].text, text);
      EXPECT_DOUBLE_EQ(texts[i].x, x);
      EXPECT_DOUBLE_EQ(texts[i].y, y);
      EXPECT_EQ(texts[i].font, (RecordedFont{"Tahoma", size, bold}));
    }
  }
}

}  // namespace
}  // namespace corvel
