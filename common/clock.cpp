#include "common/clock.h"

#include <cstdio>
#include <ctime>

namespace corvel {

using std::chrono::days;
using std::chrono::duration_cast;
using std::chrono::milliseconds;

double Clock::SecondsSinceMidnight() const {
  const LocalTime now = Now();
  const auto midnight = std::chrono::floor<days>(now);
  return duration_cast<milliseconds>(now - midnight).count() / 1000.0;
}

LocalTime SystemClock::Now() const {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm parts{};
  localtime_r(&ts.tv_sec, &parts);
  return MakeLocalTime(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                       parts.tm_min, parts.tm_sec, static_cast<int>(ts.tv_nsec / 1000000));
}

LocalTime MakeLocalTime(int year, int month, int day, int hour, int minute, int second,
                        int millisecond) {
  const std::chrono::year_month_day date{std::chrono::year(year),
                                         std::chrono::month(static_cast<unsigned>(month)),
                                         std::chrono::day(static_cast<unsigned>(day))};
  return LocalTime(std::chrono::local_days(date).time_since_epoch()) + std::chrono::hours(hour) +
         std::chrono::minutes(minute) + std::chrono::seconds(second) + milliseconds(millisecond);
}

std::string FormatShortDate(LocalTime time) {
  const std::chrono::year_month_day date{std::chrono::floor<days>(time)};
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%u/%02u/%02d", static_cast<unsigned>(date.day()),
                static_cast<unsigned>(date.month()),
                ((static_cast<int>(date.year()) % 100) + 100) % 100);
  return buffer;
}

}  // namespace corvel
