// Bars on the recording surface: where each symbol starts and ends, how many bars, and
// the font left behind.
#include <gtest/gtest.h>

#include <string>

#include "barcode/barcode_job.h"
#include "common/recording_surface.h"

namespace corvel {
namespace {

struct DrawCase {
  const char* name;
  const char* code;
  bool allowUpcE, allowEan8;
  BarOrigin origin;
  double fontSize;  // in force when drawing; the recording "0" is 10 twips per point
  int moduleWidth, modules, bars;
};

const DrawCase kDrawCases[] = {
    {"Ean13AtX", "12345000007", true, true, BarOrigin::AtX, 12, 22, 95, 30},
    {"Ean8AtX", "1234567", true, true, BarOrigin::AtX, 12, 15, 67, 22},
    {"UpcEAtX", "1230000045", true, true, BarOrigin::AtX, 12, 18, 51, 17},
    {"Ean13AfterZero12pt", "12345000007", false, false, BarOrigin::AfterZero, 12, 22, 95, 30},
    {"Ean13AfterZero10pt", "4006381333931", false, false, BarOrigin::AfterZero, 10, 13, 95, 30},
};

class DrawBarPatternTest : public ::testing::TestWithParam<DrawCase> {};

TEST_P(DrawBarPatternTest, BarsSpanTheSymbolFromItsOrigin) {
  const DrawCase& c = GetParam();
  BarcodeJob job;
  PrepareBarcodeDigits(job, c.code, c.allowUpcE, c.allowEan8);
  BuildBarPattern(job);
  job.ModuleWidth = static_cast<std::int16_t>(c.moduleWidth);
  job.BarHeight = 900;
  RecordingSurface surface;
  surface.SetFontName("Tahoma");
  surface.SetFontSize(c.fontSize);
  const double x = 333.5, top = 1000.25;
  const double start = c.origin == BarOrigin::AtX ? x : x + c.fontSize * 10 + 20;
  DrawBarPattern(job, surface, x, top, c.origin);
  EXPECT_EQ(surface.FontName(), "Times New Roman");
  EXPECT_EQ(surface.FontSize(), 12);
  EXPECT_TRUE(surface.Texts().empty());

  const auto rects = surface.Rects();
  ASSERT_EQ(static_cast<int>(rects.size()), c.bars);
  EXPECT_EQ(rects.front().x, start);
  EXPECT_EQ(rects.front().x2, start + c.moduleWidth);  // start guard: bar, space, bar
  EXPECT_EQ(rects[1].x, start + 2 * c.moduleWidth);
  EXPECT_EQ(rects.back().x2, start + c.modules * c.moduleWidth);
  for (std::size_t i = 0; i < rects.size(); ++i) {
    EXPECT_EQ(rects[i].y, top);
    EXPECT_EQ(rects[i].y2, top + 900);
    EXPECT_EQ(rects[i].font.colour, 0);
    if (i > 0) {
      EXPECT_GT(rects[i].x, rects[i - 1].x2);  // a space between every two bars
    }
  }

  // The second call starts afresh (now with 12 pt in force, as the first one left it).
  if (c.fontSize == 12) {
    DrawBarPattern(job, surface, x, top, c.origin);
    const auto again = surface.Rects();
    ASSERT_EQ(again.size(), 2 * rects.size());
    for (std::size_t i = 0; i < rects.size(); ++i) {
      EXPECT_EQ(again[rects.size() + i].x, rects[i].x);
      EXPECT_EQ(again[rects.size() + i].x2, rects[i].x2);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Symbols, DrawBarPatternTest, ::testing::ValuesIn(kDrawCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Patterns that are empty or not well formed: no zero-width bars, nothing read past the
// end, and the font is set all the same.
TEST(DrawBarPattern, EmptyAndMalformedPatterns) {
  struct Row {
    const char* pattern;
    int bars;
    double end;  // right edge of the last bar, module width 10 from x = 0
  };
  const Row rows[] = {{"", 0, 0}, {"1-1-", 1, 10}, {"0-1-2", 1, 30}, {"x-2-3", 1, 50}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.pattern);
    BarcodeJob job;
    job.Pattern = row.pattern;
    job.ModuleWidth = 10;
    job.BarHeight = 10;
    RecordingSurface surface;
    surface.SetFontSize(30);
    DrawBarPattern(job, surface, 0, 0, BarOrigin::AtX);
    const auto rects = surface.Rects();
    ASSERT_EQ(static_cast<int>(rects.size()), row.bars);
    if (row.bars > 0) {
      EXPECT_EQ(rects.back().x2, row.end);
    }
    EXPECT_EQ(surface.FontName(), "Times New Roman");
    EXPECT_EQ(surface.FontSize(), 12);
  }
}

}  // namespace
}  // namespace corvel
