#pragma once
// The clock seam: current local date and time, and seconds since midnight. Tests pin
// it with FixedClock so that dates on labels and midnight crossings are repeatable.
#include <chrono>
#include <string>

namespace corvel {

using LocalTime = std::chrono::local_time<std::chrono::milliseconds>;

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() const = 0;
  // Seconds since local midnight, with fractions.
  double SecondsSinceMidnight() const;
};

// The machine's local wall clock.
class SystemClock : public Clock {
 public:
  LocalTime Now() const override;
};

// A clock that stands still until told otherwise.
class FixedClock : public Clock {
 public:
  explicit FixedClock(LocalTime now) : now_(now) {}
  LocalTime Now() const override { return now_; }
  void Set(LocalTime now) { now_ = now; }

 private:
  LocalTime now_;
};

// A local time from its parts (month 1-12).
LocalTime MakeLocalTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                        int millisecond = 0);

// "d/mm/yy": day without a leading zero, two-digit month and year (6/12/26).
std::string FormatShortDate(LocalTime time);

}  // namespace corvel
