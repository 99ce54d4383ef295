// Weighed labels through the real Qt surface into PDF files: zbar must read the symbol,
// and the texts must stand where the layout puts them.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/settings_store.h"
#include "platform/printing.h"
#include "station/weighed_label.h"
#include "tests/station/station_test_support.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

constexpr double kTwipsPerPoint = 20;

// Prints one label into a fresh PDF folder on a 60 x 40 mm page; the file, or "".
QString PrintToPdf(const LabelBoxes& boxes) {
  PrinterTarget target;
  target.kind = PrinterTarget::Kind::PdfFolder;
  target.pdfFolder = test::MakeTempFolder().toStdString();
  target.program = "tarewise";
  target.pageWidthMm = 60;
  target.pageHeightMm = 40;
  MemorySettingsStore store;
  FixedClock clock(MakeLocalTime(2026, 12, 6, 9));
  BarcodeJob job;
  PrintWeighedLabel(boxes, store, *MakePrintSurface(target), clock, job);
  const QStringList files = test::ListPdfFiles(QString::fromStdString(target.pdfFolder));
  return files.size() == 1 ? files.front() : QString();
}

// The symbol decodes at printer resolutions (price-embedded with the price check digit,
// and an own code). Texts are in points, the layout in twips (20 to the point); tops are
// compared loosely, since a word's box starts at its glyphs, a little below its line's top.
TEST(LabelPdf, SymbolDecodesAndTextsStandWhereTheLayoutPutsThem) {
  for (const auto& [code, decoded] :
       {std::pair{"1234", "0201234415855"}, std::pair{"4006381333931", "4006381333931"}}) {
    LabelBoxes boxes = test::HamBoxes("3");
    boxes.code = code;
    boxes.usePriceCheckDigit = true;
    const QString file = PrintToPdf(boxes);
    ASSERT_FALSE(file.isEmpty());
    EXPECT_EQ(test::PdfPageCount(file), 1);
    for (const int dpi : {203, 600})
      EXPECT_EQ(test::DecodeBarcodes(test::RasterisePdf(file, dpi)).join(",").toStdString(),
                decoded)
          << dpi << " dpi";
  }
  const std::vector<test::PdfWord> words = test::PdfWords(PrintToPdf(test::HamBoxes("3")));
  struct Word {
    const char* text;
    char rule;      // 'c'entred, 'l'eft or 'r'ight aligned
    double x, top;  // twips
  };
  const Word expected[] = {
      {.text = "201234015857", .rule = 'c', .x = 1050, .top = 500},  // without its leading 0
      {.text = "kg", .rule = 'r', .x = 3325, .top = 750},
      {.text = "15.85", .rule = 'r', .x = 2825 + 500, .top = 1180},  // wider than 500 twips
      {.text = "#1", .rule = 'l', .x = 350, .top = 1425},
      {.text = "Storename", .rule = 'c', .x = 1850, .top = 0},
  };
  for (const auto& [text, rule, x, top] : expected) {
    SCOPED_TRACE(text);
    const auto w = std::find_if(words.begin(), words.end(),
                                [&](const test::PdfWord& w) { return w.text == text; });
    ASSERT_NE(w, words.end());
    const double at = rule == 'c' ? (w->xMin + w->xMax) / 2 : rule == 'l' ? w->xMin : w->xMax;
    EXPECT_NEAR(at * kTwipsPerPoint, x, 2.5 * kTwipsPerPoint);
    EXPECT_GE(w->yMin * kTwipsPerPoint, top - 20);
    EXPECT_LE(w->yMin * kTwipsPerPoint, top + 5 * kTwipsPerPoint);
  }
}

}  // namespace
}  // namespace corvel
