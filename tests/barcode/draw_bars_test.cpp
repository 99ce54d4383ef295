// Drawing symbols: bars on the recording surface (where every bar starts and ends, the
// font left behind), and through the real Qt surface into PDF, rasterised with poppler and
// read back by an independent decoder (zbar).
#include <gtest/gtest.h>

#include <QImage>
#include <string>
#include <tuple>
#include <vector>

#include "barcode/barcode_job.h"
#include "platform/printing.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/recording_surface.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

BarcodeJob Encoded(const std::string& code, bool upcE, bool ean8, int moduleWidth) {
  BarcodeJob job;
  PrepareBarcodeDigits(job, code, upcE, ean8);
  BuildBarPattern(job);
  job.ModuleWidth = static_cast<std::int16_t>(moduleWidth);
  job.BarHeight = 900;
  return job;
}

// Every bar spans exactly the twips its pattern widths put it at, counted from the x
// handed in (the station's from after the printed width of "0", 10 twips per point on
// the recording surface, and 20 twips); every program's drawing leaves Times New Roman 12.
TEST(DrawBarPattern, EveryEdgeAtItsTwipAndFontAfter) {
  const std::tuple<const char*, bool, bool, int, BarOrigin, double> rows[] = {
      {"4006381333931", false, false, 13, BarOrigin::AfterZero, 333.5 + 100 + 20},
      {"9638507", false, true, 17, BarOrigin::AtX, 333.5},
      {"1230000045", true, true, 21, BarOrigin::AtX, 333.5}};
  for (const auto& [code, upcE, ean8, moduleWidth, origin, start] : rows) {
    SCOPED_TRACE(code);
    const BarcodeJob job = Encoded(code, upcE, ean8, moduleWidth);
    RecordingSurface surface;
    surface.SetFontName("Tahoma");
    surface.SetFontSize(10);
    DrawBarPattern(job, surface, 333.5, 1000.25, origin);
    EXPECT_EQ(std::pair(surface.FontName(), surface.FontSize()),
              std::pair(std::string("Times New Roman"), 12.0));
    std::vector<std::tuple<double, double, double, double>> expected, drawn;
    double position = start;
    for (std::size_t i = 0; i < job.Pattern.size(); i += 2) {
      const int width = (job.Pattern[i] - '0') * moduleWidth;
      if (i % 4 == 0) expected.emplace_back(position, 1000.25, position + width, 1900.25);
      position += width;
    }
    for (const RecordedOp& rect : surface.Rects())
      drawn.emplace_back(rect.x, rect.y, rect.x2, rect.y2);
    EXPECT_EQ(drawn, expected);
  }
}

// Whole dots per module: the nearest count, raised to the 0.264 mm a till scanner must
// read, as far as the symbol with its right quiet zone (102 modules from its first bar)
// still ends in its room; else the planned module rounded down.
TEST(DrawBarPattern, WholeDotModulesRoundToTheNearestDotThatFits) {
  // Name, planned twips, dpi, room right of the first bar (twips), dots per module.
  const std::tuple<const char*, double, double, double, int> rows[] = {
      {"20 tw at 203 dpi (2.8 dots): 3, not 0.250 mm", 20, 203, 3000, 3},
      {"25 tw at 203 dpi (3.5 dots): 4", 25, 203, 3000, 4},
      {"15 tw at 203 dpi (2.1 dots): raised to 3 for the smallest module", 15, 203, 3000, 3},
      {"15 tw at 600 dpi (6.25 dots): raised to 7", 15, 600, 3000, 7},
      {"20 tw at 300 dpi (4.2 dots): 4", 20, 300, 3000, 4},
      {"no room to grow: rounded down", 20, 203, 102 * 20, 2},
      {"room for 3 dots but not 4: 3", 25, 203, 102 * 3 * 1440 / 203.0, 3},
  };
  for (const auto& [name, planned, dpi, room, dots] : rows)
    EXPECT_EQ(WholeDotModule(planned, 1440 / dpi, 100, 95, 7, 100 + room), dots) << name;
}

// Each symbol drawn alone on a 60 x 30 mm PDF page (15 modules of quiet zone on the left,
// more on the right, 20-twip modules) reads back at a roll printer's and higher resolutions.
TEST(SymbolDecode, ZbarReadsTheNumberAtPrinterResolutions) {
  // Code field, UPC-E allowed, EAN-8 allowed, what a scanner reads.
  std::vector<std::tuple<std::string, bool, bool, std::string>> cases = {
      {"12345000007", true, true, "0123450000076"},
      {"9638507", false, true, "96385074"},
      {"1230000045", true, true, "01234531"},
      {"1234500006", true, false, "01234565"},
  };
  // Every EAN-13 first digit, so every row of the left-half parity table is printed.
  for (char first = '1'; first <= '9'; ++first) {
    const std::string data = first + std::string("03817264") + first + "59";
    const std::string code = data + std::to_string(ComputeCheckDigit(data));
    cases.emplace_back(code, false, false, code);
  }
  for (const auto& [code, upcE, ean8, decoded] : cases) {
    const QString folder = test::MakeTempFolder();
    PrinterTarget target;
    target.pdfFolder = folder.toStdString();
    target.pageWidthMm = 60;
    target.pageHeightMm = 30;
    const auto surface = MakePrintSurface(target);
    DrawBarPattern(Encoded(code, upcE, ean8, 20), *surface, 15 * 20, 200);
    surface->EndDoc();
    const QString pdf = test::ListPdfFiles(folder).value(0);
    for (const auto& [dpi, antialias] : {std::pair(203, false), {300, true}, {600, true}}) {
      const QImage image = test::RasterisePdf(pdf, dpi, 1, antialias);
      EXPECT_EQ(test::DecodeBarcodes(image, {"-Supce.enable"}),
                QStringList{QString::fromStdString(decoded)})
          << code << " at " << dpi << " dpi";
    }
  }
}

}  // namespace
}  // namespace corvel
