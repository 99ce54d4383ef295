// Sheet grids: built-in types, the settings of type 99, label sizes and fit messages.
#include <gtest/gtest.h>

#include <functional>

#include "common/errors.h"
#include "common/settings_store.h"
#include "runner/sheet_layout.h"

namespace corvel {
namespace {

using Strings = std::vector<std::string>;

struct CellCase {
  const char* name;
  std::int16_t type;
  double width;
  double height;
};

TEST(SheetLayoutTest, BuiltInAndDefaultCellSizes) {
  const CellCase cases[] = {
      {"44 labels", 44, (206 - 12) * 56.7 / 4, (294 - 14) * 56.7 / 11},
      {"65 labels", 65, (204 - 4 - 4 * 2) * 56.7 / 5, (294 - 18) * 56.7 / 13},
      {"84 labels", 84, 2594.025, (294 - 28) * 56.7 / 21},
      {"99 defaults", 99, 2199.96, (292 - 16) * 56.7 / 13},
  };
  for (const CellCase& c : cases) {
    SCOPED_TRACE(c.name);
    MemorySettingsStore settings;
    const CellSize cell = LabelCellSize(LoadSheetLayout(settings, c.type));
    EXPECT_NEAR(cell.width, c.width, 1e-9);
    EXPECT_NEAR(cell.height, c.height, 1e-9);
  }
}

TEST(SheetLayoutTest, BuiltInTypesIgnoreTheUserSheetKeys) {
  MemorySettingsStore settings;
  settings.Save("Quorrel", "pageWidth", "100");
  settings.Save("Quorrel", "numofrows", "2");
  settings.Save("Quorrel", "BarcodeWidth", "40");
  const SheetLayout layout = LoadSheetLayout(settings, 84);
  EXPECT_DOUBLE_EQ(layout.pageWidth, 202 * 56.7);
  EXPECT_EQ(layout.rows, 21);
  EXPECT_EQ(layout.moduleWidth, 20);
  EXPECT_EQ(layout.barHeight, 300);
  EXPECT_FALSE(layout.priceOnOwnLine);
  EXPECT_FALSE(layout.storeLine1);
}

struct KeyCase {
  const char* key;
  const char* value;
  std::function<double(const SheetLayout&)> field;
  double expected;
};

// Each stored key, spelled exactly as the suite writes it, reaches its own field.
TEST(SheetLayoutTest, UserSheetReadsEachKey) {
  const KeyCase cases[] = {
      {"pageWidth", "100", [](const SheetLayout& l) { return l.pageWidth; }, 100 * 56.7},
      {"Pageheight", "200", [](const SheetLayout& l) { return l.pageHeight; }, 200 * 56.7},
      {"numofrows", "7", [](const SheetLayout& l) { return l.rows; }, 7},
      {"numofcolumns", "3", [](const SheetLayout& l) { return l.columns; }, 3},
      {"numofcolumns", "2.5", [](const SheetLayout& l) { return l.columns; }, 2},
      {"Leftmargin", "5.5", [](const SheetLayout& l) { return l.leftMargin; }, 5.5 * 56.7},
      {"Centremargins", "1.5", [](const SheetLayout& l) { return l.columnGap; }, 1.5 * 56.7},
      {"Midmargins", "2", [](const SheetLayout& l) { return l.rowGap; }, 2 * 56.7},
      {"TopMargins", "9", [](const SheetLayout& l) { return l.topMargin; }, 9 * 56.7},
      {"Barcodefont", "7.5", [](const SheetLayout& l) { return l.numberLineSize; }, 7.5},
      {"DescriptionFont", "9", [](const SheetLayout& l) { return l.descriptionSize; }, 9},
      {"Pircefont", "11", [](const SheetLayout& l) { return l.priceSize; }, 11},
      {"BarcodeWidth", "25", [](const SheetLayout& l) { return l.moduleWidth; }, 25},
      {"BarcodeWidth", "20.5", [](const SheetLayout& l) { return l.moduleWidth; }, 20},
      {"BarcodeHeight", "500", [](const SheetLayout& l) { return l.barHeight; }, 500},
      {"Barcodecentre", "False", [](const SheetLayout& l) { return l.centreBarcode; }, 0},
      {"DescriptionCentre", "False", [](const SheetLayout& l) { return l.centreText; }, 0},
      {"Pricenewline", "False", [](const SheetLayout& l) { return l.priceOnOwnLine; }, 0},
      {"PrintStore1", "False", [](const SheetLayout& l) { return l.storeLine1; }, 0},
      {"PrintStore2", "False", [](const SheetLayout& l) { return l.storeLine2; }, 0},
      {"OnePage", "False", [](const SheetLayout& l) { return l.oneSheetOnly; }, 0},
      {"EAN8", "True", [](const SheetLayout& l) { return l.allowEan8; }, 1},
      {"UPCE", "True", [](const SheetLayout& l) { return l.allowUpcE; }, 1},
      {"PrintCheckDigit", "False", [](const SheetLayout& l) { return l.printCheckDigit; }, 0},
      {"PrintUpcEcode", "False", [](const SheetLayout& l) { return l.printUpcEDigits; }, 0},
      {"OnePage", "maybe", [](const SheetLayout& l) { return l.oneSheetOnly; }, 1},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(std::string(c.key) + "=" + c.value);
    MemorySettingsStore settings;
    const double before = c.field(LoadSheetLayout(settings, 99));
    settings.Save("Quorrel", c.key, c.value);
    const double after = c.field(LoadSheetLayout(settings, 99));
    EXPECT_DOUBLE_EQ(after, c.expected);
    if (std::string(c.value) != "maybe") {
      EXPECT_NE(before, after) << "the default equals the test value";
    }
  }
}

struct FitCase {
  const char* name;
  std::int16_t type;
  const char* moduleWidth;  // type 99 only
  Strings messages;
};

TEST(SheetLayoutTest, FitMessages) {
  const FitCase cases[] = {
      {"44 fits", 44, nullptr, {}},
      {"65 fits", 65, nullptr, {}},
      {"84 fits (1900 in 2594.025)", 84, nullptr, {}},
      {"99 with 23: 2185 fits in 2199.96", 99, "23", {}},
      {"99 with 24: EAN-13 only", 99, "24", {"EAN-13 codes will not fit"}},
      {"99 with 40: UPC-E 2040 still fits",
       99,
       "40",
       {"EAN-13 codes will not fit", "EAN-8 codes will not fit"}},
      {"99 with 44: UPC-E 2244 does not",
       99,
       "44",
       {"EAN-13 codes will not fit", "EAN-8 codes will not fit", "UPC-E codes will not fit"}},
      {"99 with 344: the widest that still computes",
       99,
       "344",
       {"EAN-13 codes will not fit", "EAN-8 codes will not fit", "UPC-E codes will not fit"}},
  };
  for (const FitCase& c : cases) {
    SCOPED_TRACE(c.name);
    MemorySettingsStore settings;
    if (c.moduleWidth) settings.Save("Quorrel", "BarcodeWidth", c.moduleWidth);
    const SheetLayout layout = LoadSheetLayout(settings, c.type);
    EXPECT_EQ(FitMessages(layout, LabelCellSize(layout).width), c.messages);
  }
}

TEST(SheetLayoutTest, SymbolWiderThan16BitsIsAnOverflow) {
  MemorySettingsStore settings;
  settings.Save("Quorrel", "BarcodeWidth", "345");  // 95 x 345 = 32775
  const SheetLayout layout = LoadSheetLayout(settings, 99);
  EXPECT_THROW(FitMessages(layout, LabelCellSize(layout).width), OverflowError);
  settings.Save("Quorrel", "BarcodeWidth", "40000");
  EXPECT_THROW(LoadSheetLayout(settings, 99), OverflowError);
}

struct GridCase {
  const char* name;
  std::int16_t type;
  const char* rows;
  const char* columns;
};

TEST(SheetLayoutTest, LayoutsWithoutAUsableGridFail) {
  const GridCase cases[] = {
      {"type 50", 50, nullptr, nullptr},
      {"type 0", 0, nullptr, nullptr},
      {"type -44", -44, nullptr, nullptr},
      {"99 with no rows", 99, "0", "5"},
      {"99 with no columns", 99, "13", "abc"},
      {"99 with negative rows", 99, "-3", "5"},
      {"99 with a fraction that rounds to 0", 99, "0.5", "5"},
      {"99 with thousands of rows", 99, "5000", "5"},
  };
  for (const GridCase& c : cases) {
    SCOPED_TRACE(c.name);
    MemorySettingsStore settings;
    if (c.rows) settings.Save("Quorrel", "numofrows", c.rows);
    if (c.columns) settings.Save("Quorrel", "numofcolumns", c.columns);
    EXPECT_THROW(LabelCellSize(LoadSheetLayout(settings, c.type)), Failure);
  }
}

struct PerSheetCase {
  const char* name;
  std::int16_t type;
  double count;
  int labels;
};

TEST(SheetLayoutTest, LabelsPerSheet) {
  const PerSheetCase cases[] = {
      {"44, 3 requests: half a sheet", 44, 3, 22},
      {"44, exactly half", 44, 22, 22},
      {"44, one more than half", 44, 23, 44},
      {"44, a fraction above half", 44, 22.5, 44},
      {"44, 60 requests", 44, 60, 44},
      {"65, odd sheet halves down", 65, 5, 32},
      {"65, 33 requests", 65, 33, 65},
      {"84, 1 request", 84, 1, 42},
  };
  for (const PerSheetCase& c : cases) {
    SCOPED_TRACE(c.name);
    MemorySettingsStore settings;
    EXPECT_EQ(LabelsPerSheet(LoadSheetLayout(settings, c.type), c.count), c.labels);
  }
  MemorySettingsStore oneLabel;
  oneLabel.Save("Quorrel", "numofrows", "1");
  oneLabel.Save("Quorrel", "numofcolumns", "1");
  EXPECT_EQ(LabelsPerSheet(LoadSheetLayout(oneLabel, 99), 1), 1) << "never less than one label";
}

}  // namespace
}  // namespace corvel
