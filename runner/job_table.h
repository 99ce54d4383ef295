#pragma once
// What each job selector ("Barcodetype") names: one row per job, read by the dispatcher
// and by anyone who must know the runner's jobs (corvel doctor).
#include <cstdint>
#include <span>
#include <string_view>

namespace corvel {

enum class JobKind { RollLabels, TenPerPage, TwentyPerPage, Sheet, ShelfCards };

struct JobSpec {
  // "Z", "P", "P20", "S1".."S3"; "S" stands for any other selector starting with S and
  // "" for the sheet types (a number).
  std::string_view selector;
  JobKind kind;
  // The key naming the job's own printer, read before "PrinterName" in section "Printer"
  // (empty: "PrinterName" only).
  std::string_view printerKey;
  // The key of its PDF documents' page size, and the size without it, in millimetres.
  std::string_view pageKey;
  double pageWidthMm, pageHeightMm;
  // The paper size code its documents ask for (0: the target's own page).
  int paper;
};

// Every row, in the order the jobs are listed to people.
std::span<const JobSpec> JobTable();

// The row of a selector: its own row, else the shelf-card row for a selector starting
// with "S", else the sheet row.
const JobSpec& JobFor(std::string_view selector);

}  // namespace corvel
