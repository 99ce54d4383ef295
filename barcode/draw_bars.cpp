// Draws a width pattern as black bars on the print surface.
#include "barcode/barcode_job.h"
#include "barcode/symbology_tables.h"

namespace corvel {

void DrawBarPattern(const BarcodeJob& job, PrintSurface& surface, double x, double top,
                    BarOrigin origin) {
  double runningX = x;
  if (origin == BarOrigin::AfterZero) runningX += surface.TextWidth("0") + 20;
  const double module = job.ModuleWidth;
  const double bottom = top + job.BarHeight;
  bool bar = true;
  // Widths stand at every other character; the "-" between them are skipped.
  for (std::size_t i = 0; i < job.Pattern.size(); i += 2) {
    const double width = DigitValue(job.Pattern[i]) * module;
    // A zero width has no bar to draw (the surface would still mark a line of dots).
    if (bar && width != 0) surface.FillRect(runningX, top, runningX + width, bottom, 0);
    bar = !bar;
    runningX += width;
  }
  surface.SetFontName("Times New Roman");
  surface.SetFontSize(12);
}

}  // namespace corvel
