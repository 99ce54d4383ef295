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

// 83 distinct codes on the densest sheet, from its second cell on (corvel request --first
// reaches sheetwise, or the first request would print twice), each with the digits zbar
// reads back: mostly EAN-13, every 7th an EAN-8 code (seven digits) and every 11th one
// that compresses to UPC-E (read back in its EAN-13 form).
TEST(SheetEndToEndTest, EverySymbolDecodesToItsRequestCode) {
  QJsonArray barcodes;
  QStringList expected;
  for (int i = 1; i <= 83; ++i) {
    const bool ean8 = i % 7 == 0, upcE = !ean8 && i % 11 == 0;
    const std::string data =
        ean8   ? "00000" + std::to_string(9638500 + i)
        : upcE ? "0012" + std::to_string(i % 10) + "00000" + std::to_string(10 + i)
               : "400638" + std::to_string(200000 + i);
    const std::string digits = data + test::CheckDigit(data);
    const std::string code = ean8 ? data.substr(5) : upcE ? data.substr(2) : digits;
    barcodes.append(QJsonObject{
        {"code", QString::fromStdString(code)}, {"description", "Item"}, {"price", "$1.00"}});
    expected << QString::fromStdString(ean8 ? digits.substr(5) : digits);
  }
  expected.sort();
  const QJsonObject request{
      {"barcodetype", "84"},
      {"settings", QJsonObject{{"Quorrel", QJsonObject{{"EAN8", "True"}, {"UPCE", "True"}}}}},
      {"barcodes", barcodes}};
  const test::Installation site;
  const test::RunResult run =
      site.Request("", QJsonDocument(request).toJson(), "accept", {"--first", "2"});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  ASSERT_EQ(site.Pdfs().size(), 1) << "one sheet, one document";
  EXPECT_EQ(test::DecodedCodes(site.Pdfs()[0]), expected);
}

}  // namespace
}  // namespace corvel
