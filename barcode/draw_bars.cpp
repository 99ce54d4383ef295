// Draws a width pattern as black bars on the print surface.
#include <algorithm>
#include <cmath>

#include "barcode/barcode_job.h"
#include "barcode/symbology_tables.h"
#include "common/units.h"

namespace corvel {
namespace {

// Where the symbol's edges fall: in twips, or on the device's dot grid.
struct BarGeometry {
  double origin = 0;  // x of element 0
  double unit = 1;    // twips per unit below
  int module = 0;     // units per module
  int reduction = 0;  // units taken off every bar, never leaving less than one
};

// With a known dot grid every module is the same whole number of dots and the symbol
// starts on the dot nearest to x. Without one the module is drawn as planned.
BarGeometry GeometryFor(const BarcodeJob& job, const PrintSurface::DotGrid& grid, double x,
                        double roomRight) {
  if (grid.dpi <= 0 || job.ModuleWidth <= 0)
    return {x, static_cast<double>(job.ModuleWidth), job.ModuleWidth == 0 ? 0 : 1, 0};
  const double dot = TwipsPerDot(grid.dpi);
  BarGeometry geometry;
  geometry.unit = dot;
  geometry.origin = grid.originX + std::round((x - grid.originX) / dot) * dot;
  const Symbology symbology = SymbologyOf(job);
  geometry.module = WholeDotModule(job.ModuleWidth, dot, geometry.origin, SymbolModules(symbology),
                                   QuietZoneModules(symbology).right, roomRight);
  geometry.reduction = std::max(0, grid.barReduction);
  return geometry;
}

}  // namespace

int WholeDotModule(double plannedTwips, double dotTwips, double origin, int modules, int rightQuiet,
                   double roomRight) {
  // The small allowances keep an exact multiple (20 twips at 144 dpi) from losing a dot.
  const double planned = plannedTwips / dotTwips;
  const int down = std::max(1, static_cast<int>(std::floor(planned + 1e-9)));
  const int nearest = std::max(1, static_cast<int>(std::lround(planned)));
  const int smallest =
      static_cast<int>(std::ceil(kSmallestModuleMm * kTwipsPerMm / dotTwips - 1e-9));
  const auto fits = [&](int dots) {
    const double module = dots * dotTwips;
    return origin + (modules + rightQuiet) * module <= roomRight + 1e-6;
  };
  for (int dots = std::max(nearest, smallest); dots > down; --dots)
    if (fits(dots)) return dots;
  return down;
}

void DrawBarPattern(const BarcodeJob& job, PrintSurface& surface, double x, double top,
                    BarOrigin origin, double roomRight) {
  double startX = x;
  if (origin == BarOrigin::AfterZero) startX += surface.TextWidth("0") + 20;
  if (roomRight <= 0) roomRight = surface.PageWidth();
  const BarGeometry geometry = GeometryFor(job, surface.Dots(), startX, roomRight);
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
