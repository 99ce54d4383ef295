// A USB point-of-sale scale read through hidraw: report 3 of 6 bytes holds the report id,
// the scale's status, the weight unit, a signed power of ten and the weight as a 16-bit
// little-endian count (weight = count x 10^exponent units). Statuses and units are the
// indexes of the point-of-sale scale usage page:
//   status 1 fault, 2 stable at zero, 3 in motion, 4 stable, 5 under zero,
//          6 over the weight limit, 7 needs calibration, 8 needs re-zeroing;
//   unit   1 mg, 2 g, 3 kg, 11 oz, 12 lb (others are not read).
// The scale sends reports unasked; each poll reads the newest one.
#include <cmath>

#include "common/number_text.h"
#include "station/scale/scale_protocol.h"

namespace corvel {
namespace {

enum HidStatus : unsigned char {
  kFault = 1,
  kZero = 2,
  kInMotion = 3,
  kStable = 4,
  kUnderZero = 5,
  kOverWeight = 6,
  kNeedsCalibration = 7,
  kNeedsRezeroing = 8,
};

constexpr unsigned char kKilograms = 3;

// Kilograms in one of the unit, or 0 for a unit not read.
double KilogramsPer(unsigned char unit) {
  switch (unit) {
    case 1:
      return 1e-6;
    case 2:
      return 1e-3;
    case kKilograms:
      return 1;
    case 11:
      return 0.028349523125;
    case 12:
      return 0.45359237;
    default:
      return 0;
  }
}

// The newest report of `received` that reads, how many runs of bytes did not, and
// where the whole reports end.
NewestReading FindNewest(std::string_view received) {
  NewestReading newest;
  bool inJunk = false;
  std::size_t at = 0;
  while (received.size() - at >= kHidReportLength) {
    // A report is taken where it reads and is followed by another report or nothing;
    // bytes inside a report that happen to read as one are not.
    const std::size_t next = at + kHidReportLength;
    auto reading = ReadHidReport(received.substr(at, kHidReportLength));
    if (reading && next < received.size() && received[next] != kHidReportId) reading.reset();
    if (reading) {
      newest.reading = reading;
      at += kHidReportLength;
      inJunk = false;
    } else {
      // A report device hands over whole reports; bytes that are no report (a stream
      // joined in the middle) are passed one by one until reports line up again.
      if (!inJunk) ++newest.skipped;
      inJunk = true;
      ++at;
    }
  }
  newest.end = at;
  return newest;
}

class HidProtocol : public ScaleProtocol {
 public:
  HidProtocol() {
    SerialLineSettings line;
    line.terminal = false;
    SetLine(line);
  }

  std::string_view Name() const override { return "hid"; }
  bool Streams() const override { return true; }
  std::string Request(int) const override { return {}; }

  bool Whole(int, std::string_view received) const override {
    return FindNewest(received).reading.has_value();
  }

  ScaleAnswer Read(int, std::string& received) const override {
    return TakeNewest(FindNewest(received), received);
  }

  void Forget(std::string& received) const override {
    constexpr std::size_t kKeep = 64 * kHidReportLength;
    // Whole reports only, so what stays still starts where a report starts.
    if (received.size() > kKeep)
      received.erase(0, (received.size() - kKeep) / kHidReportLength * kHidReportLength);
  }

  // Grams-exact kilograms: unit kg, exponent -3.
  std::string Send(const ScaleSample& sample) const override {
    double kilograms = 0;
    try {
      kilograms = ReadLeadingNumber(sample.weight);
    } catch (const std::exception&) {
      kilograms = 0;
    }
    const double count = std::min(65535.0, std::round(std::fabs(kilograms) * 1000));
    unsigned char status = kilograms < 0 ? kUnderZero : count == 0 ? kZero : kStable;
    if (!sample.stable) status = kInMotion;
    if (sample.overloaded) status = kOverWeight;
    const auto whole = static_cast<unsigned>(count);
    return {kHidReportId,          static_cast<char>(status),       static_cast<char>(kKilograms),
            static_cast<char>(-3), static_cast<char>(whole & 0xff), static_cast<char>(whole >> 8)};
  }
};

}  // namespace

std::optional<ScaleFrame> ReadHidReport(std::string_view report) {
  if (report.size() != kHidReportLength || report[0] != kHidReportId) return std::nullopt;
  const auto status = static_cast<unsigned char>(report[1]);
  const double perUnit = KilogramsPer(static_cast<unsigned char>(report[2]));
  const int exponent = static_cast<signed char>(report[3]);
  const unsigned count = static_cast<unsigned char>(report[4]) |
                         static_cast<unsigned>(static_cast<unsigned char>(report[5])) << 8;
  const double kilograms = count * std::pow(10.0, exponent) * perUnit;
  ScaleFrame reading;
  switch (status) {
    case kZero:
      reading.stable = true;
      reading.weight = 0.0;
      return reading;
    case kStable:
    case kUnderZero:
      if (perUnit == 0) return std::nullopt;
      if (status == kUnderZero && count == 0) return reading;  // no weight to show: as in motion
      reading.stable = true;
      reading.weight = status == kUnderZero ? -kilograms : kilograms;
      return reading;
    case kOverWeight:
      reading.overloaded = true;
      return reading;
    case kFault:
    case kInMotion:
    case kNeedsCalibration:
    case kNeedsRezeroing:
      return reading;  // no stable weight: the box is emptied
    default:
      return std::nullopt;
  }
}

std::unique_ptr<ScaleProtocol> MakeHidProtocol(const ScaleOptions&) {
  return std::make_unique<HidProtocol>();
}

}  // namespace corvel
