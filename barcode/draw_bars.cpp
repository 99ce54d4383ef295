// Draws a width pattern as black bars on the print surface.
#include <algorithm>
#include <cmath>

#include "barcode/barcode_job.h"
#include "barcode/symbology_tables.h"

namespace corvel {
namespace {

// Where the symbol's edges fall: in twips, or on the device's dot grid.
struct BarGeometry {
  double origin = 0;  // x of element 0
  double unit = 1;    // twips per unit below
  int module = 0;     // units per module
  int reduction = 0;  // units taken off every bar, never leaving less than one
};

// With a known dot grid every module is the same whole number of dots, rounded down (at
// least one) so the symbol never grows past its planned width, and the symbol starts on
// the dot nearest to x. Without one the module is drawn as planned.
BarGeometry GeometryFor(const BarcodeJob& job, const PrintSurface::DotGrid& grid, double x) {
  if (grid.dpi <= 0 || job.ModuleWidth <= 0)
    return {x, static_cast<double>(job.ModuleWidth), job.ModuleWidth == 0 ? 0 : 1, 0};
  const double dot = 1440.0 / grid.dpi;
  BarGeometry geometry;
  geometry.unit = dot;
  // The small allowance keeps an exact multiple (20 twips at 144 dpi) from losing a dot.
  geometry.module = std::max(1, static_cast<int>(std::floor(job.ModuleWidth / dot + 1e-9)));
  geometry.origin = grid.originX + std::round((x - grid.originX) / dot) * dot;
  geometry.reduction = std::max(0, grid.barReduction);
  return geometry;
}

}  // namespace

void DrawBarPattern(const BarcodeJob& job, PrintSurface& surface, double x, double top,
                    BarOrigin origin) {
  double startX = x;
  if (origin == BarOrigin::AfterZero) startX += surface.TextWidth("0") + 20;
  const BarGeometry geometry = GeometryFor(job, surface.Dots(), startX);
  const double bottom = top + job.BarHeight;
  double runningX = geometry.origin;
  bool bar = true;
  // Widths stand at every other character; the "-" between them are skipped.
  for (std::size_t i = 0; i < job.Pattern.size(); i += 2) {
    const int width = DigitValue(job.Pattern[i]) * geometry.module;
    // A zero width has no bar to draw (the surface would still mark a line of dots).
    if (bar && width != 0) {
      // Print growth widens a bar on both edges: half the reduction comes off each.
      const int cut = std::min(geometry.reduction, width - 1);
      surface.FillRect(runningX + (cut / 2) * geometry.unit, top,
                       runningX + (width - (cut - cut / 2)) * geometry.unit, bottom, 0);
    }
    bar = !bar;
    runningX += width * geometry.unit;
  }
  surface.SetFontName("Times New Roman");
  surface.SetFontSize(12);
}

}  // namespace corvel
