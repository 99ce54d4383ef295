// Through the real programs: `corvel request` writes the request and settings as the
// point-of-sale suite would, `sheetwise` prints unattended into a PDF folder, and the
// PDFs are read back with zbar and pdftotext.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

using test::RunProgram;

int CheckDigit(const std::string& twelve) {
  int sum = 0;
  for (int k = 0; k < 12; ++k)
    sum += (twelve[k] - '0') * (k % 2 == 0 ? 1 : 3);
  return (10 - sum % 10) % 10;
}

struct Symbol {
  std::string code;     // as requested
  std::string decoded;  // the digits zbar reads back (8 for EAN-8, 13 otherwise)
};

// Distinct codes for every label of a sheet: mostly EAN-13, every 7th an EAN-8 code
// (seven digits) and every 11th one that compresses to UPC-E (zbar reads UPC-E back
// as its EAN-13 form).
std::vector<Symbol> SheetSymbols(int labels) {
  std::vector<Symbol> symbols;
  for (int i = 1; i <= labels; ++i) {
    if (i % 7 == 0) {
      const std::string code = std::to_string(9638500 + i);
      symbols.push_back({code, code + std::to_string(CheckDigit("00000" + code))});
    } else if (i % 11 == 0) {
      const std::string data = "0012" + std::to_string(i % 10) + "00000" + std::to_string(10 + i);
      symbols.push_back({data.substr(2), data + std::to_string(CheckDigit(data))});
    } else {
      const std::string data = "400638" + std::to_string(200000 + i);
      const std::string code = data + std::to_string(CheckDigit(data));
      symbols.push_back({code, code});
    }
  }
  return symbols;
}

// A private settings store and runtime folder, and the environment both programs get.
struct Shop {
  Shop() : root(test::MakeTempFolder()) {
    for (const char* sub : {"config", "runtime", "data", "pdf"})
      QDir(root).mkpath(sub);
    QFile::setPermissions(root + "/runtime",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
  QStringList Env() const {
    return {"XDG_CONFIG_HOME=" + root + "/config", "XDG_RUNTIME_DIR=" + root + "/runtime",
            "QT_QPA_PLATFORM=offscreen", "CORVEL_PRINT_DIALOG=accept"};
  }
  // Writes the request with `corvel request` and runs sheetwise; returns its exit code.
  int Print(const QJsonObject& request) {
    QJsonObject full = request;
    full["path"] = root + "/data";
    const QString file = root + "/request.json";
    QFile out(file);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(QJsonDocument(full).toJson());
    out.close();
    const auto written =
        RunProgram(test::BuiltProgram("corvel"),
                   {"request", "--no-run", "--pdf-folder", root + "/pdf", file}, {}, Env());
    EXPECT_EQ(written.exitCode, 0) << written.err.toStdString();
    const auto run = RunProgram(test::BuiltProgram("sheetwise"), {}, {}, Env());
    EXPECT_TRUE(run.finished);
    return run.exitCode;
  }
  QStringList Pdfs() const { return test::ListPdfFiles(root + "/pdf"); }
  QString root;
};

struct SheetCase {
  const char* type;
  int labels;
};

class SheetEndToEndTest : public ::testing::TestWithParam<SheetCase> {};

TEST_P(SheetEndToEndTest, EverySymbolDecodesToItsRequestCode) {
  const SheetCase c = GetParam();
  const std::vector<Symbol> symbols = SheetSymbols(c.labels);
  QJsonArray barcodes;
  for (const Symbol& s : symbols) {
    barcodes.append(QJsonObject{
        {"code", QString::fromStdString(s.code)}, {"description", "Item"}, {"price", "$1.00"}});
  }
  Shop shop;
  const QJsonObject request{
      {"barcodetype", c.type},
      {"settings", QJsonObject{{"Quorrel", QJsonObject{{"EAN8", "True"}, {"UPCE", "True"}}}}},
      {"barcodes", barcodes}};
  ASSERT_EQ(shop.Print(request), 0);
  const QStringList pdfs = shop.Pdfs();
  ASSERT_EQ(pdfs.size(), 1) << "one sheet, one document";
  EXPECT_EQ(test::PdfPageCount(pdfs[0]), 1);

  std::vector<std::string> decoded, expected;
  for (const QString& text : test::DecodeBarcodes(test::RasterisePdf(pdfs[0], 300)))
    decoded.push_back(text.toStdString());
  for (const Symbol& s : symbols)
    expected.push_back(s.decoded);
  std::sort(decoded.begin(), decoded.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(decoded, expected);
}

INSTANTIATE_TEST_SUITE_P(Sheets, SheetEndToEndTest,
                         ::testing::Values(SheetCase{"44", 44}, SheetCase{"65", 65},
                                           SheetCase{"84", 84}),
                         [](const auto& info) { return std::string("Type") + info.param.type; });

QString Words(const QString& pdf) {
  QStringList words;
  for (const test::PdfWord& word : test::PdfWords(pdf))
    words << word.text;
  return words.join(' ');
}

struct ShelfCase {
  const char* type;
  QStringList firstCard;  // texts that must be on the first card, in this order
};

class ShelfEndToEndTest : public ::testing::TestWithParam<ShelfCase> {};

TEST_P(ShelfEndToEndTest, OneDocumentPerCardWithItsTexts) {
  const ShelfCase c = GetParam();
  Shop shop;
  const QJsonObject request{
      {"barcodetype", c.type},
      {"shelf",
       QJsonArray{
           QJsonObject{{"texts", QJsonArray{"Corner Shop", "Fresh today", "Granny Smith Apples",
                                            "3.49", "Crisp", "Product of NZ", "", "Special"}},
                       {"byWeight", true}},
           QJsonObject{{"texts", QJsonArray{"Corner Shop", "", "Baguette", "0.5"}},
                       {"byWeight", false}},
           QJsonObject{{"texts", QJsonArray{"Corner Shop", "", "Old stock", "0.00"}}}}}};
  ASSERT_EQ(shop.Print(request), 0);
  const QStringList pdfs = shop.Pdfs();
  ASSERT_EQ(pdfs.size(), 3);
  for (const QString& pdf : pdfs)
    EXPECT_EQ(test::PdfPageCount(pdf), 1);

  const QString first = Words(pdfs[0]);
  qsizetype at = 0;
  for (const QString& text : c.firstCard) {
    const qsizetype found = first.indexOf(text, at);
    EXPECT_GE(found, 0) << text.toStdString() << " in: " << first.toStdString();
    if (found >= 0) at = found + text.size();
  }
  // Cents without a unit word; a hidden price prints nothing.
  const QString second = Words(pdfs[1]);
  EXPECT_TRUE(second.contains("50c")) << second.toStdString();
  EXPECT_FALSE(second.contains("ea")) << second.toStdString();
  const QString third = Words(pdfs[2]);
  EXPECT_TRUE(third.contains("Old stock")) << third.toStdString();
  EXPECT_FALSE(third.contains("0.00")) << third.toStdString();
  EXPECT_FALSE(third.contains("$")) << third.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ShelfEndToEndTest,
    ::testing::Values(ShelfCase{"S1",
                                {"Corner Shop", "Fresh today", "Granny Smith Apples", "$3.49", "Kg",
                                 "Crisp", "Product of NZ", "Special"}},
                      ShelfCase{"S2", {"Corner Shop", "Granny", "Smith Apples", "$3.49", "Kg"}},
                      ShelfCase{"S3", {"Corner Shop", "Granny", "Smith Apples", "$3.49", "Kg"}}),
    [](const auto& info) { return std::string(info.param.type); });

}  // namespace
}  // namespace corvel
