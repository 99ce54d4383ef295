// Through the real programs: `corvel request` writes the request and settings as the
// point-of-sale suite would, `sheetwise` prints unattended into a PDF folder, and the
// PDFs are read back with zbar and pdftotext.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {

using test::CheckDigit;

// Distinct codes for every label of a sheet, each with the digits zbar reads back:
// mostly EAN-13, every 7th an EAN-8 code (seven digits) and every 11th one that
// compresses to UPC-E (read back in its EAN-13 form).
std::vector<std::pair<std::string, std::string>> SheetSymbols(int labels) {
  std::vector<std::pair<std::string, std::string>> symbols;
  for (int i = 1; i <= labels; ++i) {
    if (i % 7 == 0) {
      const std::string code = std::to_string(9638500 + i);
      symbols.push_back({code, code + CheckDigit("00000" + code)});
    } else if (i % 11 == 0) {
      const std::string data = "0012" + std::to_string(i % 10) + "00000" + std::to_string(10 + i);
      symbols.push_back({data.substr(2), data + CheckDigit(data)});
    } else {
      const std::string data = "400638" + std::to_string(200000 + i);
      const std::string code = data + CheckDigit(data);
      symbols.push_back({code, code});
    }
  }
  return symbols;
}

// Writes `request` with `corvel request` into a fresh installation, which prints it
// unattended; returns how sheetwise ended and the PDFs printed.
test::RunResult Print(const QJsonObject& request, QStringList& pdfs) {
  const test::Installation site;
  const test::RunResult run = site.Request("", QJsonDocument(request).toJson(), "accept");
  EXPECT_TRUE(run.finished);
  pdfs = site.Pdfs();
  return run;
}

TEST(SheetEndToEndTest, EverySymbolDecodesToItsRequestCode) {
  for (const int labels : {44, 84}) {
    SCOPED_TRACE(labels);
    QJsonArray barcodes;
    QStringList expected;
    for (const auto& [code, digits] : SheetSymbols(labels)) {
      barcodes.append(QJsonObject{
          {"code", QString::fromStdString(code)}, {"description", "Item"}, {"price", "$1.00"}});
      expected << QString::fromStdString(digits);
    }
    expected.sort();
    const QJsonObject request{
        {"barcodetype", QString::number(labels)},
        {"settings", QJsonObject{{"Quorrel", QJsonObject{{"EAN8", "True"}, {"UPCE", "True"}}}}},
        {"barcodes", barcodes}};
    QStringList pdfs;
    ASSERT_EQ(Print(request, pdfs).exitCode, 0);
    ASSERT_EQ(pdfs.size(), 1) << "one sheet, one document";
    EXPECT_EQ(test::PdfPageCount(pdfs[0]), 1);
    EXPECT_EQ(test::DecodedCodes(pdfs[0]), expected);
  }
}

QString Words(const QString& pdf) {
  QStringList words;
  for (const test::PdfWord& word : test::PdfWords(pdf))
    words << word.text;
  return words.join(' ');
}

// Every card prints, one document each, with its texts (a cut price is reported by the
// unit tests in shelf_card_test.cpp).
TEST(ShelfEndToEndTest, OneDocumentPerCardWithItsTexts) {
  const QJsonArray cards{
      QJsonObject{{"texts", QJsonArray{"Corner Shop", "Fresh today", "Granny Smith Apples", "3.49",
                                       "Crisp", "Product of NZ", "", "Special"}},
                  {"byWeight", true}},
      QJsonObject{{"texts", QJsonArray{"Corner Shop", "", "Baguette", "0.5"}}}};
  QStringList pdfs;
  const test::RunResult run = Print({{"barcodetype", "S1"}, {"shelf", cards}}, pdfs);
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  ASSERT_EQ(pdfs.size(), 2);
  EXPECT_EQ(Words(pdfs[0]).toStdString(),
            "Corner Shop Fresh today Granny Smith Apples $3.49 Kg Crisp Product of NZ Special");
  EXPECT_EQ(Words(pdfs[1]).toStdString(), "Corner Shop Baguette 50c");
}

}  // namespace
}  // namespace corvel
