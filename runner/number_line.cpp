#include "runner/number_line.h"

namespace corvel {
namespace {
// A digit string read as a number and written back: leading zeros dropped, "0" for
// nothing but zeros.
std::string WithoutLeadingZeros(const std::string& digits) {
  const std::size_t first = digits.find_first_not_of('0');
  return first == std::string::npos ? "0" : digits.substr(first);
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
}  // namespace

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
