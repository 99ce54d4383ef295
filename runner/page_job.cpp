// Barcode list pages: 10 items per page in one column ("P") or 20 in two columns
// ("P20"), at fixed positions; one document for the whole request.
#include <string>

#include "barcode/barcode_job.h"
#include "common/errors.h"
#include "common/text.h"
#include "runner/job_text.h"
#include "runner/jobs.h"
#include "runner/number_line.h"

namespace corvel {
namespace {
constexpr std::int16_t kModuleWidth = 30;
constexpr double kEan8Offset = 450;
constexpr double kRowPitch = 1445;
constexpr double kColumnPitch = 5100;

void PrintAt(PrintSurface& surface, double x, double y, const std::string& text) {
  surface.SetCurrentX(x);
  surface.SetCurrentY(y);
  surface.Print(text, true);
}

void PrintTenPerPageItem(PrintSurface& surface, BarcodeJob& job, int position, double ean8Offset,
                         const std::string& description, const std::string& price) {
  const double row = kRowPitch * (position - 1);
  PrintAt(surface, 1800, 1600 + row, description);
  PrintAt(surface, 7200 - surface.TextWidth(price), 1600 + row, price);
  BuildBarPattern(job);
  DrawBarPattern(job, surface, 8000 + ean8Offset, 1100 + row);
  surface.SetFontName("Tahoma");
  surface.SetFontSize(10);
  surface.SetBold(true);
  const std::string numberLine = NumberLine(job);
  PrintAt(surface, 9600 - HalfWholeWidth(surface, numberLine), 2100 + row, numberLine);
}

void PrintTwentyPerPageItem(PrintSurface& surface, BarcodeJob& job, int position, double ean8Offset,
                            const std::string& description, const std::string& price) {
  const double row = kRowPitch * ((position - 1) / 2);
  const double column = kColumnPitch * (position % 2 == 1 ? 0 : 1);
  const double centre = 3900 + column;
  PrintAt(surface, centre - surface.TextWidth(description) / 2, 1175 + row, description);
  PrintAt(surface, centre - surface.TextWidth(price) / 2, 1400 + row, price);
  BuildBarPattern(job);
  // Whole-dot modules may grow the symbol only inside its own column.
  DrawBarPattern(job, surface, 2400 + ean8Offset + column, 400 + row, BarOrigin::AtX,
                 centre + kColumnPitch / 2);
  surface.SetFontName("Tahoma");
  surface.SetFontSize(10);
  surface.SetBold(true);
  const std::string numberLine = NumberLine(job);
  PrintAt(surface, centre - HalfWholeWidth(surface, numberLine), 950 + row, numberLine);
}
}  // namespace

void PageJob(RunContext& run, int itemsPerPage) {
  if (itemsPerPage != 10 && itemsPerPage != 20)
    throw Failure("list pages hold 10 or 20 items, not " + std::to_string(itemsPerPage));
  PrintSurface& surface = run.surface;
  BarcodeJob& job = run.job;
  const bool twenty = itemsPerPage == 20;
  job.ModuleWidth = kModuleWidth;
  job.BarHeight = twenty ? 500 : 900;
  const BarcodeRequests requests = LoadBarcodeRequests(run);
  const int count = static_cast<int>(requests.records.size());

  for (int i = 1; i <= count; ++i) {
    const BarcodeRequestRecord& request = requests.records[i - 1];
    const int position = i % itemsPerPage == 0 ? itemsPerPage : i % itemsPerPage;
    PrepareBarcodeDigits(job, request.Code(), /*allowUpcE=*/false, /*allowEan8=*/true);
    const double ean8Offset = job.IsEan8 ? kEan8Offset : 0;
    surface.SetFontName("Tahoma");
    surface.SetBold(true);
    surface.SetFontSize(twenty ? 10 : 14);
    const std::string description = TrimSpaces(request.Description());
    const std::string price = TrimSpaces(request.Price());
    if (twenty)
      PrintTwentyPerPageItem(surface, job, position, ean8Offset, description, price);
    else
      PrintTenPerPageItem(surface, job, position, ean8Offset, description, price);
    // A full page is followed by a new one only when another item comes, so the
    // document never ends on a blank page.
    if (i % itemsPerPage == 0 && i < count) surface.NewPage();
  }
  surface.EndDoc();
}

}  // namespace corvel
