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
  for (const int labels : {44, 65, 84}) {
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

TEST(ShelfEndToEndTest, OneDocumentPerCardWithItsTexts) {
  const QJsonArray cards{
      QJsonObject{{"texts", QJsonArray{"Corner Shop", "Fresh today", "Granny Smith Apples", "3.49",
                                       "Crisp", "Product of NZ", "", "Special"}},
                  {"byWeight", true}},
      QJsonObject{{"texts", QJsonArray{"Corner Shop", "", "Baguette", "0.5"}}, {"byWeight", false}},
      QJsonObject{{"texts", QJsonArray{"Corner Shop", "", "Old stock", "0.00"}}}};
  const QStringList split = {"Corner Shop", "Granny", "Smith Apples"};
  // A price placed far above the page: every card still prints, and the run names what
  // was cut.
  const QJsonObject priceAbove{
      {"2", QJsonObject{{"elements", QJsonObject{{"4", QJsonObject{{"top", "-1e308"}}}}}}}};
  const struct {
    const char* type;
    QJsonObject layouts;
    QStringList firstCard;  // texts on the first card, in order
    const char* problem;
  } cases[] = {{"S1",
                {},
                {"Corner Shop", "Fresh today", "Granny Smith Apples", "$3.49", "Kg", "Crisp",
                 "Product of NZ", "Special"},
                nullptr},
               {"S2", priceAbove, split,
                "card 1 element 4 (price) \"$3.49\" is cut at the top edge of the page"},
               {"S3", {}, split + QStringList{"$3.49", "Kg", "Special"}, nullptr}};
  for (const auto& [type, layouts, firstCard, problem] : cases) {
    SCOPED_TRACE(type);
    QStringList pdfs;
    QJsonObject request{{"barcodetype", type}, {"shelf", cards}};
    if (!layouts.isEmpty()) request["layouts"] = layouts;
    const test::RunResult run = Print(request, pdfs);
    EXPECT_EQ(run.exitCode, problem ? 1 : 0) << run.err.toStdString();
    if (problem) {
      EXPECT_TRUE(run.err.contains(problem)) << run.err.toStdString();
    }
    ASSERT_EQ(pdfs.size(), 3);
    for (const QString& pdf : pdfs)
      EXPECT_EQ(test::PdfPageCount(pdf), 1);
    const QString first = Words(pdfs[0]);
    qsizetype at = 0;
    for (const QString& text : firstCard) {
      const qsizetype found = first.indexOf(text, at);
      EXPECT_GE(found, 0) << text.toStdString() << " in: " << first.toStdString();
      if (found >= 0) at = found + text.size();
    }
    if (problem) continue;  // the layout moved every card's price
    // Cents without a unit word; a hidden price prints nothing.
    const QString second = Words(pdfs[1]), third = Words(pdfs[2]);
    EXPECT_TRUE(second.contains("50c") && !second.contains("ea")) << second.toStdString();
    EXPECT_TRUE(third.contains("Old stock") && !third.contains("0.00") && !third.contains("$"))
        << third.toStdString();
  }
}

}  // namespace
}  // namespace corvel
