// Sheet grids: built-in types, the settings of type 99, label sizes, fit messages and the
// first label of a half-used sheet.
#include <gtest/gtest.h>

#include <map>

#include "common/errors.h"
#include "common/settings_sections.h"
#include "runner/sheet_layout.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

using Settings = std::map<std::string, std::string>;
using Strings = std::vector<std::string>;

MemorySettingsStore Store(const Settings& values) {
  MemorySettingsStore settings;
  for (const auto& [key, value] : values)
    settings.Save(kRunnerSection, key, value);
  return settings;
}

SheetLayout Load(std::int16_t type, const Settings& values = {}) {
  return LoadSheetLayout(Store(values), type);
}

// The print-area keys of type 99, spelled as the suite stores them.
const Settings own = {{"pageWidth", "100"},    {"Pageheight", "200.5"}, {"numofrows", "3"},
                      {"numofcolumns", "2.5"}, {"Leftmargin", "5"},     {"TopMargins", "10"},
                      {"Centremargins", "4"},  {"Midmargins", "2"}};

// Cells tile the page between its margins, neither overlapping nor leaving it; a symbol
// wider than its cell is named.
TEST(SheetLayoutTest, CellsTileThePageAndFitMessages) {
  const Strings all = {"EAN-13 codes will not fit", "EAN-8 codes will not fit",
                       "UPC-E codes will not fit"};
  const struct {
    std::int16_t type;
    Settings settings;
    Strings messages;
  } cases[] = {
      {44, {}, {}},
      {65, {}, {}},
      {84, {}, {}},
      {99, own, {}},
      {99, {{"BarcodeWidth", "40"}}, {all[0], all[1]}},  // UPC-E 51 x 40 = 2040 still fits
      {99, {{"BarcodeWidth", "44"}}, all},               // 2244 does not
      {99, {{"BarcodeWidth", "44"}, {"numofcolumns", "2"}}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.type) + " with " + std::to_string(c.settings.size()) + " keys");
    const SheetLayout l = Load(c.type, c.settings);
    const CellSize cell = LabelCellSize(l);
    EXPECT_NEAR(2 * l.leftMargin + l.columns * cell.width + (l.columns - 1) * l.columnGap,
                l.pageWidth, 1e-6);
    EXPECT_NEAR(2 * l.topMargin + l.rows * cell.height + (l.rows - 1) * l.rowGap, l.pageHeight,
                1e-6);
    EXPECT_EQ(FitMessages(l, cell.width), c.messages);
  }
  // Millimetres to twips, whole labels.
  const SheetLayout l = Load(99, own);
  EXPECT_EQ(std::tuple(l.pageWidth, l.pageHeight, l.rows, l.columns, l.leftMargin, l.topMargin,
                       l.columnGap, l.rowGap),
            std::tuple(100 * 56.7, 200.5 * 56.7, 3, 2, 5 * 56.7, 10 * 56.7, 4 * 56.7, 2 * 56.7));
}

// The sheet job reads the layout before it prints anything, so these print nothing. A
// setting at fault is named with its value.
// The help the suite's admin reads names every built-in type, so a new preset cannot be
// missing from it.
TEST(SheetLayoutTest, HelpNamesEveryBuiltInType) {
  const test::RunResult help =
      test::RunProgram(test::BuiltProgram("corvel"), {"request", "--help"});
  const QByteArray selectors = help.out.mid(help.out.indexOf("Barcodetype:")).split('\n').front();
  for (const std::int16_t type : BuiltInSheetTypes())
    EXPECT_TRUE(selectors.contains(" " + QByteArray::number(type) + ","))
        << type << " missing from: " << selectors.constData();
}

TEST(SheetLayoutTest, UnusableLayoutsFail) {
  const struct {
    std::int16_t type;
    Settings settings;
    std::string message;  // part of the failure's text
  } cases[] = {
      {50, {}, "sheet type 50 has no label grid"},
      {99, {{"numofcolumns", "abc"}}, "Quorrel/numofcolumns gives 0 labels"},
      {99, {{"numofrows", "5000"}}, "Quorrel/numofrows gives 5000 labels"},
      {99, {{"BarcodeWidth", "40000"}}, "Quorrel/BarcodeWidth \"40000\" is out of range"},
      // 95 x 345 is beyond 16 bits; 344 is the widest module that still computes.
      {99, {{"BarcodeWidth", "345"}}, "(setting Quorrel/BarcodeWidth) makes a symbol 32775 twips"},
      {99, {{"pageWidth", "1e400"}}, "Quorrel/pageWidth \"1e400\" is beyond any number"},
      // Booleans that are no boolean end the run rather than take their default.
      {44, {{"PrintCheckDigit", "No"}}, "Quorrel/PrintCheckDigit \"No\" is neither True nor False"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    try {
      const SheetLayout layout = Load(c.type, c.settings);
      FitMessages(layout, LabelCellSize(layout).width);
      ADD_FAILURE() << "no failure";
    } catch (const Failure& failure) {
      EXPECT_NE(std::string(failure.what()).find(c.message), std::string::npos) << failure.what();
    }
  }
  EXPECT_EQ(FitMessages(Load(99, {{"BarcodeWidth", "344"}}), 1e9), Strings{});
}

// A value that names no cell of the sheet is told once and starts at cell 1.
TEST(SheetLayoutTest, FirstLabelNamesACellOrStartsAtOne) {
  const std::pair<std::string, int> cases[] = {{" 30 ", 30}, {"44", 44}, {"0", 1},
                                               {"45", 1},    {"-3", 1},  {"2.5", 1},
                                               {"abc", 1},   {"", 1},    {"1e999", 1}};
  for (const auto& [value, cell] : cases) {
    const FirstLabel first = ReadFirstLabel(Store({{"FirstLabel", value}}), Load(44));
    EXPECT_EQ(std::pair(first.cell, first.notice.find("(1 to 44)") != std::string::npos),
              std::pair(cell, cell == 1))
        << "\"" << value << "\": " << first.notice;
  }
}

}  // namespace
}  // namespace corvel
