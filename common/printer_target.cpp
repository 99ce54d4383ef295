#include "common/printer_target.h"

namespace corvel {

std::string PrinterTarget::Describe() const {
  if (kind == Kind::PdfFolder) return "PDF folder " + pdfFolder;
  if (queue.empty()) return "the default printer";
  return "printer " + queue;
}

}  // namespace corvel
