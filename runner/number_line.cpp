#include "runner/number_line.h"

#include "common/text.h"

namespace corvel {

std::string NumberLine(const BarcodeJob& job) {
  std::string line = WithoutLeadingZeros(job.DataDigits);
  if (IsDigit(job.CheckMarker))
    line += job.CheckMarker;
  else
    line += "   " + std::to_string(job.CheckDigit);
  return line;
}

std::string SheetNumberLine(const BarcodeJob& job, bool printCheckDigit, bool printUpcEDigits) {
  if (printUpcEDigits && job.IsUpcE) return WithoutLeadingZeros(job.UpcEDigits);
  std::string line = WithoutLeadingZeros(job.DataDigits);
  if (IsDigit(job.CheckMarker))
    line += std::string(" ") + job.CheckMarker;
  else if (printCheckDigit)
    line += " " + job.CheckDigitText;
  return line;
}

}  // namespace corvel
