#pragma once
// Small text and font steps the barcode jobs share.
#include <cmath>
#include <string>

#include "common/number_text.h"
#include "common/print_surface.h"

namespace corvel {

// A font size kept inside what every print surface accepts.
inline double ClampFontSize(double points) {
  if (points < 1) return 1;
  if (points > PrintSurface::kLargestFontSize) return PrintSurface::kLargestFontSize;
  return points;
}

// Half the measured width of a number line: the width rounded to a whole number, then
// halved with the remainder dropped.
inline double HalfWholeWidth(PrintSurface& surface, const std::string& text) {
  return std::floor(RoundHalfEven(surface.TextWidth(text)) / 2);
}

}  // namespace corvel
