#include "common/clock.h"

#include <gtest/gtest.h>

namespace corvel {
namespace {

TEST(Clock, ShortDatesAndDayArithmetic) {
  const struct {
    const char* name;
    LocalTime time;
    double days;
    const char* expected;
  } cases[] = {
      {"packing date", MakeLocalTime(2026, 12, 6, 10, 30), 0, "6/12/26"},
      {"shelf life three days", MakeLocalTime(2026, 12, 6, 10, 30), 3, "9/12/26"},
      {"fraction of a day crosses midnight", MakeLocalTime(2026, 12, 31, 23), 0.5, "1/01/27"},
      {"leap day", MakeLocalTime(2028, 2, 28, 12), 1, "29/02/28"},
      {"year 2000 prints 00", MakeLocalTime(2000, 1, 5), 0, "5/01/00"},
      {"negative days go back", MakeLocalTime(2026, 3, 1), -1, "28/02/26"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FormatShortDate(AddDays(c.time, c.days)), c.expected);
  }
}

TEST(Clock, SecondsSinceMidnightAcrossMidnight) {
  FixedClock clock(MakeLocalTime(2026, 12, 6, 23, 59, 59, 500));
  EXPECT_DOUBLE_EQ(clock.SecondsSinceMidnight(), 86399.5);
  clock.Advance(std::chrono::milliseconds(750));
  EXPECT_DOUBLE_EQ(clock.SecondsSinceMidnight(), 0.25);
  EXPECT_EQ(FormatShortDate(clock.Now()), "7/12/26");
}

TEST(Clock, SystemClockIsNearTheCLibrary) {
  SystemClock clock;
  const double s = clock.SecondsSinceMidnight();
  EXPECT_GE(s, 0);
  EXPECT_LT(s, 86400);
}

}  // namespace
}  // namespace corvel
