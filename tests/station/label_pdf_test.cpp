// Weighed labels through the real Qt surface into PDF files: zbar must read the symbol,
// and the texts must stand where the layout puts them.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

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

TEST(LabelPdf, SymbolDecodesAtPrinterResolutions) {
  // Price-embedded without and with the price check digit, and an own code.
  struct Case {
    const char* code;
    bool priceCheckDigit;
    const char* decoded;
  };
  const Case cases[] = {
      {.code = "1234", .priceCheckDigit = false, .decoded = "0201234015857"},
      {.code = "1234", .priceCheckDigit = true, .decoded = "0201234415855"},
      {.code = "4006381333931", .priceCheckDigit = false, .decoded = "4006381333931"}};
  for (const auto& [code, priceCheckDigit, decoded] : cases) {
    SCOPED_TRACE(code);
    LabelBoxes boxes = test::HamBoxes("3");
    boxes.code = code;
    boxes.usePriceCheckDigit = priceCheckDigit;
    const QString file = PrintToPdf(boxes);
    ASSERT_FALSE(file.isEmpty());
    EXPECT_EQ(test::PdfPageCount(file), 1);
    for (const int dpi : {203, 300, 600}) {
      EXPECT_EQ(test::DecodeBarcodes(test::RasterisePdf(file, dpi)).join(",").toStdString(),
                decoded)
          << dpi << " dpi";
    }
  }
}

// Texts in points; the layout is in twips (20 to the point). Tops are compared loosely,
// since a word's box starts at its glyphs, a little below the top of its line.
TEST(LabelPdf, TextsStandWhereTheLayoutPutsThem) {
  const QString file = PrintToPdf(test::HamBoxes("3"));
  ASSERT_FALSE(file.isEmpty());
  const std::vector<test::PdfWord> words = test::PdfWords(file);
  const auto word = [&](const QString& text) {
    const auto it = std::find_if(words.begin(), words.end(),
                                 [&](const test::PdfWord& w) { return w.text == text; });
    return it == words.end() ? std::optional<test::PdfWord>() : *it;
  };
  struct Word {
    const char* text;
    char rule;      // 'c'entred, 'l'eft or 'r'ight aligned
    double x, top;  // twips
  };
  const Word expected[] = {
      // The number without its leading 0.
      {.text = "201234015857", .rule = 'c', .x = 1050, .top = 500},
      {.text = "Ham", .rule = 'c', .x = 1300, .top = 800},
      {.text = "6/12/26", .rule = 'c', .x = 2100, .top = 640},
      {.text = "9/12/26", .rule = 'c', .x = 2100, .top = 350},
      {.text = "kg", .rule = 'r', .x = 3325, .top = 750},
      // Wider than 500 twips at 10 pt bold.
      {.text = "15.85", .rule = 'r', .x = 2825 + 500, .top = 1180},
      {.text = "12.99", .rule = 'r', .x = 2100, .top = 1400},
      {.text = "#1", .rule = 'l', .x = 350, .top = 1425},
      {.text = "Storename", .rule = 'c', .x = 1850, .top = 0},
  };
  for (const auto& [text, rule, x, top] : expected) {
    SCOPED_TRACE(text);
    const auto w = word(text);
    ASSERT_TRUE(w.has_value());
    const double at = rule == 'c' ? (w->xMin + w->xMax) / 2 : rule == 'l' ? w->xMin : w->xMax;
    EXPECT_NEAR(at * kTwipsPerPoint, x, 2.5 * kTwipsPerPoint);
    EXPECT_GE(w->yMin * kTwipsPerPoint, top - 20);
    EXPECT_LE(w->yMin * kTwipsPerPoint, top + 5 * kTwipsPerPoint);
  }
}

}  // namespace
}  // namespace corvel
