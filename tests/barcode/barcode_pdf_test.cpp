// Symbols drawn through the real Qt surface into PDF, rasterised with poppler and read
// back by an independent decoder (zbar), and bar edges measured dot by dot.
#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "barcode/barcode_job.h"
#include "common/printer_target.h"
#include "platform/printing.h"
#include "tests/barcode/pattern_checks.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

constexpr double kPageWidthMm = 60;
constexpr double kPageHeightMm = 30;

// Draws one prepared symbol as the only thing of a one-page PDF; returns the file.
QString DrawSymbolPdf(BarcodeJob& job, double x, double top, int moduleWidth, int barHeight) {
  const QString folder = test::MakeTempFolder();
  PrinterTarget target;
  target.kind = PrinterTarget::Kind::PdfFolder;
  target.pdfFolder = folder.toStdString();
  target.program = "barcode-test";
  target.pageWidthMm = kPageWidthMm;
  target.pageHeightMm = kPageHeightMm;
  std::unique_ptr<PrintSurface> surface = MakePrintSurface(target);
  job.ModuleWidth = static_cast<std::int16_t>(moduleWidth);
  job.BarHeight = static_cast<std::int16_t>(barHeight);
  DrawBarPattern(job, *surface, x, top);
  surface->EndDoc();
  const QStringList pdfs = test::ListPdfFiles(folder);
  return pdfs.size() == 1 ? pdfs.front() : QString();
}

BarcodeJob Encode(const std::string& code, bool allowUpcE, bool allowEan8) {
  BarcodeJob job;
  PrepareBarcodeDigits(job, code, allowUpcE, allowEan8);
  BuildBarPattern(job);
  return job;
}

// A thirteen-digit code whose given check digit is right, so any first digit can be
// printed: the left-half parity of every row of its table gets decoded.
std::string WithCheckDigit(const std::string& data12) {
  return data12 + std::to_string(ComputeCheckDigit(data12));
}

struct DecodeCase {
  const char* name;
  std::string code;
  bool allowUpcE;
  bool allowEan8;
  const char* decoded;  // what a scanner reads
};

const std::vector<DecodeCase>& DecodeCases() {
  static const std::vector<DecodeCase> cases = {
      {"Ean13", "4006381333931", false, false, "4006381333931"},
      {"Ean13Computed", "12345000007", true, true, "0123450000076"},
      {"Ean8", "9638507", false, true, "96385074"},
      {"Ean8Worked", "1234567", true, true, "12345670"},
      {"UpcE", "1230000045", true, true, "01234531"},
      {"UpcERuleTwo", "999", true, true, "00099907"},
      {"UpcERuleFive", "1234500006", true, false, "01234565"},
      {"Ean13First1", WithCheckDigit("190000000123"), false, false, nullptr},
      {"Ean13First2", WithCheckDigit("281234567890"), false, false, nullptr},
      {"Ean13First3", WithCheckDigit("375555555555"), false, false, nullptr},
      {"Ean13First4", WithCheckDigit("400000012345"), false, false, nullptr},
      {"Ean13First5", WithCheckDigit("501234509876"), false, false, nullptr},
      {"Ean13First6", WithCheckDigit("699999999999"), false, false, nullptr},
      {"Ean13First7", WithCheckDigit("712121212121"), false, false, nullptr},
      {"Ean13First8", WithCheckDigit("876543210987"), false, false, nullptr},
      {"Ean13First9", WithCheckDigit("978030640615"), false, false, nullptr},
  };
  return cases;
}

struct Raster {
  int dpi;
  bool antialias;
};

class SymbolDecodeTest : public ::testing::TestWithParam<std::tuple<DecodeCase, Raster>> {};

