#include "runner/job_table.h"

#include <array>

#include "common/print_surface.h"

namespace corvel {
namespace {

// Shelf cards: "S1" landscape and "S2" portrait on A5 (the layout turns the page), "S3"
// on the card size of its own page-size key.
// clang-format off
constexpr std::array<JobSpec, 8> kJobs{{
//  selector kind                     printer key         page-size key       width height paper
    {"Z",    JobKind::RollLabels,     "PrinterNameZ",     "PdfPageSizeZ",     60,  40,  0},
    {"P",    JobKind::TenPerPage,     "PrinterNameP",     "PdfPageSizeP",     210, 297, 0},
    {"P20",  JobKind::TwentyPerPage,  "PrinterNameP20",   "PdfPageSizeP20",   210, 297, 0},
    {"",     JobKind::Sheet,          "PrinterNameSheet", "PdfPageSizeSheet", 210, 297, 0},
    {"S1",   JobKind::ShelfCards,     "PrinterNameS1",    "PdfPageSizeS3",    105, 148, kPaperA5},
    {"S2",   JobKind::ShelfCards,     "PrinterNameS2",    "PdfPageSizeS3",    105, 148, kPaperA5},
    {"S3",   JobKind::ShelfCards,     "PrinterNameS3",    "PdfPageSizeS3",    105, 148, kPaperUser},
    {"S",    JobKind::ShelfCards,     "",                 "PdfPageSizeS3",    105, 148, kPaperA5},
}};
// clang-format on

}  // namespace

std::span<const JobSpec> JobTable() {
  return kJobs;
}

const JobSpec& JobFor(std::string_view selector) {
  for (const JobSpec& job : kJobs)
    if (!job.selector.empty() && job.selector == selector) return job;
  for (const JobSpec& job : kJobs)
    if (job.selector == (selector.starts_with('S') ? "S" : "")) return job;
  return kJobs.front();  // not reached: the table has both fallback rows
}

}  // namespace corvel
