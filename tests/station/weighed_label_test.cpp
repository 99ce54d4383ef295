// The weighed-item label on the recording surface (a character is 10 twips wide per
// point, so every position below can be worked out by hand from the layout).
#include <gtest/gtest.h>

#include <algorithm>

#include "common/errors.h"
#include "common/recording_surface.h"
#include "station/label_layout.h"
#include "station/weighed_label.h"

namespace corvel {
namespace {

LabelBoxes WeighedHam() {
  LabelBoxes boxes;
  boxes.code = "1234";
  boxes.description1 = "Ham                     ";
  boxes.price = "12.99";
  boxes.weight = "1.235 KG";
  boxes.tare = "0.015";
  boxes.storeName1 = "Storename";
  boxes.storeName2 = std::string(" ");  // GCC 12 -O2 warns falsely on one-char literals
  boxes.itemNumber = std::string("1");
  boxes.flag = "20";
  return boxes;
}

const RecordedOp* FindText(const RecordingSurface& surface, const std::string& text) {
  static std::vector<RecordedOp> texts;
  texts = surface.Texts();
  const auto it = std::find_if(texts.begin(), texts.end(),
                               [&](const RecordedOp& op) { return op.text == text; });
  return it == texts.end() ? nullptr : &*it;
}

class WeighedLabel : public ::testing::Test {
 protected:
  void Print(const LabelBoxes& boxes) { PrintWeighedLabel(boxes, store, surface, clock, job); }

