#pragma once
// The print jobs the dispatcher starts and the request readers they share. A job returns
// when it printed what was asked; it ends the run early by throwing EndRun (run_state.h)
// only when there is nothing to print, and throws corvel::Failure on a failure.
#include <cstdint>
#include <string>
#include <vector>

#include "runner/request_files.h"
#include "runner/run_state.h"

namespace corvel {

// Barcode labels on label stock, one label per page ("Z").
void RollLabelJob(RunContext& run);
// Barcode list pages, 10 or 20 items per page ("P", "P20").
void PageJob(RunContext& run, int itemsPerPage);
// Barcode labels on sheets of adhesive labels (a built-in type or 99).
void SheetJob(RunContext& run, std::int16_t sheetType);
// Shelf cards, one document per card.
void PrintShelfCards(RunContext& run);

// The data folder named by "Path" in section Quorrel, as the request files are opened
// in it. Ends the run on an empty "Path".
std::string DataFolder(const RunContext& run);

// Reads "<Path>/Barprint" whole. Ends the run (EndRun) on an empty "Path", an empty or
// missing file (created empty) or a file shorter than one record; throws Failure on more
// than kMaxBarcodeRequests records or an unreadable file.
BarcodeRequests LoadBarcodeRequests(RunContext& run);
// The same with a smaller table: more than `limit` records is a Failure.
BarcodeRequests LoadBarcodeRequests(RunContext& run, int limit);

// Reads "<Path>/ShelfPrint" (created empty when missing): every whole record, at most
// `limit` (more is a Failure). Ends the run (EndRun, nothing to print) on an empty
// "Path" and on a file without a whole record.
std::vector<ShelfRecord> LoadShelfRecords(RunContext& run, int limit = kMaxShelfRecords);

// What the roll-label job reads: the shelf file is opened (created when missing) before
// the barcode request is loaded with room for kMaxRollLabelRequests records; shelf[i]
// is shelf record i + 1, blank where the shelf file is shorter.
struct RollRequests {
  BarcodeRequests requests;
  std::vector<ShelfRecord> shelf;
};
RollRequests LoadRollRequests(RunContext& run);

}  // namespace corvel
