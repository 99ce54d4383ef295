// Layout settings: reading stored texts, writing all 40 back, the two default sets and
// the reset with its confirmation.
#include <gtest/gtest.h>

#include <functional>

#include "common/errors.h"
#include "station/label_layout.h"
#include "tests/station/station_test_support.h"

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

TEST(LabelLayout, DefaultSetsDifferFromAbsentWhereExpected) {
  const LabelLayout absent = LayoutValues(LayoutSet::Absent);
  LabelLayout sixByFour = LayoutValues(LayoutSet::Default6x4);
  EXPECT_EQ(sixByFour.UseDatecenter, 2675);
  sixByFour.UseDatecenter = 2100;
  EXPECT_EQ(sixByFour, absent) << "only UseDatecenter tells the two apart";
  const LabelLayout small = LayoutValues(LayoutSet::Default4x29);
  EXPECT_EQ(small.WeightTop, 150);
  EXPECT_EQ(small.BarcodeFontTop, 1350);
  EXPECT_EQ(small.BarcodeLefte, 50);
  EXPECT_EQ(small.ProductIdcenter, 20);
}

struct ReadCase {
  const char* name;
  const char* key;
  const char* stored;
  std::function<void(LabelLayout&)> expect;  // applied to the Absent set
  const char* writtenBack;
};

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

struct ResetCase {
  const char* name;
  bool yes;
  int index;
  std::optional<LayoutSet> written;  // the set in the store afterwards, if written
};

class LabelLayoutReset : public ::testing::TestWithParam<ResetCase> {};

TEST_P(LabelLayoutReset, AsksAndWritesTheChosenSet) {
  const ResetCase& c = GetParam();
  MemorySettingsStore store;
  store.Save("Zebra", "WeightTop", "9999");  // differs from both sets
  test::FakeMessages messages;
  messages.answerYes = c.yes;

  EXPECT_EQ(ResetLabelLayout(store, messages, c.index), c.written.has_value());
  ASSERT_EQ(messages.questions.size(), 1u);
  EXPECT_EQ(messages.questions[0], "Check Paper Size in Printer Properties Also|Are You Sure|No");
  if (c.written) {
    EXPECT_EQ(LoadLabelLayout(store), LayoutValues(*c.written));
  } else {
    EXPECT_EQ(store.Get("Zebra", "WeightTop"), "9999");
    EXPECT_FALSE(store.Get("Zebra", "PriceTop").has_value());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, LabelLayoutReset,
    ::testing::Values(ResetCase{"YesSixByFour", true, 0, LayoutSet::Default6x4},
                      ResetCase{"YesFourBy29", true, 1, LayoutSet::Default4x29},
                      ResetCase{"No", false, 0, std::nullopt},
                      ResetCase{"YesNoEntry", true, -1, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvel
