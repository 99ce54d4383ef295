// Drawing symbols: bars on the recording surface (where each symbol starts and ends, the
// font left behind), and through the real Qt surface into PDF, rasterised with poppler and
// read back by an independent decoder (zbar), with bar edges measured dot by dot.
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

// The station's bars start after the printed width of "0" (10 twips per point on the
// recording surface) and 20 twips; every program's drawing leaves Times New Roman 12.
TEST(DrawBarPattern, StationOffsetLastBarAndFontAfter) {
  BarcodeJob job;
  PrepareBarcodeDigits(job, "4006381333931", false, false);
  BuildBarPattern(job);
  job.ModuleWidth = 13;
  job.BarHeight = 900;
  RecordingSurface surface;
  surface.SetFontName("Tahoma");
  surface.SetFontSize(10);
  DrawBarPattern(job, surface, 333.5, 1000.25, BarOrigin::AfterZero);
  EXPECT_EQ(surface.FontName(), "Times New Roman");
  EXPECT_EQ(surface.FontSize(), 12);
  const auto rects = surface.Rects();
  ASSERT_EQ(rects.size(), 30u);
  const double start = 333.5 + 100 + 20;
  EXPECT_EQ(rects.front().x, start);
  EXPECT_EQ(rects.front().y, 1000.25);
  EXPECT_EQ(rects.front().y2, 1900.25);
  EXPECT_EQ(rects.back().x2, start + 95 * 13);
}

// Encodes `code` and draws it as the only thing on a 60 x 30 mm PDF page.
QString DrawSymbolPdf(BarcodeJob& job, const std::string& code, bool upcE, bool ean8, double x,
                      int moduleWidth) {
  PrepareBarcodeDigits(job, code, upcE, ean8);
  BuildBarPattern(job);
  job.ModuleWidth = static_cast<std::int16_t>(moduleWidth);
  job.BarHeight = 900;
  const QString folder = test::MakeTempFolder();
  PrinterTarget target;
  target.pdfFolder = folder.toStdString();
  target.pageWidthMm = 60;
  target.pageHeightMm = 30;
  const auto surface = MakePrintSurface(target);
  DrawBarPattern(job, *surface, x, 200);
  surface->EndDoc();
  return test::ListPdfFiles(folder).value(0);
}

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
    BarcodeJob job;
    // 15 modules of quiet zone on the left, more on the right, 20-twip modules.
    const QString pdf = DrawSymbolPdf(job, code, upcE, ean8, 15 * 20, 20);
    for (const auto& [dpi, antialias] : {std::pair(203, false), {300, true}, {600, true}}) {
      const QImage image = test::RasterisePdf(pdf, dpi, 1, antialias);
      EXPECT_EQ(test::DecodeBarcodes(image, {"-Supce.enable"}),
                QStringList{QString::fromStdString(decoded)})
          << code << " at " << dpi << " dpi";
    }
  }
}

// At 1440 dpi without antialiasing one dot is one twip: every bar edge must sit where
// the pattern's widths put it, counted from the x handed in.
TEST(BarPositions, EveryEdgeAtItsTwip) {
  const std::tuple<const char*, bool, bool, int> rows[] = {{"4006381333931", false, false, 13},
                                                           {"9638507", false, true, 17},
                                                           {"1230000045", true, true, 21}};
  for (const auto& [code, upcE, ean8, moduleWidth] : rows) {
    SCOPED_TRACE(code);
    const int x = 517;
    BarcodeJob job;
    const QString pdf = DrawSymbolPdf(job, code, upcE, ean8, x, moduleWidth);
    const QImage grey =
        test::RasterisePdf(pdf, 1440, 1, false).convertToFormat(QImage::Format_Grayscale8);
    ASSERT_GT(grey.height(), 650);

    std::vector<int> expected;  // where each bar begins and ends
    int position = x;
    for (std::size_t i = 0; i < job.Pattern.size(); i += 2) {
      const int width = (job.Pattern[i] - '0') * moduleWidth;
      if (i % 4 == 0) expected.insert(expected.end(), {position, position + width});
      position += width;
    }

    std::vector<int> measured;  // first dark dot of each bar, first light dot after it
    const uchar* line = grey.constScanLine(650);  // halfway down the bars
    for (int px = 1; px < grey.width(); ++px)
      if ((line[px] < 128) != (line[px - 1] < 128)) measured.push_back(px);
    ASSERT_EQ(measured.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
      EXPECT_NEAR(measured[i], expected[i], 1) << i;
  }
}

}  // namespace
}  // namespace corvel
