#pragma once
// Lengths. The domain measures in twips (1440 an inch, points for font sizes); only the
// print surfaces turn twips into a device's dots. The conversions live here once.
namespace corvel {

inline constexpr double kTwipsPerInch = 1440;
inline constexpr double kMmPerInch = 25.4;
inline constexpr double kTwipsPerMm = kTwipsPerInch / kMmPerInch;

constexpr double TwipsFromMm(double mm) {
  return mm * kTwipsPerMm;
}
constexpr double MmFromTwips(double twips) {
  return twips / kTwipsPerMm;
}
// The width of one dot of a device of `dpi` dots per inch, in twips.
constexpr double TwipsPerDot(double dpi) {
  return kTwipsPerInch / dpi;
}
constexpr double DotsFromTwips(double twips, double dpi) {
  return twips * dpi / kTwipsPerInch;
}

}  // namespace corvel
