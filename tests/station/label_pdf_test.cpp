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
  // {code, price check digit, decoded}: price-embedded without and with the price check
  // digit, and an own code.
  const std::tuple<const char*, bool, const char*> cases[] = {
      {"1234", false, "0201234015857"},
      {"1234", true, "0201234415855"},
      {"4006381333931", false, "4006381333931"}};
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
  // {text, 'c'entred, 'l'eft or 'r'ight aligned, x, top (twips)}
  const std::tuple<const char*, char, double, double> expected[] = {
      {"201234015857", 'c', 1050, 500},  // the number without its leading 0
      {"Ham", 'c', 1300, 800},          {"6/12/26", 'c', 2100, 640},
      {"9/12/26", 'c', 2100, 350},      {"kg", 'r', 3325, 750},
      {"15.85", 'r', 2825 + 500, 1180},  // wider than 500 twips at 10 pt bold
      {"12.99", 'r', 2100, 1400},       {"#1", 'l', 350, 1425},
      {"Storename", 'c', 1850, 0},
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
