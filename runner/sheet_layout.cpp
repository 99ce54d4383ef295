#include "runner/sheet_layout.h"

#include <cmath>
#include <optional>
#include <string_view>

#include "barcode/barcode_job.h"
#include "common/errors.h"
#include "common/number_text.h"
#include "common/print_surface.h"
#include "common/settings_sections.h"
#include "common/text.h"

namespace corvel {
namespace {

constexpr std::string_view kSection = kRunnerSection;

// Module counts of the three symbols.
constexpr int kEan13Modules = SymbolModules(Symbology::Ean13);
constexpr int kEan8Modules = SymbolModules(Symbology::Ean8);
constexpr int kUpcEModules = SymbolModules(Symbology::UpcE);

std::string Setting(std::string_view key, std::string_view text) {
  return SettingText(kSection, key, text);
}

double ReadNumber(const SettingsStore& settings, std::string_view key, std::string_view fallback) {
  const std::string text = settings.GetOr(kSection, key, fallback);
  try {
    return ReadLeadingNumber(text);
  } catch (const OverflowError&) {
    throw OverflowError(Setting(key, text) + " is beyond any number");
  }
}

// A whole number of the sheet (16 bits: counts, module width, bar height); a fraction
// rounds to the nearest whole number.
std::int16_t ReadWhole(const SettingsStore& settings, std::string_view key,
                       std::string_view fallback) {
  const double value = ReadNumber(settings, key, fallback);
  try {
    return ToInt16(value);
  } catch (const OverflowError&) {
    throw OverflowError(Setting(key, settings.GetOr(kSection, key, fallback)) +
                        " is out of range: a whole number from -32768 to 32767 is needed");
  }
}

// A font size in points, which every print surface takes from 1 up to its largest.
double ReadFontSize(const SettingsStore& settings, std::string_view key,
                    std::string_view fallback) {
  const double points = ReadNumber(settings, key, fallback);
  if (!PrintSurface::IsFontSize(points)) {
    throw Failure(Setting(key, settings.GetOr(kSection, key, fallback)) +
                  " is not a font size from 1 to " +
                  std::to_string(int(PrintSurface::kLargestFontSize)) + " points");
  }
  return points;
}

// A stored boolean: True, False or a number (0 is False). Anything else ends the run
// before printing rather than quietly taking the default.
bool ReadBool(const SettingsStore& settings, std::string_view key, bool fallback) {
  const auto text = settings.Get(kSection, key);
  if (!text) return fallback;
  const std::optional<bool> value = ParseBoolText(*text);
  if (!value) throw Failure(Setting(key, *text) + " is neither True nor False");
  return *value;
}

double Mm(double millimetres) {
  return millimetres * kSheetTwipsPerMm;
}

// A built-in sheet type: the sheet, its grid and its fonts (lengths in millimetres).
struct SheetPreset {
  std::int16_t type;
  double widthMm, heightMm;
  int rows, columns;
  double leftMarginMm, columnGapMm, topMarginMm;
  double numberLineSize, descriptionSize, priceSize;
  std::int16_t moduleWidth, barHeight;
  bool priceOnOwnLine;
};

// clang-format off
constexpr SheetPreset kSheetPresets[] = {
//  type  width height rows cols left gap top  number descr price module bar  price on own line
    {44,  206,  294,   11,  4,   6,   0,  7,   8,     10,   12,   22,    600, true},
    {65,  204,  294,   13,  5,   2,   2,  9,   6,     8,    8,    20,    600, true},
    {84,  202,  294,   21,  4,   2,   5,  14,  4,     6,    6,    20,    300, false},
};
// clang-format on

}  // namespace

std::vector<std::int16_t> BuiltInSheetTypes() {
  std::vector<std::int16_t> types;
  for (const SheetPreset& preset : kSheetPresets)
    types.push_back(preset.type);
  return types;
}

namespace {

// A type without a preset keeps the base values and so has no grid.
void LoadBuiltIn(SheetLayout& layout, std::int16_t sheetType) {
  layout.centreBarcode = true;
  layout.centreText = true;
  for (const SheetPreset& preset : kSheetPresets) {
    if (preset.type != sheetType) continue;
    layout.pageWidth = Mm(preset.widthMm);
    layout.pageHeight = Mm(preset.heightMm);
    layout.rows = preset.rows;
    layout.columns = preset.columns;
    layout.leftMargin = Mm(preset.leftMarginMm);
    layout.columnGap = Mm(preset.columnGapMm);
    layout.rowGap = 0;
    layout.topMargin = Mm(preset.topMarginMm);
    layout.numberLineSize = preset.numberLineSize;
    layout.descriptionSize = preset.descriptionSize;
    layout.priceSize = preset.priceSize;
    layout.moduleWidth = preset.moduleWidth;
    layout.barHeight = preset.barHeight;
    layout.priceOnOwnLine = preset.priceOnOwnLine;
  }
}

void LoadUserDefined(SheetLayout& layout, const SettingsStore& settings) {
  layout.pageWidth = Mm(ReadNumber(settings, "pageWidth", "202"));
  layout.pageHeight = Mm(ReadNumber(settings, "Pageheight", "292"));
  layout.rows = ReadWhole(settings, "numofrows", "13");
  layout.columns = ReadWhole(settings, "numofcolumns", "5");
  layout.leftMargin = Mm(ReadNumber(settings, "Leftmargin", "4"));
  layout.columnGap = Mm(ReadNumber(settings, "Centremargins", "0"));
  layout.rowGap = Mm(ReadNumber(settings, "Midmargins", "0"));
  layout.topMargin = Mm(ReadNumber(settings, "TopMargins", "8"));
  layout.numberLineSize = ReadFontSize(settings, "Barcodefont", "6");
  layout.descriptionSize = ReadFontSize(settings, "DescriptionFont", "8");
  layout.priceSize = ReadFontSize(settings, "Pircefont", "12");
  layout.moduleWidth = ReadWhole(settings, "BarcodeWidth", "18");
  layout.barHeight = ReadWhole(settings, "BarcodeHeight", "420");
  layout.centreBarcode = ReadBool(settings, "Barcodecentre", true);
  layout.centreText = ReadBool(settings, "DescriptionCentre", true);
  layout.priceOnOwnLine = ReadBool(settings, "Pricenewline", true);
  layout.storeLine1 = ReadBool(settings, "PrintStore1", true);
  layout.storeLine2 = ReadBool(settings, "PrintStore2", true);
  layout.oneSheetOnly = ReadBool(settings, "OnePage", true);
}

}  // namespace

SheetLayout LoadSheetLayout(const SettingsStore& settings, std::int16_t sheetType) {
  SheetLayout layout;
  layout.type = sheetType;
  if (sheetType == kUserSheetType) {
    LoadUserDefined(layout, settings);
  } else {
    LoadBuiltIn(layout, sheetType);
  }
  layout.printCheckDigit = ReadBool(settings, "PrintCheckDigit", true);
  layout.printUpcEDigits = ReadBool(settings, "PrintUpcEcode", true);
  layout.allowEan8 = ReadBool(settings, "EAN8", false);
  layout.allowUpcE = ReadBool(settings, "UPCE", false);
  return layout;
}

CellSize LabelCellSize(const SheetLayout& layout) {
  const auto usable = [](int lines) { return lines >= 1 && lines <= kMaxGridLines; };
  if (layout.type == kUserSheetType) {
    for (const auto& [key, lines] :
         {std::pair{"numofrows", layout.rows}, {"numofcolumns", layout.columns}}) {
      if (!usable(lines)) {
        throw Failure("setting Quorrel/" + std::string(key) + " gives " + std::to_string(lines) +
                      " labels; a sheet has 1 to " + std::to_string(kMaxGridLines));
      }
    }
  }
  if (!usable(layout.rows) || !usable(layout.columns)) {
    throw Failure("sheet type " + std::to_string(layout.type) + " has no label grid (" +
                  std::to_string(layout.rows) + " rows, " + std::to_string(layout.columns) +
                  " columns)");
  }
  CellSize cell;
  cell.height =
      (layout.pageHeight - 2 * layout.topMargin - (layout.rows - 1) * layout.rowGap) / layout.rows;
  cell.width =
      (layout.pageWidth - 2 * layout.leftMargin - (layout.columns - 1) * layout.columnGap) /
      layout.columns;
  return cell;
}

std::vector<std::string> FitMessages(const SheetLayout& layout, double cellWidth) {
  // Symbol widths are 16-bit values: a module width above 344 overflows here.
  const auto symbolWidth = [&](int modules) {
    const double width = double(modules) * layout.moduleWidth;
    try {
      return ToInt16(width);
    } catch (const OverflowError&) {
      throw OverflowError("module width " + std::to_string(layout.moduleWidth) +
                          " twips (setting Quorrel/BarcodeWidth) makes a symbol " +
                          std::to_string(int(width)) + " twips wide, beyond 32767");
    }
  };
  std::vector<std::string> messages;
  if (symbolWidth(kEan13Modules) > cellWidth) messages.push_back("EAN-13 codes will not fit");
  if (symbolWidth(kEan8Modules) > cellWidth) messages.push_back("EAN-8 codes will not fit");
  if (symbolWidth(kUpcEModules) > cellWidth) messages.push_back("UPC-E codes will not fit");
  return messages;
}

int LabelsPerSheet(const SheetLayout& layout, double count) {
  const int perSheet = layout.rows * layout.columns;
  const int half = perSheet / 2;
  const int cells = count > half ? perSheet : half;
  return cells < 1 ? 1 : cells;
}

FirstLabel ReadFirstLabel(const SettingsStore& settings, const SheetLayout& layout) {
  const auto text = settings.Get(kSection, kFirstLabelKey);
  if (!text) return {};
  const int cells = layout.rows * layout.columns;
  double value = 0;
  try {
    value = ReadLeadingNumber(*text);
  } catch (const OverflowError&) {
    value = 0;  // beyond any number: outside the sheet as well
  }
  if (value >= 1 && value <= cells && value == std::trunc(value)) return {int(value), {}};
  return {1, Setting(kFirstLabelKey, *text) + " is not a label of this sheet (1 to " +
                 std::to_string(cells) + "); printing starts at label 1"};
}

}  // namespace corvel