  MemorySettingsStore store;
  RecordingSurface surface;
  FixedClock clock{MakeLocalTime(2026, 12, 6, 10, 30)};
  BarcodeJob job;
};

// 1.235 KG less a tare of 0.015 at 12.99 a kilogram, on the layout of an empty store.
TEST_F(WeighedLabel, WorkedExamplePlacesEveryElement) {
  Print(WeighedHam());

  const std::vector<RecordedOp> texts = surface.Texts();
  const std::vector<std::tuple<std::string, double, double, double>> expected = {
      {"201234015857", 1050 - 480, 500, 8},  // barcode number, centred
      {"Ham", 1300 - 150, 800, 10},          // description 1, trimmed
      {"", 1300, 1000, 10},
      {"", 1300, 1200, 10},
      {"6/12/26", 2100 - 210, 640, 6},   // packing date
      {"1.220 kg", 3325 - 720, 750, 9},  // weight, right edge at 3325
      {"Storename", 1850 - 450, 0, 10},
      {" ", 1850 - 50, 160, 10},
      {"15.85", 2825, 1180, 10},       // price, narrower than 500
      {"12.99", 2100 - 450, 1400, 9},  // price per kilogram, right edge
      {"#1", 350, 1425, 6},
  };
  ASSERT_EQ(texts.size(), expected.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& [text, x, y, size] = expected[i];
    EXPECT_EQ(texts[i].text, text);
    EXPECT_EQ(texts[i].x, x);
    EXPECT_EQ(texts[i].y, y);
    EXPECT_EQ(texts[i].font.size, size);
    EXPECT_TRUE(texts[i].font.bold) << "bold from the barcode number on";
  }
  for (const RecordedOp& op : surface.Texts())
    EXPECT_EQ(op.font.name, "Tahoma");

  // Bars: 30 of them, 25 twips a module, 450 high at 1700; they start after the width of
  // "0" in the font in force before them (10 pt on a fresh surface) plus 20.
  const std::vector<RecordedOp> bars = surface.Rects();
  ASSERT_EQ(bars.size(), 30u);
  EXPECT_EQ(bars.front().x, 550 + 100 + 20);
  EXPECT_EQ(bars.front().y2 - bars.front().y, 450);
  EXPECT_EQ(bars.back().x2, 670 + 95 * 25);
  EXPECT_EQ(job.LeadPair + job.LeftRest + job.RightDigits, "020123401585");

  EXPECT_EQ(surface.EndedDocuments(), 1);
  EXPECT_EQ(surface.Ops().back().kind, RecordedOp::Kind::EndDoc);
  EXPECT_EQ(store.Get("Zebra", "UseDatecenter"), "2100") << "layout written back";
}

TEST(LabelFigures, NetWeightAndPrice) {
  struct Case {
    const char* name;
    const char* weight;
    const char* tare;
    const char* price;
    bool nonWeighed;
    const char* netWeight;
    const char* priceText;
  };
  const Case cases[] = {
      {"NegativeTareIgnored", "1", "-0.5", "2", false, "1", "2.00"},
      {"SixCharacters", "123.456", "", "1", false, "123.45", "123.45"},
      {"Letters", "heavy", "x", "cheap", false, "0", "0.00"},
      {"HalfCentAwayFromZero", "0.5", "", "0.01", false, "0.5", "0.01"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LabelBoxes boxes;
    boxes.weight = c.weight;
    boxes.tare = c.tare;
    boxes.price = c.price;
    boxes.nonWeighed = c.nonWeighed;
    const LabelFigures figures = WorkOutLabelFigures(boxes);
    EXPECT_EQ(figures.weight, c.netWeight);
    EXPECT_EQ(figures.priceText, c.priceText);
  }
}

struct LineCase {
  const char* name;
  std::function<void(LabelBoxes&)> change;
  bool weightLine, pricePerKgLine, priceLine;
  const char* embedded;  // the symbol's price field, or "" for no symbol
};
// Rows show as their names in test output.
void PrintTo(const LineCase& row, std::ostream* out) {
  *out << row.name;
}

class WeighedLabelLines : public ::testing::TestWithParam<LineCase> {};

// Which of the weight, price per kilogram and price lines a label has, and the price
// the symbol carries.
TEST_P(WeighedLabelLines, PrintsTheLinesThatApply) {
  const LineCase& c = GetParam();
  MemorySettingsStore store;
  RecordingSurface surface;
  FixedClock clock(MakeLocalTime(2026, 12, 6));
  BarcodeJob job;
  LabelBoxes boxes = WeighedHam();
  c.change(boxes);
  PrintWeighedLabel(boxes, store, surface, clock, job);

  const auto y = [&](double top) {
    const auto texts = surface.Texts();
    return std::count_if(texts.begin(), texts.end(),
                         [&](const RecordedOp& op) { return op.y == top && op.text != "#1"; });
  };
  EXPECT_EQ(y(750) == 1, c.weightLine);
  EXPECT_EQ(y(1400) == 1, c.pricePerKgLine);
  EXPECT_EQ(y(1180) == 1, c.priceLine);
  if (*c.embedded) {
    EXPECT_EQ(job.RightDigits, c.embedded);
    EXPECT_EQ(surface.Rects().size(), 30u);
  } else {
    EXPECT_TRUE(surface.Rects().empty());
    EXPECT_EQ(surface.Texts().front().text, "Ham") << "no number either";
  }
  EXPECT_EQ(surface.EndedDocuments(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Items, WeighedLabelLines,
    ::testing::Values(LineCase{"Weighed", [](LabelBoxes&) {}, true, true, true, "01585"},
                      LineCase{"NonWeighed",
                               [](LabelBoxes& b) {
                                 b.nonWeighed = true;
                                 b.price = "3.50";
                               },
                               false, false, true, "00350"},
                      LineCase{"NegativeNetWeight", [](LabelBoxes& b) { b.weight = "0.010 KG"; },
                               false, false, true, "01299"},
                      LineCase{"EmptyScale", [](LabelBoxes& b) { b.weight = "0.000 KG"; }, false,
                               false, true, "01299"},
                      LineCase{"ZeroPrice", [](LabelBoxes& b) { b.price = std::string("0"); }, true,
                               false, false, "00000"},
                      LineCase{"PriceCheckDigit",
                               [](LabelBoxes& b) { b.usePriceCheckDigit = true; }, true, true, true,
                               "41585"},
                      LineCase{"NoCode", [](LabelBoxes& b) { b.code = ""; }, true, true, true, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WeighedLabel, UseByDateFromShelfLife) {
  struct Case {
    const char* shelfLife;
    LocalTime now;
    const char* packed;
    const char* useBy;  // nullptr: none printed
  };
  const Case cases[] = {
      {"3", MakeLocalTime(2026, 12, 6, 10), "6/12/26", "9/12/26"},
      {"", MakeLocalTime(2026, 12, 6, 10), "6/12/26", nullptr},
      {"-2", MakeLocalTime(2026, 12, 6, 10), "6/12/26", nullptr},
      // A fraction of a day counts, and the date crosses midnight and the year's end.
      {"0.5", MakeLocalTime(2026, 12, 31, 12, 0, 1), "31/12/26", "1/01/27"},
      {"0.5", MakeLocalTime(2026, 12, 31, 11, 59, 59), "31/12/26", "31/12/26"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("shelf life ") + c.shelfLife + ", packed " + c.packed);
    RecordingSurface fresh;
    clock.Set(c.now);
    LabelBoxes boxes = WeighedHam();
    boxes.shelfLife = c.shelfLife;
    PrintWeighedLabel(boxes, store, fresh, clock, job);
    const RecordedOp* packed = FindText(fresh, c.packed);
    ASSERT_NE(packed, nullptr);
    EXPECT_EQ(packed->y, 640);
    const auto texts = fresh.Texts();
    const auto useBy =
        std::find_if(texts.begin(), texts.end(), [](const RecordedOp& op) { return op.y == 350; });
    if (!c.useBy) {
      EXPECT_EQ(useBy, texts.end());
      continue;
    }
    ASSERT_NE(useBy, texts.end());
    EXPECT_EQ(useBy->text, c.useBy);
    EXPECT_EQ(useBy->x, 2100 - static_cast<double>(std::string(c.useBy).size()) * 60 / 2);
    EXPECT_EQ(useBy->font.size, 6);
  }
}

// Bold is switched on by the barcode number and never off: a label without a symbol
// prints its first lines bold only when the surface kept bold from the label before.
TEST_F(WeighedLabel, BoldCarriesOverFromTheLabelBefore) {
  LabelBoxes noCode = WeighedHam();
  noCode.code = "";
  Print(noCode);
  Print(WeighedHam());
  Print(noCode);
  ASSERT_EQ(surface.EndedDocuments(), 3);
  std::vector<bool> hamBold;
  for (const RecordedOp& op : surface.Texts())
    if (op.text == "Ham") hamBold.push_back(op.font.bold);
  EXPECT_EQ(hamBold, (std::vector<bool>{false, true, true}));
  EXPECT_TRUE(FindText(surface, "Storename")->font.bold);
}

TEST_F(WeighedLabel, PlacementRules) {
  LabelBoxes boxes = WeighedHam();
  boxes.description1 = "  " + std::string(40, 'W');  // 32 characters kept, then trimmed
  boxes.description2 = " wide line two that is longer than twice its centre allows ";
  boxes.storeName1 = std::string(40, 'S');  // not limited at 0
  boxes.price = "1000";
  boxes.weight = std::string("1");
  boxes.tare = "";
  boxes.itemNumber = "12";
  Print(boxes);

  const RecordedOp* d1 = FindText(surface, std::string(30, 'W'));
  ASSERT_NE(d1, nullptr);
  EXPECT_EQ(d1->x, 0) << "3000 wide, centred at 1300: limited at 0";
  const RecordedOp* d2 = FindText(surface, boxes.description2);
  ASSERT_NE(d2, nullptr);
  EXPECT_EQ(d2->x, 0);
  EXPECT_EQ(FindText(surface, boxes.storeName1)->x, 1850 - 2000);
  // "1000.00" is 700 wide at 10 pt: it ends 500 to the right of "Pricecenter".
  EXPECT_EQ(FindText(surface, "1000.00")->x, 2825 - 200);
  EXPECT_EQ(FindText(surface, "#12")->x, 350);
}

// A failure abandons the label: an overflowing layout value before anything is drawn,
// a font size the surface refuses half way; the unfinished document is thrown away.
TEST_F(WeighedLabel, FailuresAbandonTheWholeLabel) {
  store.Save("Zebra", "WeightTop", "40000");
  EXPECT_THROW(Print(WeighedHam()), OverflowError);
  EXPECT_TRUE(surface.Ops().empty());

  store.Save("Zebra", "WeightTop", "750");
  store.Save("Zebra", "DescriptionSize2", "none");
  EXPECT_THROW(Print(WeighedHam()), PrintError);
  EXPECT_EQ(surface.EndedDocuments(), 0);
  EXPECT_EQ(surface.AbortedDocuments(), 1);
  EXPECT_FALSE(surface.DocumentOpen());

  store.Save("Zebra", "DescriptionSize2", "10");
  Print(WeighedHam());
  EXPECT_EQ(surface.EndedDocuments(), 1);
}

}  // namespace
}  // namespace corvel