TEST_P(SymbolDecodeTest, ZbarReadsTheNumber) {
  const auto& [c, raster] = GetParam();
  BarcodeJob job = Encode(c.code, c.allowUpcE, c.allowEan8);
  // Quiet zones of 15 modules or more on both sides of a 20-twip module.
  const QString pdf = DrawSymbolPdf(job, 15 * 20, 300, 20, 1000);
  ASSERT_FALSE(pdf.isEmpty());
  const QImage image = test::RasterisePdf(pdf, raster.dpi, 1, raster.antialias);
  ASSERT_FALSE(image.isNull());
  QStringList extra;
  if (job.IsUpcE) extra << "-Supce.enable";
  const QStringList found = test::DecodeBarcodes(image, extra);
  const QString expected = QString::fromStdString(c.decoded ? c.decoded : c.code);
  ASSERT_EQ(found.size(), 1) << found.join(' ').toStdString();
  EXPECT_EQ(found.front(), expected) << found.front().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Symbols, SymbolDecodeTest,
                         ::testing::Combine(::testing::ValuesIn(DecodeCases()),
                                            ::testing::Values(Raster{203, false}, Raster{300, true},
                                                              Raster{600, true},
                                                              Raster{600, false})),
                         [](const auto& info) {
                           const Raster raster = std::get<1>(info.param);
                           return std::string(std::get<0>(info.param).name) + "_" +
                                  std::to_string(raster.dpi) +
                                  (raster.antialias ? "dpi" : "dpiNoAa");
                         });

// At 1440 dpi without antialiasing one dot is one twip: every bar edge must sit where
// the pattern's widths put it, from the x handed in.
TEST(BarPositions, EveryEdgeAtItsTwip) {
  struct Row {
    const char* name;
    const char* code;
    bool allowUpcE, allowEan8;
    int moduleWidth;
    int modules;
  };
  const Row rows[] = {
      {"Ean13", "4006381333931", false, false, 13, 95},
      {"Ean8", "9638507", false, true, 17, 67},
      {"UpcE", "1230000045", true, true, 21, 51},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    BarcodeJob job = Encode(row.code, row.allowUpcE, row.allowEan8);
    const int x = 517, top = 200, height = 900;
    const QString pdf = DrawSymbolPdf(job, x, top, row.moduleWidth, height);
    ASSERT_FALSE(pdf.isEmpty());
    const QImage image = test::RasterisePdf(pdf, 1440, 1, false);
    ASSERT_FALSE(image.isNull());
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    const int y = top + height / 2;
    ASSERT_LT(y, grey.height());

    // Expected edges, in twips: where each bar begins and ends.
    std::vector<int> expected;
    int position = x;
    const std::vector<int> widths = test::PatternWidths(job.Pattern);
    for (std::size_t i = 0; i < widths.size(); ++i) {
      const int end = position + widths[i] * row.moduleWidth;
      if (i % 2 == 0) {
        expected.push_back(position);
        expected.push_back(end);
      }
      position = end;
    }
    ASSERT_EQ(position, x + row.modules * row.moduleWidth);

    // Measured edges: a bar begins at its first dark dot and ends after its last.
    std::vector<int> measured;
    const uchar* line = grey.constScanLine(y);
    bool dark = false;
    for (int px = 0; px < grey.width(); ++px) {
      const bool isDark = line[px] < 128;
      if (isDark != dark) measured.push_back(px);
      dark = isDark;
    }
    if (dark) measured.push_back(grey.width());
    ASSERT_EQ(measured.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_NEAR(measured[i], expected[i], 1);
    }
    // Bars span exactly the bar height too.
    int firstDarkRow = -1, lastDarkRow = -1;
    for (int py = 0; py < grey.height(); ++py) {
      if (grey.constScanLine(py)[x + row.moduleWidth / 2] < 128) {
        if (firstDarkRow < 0) firstDarkRow = py;
        lastDarkRow = py;
      }
    }
    EXPECT_NEAR(firstDarkRow, top, 1);
    EXPECT_NEAR(lastDarkRow + 1, top + height, 1);
  }
}

}  // namespace
}  // namespace corvel
