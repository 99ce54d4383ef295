// Barcode labels on sheets of adhesive labels: one document per sheet, labels filled
// row by row, the requests used in a cycle when a sheet has more labels than requests.
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "common/errors.h"
#include "common/number_text.h"
#include "common/text.h"
#include "runner/jobs.h"
#include "runner/number_line.h"
#include "runner/request_reader.h"
#include "runner/sheet_layout.h"

namespace corvel {
namespace {

constexpr const char* kTextFont = "Tahoma";

struct StoreLines {
  std::string first;
  std::string second;
};

// Texts(0) and Texts(1) of the first shelf record, trimmed; blank when the shelf file
// has no whole record (it is created empty when missing).
StoreLines ReadStoreLines(const RunContext& run) {
  const RequestFileReader file(DataFolder(run) + std::string(kShelfRequestName),
                               ShelfRecord::kLength);
  if (file.WholeRecords() < 1) return {};
  ShelfRecord record;
  record.bytes = file.Read(1);
  return {TrimSpaces(record.Text(0)), TrimSpaces(record.Text(1))};
}

class SheetPrinter {
 public:
  SheetPrinter(RunContext& run, const SheetLayout& layout, CellSize cell, StoreLines store)
      : run_(run), surface_(run.surface), layout_(layout), cell_(cell), store_(std::move(store)) {}

  // Prints one label in cell n (from 1) for request record `record` (from 1).
  void PrintLabel(int n, const BarcodeRequestRecord& record, bool storeLine1) {
    const int column = (n - 1) % layout_.columns;
    const int row = (n - 1) / layout_.columns;
    const double x0 = layout_.leftMargin + (cell_.width + layout_.columnGap) * column;
    const double y0 = layout_.topMargin + (cell_.height + layout_.rowGap) * row;

    double storeHeight = 0;
    if (storeLine1) {
      UseTextFont(layout_.descriptionSize);
      storeHeight = surface_.TextHeight(store_.first);
      surface_.SetCurrentY(y0);
      PrintAt(x0, store_.first, layout_.centreText);
    }

    BarcodeJob& job = run_.job;
    PrepareBarcodeDigits(job, record.Code(), layout_.allowUpcE, layout_.allowEan8);
    const double barOffset =
        layout_.centreBarcode
            ? RoundHalfEven((cell_.width - SymbolModules(job) * double(layout_.moduleWidth)) / 2)
            : 0;
    BuildBarPattern(job);
    // Whole-dot modules may grow the symbol only inside its own cell.
    DrawBarPattern(job, surface_, x0 + barOffset, y0 + storeHeight, BarOrigin::AtX,
                   x0 + cell_.width);

    UseTextFont(layout_.numberLineSize);
    surface_.SetCurrentY(y0 + storeHeight + job.BarHeight);
    PrintAt(x0, SheetNumberLine(job, layout_.printCheckDigit, layout_.printUpcEDigits),
            layout_.centreBarcode);

    const std::string description = " " + TrimSpaces(record.Description());
    const std::string price = TrimSpaces(record.Price());
    surface_.SetFontSize(layout_.descriptionSize);
    std::string last;
    if (layout_.priceOnOwnLine) {
      PrintAt(x0, description, layout_.centreText);
      last = price;
    } else {
      last = description + " " + price;
    }
    surface_.SetFontSize(layout_.priceSize);
    PrintAt(x0, last, layout_.centreText);

    if (layout_.type == kUserSheetType && layout_.storeLine2) {
      surface_.SetFontSize(layout_.descriptionSize);
      PrintAt(x0, store_.second, layout_.centreText);
    }
  }

 private:
  // All label text is "Tahoma" bold. The bars leave another font behind, so the number
  // line sets it again; the texts after it in the cell keep it.
  void UseTextFont(double size) {
    surface_.SetFontName(kTextFont);
    surface_.SetFontSize(size);
    surface_.SetBold(true);
  }

