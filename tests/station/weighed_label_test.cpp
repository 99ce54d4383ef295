// The weighed-item label on the recording surface (a character is 10 twips wide per
// point, so every position below can be worked out by hand from the layout).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include <QStringList>

#include "common/errors.h"
#include "common/settings_sections.h"
#include "station/label_barcode.h"
#include "station/label_layout.h"
#include "station/weighed_label.h"
#include "tests/station/station_test_support.h"
#include "tests/support/recording_surface.h"

namespace corvel {
namespace {

using test::HamBoxes;

class WeighedLabel : public ::testing::Test {
 protected:
  void Print(const LabelBoxes& boxes) { PrintWeighedLabel(boxes, store, surface, clock, job); }

  MemorySettingsStore store;
  RecordingSurface surface;
  FixedClock clock{MakeLocalTime(2026, 12, 6, 10, 30)};
  BarcodeJob job;
};

// The FLAG box keeps a whole number 20..29; the fraction goes before the range is judged.
TEST(FlagBox, WholeNumberFromTwentyToTwentyNine) {
  const std::pair<double, const char*> rows[] = {
      {29.9, "29"}, {19.99, "20"}, {30, "20"}, {-25, "20"}, {NAN, "20"}};
  for (const auto& [typed, shown] : rows)
    EXPECT_EQ(FlagBoxText(typed), shown) << typed;
}

TEST_F(WeighedLabel, PrintsTheLinesThatApply) {
  struct Case {
    const char* name;
    std::function<void(LabelBoxes&)> change;
    const char* embedded = "01585";  // the price the symbol carries; "": no symbol
    std::string lines = "wkp";       // 'w'eight, price per 'k'ilogram and 'p'rice lines printed
    LocalTime now = MakeLocalTime(2026, 12, 6, 10);
    const char* packed = "6/12/26";
    const char* useBy = "";
  };
  const auto noLines = [](auto& b) { b.nonWeighed = true, b.price = "3.50"; };
  const auto negative = [](auto& b) { b.weight = "0.010 KG"; };
  const auto zeroPrice = [](auto& b) { b.price = std::string("0"); };
  const Case cases[] = {
      {.name = "Weighed", .change = [](auto&) {}},
      {.name = "NonWeighed", .change = noLines, .embedded = "00350", .lines = "p"},
      {.name = "NegativeNet", .change = negative, .embedded = "01299", .lines = "p"},
      {.name = "ZeroPrice", .change = zeroPrice, .embedded = "00000", .lines = "w"},
      {.name = "NoCode", .change = [](auto& b) { b.code = ""; }, .embedded = ""},
      {.name = "ShelfLife", .change = [](auto& b) { b.shelfLife = "3"; }, .useBy = "9/12/26"},
      {.name = "NegativeShelfLife", .change = [](auto& b) { b.shelfLife = "-2"; }},
      // A fraction of a day counts, and the date crosses midnight and the year's end.
      {.name = "PastMidnight",
       .change = [](auto& b) { b.shelfLife = "0.5"; },
       .now = MakeLocalTime(2026, 12, 31, 12, 0, 1),
       .packed = "31/12/26",
       .useBy = "1/01/27"},
      // The true date centuries ahead, not one some 317 years ahead.
      {.name = "Centuries", .change = [](auto& b) { b.shelfLife = "200000"; }, .useBy = "6/07/74"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingSurface fresh;
    LabelBoxes boxes = HamBoxes();
    c.change(boxes);
    clock.Set(c.now);
    PrintWeighedLabel(boxes, store, fresh, clock, job);
    const auto texts = fresh.Texts();
    const auto at = [&](double top) {
      std::vector<RecordedOp> found;
      std::copy_if(texts.begin(), texts.end(), std::back_inserter(found),
                   [&](const RecordedOp& op) { return op.y == top; });
      return found;
    };
    EXPECT_EQ(at(750).size() == 1, c.lines.find('w') != std::string::npos);
    EXPECT_EQ(at(1400).size() == 1, c.lines.find('k') != std::string::npos);
    EXPECT_EQ(at(1180).size() == 1, c.lines.find('p') != std::string::npos);
    EXPECT_EQ(texts.back().text, "#1");
    EXPECT_EQ(fresh.Rects().size(), *c.embedded ? 30u : 0u);
    EXPECT_EQ(*c.embedded ? job.RightDigits : texts.front().text, *c.embedded ? c.embedded : "Ham")
        << "without a symbol, no number either";
    EXPECT_EQ(fresh.EndedDocuments(), 1);
    ASSERT_EQ(at(640).size(), 1u);
    EXPECT_EQ(at(640)[0].text, c.packed);
    const std::vector<RecordedOp> useBy = at(350);
    ASSERT_EQ(useBy.size(), *c.useBy ? 1u : 0u);
    if (useBy.empty()) continue;
    EXPECT_EQ(useBy[0].text, c.useBy);
  }
}

// Bold is switched on by the barcode number and never off: a label without a symbol
// prints its first lines bold only when the surface kept bold from the label before.
TEST_F(WeighedLabel, BoldCarriesOverFromTheLabelBefore) {
  LabelBoxes noCode = HamBoxes();
  noCode.code = "";
  Print(noCode);
  Print(HamBoxes());
  Print(noCode);
  ASSERT_EQ(surface.EndedDocuments(), 3);
  std::map<std::string, std::vector<bool>> bold;
  for (const RecordedOp& op : surface.Texts())
    bold[op.text].push_back(op.font.bold);
  EXPECT_EQ(bold["Ham"], (std::vector<bool>{false, true, true}));
  EXPECT_EQ(bold["Storename"], (std::vector<bool>{true, true, true}));
}

// A failure abandons the label: an overflowing layout value before anything is drawn,
// a use-by date past the year 9999 half way; the unfinished document is thrown away.
TEST_F(WeighedLabel, FailuresAbandonTheWholeLabel) {
  store.Save(kStationSection, "WeightTop", "40000");
  EXPECT_THROW(Print(HamBoxes()), OverflowError);
  EXPECT_TRUE(surface.Ops().empty());
  EXPECT_FALSE(store.Get(kStationSection, "DateTop").has_value()) << "no layout written back";
  store.Save(kStationSection, "WeightTop", "750");
  EXPECT_THROW(Print(HamBoxes("3000000")), PrintError);
  EXPECT_EQ(surface.EndedDocuments(), 0);
  EXPECT_EQ(surface.AbortedDocuments(), 1);
  EXPECT_FALSE(surface.DocumentOpen());
  Print(HamBoxes());
  EXPECT_EQ(surface.EndedDocuments(), 1);
}

// A font size that reads as 0 or less leaves that element off; the rest of the label
// prints as it would, bold included.
TEST_F(WeighedLabel, ElementsWithoutAFontSizeAreLeftOff) {
  using Text = std::tuple<std::string, double, double, double, bool>;
  const auto texts = [](const RecordingSurface& printed) {
    std::vector<Text> found;
    for (const RecordedOp& op : printed.Texts())
      found.emplace_back(op.text, op.x, op.y, op.font.size, op.font.bold);
    return found;
  };
  LabelBoxes boxes = HamBoxes("3");
  boxes.description2 = "Sliced";
  Print(boxes);
  const std::vector<Text> whole = texts(surface);
  EXPECT_EQ(store.Keys(kStationSection).size(), 40u) << "an empty store gets the Absent set";
  struct Row {
    const char* key;
    const char* value;
    const char* leftOff;  // the text left off
  };
  const Row rows[] = {{.key = "DescriptionSize2", .value = "none", .leftOff = "Sliced"},
                      {.key = "StoreSize1", .value = "-4", .leftOff = "Storename"},
                      {.key = "BarcodeFontSize", .value = "0", .leftOff = "201234015857"},
                      {.key = "UseDateSize", .value = "0", .leftOff = "9/12/26"}};
  for (const auto& [key, value, leftOff] : rows) {
    SCOPED_TRACE(key);
    const std::string kept = *store.Get(kStationSection, key);
    store.Save(kStationSection, key, value);
    RecordingSurface fresh;
    PrintWeighedLabel(boxes, store, fresh, clock, job);
    store.Save(kStationSection, key, kept);
    std::vector<Text> expected = whole;
    const std::string gone = leftOff;
    std::erase_if(expected, [&](const Text& t) { return std::get<0>(t) == gone; });
    EXPECT_EQ(texts(fresh), expected);
    EXPECT_EQ(fresh.Rects().size(), 30u);
    EXPECT_EQ(fresh.EndedDocuments(), 1);
  }
}

// A value of its own under each of the 40 layout keys, read back off the label: every
// text at its top, size and reference x, and the bars.
TEST_F(WeighedLabel, EveryLayoutKeyIsReadIntoTheLabel) {
  const QStringList words =
      QString(
          "WeightTop 701 WeightCenter 3301 WeightSize 11 PriceTop 1101 Pricecenter 2801 "
          "PriceSize 12 PricePerKgTop 1401 PricePerKgcenter 2101 PricePerKgSize 13 DateTop 601 "
          "Datecenter 2001 DateSize 5 UseDateTop 301 UseDatecenter 2601 UseDateSize 4 "
          "DescriptionTop1 801 DescriptionCenter1 1301 DescriptionSize1 14 DescriptionTop2 1001 "
          "DescriptionCenter2 1302 DescriptionSize2 15 DescriptionTop3 1201 "
          "DescriptionCenter3 1303 DescriptionSize3 16 BarcodeFontTop 501.5 "
          "BarcodeFontCenter 1051.5 BarcodeFontSize 7.5 BarcodeWidth 23 BarcodeHeight 451 "
          "BarcodeTop 1701 BarcodeLefte 551 StoreTop1 3 Storecenter1 1851 StoreSize1 17 "
          "StoreTop2 161 Storecenter2 1852 StoreSize2 18 ProductIdTop 1421 ProductIdcenter 351 "
          "ProductIdSize 3")
          .split(' ');
  std::vector<std::pair<std::string, std::string>> values;
  for (qsizetype i = 0; i + 1 < words.size(); i += 2)
    values.emplace_back(words[i].toStdString(), words[i + 1].toStdString());
  std::vector<std::string> keys;
  for (const auto& [key, value] : values) {
    store.Save(kStationSection, key, value);
    keys.emplace_back(key);
  }
  EXPECT_EQ(keys, LabelLayoutKeys());
  LabelBoxes boxes = HamBoxes("3");
  boxes.description2 = "Two";
  boxes.description3 = "Three";
  Print(boxes);

  struct Text {
    const char* text;
    double top, size, x;  // x: the reference
    char rule;            // x is the 'c'entre, 'r'ight edge, 'l'eft edge, or the 'p'rice's
  };
  const Text expected[] = {
      {.text = "201234015857", .top = 501.5, .size = 7.5, .x = 1051.5, .rule = 'c'},
      {.text = "Ham", .top = 801, .size = 14, .x = 1301, .rule = 'c'},
      {.text = "Two", .top = 1001, .size = 15, .x = 1302, .rule = 'c'},
      {.text = "Three", .top = 1201, .size = 16, .x = 1303, .rule = 'c'},
      {.text = "6/12/26", .top = 601, .size = 5, .x = 2001, .rule = 'c'},
      {.text = "9/12/26", .top = 301, .size = 4, .x = 2601, .rule = 'c'},
      {.text = "1.220 kg", .top = 701, .size = 11, .x = 3301, .rule = 'r'},
      {.text = "Storename", .top = 3, .size = 17, .x = 1851, .rule = 'c'},
      {.text = " ", .top = 161, .size = 18, .x = 1852, .rule = 'c'},
      {.text = "15.85", .top = 1101, .size = 12, .x = 2801, .rule = 'p'},
      {.text = "12.99", .top = 1401, .size = 13, .x = 2101, .rule = 'r'},
      {.text = "#1", .top = 1421, .size = 3, .x = 351, .rule = 'l'}};
  const std::vector<RecordedOp> texts = surface.Texts();
  ASSERT_EQ(texts.size(), std::size(expected));
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const auto& [text, top, size, x, rule] = expected[i];
    SCOPED_TRACE(text);
    EXPECT_EQ(texts[i].text, text);
    EXPECT_EQ(texts[i].y, top);
    EXPECT_EQ(texts[i].font.size, size);
    EXPECT_EQ(texts[i].font.name, "Tahoma");
    EXPECT_TRUE(texts[i].font.bold) << "from the barcode number on";
    const double width = static_cast<double>(texts[i].text.size()) * 10 * size;
    const double left = rule == 'c'   ? x - std::floor(width / 2)
                        : rule == 'r' ? x - width
                        : rule == 'p' ? x - std::max(0.0, width - 500)
                                      : x;
    EXPECT_EQ(texts[i].x, left);
  }
  // The bars start after the width of "0" in the font before them (10 pt on a fresh
  // surface) plus 20.
  const std::vector<RecordedOp> bars = surface.Rects();
  ASSERT_EQ(bars.size(), 30u);
  EXPECT_EQ(bars.front().x, 551 + 100 + 20);
  EXPECT_EQ(bars.front().y, 1701);
  EXPECT_EQ(bars.front().y2 - bars.front().y, 451);
  EXPECT_EQ(bars.back().x2, 671 + 95 * 23);
  EXPECT_EQ(surface.Ops().back().kind, RecordedOp::Kind::EndDoc);
  for (const auto& [key, value] : values)
    EXPECT_EQ(store.Get(kStationSection, key), value) << "written back as read";
}

}  // namespace
}  // namespace corvel
