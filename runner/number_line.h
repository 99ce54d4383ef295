#pragma once
// The human-readable line printed under the bars of a request's symbol.
#include <string>

#include "barcode/barcode_job.h"

namespace corvel {

// Roll labels and list pages: the 12 data digits without leading zeros, then the
// check digit that came with the code directly, or three spaces and the computed one.
std::string NumberLine(const BarcodeJob& job);

// Sheets: the data digits without leading zeros, then " " and the check digit that
// came with the code, or (when `printCheckDigit`) " " and the computed one. A UPC-E
// symbol prints its six digits without leading zeros instead when `printUpcEDigits`.
std::string SheetNumberLine(const BarcodeJob& job, bool printCheckDigit, bool printUpcEDigits);

}  // namespace corvel
