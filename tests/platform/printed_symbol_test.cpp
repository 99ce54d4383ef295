// What the surface prints can be scanned: an EAN-13 symbol drawn module by module with
// FillRect decodes at the resolutions of label printers and office printers.
#include <gtest/gtest.h>

#include "platform/qt_print_surface.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

// EAN-13 4006381333931 as 95 modules (1 = bar), guards included.
constexpr const char* kModules =
    "10100011010100111010111101111010001001011001101010100001010000101000010111010010000101"
    "100110101";

TEST(PrintedSymbol, DecodesAtPrinterResolutions) {
  const QString folder = test::MakeTempFolder();
  PrinterTarget target;
  target.pdfFolder = folder.toStdString();
  target.program = "symboltest";
  target.pageWidthMm = 60;
  target.pageHeightMm = 40;
  QtPrintSurface surface(target);
  const double left = 400, top = 300, module = 22, height = 900;
  for (int i = 0; kModules[i]; ++i) {
    if (kModules[i] == '1') {
      surface.FillRect(left + i * module, top, left + (i + 1) * module, top + height, 0);
    }
  }
  surface.EndDoc();
  const QString pdf = test::ListPdfFiles(folder).value(0);
  for (int dpi : {203, 300, 600}) {
    SCOPED_TRACE(dpi);
    EXPECT_EQ(test::DecodeBarcodes(test::RasterisePdf(pdf, dpi)), QStringList{"4006381333931"});
  }
  // A blank page decodes to nothing (zbarimg's "not found" is no error here).
  surface.Print(" ", true);
  surface.EndDoc();
  EXPECT_TRUE(
      test::DecodeBarcodes(test::RasterisePdf(test::ListPdfFiles(folder).value(1), 203)).isEmpty());
}

}  // namespace
}  // namespace corvel
