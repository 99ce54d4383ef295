// Barcode labels on label stock ("Z"): one label per page, laid out relative to the
// page the printer reports, with up to three extra lines from the shelf request.
#include <array>
#include <cmath>
#include <string>

#include "barcode/barcode_job.h"
#include "common/number_text.h"
#include "common/text.h"
#include "runner/job_text.h"
#include "runner/jobs.h"
#include "runner/number_line.h"

namespace corvel {
namespace {
constexpr std::int16_t kModuleWidth = 22;
constexpr double kBarOriginFactor = 0.385;
constexpr double kOneLineCentre = 1200;
constexpr double kFixedSize = 20;
constexpr int kWidthFitSteps = 14;

struct RollPage {
  double width;
  double height;
};

double BaseBarHeight(double pageHeight) {
  if (pageHeight > 2000) return 900;
  if (pageHeight > 1520) return 600;
  return 400;
}

void SetSize(PrintSurface& surface, double points) {
  surface.SetFontSize(ClampFontSize(points));
}

// An extra line, shrunk until it is narrower than the page, centred; the font size is
// restored afterwards. An empty line prints nothing and leaves the cursor where it is.
void PrintExtraLine(PrintSurface& surface, const RollPage& page, const std::string& line) {
  const double remembered = surface.FontSize();
  if (surface.TextWidth(line) > page.width) {
    SetSize(surface, surface.FontSize() - 1);
    while (surface.TextWidth(line) >= page.width && surface.FontSize() > 1)
      SetSize(surface, surface.FontSize() - 1);
  }
  surface.SetCurrentX(page.width / 2 - surface.TextWidth(line) / 2);
  if (!line.empty()) surface.Print(line, true);
  SetSize(surface, remembered);
}

// Up to 14 steps of one point while `text` is wider than the page, then centred.
void PrintFittedCentred(PrintSurface& surface, const RollPage& page, const std::string& text,
                        bool printWhenEmpty) {
  for (int step = 0; step < kWidthFitSteps; ++step) {
    if (surface.TextWidth(text) > page.width) SetSize(surface, surface.FontSize() - 1);
  }
  surface.SetCurrentX(page.width / 2 - surface.TextWidth(text) / 2);
  if (printWhenEmpty || !text.empty()) surface.Print(text, true);
}

void PrintLabel(RunContext& run, const RollPage& page, const BarcodeRequestRecord& request,
                const std::array<std::string, 3>& lines, std::int16_t barHeight) {
  PrintSurface& surface = run.surface;
  BarcodeJob& job = run.job;
  PrepareBarcodeDigits(job, request.Code(), /*allowUpcE=*/false, /*allowEan8=*/true);
  job.ModuleWidth = kModuleWidth;
  job.BarHeight = barHeight;

  // Extra lines: "Tahoma", not bold (the number line's bold is not carried over to the
  // next label, whatever the surface does at the end of a document).
  const double size = barHeight < 600 ? std::floor(barHeight / 75.0) : 10;
  surface.SetFontName("Tahoma");
  surface.SetBold(false);
  SetSize(surface, size);
  surface.SetCurrentY(barHeight > 600 ? 30 : 15);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    PrintExtraLine(surface, page, lines[i]);
    if (page.height < 1000) break;
  }

  const double barTop = surface.CurrentY();
  BuildBarPattern(job);
  const double barLeft = std::floor(
      page.width / 2 - kBarOriginFactor * static_cast<double>(job.Pattern.size()) * kModuleWidth);
  DrawBarPattern(job, surface, barLeft, barTop);

  surface.SetFontName("Tahoma");
  SetSize(surface, size);
  surface.SetBold(true);
  surface.SetCurrentY(barTop + barHeight);
  const std::string numberLine = NumberLine(job);
  surface.SetCurrentX(page.width / 2 - HalfWholeWidth(surface, numberLine));
  surface.Print(numberLine, true);

  // Grow from the current size until two lines of "T" no longer fit below.
  const double remaining = page.height - surface.CurrentY();
  SetSize(surface, std::floor(surface.FontSize()));
  while (2 * surface.TextHeight("T") <= remaining &&
         surface.FontSize() < PrintSurface::kLargestFontSize)
    SetSize(surface, surface.FontSize() + 1);
  const double largestFitting = surface.FontSize() - 1;

  const std::string description = TrimSpaces(request.Description());
  const std::string price = TrimSpaces(request.Price());
  if (largestFitting > 8) {
    while (2 * surface.TextHeight("T") > remaining && surface.FontSize() > 1)
      SetSize(surface, surface.FontSize() - 1);
    if (!description.empty()) {
      if (price.empty()) SetSize(surface, surface.FontSize() * 2);
      if (page.height > 2000) SetSize(surface, kFixedSize);
      PrintFittedCentred(surface, page, description, true);
    } else {
      SetSize(surface, kFixedSize);
    }
    PrintFittedCentred(surface, page, price, false);
  } else {
    const std::string text = description + "   " + price;
    surface.SetCurrentX(kOneLineCentre - HalfWholeWidth(surface, text));
    surface.Print(text, true);
  }
  surface.EndDoc();
}
}  // namespace

void RollLabelJob(RunContext& run) {
  const RollPage page{run.surface.PageWidth(), run.surface.PageHeight()};
  const double baseBarHeight = BaseBarHeight(page.height);
  const RollRequests loaded = LoadRollRequests(run);
  const auto& records = loaded.requests.records;

  for (std::size_t k = 0; k < records.size(); ++k) {
    const ShelfRecord& shelf = loaded.shelf[k];
    const std::array<std::string, 3> lines = {TrimSpaces(shelf.Text(0)), TrimSpaces(shelf.Text(1)),
                                              TrimSpaces(shelf.Text(5))};
    int nonEmpty = 0;
    for (const std::string& line : lines)
      nonEmpty += line.empty() ? 0 : 1;
    const double factor = 1.0 + 0.1 * nonEmpty;
    const std::int16_t barHeight = ToInt16(baseBarHeight / factor);
    for (int copy = 0; copy < run.state.Copies; ++copy)
      PrintLabel(run, page, records[k], lines, barHeight);
  }
}

}  // namespace corvel
