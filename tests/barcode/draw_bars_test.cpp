// Bars on the recording surface: where each symbol starts and ends, how many bars, and
// the font left behind.
#include <gtest/gtest.h>

#include <string>

#include "barcode/barcode_job.h"
#include "common/recording_surface.h"
#include "tests/barcode/pattern_checks.h"

namespace corvel {
namespace {

struct DrawCase {
  const char* name;
  const char* code;
  bool allowUpcE;
  bool allowEan8;
  BarOrigin origin;
  double fontSize;  // font in force when drawing; the "0" is 10 twips per point wide
  int moduleWidth;
  int modules;
  int bars;
};

// The recording surface's "0" is 120 twips wide at 12 pt, 100 at 10 pt.
const DrawCase kDrawCases[] = {
    {"Ean13AtX", "12345000007", true, true, BarOrigin::AtX, 12, 22, 95, 30},
    {"Ean8AtX", "1234567", true, true, BarOrigin::AtX, 12, 15, 67, 22},
    {"UpcEAtX", "1230000045", true, true, BarOrigin::AtX, 12, 18, 51, 17},
    {"Ean13AfterZero12pt", "12345000007", false, false, BarOrigin::AfterZero, 12, 22, 95, 30},
    {"Ean13AfterZero10pt", "4006381333931", false, false, BarOrigin::AfterZero, 10, 13, 95, 30},
    {"Ean8AfterZero", "9638507", false, true, BarOrigin::AfterZero, 8, 7, 67, 22},
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

  const auto rects = surface.Rects();
  ASSERT_EQ(static_cast<int>(rects.size()), c.bars);
  EXPECT_EQ(rects.front().x, start);
  EXPECT_EQ(rects.back().x2, start + c.modules * c.moduleWidth);
  // Start guard: bar, space, bar, one module each.
  EXPECT_EQ(rects[0].x2, start + c.moduleWidth);
  EXPECT_EQ(rects[1].x, start + 2 * c.moduleWidth);
  EXPECT_EQ(rects[1].x2, start + 3 * c.moduleWidth);
  double covered = 0;
  for (const RecordedOp& r : rects) {
    EXPECT_EQ(r.y, top);
    EXPECT_EQ(r.y2, top + 900);
    EXPECT_EQ(r.font.colour, 0);
    EXPECT_GT(r.x2, r.x);
    covered += r.x2 - r.x;
  }
  // Bars and spaces of a valid symbol each cover part of the width; bars never overlap.
  for (std::size_t i = 1; i < rects.size(); ++i)
    EXPECT_GT(rects[i].x, rects[i - 1].x2);
  EXPECT_LT(covered, c.modules * c.moduleWidth);

  EXPECT_EQ(surface.FontName(), "Times New Roman");
  EXPECT_EQ(surface.FontSize(), 12);
  EXPECT_TRUE(surface.Texts().empty());
}

TEST_P(DrawBarPatternTest, SecondCallDrawsTheSameBars) {
  const DrawCase& c = GetParam();
  BarcodeJob job;
  PrepareBarcodeDigits(job, c.code, c.allowUpcE, c.allowEan8);
  BuildBarPattern(job);
  job.ModuleWidth = static_cast<std::int16_t>(c.moduleWidth);
  job.BarHeight = 500;

  RecordingSurface surface;
  surface.SetFontSize(12);  // the second call finds 12 pt left by the first
  DrawBarPattern(job, surface, 100, 200, c.origin);
  DrawBarPattern(job, surface, 100, 200, c.origin);
  const auto rects = surface.Rects();
  ASSERT_EQ(static_cast<int>(rects.size()), 2 * c.bars);
  for (int i = 0; i < c.bars; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(rects[i].x, rects[i + c.bars].x);
    EXPECT_EQ(rects[i].x2, rects[i + c.bars].x2);
  }
}

INSTANTIATE_TEST_SUITE_P(Symbols, DrawBarPatternTest, ::testing::ValuesIn(kDrawCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The worked EAN-13 example with 22-twip modules: every bar where its widths put it.
TEST(DrawBarPattern, WorkedExampleBarPositions) {
  BarcodeJob job;
  PrepareBarcodeDigits(job, "12345000007", true, true);
  BuildBarPattern(job);
  job.ModuleWidth = 22;
  job.BarHeight = 100;
  RecordingSurface surface;
  DrawBarPattern(job, surface, 0, 0);
  const auto rects = surface.Rects();
  const auto widths = test::PatternWidths(job.Pattern);
  ASSERT_EQ(widths.size(), 59u);
  ASSERT_EQ(rects.size(), 30u);
  int module = 0;
  for (std::size_t i = 0; i < widths.size(); ++i) {
    if (i % 2 == 0) {
      SCOPED_TRACE(i);
      EXPECT_EQ(rects[i / 2].x, module * 22);
      EXPECT_EQ(rects[i / 2].x2, (module + widths[i]) * 22);
    }
    module += widths[i];
  }
  EXPECT_EQ(module * 22, 2090);
}

TEST(DrawBarPattern, EmptyPatternDrawsNothingButSetsTheFont) {
  BarcodeJob job;
  job.ModuleWidth = 20;
  job.BarHeight = 100;
  RecordingSurface surface;
  surface.SetFontName("Arial");
  surface.SetFontSize(30);
  DrawBarPattern(job, surface, 10, 10, BarOrigin::AfterZero);
  EXPECT_TRUE(surface.Rects().empty());
  EXPECT_EQ(surface.FontName(), "Times New Roman");
  EXPECT_EQ(surface.FontSize(), 12);
}

// Text that is not a width pattern draws no zero-width bars and never reads past its end.
TEST(DrawBarPattern, MalformedPatterns) {
  struct Row {
    const char* name;
    std::string pattern;
    int bars;
    double end;  // right edge of the last bar, module width 10 from x = 0
  };
  const Row rows[] = {
      {"TrailingDash", "1-1-", 1, 10},
      {"ZeroWidthBar", "0-1-2", 1, 30},
      {"LettersAreZero", "x-2-3", 1, 50},
      {"OneElement", "4", 1, 40},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    BarcodeJob job;
    job.Pattern = row.pattern;
    job.ModuleWidth = 10;
    job.BarHeight = 10;
    RecordingSurface surface;
    DrawBarPattern(job, surface, 0, 0);
    const auto rects = surface.Rects();
    ASSERT_EQ(static_cast<int>(rects.size()), row.bars);
    EXPECT_EQ(rects.back().x2, row.end);
  }
}

}  // namespace
}  // namespace corvel
