#pragma once
// What the dispatcher hands to the job it starts, and the services every job prints
// and reports through. Set once before the job starts.
#include <cstdint>
#include <string>

#include "barcode/barcode_job.h"
#include "common/dialogs.h"
#include "common/print_surface.h"
#include "common/settings_store.h"

namespace corvel {

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
};

// Thrown to end the run. `exitCode` 0: the run ended normally (printed what was asked,
// or had nothing to print by the rules); non-zero: a failure. `reason` is one line for
// standard error (empty for a normal end).
struct EndRun {
  int exitCode = 0;
  std::string reason;
};

}  // namespace corvel
