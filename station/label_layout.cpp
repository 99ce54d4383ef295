#include "station/label_layout.h"

#include <array>

#include "common/errors.h"
#include "common/number_text.h"
#include "common/text.h"

namespace corvel {
namespace {

struct LayoutKey {
  const char* key;
  std::int16_t LabelLayout::*whole;  // the 16-bit field, or null for a double
  double LabelLayout::*fraction;     // the double field, or null
  double absent, default6x4, default4x29;
};

using L = LabelLayout;
constexpr std::array<LayoutKey, 40> kKeys{{
    {"WeightTop", &L::WeightTop, nullptr, 750, 750, 150},
    {"WeightCenter", &L::WeightCenter, nullptr, 3325, 3325, 1200},
    {"WeightSize", &L::WeightSize, nullptr, 9, 9, 8},
    {"PriceTop", &L::PriceTop, nullptr, 1180, 1180, 320},
    {"Pricecenter", &L::Pricecenter, nullptr, 2825, 2825, 1700},
    {"PriceSize", &L::PriceSize, nullptr, 10, 10, 8},
    {"PricePerKgTop", &L::PricePerKgTop, nullptr, 1400, 1400, 150},
    {"PricePerKgcenter", &L::PricePerKgcenter, nullptr, 2100, 2100, 2000},
    {"PricePerKgSize", &L::PricePerKgSize, nullptr, 9, 9, 8},
    {"DateTop", &L::DateTop, nullptr, 640, 640, 350},
    {"Datecenter", &L::Datecenter, nullptr, 2100, 2100, 400},
    {"DateSize", &L::DateSize, nullptr, 6, 6, 6},
    {"UseDateTop", &L::UseDateTop, nullptr, 350, 350, 350},
    {"UseDatecenter", &L::UseDatecenter, nullptr, 2100, 2675, 1200},
    {"UseDateSize", &L::UseDateSize, nullptr, 6, 6, 6},
    {"DescriptionTop1", &L::DescriptionTop1, nullptr, 800, 800, 450},
    {"DescriptionCenter1", &L::DescriptionCenter1, nullptr, 1300, 1300, 1300},
    {"DescriptionSize1", &L::DescriptionSize1, nullptr, 10, 10, 8},
    {"DescriptionTop2", &L::DescriptionTop2, nullptr, 1000, 1000, 600},
    {"DescriptionCenter2", &L::DescriptionCenter2, nullptr, 1300, 1300, 1300},
    {"DescriptionSize2", &L::DescriptionSize2, nullptr, 10, 10, 7},
    {"DescriptionTop3", &L::DescriptionTop3, nullptr, 1200, 1200, 750},
    {"DescriptionCenter3", &L::DescriptionCenter3, nullptr, 1300, 1300, 1300},
    {"DescriptionSize3", &L::DescriptionSize3, nullptr, 10, 10, 7},
    {"BarcodeFontTop", nullptr, &L::BarcodeFontTop, 500, 500, 1350},
    {"BarcodeFontCenter", nullptr, &L::BarcodeFontCenter, 1050, 1050, 1000},
    {"BarcodeFontSize", nullptr, &L::BarcodeFontSize, 8, 8, 8},
    {"BarcodeWidth", &L::BarcodeWidth, nullptr, 25, 25, 20},
    {"BarcodeHeight", &L::BarcodeHeight, nullptr, 450, 450, 350},
    {"BarcodeTop", &L::BarcodeTop, nullptr, 1700, 1700, 1000},
    {"BarcodeLefte", &L::BarcodeLefte, nullptr, 550, 550, 50},
    {"StoreTop1", &L::StoreTop1, nullptr, 0, 0, 0},
    {"Storecenter1", &L::Storecenter1, nullptr, 1850, 1850, 1200},
    {"StoreSize1", &L::StoreSize1, nullptr, 10, 10, 8},
    {"StoreTop2", &L::StoreTop2, nullptr, 160, 160, 160},
    {"Storecenter2", &L::Storecenter2, nullptr, 1850, 1850, 1200},
    {"StoreSize2", &L::StoreSize2, nullptr, 10, 10, 8},
    {"ProductIdTop", &L::ProductIdTop, nullptr, 1425, 1425, 750},
    {"ProductIdcenter", &L::ProductIdcenter, nullptr, 350, 350, 20},
    {"ProductIdSize", &L::ProductIdSize, nullptr, 6, 6, 6},
}};

double SetValue(const LayoutKey& key, LayoutSet set) {
  switch (set) {
    case LayoutSet::Absent:
      return key.absent;
    case LayoutSet::Default6x4:
      return key.default6x4;
    case LayoutSet::Default4x29:
      return key.default4x29;
  }
  return key.absent;
}

}  // namespace

LabelLayout LayoutValues(LayoutSet set) {
  LabelLayout layout;
  for (const LayoutKey& key : kKeys) {
    const double value = SetValue(key, set);
    if (key.whole)
      layout.*key.whole = static_cast<std::int16_t>(value);
    else
      layout.*key.fraction = value;
  }
  return layout;
}

std::vector<std::string> LabelLayoutKeys() {
  std::vector<std::string> keys;
  for (const LayoutKey& key : kKeys)
    keys.emplace_back(key.key);
  return keys;
}

double LayoutValueOf(const LabelLayout& layout, std::string_view key) {
  for (const LayoutKey& entry : kKeys)
    if (key == entry.key) return entry.whole ? layout.*entry.whole : layout.*entry.fraction;
  return 0;
}

LabelLayout LoadLabelLayout(SettingsStore& settings) {
  LabelLayout layout;
  for (const LayoutKey& key : kKeys) {
    const std::string text = settings.GetOr(kStationSection, key.key, GeneralNumber(key.absent));
    try {
      const double value = ReadLeadingNumber(text);
      if (key.whole)
        layout.*key.whole = ToInt16(value);
      else
        layout.*key.fraction = value;
    } catch (const OverflowError&) {
      throw OverflowError(SettingText(kStationSection, key.key, text) + " is " +
                          (key.whole ? "outside -32768..32767" : "beyond any number"));
    }
  }
  SaveLabelLayout(settings, layout);
  return layout;
}

void SaveLabelLayout(SettingsStore& settings, const LabelLayout& layout) {
  std::vector<std::pair<std::string, std::string>> values;
  values.reserve(kKeys.size());
  for (const LayoutKey& key : kKeys) {
    values.emplace_back(key.key, key.whole ? std::to_string(layout.*key.whole)
                                           : GeneralNumber(layout.*key.fraction));
  }
  settings.SaveMany(kStationSection, values);
}

bool ResetLabelLayout(SettingsStore& settings, MessageBoxes& messages, int index) {
  if (!messages.AskYesNo("Are You Sure", "Check Paper Size in Printer Properties Also", false))
    return false;
  if (index != 0 && index != 1) return false;
  SaveLabelLayout(settings,
                  LayoutValues(index == 0 ? LayoutSet::Default6x4 : LayoutSet::Default4x29));
  return true;
}

}  // namespace corvel
