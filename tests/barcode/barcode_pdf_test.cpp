// Symbols drawn through the real Qt surface into PDF, rasterised with poppler and read
// back by an independent decoder (zbar), and bar edges measured dot by dot.
#include <gtest/gtest.h>

#include <QImage>
#include <memory>
#include <string>
#include <vector>

#include "barcode/barcode_job.h"
#include "platform/printing.h"
#include "tests/barcode/pattern_checks.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

// Encodes `code` and draws it as the only thing on a 60 x 30 mm PDF page.
QString DrawSymbolPdf(BarcodeJob& job, const std::string& code, bool upcE, bool ean8, double x,
                      int moduleWidth) {
  PrepareBarcodeDigits(job, code, upcE, ean8);
  BuildBarPattern(job);
  const QString folder = test::MakeTempFolder();
  PrinterTarget target;
  target.pdfFolder = folder.toStdString();
  target.program = "barcode-test";
  target.pageWidthMm = 60;
  target.pageHeightMm = 30;
  std::unique_ptr<PrintSurface> surface = MakePrintSurface(target);
  job.ModuleWidth = static_cast<std::int16_t>(moduleWidth);
  job.BarHeight = 900;
  DrawBarPattern(job, *surface, x, 200);
  surface->EndDoc();
  const QStringList pdfs = test::ListPdfFiles(folder);
  return pdfs.size() == 1 ? pdfs.front() : QString();
}

// Thirteen digits with a right check digit, so every EAN-13 first digit (every row of
// the left-half parity table) can be printed and read back.
std::string WithCheckDigit(const std::string& data12) {
  return data12 + std::to_string(ComputeCheckDigit(data12));
}

struct DecodeCase {
  std::string name, code;
  bool allowUpcE, allowEan8;
  std::string decoded;  // what a scanner reads
};

std::vector<DecodeCase> DecodeCases() {
  std::vector<DecodeCase> cases = {
      {"Ean13Computed", "12345000007", true, true, "0123450000076"},
      {"Ean8", "9638507", false, true, "96385074"},
      {"Ean8Worked", "1234567", true, true, "12345670"},
      {"UpcE", "1230000045", true, true, "01234531"},
      {"UpcERuleTwo", "999", true, true, "00099907"},
      {"UpcERuleFive", "1234500006", true, false, "01234565"},
  };
  for (char first = '1'; first <= '9'; ++first) {
    const std::string code = WithCheckDigit(first + std::string("03817264") + first + "59");
    cases.push_back({std::string("Ean13First") + first, code, false, false, code});
  }
  return cases;
}

struct Raster {
  int dpi;
  bool antialias;
};

class SymbolDecodeTest : public ::testing::TestWithParam<std::tuple<DecodeCase, Raster>> {};

TEST_P(SymbolDecodeTest, ZbarReadsTheNumber) {
  const auto& [c, raster] = GetParam();
  BarcodeJob job;
  // 15 modules of quiet zone on the left, more on the right, 20-twip modules.
  const QString pdf = DrawSymbolPdf(job, c.code, c.allowUpcE, c.allowEan8, 15 * 20, 20);
  ASSERT_FALSE(pdf.isEmpty());
  const QImage image = test::RasterisePdf(pdf, raster.dpi, 1, raster.antialias);
  ASSERT_FALSE(image.isNull());
  const QStringList found = test::DecodeBarcodes(image, {"-Supce.enable"});
  EXPECT_EQ(found, QStringList{QString::fromStdString(c.decoded)});
}

INSTANTIATE_TEST_SUITE_P(Symbols, SymbolDecodeTest,
                         ::testing::Combine(::testing::ValuesIn(DecodeCases()),
                                            ::testing::Values(Raster{203, false}, Raster{300, true},
                                                              Raster{600, true},
                                                              Raster{600, false})),
                         [](const auto& info) {
                           const Raster raster = std::get<1>(info.param);
                           return std::get<0>(info.param).name + "_" + std::to_string(raster.dpi) +
                                  (raster.antialias ? "dpi" : "dpiNoAa");
                         });

// At 1440 dpi without antialiasing one dot is one twip: every bar edge must sit where
// the pattern's widths put it, counted from the x handed in.
TEST(BarPositions, EveryEdgeAtItsTwip) {
  struct Row {
    const char* code;
    bool allowUpcE, allowEan8;
    int moduleWidth, modules;
  };
  const Row rows[] = {{"4006381333931", false, false, 13, 95},
                      {"9638507", false, true, 17, 67},
                      {"1230000045", true, true, 21, 51}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.code);
    const int x = 517;
    BarcodeJob job;
    const QString pdf =
        DrawSymbolPdf(job, row.code, row.allowUpcE, row.allowEan8, x, row.moduleWidth);
    const QImage grey =
        test::RasterisePdf(pdf, 1440, 1, false).convertToFormat(QImage::Format_Grayscale8);
    ASSERT_GT(grey.height(), 650);

    std::vector<int> expected;  // where each bar begins and ends
    int position = x;
    const std::vector<int> widths = test::PatternWidths(job.Pattern);
    for (std::size_t i = 0; i < widths.size(); ++i) {
      if (i % 2 == 0)
        expected.insert(expected.end(), {position, position + widths[i] * row.moduleWidth});
      position += widths[i] * row.moduleWidth;
    }
    EXPECT_EQ(position, x + row.modules * row.moduleWidth);

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
