#pragma once
// Names of the PDF files a PDF-folder target writes, one per document. The names sort
// in the order the documents were completed, also across runs and processes:
// "YYYYMMDD-HHMMSS-uuuuuu-NNNN-<program>.pdf" with the time in UTC (so a daylight-saving
// change never makes a later name sort first) and NNNN a per-process sequence number
// that orders documents completed within the same microsecond.
#include <chrono>
#include <string>
#include <string_view>

namespace corvel {

// The name for a document completed at `when` as the process's `sequence`th document.
// Characters of `program` other than letters, digits, '-' and '_' become '_'.
std::string PdfFileName(std::chrono::system_clock::time_point when, int sequence,
                        std::string_view program);

// The next name for this process at the current time; the sequence number counts up
// with every call.
std::string NextPdfFileName(std::string_view program);

}  // namespace corvel
