// The roll-label job on the recording surface (10 twips per character per point, text
// height 24 twips per point): positions, sizes, bar heights and documents.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "common/errors.h"
#include "runner/jobs.h"
#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {
using test::DataFolder;
using test::QuietMessages;

struct RollRun {
  DataFolder data;
  RecordingSurface surface;
  QuietMessages messages;
  RunContext run{data.settings, surface, messages, {}, {}};
  std::optional<EndRun> end;

  RollRun(double width, double height) { surface.SetPageSize(width, height); }
  void Start(const std::vector<test::RequestRow>& rows,
             const std::vector<std::vector<std::string>>& lines = {}, int copies = 1) {
    test::WriteFile(data.Barprint(), test::BarprintBytes(rows));
    if (!lines.empty()) test::WriteFile(data.ShelfPrint(), test::ShelfBytes(lines));
    run.state.Copies = static_cast<std::int16_t>(copies);
    try {
      RollLabelJob(run);
    } catch (const EndRun& e) {
      end = e;
    }
  }
  // Texts of document `doc`, in printing order.
  std::vector<RecordedOp> TextsOf(int doc) const {
    std::vector<RecordedOp> texts;
    for (const RecordedOp& op : surface.Texts())
      if (op.document == doc) texts.push_back(op);
    return texts;
  }
  RecordedOp FirstBar(int doc) const {
    for (const RecordedOp& op : surface.Rects())
      if (op.document == doc) return op;
    return {};
  }
};

struct ExpectedText {
  std::string text;
  double x, y, size;
  bool bold;
};

struct RollCase {
  const char* name;
  double width, height;
  test::RequestRow row;
  std::vector<std::string> lines;  // shelf Texts(0), (1), (5)
  double barLeft, barTop, barHeight;
  std::vector<ExpectedText> texts;
};

class RollLabelLayout : public ::testing::TestWithParam<RollCase> {};

TEST_P(RollLabelLayout, PositionsAndSizes) {
  const RollCase& c = GetParam();
  RollRun roll(c.width, c.height);
  roll.Start({c.row}, c.lines.empty() ? std::vector<std::vector<std::string>>{}
                                      : std::vector<std::vector<std::string>>{c.lines});
  ASSERT_TRUE(roll.end.has_value());
  EXPECT_EQ(roll.end->exitCode, kExitPrinted);
  EXPECT_EQ(roll.surface.EndedDocuments(), 1);

  const RecordedOp bar = roll.FirstBar(1);
  EXPECT_DOUBLE_EQ(bar.x, c.barLeft);
  EXPECT_DOUBLE_EQ(bar.y, c.barTop);
  EXPECT_DOUBLE_EQ(bar.y2 - bar.y, c.barHeight);

  const auto texts = roll.TextsOf(1);
  ASSERT_EQ(texts.size(), c.texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    SCOPED_TRACE(c.texts[i].text);
    EXPECT_EQ(texts[i].text, c.texts[i].text);
    EXPECT_DOUBLE_EQ(texts[i].x, c.texts[i].x);
    EXPECT_DOUBLE_EQ(texts[i].y, c.texts[i].y);
    EXPECT_DOUBLE_EQ(texts[i].font.size, c.texts[i].size);
    EXPECT_EQ(texts[i].font.name, "Tahoma");
    EXPECT_EQ(texts[i].font.bold, c.texts[i].bold);
  }
}

const test::RequestRow kApples{"5012345678900", "Apples", "$1.99"};

