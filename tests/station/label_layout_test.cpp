// Layout settings: reading stored texts and writing all 40 back. The reset list is
// tested through the window.
#include <gtest/gtest.h>

#include <functional>

#include "common/errors.h"
#include "station/label_layout.h"

namespace corvel {
namespace {

TEST(LabelLayout, EmptyStoreUsesAbsentValuesAndWritesAllKeys) {
  MemorySettingsStore store;
  const LabelLayout layout = LoadLabelLayout(store);
  EXPECT_EQ(layout, LayoutValues(LayoutSet::Absent));
  EXPECT_EQ(layout.UseDatecenter, 2100);
  const std::vector<std::string> keys = LabelLayoutKeys();
  ASSERT_EQ(keys.size(), 40u);
  for (const std::string& key : keys)
    EXPECT_TRUE(store.Get("Zebra", key).has_value()) << key;
  EXPECT_EQ(store.Get("Zebra", "WeightTop"), "750");
  EXPECT_EQ(store.Get("Zebra", "BarcodeFontCenter"), "1050");
  EXPECT_EQ(store.Get("Zebra", "BarcodeLefte"), "550");
}

struct ReadCase {
  const char* name;
  const char* key;
  const char* stored;
  std::function<void(LabelLayout&)> expect;  // applied to the Absent set
  const char* writtenBack;
};
// Rows show as their names in test output.
void PrintTo(const ReadCase& row, std::ostream* out) {
  *out << row.name;
}

class LabelLayoutRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(LabelLayoutRead, ReadsAndWritesBack) {
  const ReadCase& c = GetParam();
  MemorySettingsStore store;
  store.Save("Zebra", c.key, c.stored);
  LabelLayout expected = LayoutValues(LayoutSet::Absent);
  c.expect(expected);
  EXPECT_EQ(LoadLabelLayout(store), expected);
  EXPECT_EQ(store.Get("Zebra", c.key), c.writtenBack);
}

INSTANTIATE_TEST_SUITE_P(
    Values, LabelLayoutRead,
    ::testing::Values(ReadCase{"WholeHalfToEvenDown", "WeightTop", "750.5",
                               [](auto& l) { l.WeightTop = 750; }, "750"},
                      ReadCase{"WholeHalfToEvenUp", "WeightTop", "751.5",
                               [](auto& l) { l.WeightTop = 752; }, "752"},
                      ReadCase{"WholeKeyDropsFraction", "Storecenter1", "1050.5",
                               [](auto& l) { l.Storecenter1 = 1050; }, "1050"},
                      ReadCase{"DoubleKeepsFraction", "BarcodeFontCenter", "1050.5",
                               [](auto& l) { l.BarcodeFontCenter = 1050.5; }, "1050.5"},
                      ReadCase{"NotANumberIsZero", "WeightSize", "big",
                               [](auto& l) { l.WeightSize = 0; }, "0"},
                      ReadCase{"BlanksAndUnits", "PriceTop", " 1 2 00 twips",
                               [](auto& l) { l.PriceTop = 1200; }, "1200"},
                      ReadCase{"Hexadecimal", "BarcodeFontSize", "&H10",
                               [](auto& l) { l.BarcodeFontSize = 16; }, "16"},
                      ReadCase{"SmallestWhole", "DateTop", "-32768",
                               [](auto& l) { l.DateTop = -32768; }, "-32768"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LabelLayout, OutOfRangeValueFailsAndWritesNothing) {
  for (const char* stored : {"40000", "-32769", "32767.5", "1e999"}) {
    SCOPED_TRACE(stored);
    MemorySettingsStore store;
    store.Save("Zebra", "BarcodeHeight", stored);
    try {
      LoadLabelLayout(store);
      ADD_FAILURE() << "no overflow";
    } catch (const OverflowError& error) {
      EXPECT_NE(std::string(error.what()).find("BarcodeHeight"), std::string::npos);
    }
    EXPECT_FALSE(store.Get("Zebra", "WeightTop").has_value());
  }
}

}  // namespace
}  // namespace corvel
