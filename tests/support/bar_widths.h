#pragma once
// Measuring the bars of printed symbols on a rasterised page: finds every EAN-13, EAN-8
// and UPC-E symbol along the image rows and tells, for each, whether bars of the same
// number of modules came out the same number of dots wide.
#include <QImage>
#include <vector>

namespace corvel::test {

// One symbol as a row of the image crosses it: its bars' left edges and widths in dots.
struct MeasuredSymbol {
  std::vector<int> starts, widths;
  int row = 0;  // the first image row that crosses it
  // The largest difference in dots between bars of the same number of modules (0: every
  // bar is exact).
  int spread = 0;
};

// Every symbol on the page, once, top to bottom (a symbol is a run of 30, 22 or 17 bars
// with gaps under an eighth of an inch, at least a sixth of an inch high; `dpi` is the
// image's resolution).
std::vector<MeasuredSymbol> MeasureSymbols(const QImage& image, int dpi);

// How many of `symbols` have a spread above 0, and the largest spread.
struct SpreadSummary {
  int symbols = 0, uneven = 0, largest = 0;
};
SpreadSummary Summarise(const std::vector<MeasuredSymbol>& symbols);

}  // namespace corvel::test