INSTANTIATE_TEST_SUITE_P(
    Pages, RollLabelLayout,
    ::testing::Values(
        // 1 inch high: bars 400, number line at size 400 / 75 = 5; the free height below
        // takes "T" twice up to size 18 (2 x 18 x 24 = 864 <= 905).
        RollCase{"OneInchLabel",
                 8640,
                 1440,
                 kApples,
                 {},
                 3329,
                 15,
                 400,
                 {{"5012345678900", 3995, 415, 5, true},
                  {"Apples", 3780, 535, 18, true},
                  {"$1.99", 3870, 967, 18, true}}},
        // Two extra lines: bars 400 / 1.2 = 333, size 4; empty line 2 prints nothing.
        RollCase{"TwoExtraLines",
                 8640,
                 1440,
                 kApples,
                 {"Fresh", "", "Local"},
                 3329,
                 207,
                 333,
                 {{"Fresh", 4220, 15, 4, false},
                  {"Local", 4220, 111, 4, false},
                  {"5012345678900", 4060, 540, 4, true},
                  {"Apples", 3840, 636, 16, true},
                  {"$1.99", 3920, 1020, 16, true}}},
        // Below 1000 twips only line 1 is printed (three lines still count: 400 / 1.3),
        // and the text falls back to one line centred on x = 1200 at the first size
        // that no longer fits twice (9: 2 x 9 x 24 = 432 > 385).
        RollCase{"ShortLabelOneLine",
                 8640,
                 900,
                 kApples,
                 {"Fresh", "Local", "More"},
                 3329,
                 111,
                 308,
                 {{"Fresh", 4220, 15, 4, false},
                  {"5012345678900", 4060, 419, 4, true},
                  {"Apples   $1.99", 570, 515, 9, true}}},
        // 60 x 40 mm: bars 900, size 10, first line at 30; a description without a price
        // is set to 20 on a label taller than 2000 and shrunk while wider than the page.
        RollCase{
            "TallLabelDescriptionOnly",
            3402,
            2268,
            {"5012345678900", "Granny Smith Apples", ""},
            {},
            710,
            30,
            900,
            {{"5012345678900", 1051, 930, 10, true}, {"Granny Smith Apples", 86, 1170, 17, true}}},
        // An EAN-8 symbol is 85 characters of pattern: W/2 - 719.95.
        RollCase{"Ean8Origin",
                 8640,
                 1440,
                 {"1234567", "", "$2"},
                 {},
                 3600,
                 15,
                 400,
                 {{"1234567   0", 4045, 415, 5, true}, {"$2", 4120, 535, 20, true}}},
        // A line wider than the page shrinks until narrower, then the size comes back.
        RollCase{
            "WideExtraLineShrinks",
            1100,
            1440,
            {"5012345678900", "", ""},
            {std::string(30, 'W')},
            -441,
            87,
            364,
            {{std::string(30, 'W'), 100, 15, 3, false}, {"5012345678900", 290, 451, 4, true}}}),
    [](const auto& info) { return std::string(info.param.name); });

struct BarHeightCase {
  const char* name;
  double height;
  double barHeight;
};

class RollBarHeight : public ::testing::TestWithParam<BarHeightCase> {};

TEST_P(RollBarHeight, ByPageHeight) {
  RollRun roll(8640, GetParam().height);
  roll.Start({kApples});
  const RecordedOp bar = roll.FirstBar(1);
  EXPECT_DOUBLE_EQ(bar.y2 - bar.y, GetParam().barHeight);
}

INSTANTIATE_TEST_SUITE_P(Thresholds, RollBarHeight,
                         ::testing::Values(BarHeightCase{"At1520", 1520, 400},
                                           BarHeightCase{"Above1520", 1521, 600},
                                           BarHeightCase{"At2000", 2000, 600},
                                           BarHeightCase{"Above2000", 2001, 900}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RollLabelJob, EveryCopyIsItsOwnDocumentAndEachRecordKeepsItsOwnBarHeight) {
  RollRun roll(8640, 2100);
  roll.Start({kApples, {"4006381333931", "Pens", "$3"}}, {{"", "", ""}, {"One", "Two", "Three"}},
             3);
  EXPECT_EQ(roll.surface.EndedDocuments(), 6);
  for (int doc = 1; doc <= 6; ++doc) {
    SCOPED_TRACE(doc);
    const RecordedOp bar = roll.FirstBar(doc);
    EXPECT_DOUBLE_EQ(bar.y2 - bar.y, doc <= 3 ? 900 : 692);  // 900 / 1.3 = 692.3
    const auto texts = roll.TextsOf(doc);
    const bool numberLineFound = std::any_of(texts.begin(), texts.end(), [&](const RecordedOp& op) {
      return op.text == (doc <= 3 ? "5012345678900" : "4006381333931");
    });
    EXPECT_TRUE(numberLineFound);
  }
}

TEST(RollLabelJob, MoreThanFiveHundredRequestsPrintNothing) {
  RollRun roll(8640, 1440);
  EXPECT_THROW(roll.Start(test::NumberedRows(501)), Failure);
  EXPECT_TRUE(roll.surface.Ops().empty());
}

TEST(RollLabelJob, BlankCodePrintsEan8OfZeros) {
  RollRun roll(8640, 1440);
  roll.Start({{"", "Loose", "$1"}});
  const auto texts = roll.TextsOf(1);
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts[0].text, "0   0");
}

}  // namespace
}  // namespace corvel
