#include "common/clock.h"

#include <gtest/gtest.h>

#include <tuple>

namespace corvel {
namespace {

TEST(Clock, ShortDatesAndDayArithmetic) {
  const std::tuple<const char*, LocalTime, double, const char*> cases[] = {
      {"shelf life three days", MakeLocalTime(2026, 12, 6, 10, 30), 3, "9/12/26"},
      {"fraction of a day crosses midnight", MakeLocalTime(2026, 12, 31, 23), 0.5, "1/01/27"},
      {"leap day", MakeLocalTime(2028, 2, 28, 12), 1, "29/02/28"},
      {"year 2000 prints 00", MakeLocalTime(2000, 1, 5), 0, "5/01/00"},
      {"negative days go back", MakeLocalTime(2026, 3, 1), -1, "28/02/26"},
  };
  for (const auto& [name, time, days, expected] : cases)
    EXPECT_EQ(FormatShortDate(AddDays(time, days)), expected) << name;
}

TEST(Clock, SecondsSinceMidnightAcrossMidnight) {
  FixedClock clock(MakeLocalTime(2026, 12, 6, 23, 59, 59, 500));
  EXPECT_DOUBLE_EQ(clock.SecondsSinceMidnight(), 86399.5);
  clock.Advance(std::chrono::milliseconds(750));
  EXPECT_DOUBLE_EQ(clock.SecondsSinceMidnight(), 0.25);
  EXPECT_EQ(FormatShortDate(clock.Now()), "7/12/26");
}

}  // namespace
}  // namespace corvel
