// Through the real programs: `corvel request` writes the request and settings as the
// point-of-sale suite would, `sheetwise` prints unattended into a PDF folder, and the
// PDFs are read back with zbar.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {

using test::CheckDigit;

// 84 distinct codes on the densest sheet, each with the digits zbar reads back: mostly
// EAN-13, every 7th an EAN-8 code (seven digits) and every 11th one that compresses to
// UPC-E (read back in its EAN-13 form).
TEST(SheetEndToEndTest, EverySymbolDecodesToItsRequestCode) {
  QJsonArray barcodes;
  QStringList expected;
  for (int i = 1; i <= 84; ++i) {
    std::string code, digits;
    if (i % 7 == 0) {
      code = std::to_string(9638500 + i);
      digits = code + CheckDigit("00000" + code);
    } else if (i % 11 == 0) {
      digits = "0012" + std::to_string(i % 10) + "00000" + std::to_string(10 + i);
      code = digits.substr(2);
      digits += CheckDigit(digits);
    } else {
      code = digits = "400638" + std::to_string(200000 + i);
      code = digits += CheckDigit(digits);
    }
    barcodes.append(QJsonObject{
        {"code", QString::fromStdString(code)}, {"description", "Item"}, {"price", "$1.00"}});
    expected << QString::fromStdString(digits);
  }
  expected.sort();
  const QJsonObject request{
      {"barcodetype", "84"},
      {"settings", QJsonObject{{"Quorrel", QJsonObject{{"EAN8", "True"}, {"UPCE", "True"}}}}},
      {"barcodes", barcodes}};
  const test::Installation site;
  const test::RunResult run = site.Request("", QJsonDocument(request).toJson(), "accept");
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  ASSERT_EQ(site.Pdfs().size(), 1) << "one sheet, one document";
  EXPECT_EQ(test::PdfPageCount(site.Pdfs()[0]), 1);
  EXPECT_EQ(test::DecodedCodes(site.Pdfs()[0]), expected);
}

// corvel request --first reaches sheetwise: two labels in the last cells; a value naming
// no cell is refused before anything prints.
TEST(SheetEndToEndTest, RequestCommandSetsTheFirstLabel) {
  const QByteArray csv = "code,description,price\n4006381333931,Tea,$1.00\n5901234123457,Jam,$2\n";
  const test::Installation site, refused;
  EXPECT_EQ(site.Request("44", csv, "accept", {"--first", "43"}).exitCode, 0);
  ASSERT_EQ(site.Pdfs().size(), 1);
  EXPECT_EQ(test::DecodedCodes(site.Pdfs()[0]), (QStringList{"4006381333931", "5901234123457"}));
  EXPECT_EQ(refused.Request("44", csv, "accept", {"--first", "0"}).exitCode, 2);
  EXPECT_TRUE(refused.Pdfs().isEmpty());
}

}  // namespace
}  // namespace corvel
