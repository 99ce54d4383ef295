#pragma once
// What the dispatcher hands to the job it starts, and the services every job prints
// and reports through. Set once before the job starts.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "barcode/barcode_job.h"
#include "common/dialogs.h"
#include "common/print_surface.h"
#include "common/settings_sections.h"
#include "common/settings_store.h"

namespace corvel {

// Process exit codes. Nothing in the shop's suite reads them; they let a caller or an
// admin tell what happened without any message box.
inline constexpr int kExitPrinted = 0;         // the job printed what was asked
inline constexpr int kExitFailed = 1;          // a failure ended the run, or cut cards
inline constexpr int kExitCancelled = 2;       // Cancel in the print dialog
inline constexpr int kExitNothingToPrint = 4;  // empty "Path", or no whole request record

struct RunState {
  std::int16_t Copies = 1;
  std::int16_t SheetType = 0;
  std::int16_t ShelfLayoutNumber = 0;
  std::string ShelfLayoutCode = "  ";  // first two characters of "Barcodetype"
  std::int16_t ShelfPaperSize = kPaperA5;
};

struct RunContext {
  SettingsStore& settings;
  PrintSurface& surface;
  MessageBoxes& messages;
  RunState state;
  BarcodeJob job;  // the runner's one barcode work record
  // A setting the job could not use and replaced by its default, reported as one line
  // while the job goes on.
  std::function<void(const std::string&)> notice = [](const std::string& line) {
    std::fprintf(stderr, "sheetwise: %s\n", line.c_str());
  };
};

// Thrown to end the run. `exitCode` is one of the kExit codes above; `reason` is one
// line for standard error (empty for a run that printed what was asked).
struct EndRun {
  int exitCode = 0;
  std::string reason;
};

}  // namespace corvel
