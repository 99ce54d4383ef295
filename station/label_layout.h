#pragma once
// Where each element of a weighed-item label goes: 40 values kept in the settings store,
// section "Zebra", each under its own key as decimal text. Positions and lengths are
// twips, font sizes points. 37 values are 16-bit integers; "BarcodeFontTop",
// "BarcodeFontCenter" and "BarcodeFontSize" are doubles and may hold fractions.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/dialogs.h"
#include "common/settings_sections.h"
#include "common/settings_store.h"

namespace corvel {

struct LabelLayout {
  std::int16_t WeightTop = 0, WeightCenter = 0, WeightSize = 0;
  std::int16_t PriceTop = 0, Pricecenter = 0, PriceSize = 0;
  std::int16_t PricePerKgTop = 0, PricePerKgcenter = 0, PricePerKgSize = 0;
  std::int16_t DateTop = 0, Datecenter = 0, DateSize = 0;
  std::int16_t UseDateTop = 0, UseDatecenter = 0, UseDateSize = 0;
  std::int16_t DescriptionTop1 = 0, DescriptionCenter1 = 0, DescriptionSize1 = 0;
  std::int16_t DescriptionTop2 = 0, DescriptionCenter2 = 0, DescriptionSize2 = 0;
  std::int16_t DescriptionTop3 = 0, DescriptionCenter3 = 0, DescriptionSize3 = 0;
  double BarcodeFontTop = 0, BarcodeFontCenter = 0, BarcodeFontSize = 0;
  std::int16_t BarcodeWidth = 0, BarcodeHeight = 0, BarcodeTop = 0, BarcodeLefte = 0;
  std::int16_t StoreTop1 = 0, Storecenter1 = 0, StoreSize1 = 0;
  std::int16_t StoreTop2 = 0, Storecenter2 = 0, StoreSize2 = 0;
  std::int16_t ProductIdTop = 0, ProductIdcenter = 0, ProductIdSize = 0;

  bool operator==(const LabelLayout&) const = default;
};

// The three sets of values: used for absent keys, and the two default sets of the
// layout-reset list.
enum class LayoutSet { Absent, Default6x4, Default4x29 };
LabelLayout LayoutValues(LayoutSet set);

// The entries of the layout-reset list, in list order.
inline constexpr const char* kResetEntries[] = {"Reset Default 6 X 4", "Reset Default 4 X 2.9"};

// The 40 keys in the order they are read and written.
std::vector<std::string> LabelLayoutKeys();

// The value of `layout` under one of the 40 keys (0 for any other key).
double LayoutValueOf(const LabelLayout& layout, std::string_view key);

// Reads the 40 values (absent keys take their Absent value; text is read by the
// leading-number reading, 16-bit values rounded halves to even) and writes all 40
// back in one update. Throws OverflowError naming the key when a 16-bit value is
// outside -32768..32767; nothing is written then.
LabelLayout LoadLabelLayout(SettingsStore& settings);

// Writes all 40 values in one update: 16-bit values as whole numbers, doubles in their
// shortest decimal form.
void SaveLabelLayout(SettingsStore& settings, const LabelLayout& layout);

// The double click on the layout-reset list: asks "Are You Sure" (No is the default);
// on Yes writes the default set of entry `index` (0 or 1). Returns true when the store
// was written. Any other index changes nothing.
bool ResetLabelLayout(SettingsStore& settings, MessageBoxes& messages, int index);

}  // namespace corvel
