#pragma once
// The grid of a sheet of adhesive labels: sheet size, margins, gaps, rows and columns,
// fonts and barcode size, from the built-in sheet types (the presets in sheet_layout.cpp,
// named after their label count) or from the settings (type 99). Lengths are held in twips
// (millimetres x 56.7).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/settings_store.h"

namespace corvel {

inline constexpr double kSheetTwipsPerMm = 56.7;
inline constexpr std::int16_t kUserSheetType = 99;

// Rows or columns beyond this make labels under 3 mm: such a grid is refused rather than
// printed as hundreds of thousands of unreadable labels.
inline constexpr int kMaxGridLines = 100;

struct SheetLayout {
  std::int16_t type = 0;
  double pageWidth = 206 * kSheetTwipsPerMm;
  double pageHeight = 294 * kSheetTwipsPerMm;
  int rows = 0;  // 0: the type has no grid
  int columns = 0;
  double leftMargin = 0;  // left and right margin
  double topMargin = 0;   // top and bottom margin
  double columnGap = 0;
  double rowGap = 0;
  double numberLineSize = 0;  // points
  double descriptionSize = 0;
  double priceSize = 0;
  std::int16_t moduleWidth = 22;  // twips
  std::int16_t barHeight = 600;
  bool centreBarcode = false;
  bool centreText = false;
  bool priceOnOwnLine = false;
  bool storeLine1 = false;
  bool storeLine2 = false;
  bool oneSheetOnly = true;
  bool allowEan8 = false;
  bool allowUpcE = false;
  bool printCheckDigit = true;
  bool printUpcEDigits = true;
};

// The sheet types with a built-in layout, in ascending order.
std::vector<std::int16_t> BuiltInSheetTypes();

// The layout of `sheetType` with the settings of section "Quorrel". A type neither
// built in nor 99 keeps the base values and has no grid (rows and columns 0). Throws
// OverflowError when a type-99 module width or bar height is beyond 16 bits.
SheetLayout LoadSheetLayout(const SettingsStore& settings, std::int16_t sheetType);

struct CellSize {
  double width = 0;
  double height = 0;
};

// The size of one label. Throws Failure for a layout without a usable grid (no rows or
// columns, or more than kMaxGridLines of either).
CellSize LabelCellSize(const SheetLayout& layout);

// The messages for the symbols too wide for a label of `cellWidth`, in the order EAN-13,
// EAN-8, UPC-E. Throws OverflowError when a symbol's width is beyond 16 bits.
std::vector<std::string> FitMessages(const SheetLayout& layout, double cellWidth);

// Labels printed on each sheet for a request of `count` records: the whole sheet when
// the request is longer than half a sheet, otherwise half a sheet; at least 1.
int LabelsPerSheet(const SheetLayout& layout, double count);

// The cell (from 1, row by row) the first sheet starts at, so that a half-used sheet can
// be fed again: key "FirstLabel", 1 when absent. A value that is not a whole number of a
// cell on the sheet starts at 1 and sets `notice` to one line naming it. The start label
// is for one run: the sheet job sets it back to 1 once the first sheet has printed.
inline constexpr std::string_view kFirstLabelKey = "FirstLabel";
struct FirstLabel {
  int cell = 1;
  std::string notice;
};
FirstLabel ReadFirstLabel(const SettingsStore& settings, const SheetLayout& layout);

}  // namespace corvel
