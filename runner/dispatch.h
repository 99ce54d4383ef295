#pragma once
// The runner's start: read the job selector "Barcodetype", show the print dialog where
// the job needs it, set the run state once and run exactly one job.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/dialogs.h"
#include "common/page_size.h"
#include "common/print_surface.h"
#include "common/printer_target.h"
#include "common/settings_store.h"

namespace corvel {

// Makes the print surface for the printer the run prints on (shared, so a caller may
// keep looking at it after the run).
using SurfaceFactory = std::function<std::shared_ptr<PrintSurface>(const PrinterTarget&)>;

struct RunContext;

// The jobs the dispatcher can start; tests put recording stand-ins in their place.
struct RunnerJobs {
  std::function<void(RunContext&)> rollLabels;
  std::function<void(RunContext&, int itemsPerPage)> pages;
  std::function<void(RunContext&, std::int16_t sheetType)> sheets;
  std::function<void(RunContext&)> shelfCards;
};
// RollLabelJob, PageJob, SheetJob and PrintShelfCards.
RunnerJobs RealJobs();

struct RunnerServices {
  SettingsStore& settings;
  PrintDialog& dialog;
  MessageBoxes& messages;
  SurfaceFactory makeSurface;
  RunnerJobs jobs = RealJobs();
};

// How a run ended: a kExit code (run_state.h) and one line naming the reason (empty
// when the job printed what was asked).
struct RunOutcome {
  int exitCode = 0;
  std::string reason;
};

// Runs one request. Never throws: every failure becomes an outcome. Once the print
// dialog is prepared a failure ends the run at once; a document already ended stays
// printed and one in progress is abandoned.
RunOutcome RunSheetwise(RunnerServices& services);

// Where the job a selector names prints: the queue of its own printer key, else
// "PrinterName", else the default printer (ChoosePrinterTarget), with the page size of
// its PDF documents from its page-size key ("PdfPageSizeZ=60x40"), else the general key
// "PdfPageSize", else the job's own default (runner/job_table.h). Throws Failure for a
// page-size key that does not read.
PrinterTarget TargetFor(const SettingsStore& settings, std::string_view selector);

// A sheet selector read as a whole number: blanks around it allowed, a fraction rounds
// to the nearest whole number (halves to even). Nothing when the text is not a number.
// Throws OverflowError when it is outside the 16-bit range.
std::optional<std::int16_t> ReadSheetType(std::string_view selector);

}  // namespace corvel
