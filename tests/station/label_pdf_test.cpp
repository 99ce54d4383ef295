// Weighed labels through the real Qt surface into PDF files: zbar must read the symbol,
// and the texts must stand where the layout puts them.
#include <gtest/gtest.h>

#include <QDir>

#include "common/settings_store.h"
#include "platform/printing.h"
#include "station/weighed_label.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

constexpr double kTwipsPerPoint = 20;

struct PdfLabel {
  QString file;
  std::vector<test::PdfWord> words;
};

// Prints one label into a fresh PDF folder on a 60 x 40 mm page.
PdfLabel PrintToPdf(const LabelBoxes& boxes) {
  PrinterTarget target;
  target.kind = PrinterTarget::Kind::PdfFolder;
  target.pdfFolder = test::MakeTempFolder().toStdString();
  target.program = "tarewise";
  target.pageWidthMm = 60;
  target.pageHeightMm = 40;
  MemorySettingsStore store;
  FixedClock clock(MakeLocalTime(2026, 12, 6, 9));
  BarcodeJob job;
  const auto surface = MakePrintSurface(target);
  PrintWeighedLabel(boxes, store, *surface, clock, job);
  const QStringList files = test::ListPdfFiles(QString::fromStdString(target.pdfFolder));
  if (files.size() != 1) return {};
  return {files.front(), test::PdfWords(files.front())};
}

LabelBoxes Ham() {
  LabelBoxes boxes;
  boxes.code = "1234";
  boxes.description1 = "Ham";
  boxes.price = "12.99";
  boxes.weight = "1.235 KG";
  boxes.tare = "0.015";
  boxes.shelfLife = std::string("3");  // GCC 12 -O2 warns falsely on one-char literals
  boxes.storeName1 = "Corner Deli";
  boxes.itemNumber = std::string("7");
  return boxes;
}

struct SymbolCase {
  const char* name;
  const char* code;
  bool priceCheckDigit;
  const char* decoded;
};
// Rows show as their names in test output.
void PrintTo(const SymbolCase& row, std::ostream* out) {
  *out << row.name;
}

class LabelPdfSymbol : public ::testing::TestWithParam<SymbolCase> {};

TEST_P(LabelPdfSymbol, DecodesAtPrinterResolutions) {
  const SymbolCase& c = GetParam();
  LabelBoxes boxes = Ham();
  boxes.code = c.code;
  boxes.usePriceCheckDigit = c.priceCheckDigit;
  const PdfLabel label = PrintToPdf(boxes);
  ASSERT_FALSE(label.file.isEmpty());
  EXPECT_EQ(test::PdfPageCount(label.file), 1);
  for (const int dpi : {203, 300, 600}) {
    SCOPED_TRACE(dpi);
    const QImage image = test::RasterisePdf(label.file, dpi);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(test::DecodeBarcodes(image).join(",").toStdString(), c.decoded);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Symbols, LabelPdfSymbol,
    ::testing::Values(SymbolCase{"PriceEmbedded", "1234", false, "0201234015857"},
                      SymbolCase{"PriceEmbeddedWithPriceCheck", "1234", true, "0201234415855"},
                      SymbolCase{"OwnCode", "4006381333931", false, "4006381333931"}),
    [](const auto& info) { return std::string(info.param.name); });

const test::PdfWord* Word(const PdfLabel& label, const QString& text) {
  for (const test::PdfWord& word : label.words)
    if (word.text == text) return &word;
  return nullptr;
}

// Texts in points; the layout is in twips (20 to the point). Tops are compared loosely,
// since a word's box starts at its glyphs, a little below the top of its line.
TEST(LabelPdf, TextsStandWhereTheLayoutPutsThem) {
  const PdfLabel label = PrintToPdf(Ham());
  ASSERT_FALSE(label.words.empty());
  struct Expected {
    const char* text;
    const char* rule;  // "centre", "left", "right"
    double x, top;     // twips
  };
  const Expected expected[] = {
      {"020123401585" + 1, "centre", 1050, 500},  // the number without its leading 0
      {"Ham", "centre", 1300, 800},
      {"6/12/26", "centre", 2100, 640},
      {"9/12/26", "centre", 2100, 350},
      {"kg", "right", 3325, 750},
      {"15.85", "right", 2825 + 500, 1180},  // wider than 500 twips at 10 pt bold
      {"12.99", "right", 2100, 1400},
      {"#7", "left", 350, 1425},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.text);
    QString text = e.text;
    if (text == "20123401585") text += "7";
    const test::PdfWord* word = Word(label, text);
    ASSERT_NE(word, nullptr);
    const double x = std::string(e.rule) == "centre" ? (word->xMin + word->xMax) / 2
                     : std::string(e.rule) == "left" ? word->xMin
                                                     : word->xMax;
    EXPECT_NEAR(x * kTwipsPerPoint, e.x, 2.5 * kTwipsPerPoint);
    EXPECT_GE(word->yMin * kTwipsPerPoint, e.top - 20);
    EXPECT_LE(word->yMin * kTwipsPerPoint, e.top + 5 * kTwipsPerPoint);
  }
  const test::PdfWord* store = Word(label, "Corner");
  ASSERT_NE(store, nullptr);
  EXPECT_NEAR(store->yMin * kTwipsPerPoint, 0, 5 * kTwipsPerPoint);
}

}  // namespace
}  // namespace corvel