  // Prints `text` on its own line in the cell starting at x0, centred across the label
  // when `centre`. Texts stand half a column gap further left than the bars.
  void PrintAt(double x0, const std::string& text, bool centre) {
    const double d = centre ? cell_.width - surface_.TextWidth(text) : 0;
    const double halfD = std::trunc(RoundHalfEven(d) / 2);
    surface_.SetCurrentX(x0 + halfD - layout_.columnGap / 2);
    surface_.Print(text, true);
  }

  RunContext& run_;
  PrintSurface& surface_;
  const SheetLayout& layout_;
  CellSize cell_;
  StoreLines store_;
};

// A start label is for the half-used sheet in the printer now, not for every sheet
// after it: once the first sheet has printed, "FirstLabel" goes back to 1, and the
// caller is told where this sheet started.
void ForgetFirstLabel(RunContext& run, const FirstLabel& first) {
  std::string line = "the sheet started at label " + std::to_string(first.cell);
  try {
    const std::optional<std::string> text = run.settings.Get(kRunnerSection, kFirstLabelKey);
    if (!text || *text == "1") return;
    line += " (" + std::string(kFirstLabelKey) + "=" + *text + ")";
    run.settings.Save(kRunnerSection, kFirstLabelKey, "1");
    line += "; it is set back to 1 for the next sheet";
  } catch (const Failure& failure) {
    line += "; " + std::string(kFirstLabelKey) +
            " could not be set back to 1, so the next sheet starts there too: " + failure.what();
  }
  run.notice(line);
}

std::string Unprinted(int left, int records) {
  const int from = records - left + 1;
  return std::to_string(left) + " of " + std::to_string(records) + " requests did not fit: " +
         (left == 1
              ? "request " + std::to_string(from) + " was"
              : "requests " + std::to_string(from) + " to " + std::to_string(records) + " were") +
         " not printed";
}

}  // namespace

void SheetJob(RunContext& run, std::int16_t sheetType) {
  const SheetLayout layout = LoadSheetLayout(run.settings, sheetType);
  run.job.ModuleWidth = layout.moduleWidth;
  run.job.BarHeight = layout.barHeight;
  const CellSize cell = LabelCellSize(layout);
  for (const std::string& message : FitMessages(layout, cell.width))
    run.messages.Inform(message);

  const BarcodeRequests requests = LoadBarcodeRequests(run);
  const double count = requests.count;
  const int records = static_cast<int>(requests.records.size());
  if (records == 0) throw EndRun{kExitNothingToPrint, {}};
  SheetPrinter printer(run, layout, cell, ReadStoreLines(run));
  const int cells = LabelsPerSheet(layout, count);
  const bool storeLine1 = layout.type == kUserSheetType && layout.storeLine1;
  const FirstLabel first = ReadFirstLabel(run.settings, layout);
  if (!first.notice.empty()) run.notice(first.notice);

  // The cycle runs over the whole records: with a few stray bytes after the last one
  // the count is fractional and would never be reached, printing a sheet per record.
  int r = 0;        // the request record printed last
  int printed = 0;  // labels printed, counted over all sheets
  // The first sheet leaves the cells before the first label empty and prints as many
  // labels as a fresh sheet would, as far as the sheet goes.
  int start = first.cell;
  for (int sheet = 1; sheet <= records; ++sheet) {
    if (r == records) break;
    const int last = std::min(start + cells - 1, layout.rows * layout.columns);
    for (int n = start; n <= last; ++n) {
      ++r;
      if (r > records) r = 1;
      printer.PrintLabel(n, requests.records[r - 1], storeLine1);
      ++printed;
    }
    run.surface.EndDoc();
    if (sheet == 1) ForgetFirstLabel(run, first);
    start = 1;
    if (layout.type != kUserSheetType || layout.oneSheetOnly) break;
  }
  // Requests are printed in order from the first, so the ones left are the last.
  if (printed < records) run.notice(Unprinted(records - printed, records));
}

}  // namespace corvel
