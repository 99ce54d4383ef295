// "corvel label" and the station ops of "corvel barcode" run as programs: a product of a real
// "pdlist" printed into a PDF folder, read back with zbar and pdftotext; refused arguments.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include "tests/station/station_test_support.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

struct CommandCase {
  const char* name;
  QStringList extra;
  const char* decoded;
};
// Rows show as their names in test output.
void PrintTo(const CommandCase& row, std::ostream* out) {
  *out << row.name;
}

class LabelCommand : public ::testing::TestWithParam<CommandCase> {};

TEST_P(LabelCommand, PrintsAProductOfTheProductFile) {
  const CommandCase& c = GetParam();
  const QString folder = test::MakeTempFolder();
  test::WriteAllBytes(folder + "/pdlist", test::ProductFileBytes(3));
  const QString pdf = folder + "/pdf";
  const test::RunResult run = test::RunProgram(
      test::BuiltProgram("corvel"),
      QStringList{"label", "--pdlist", folder + "/pdlist", "--record", "2", "--weight", "1.015 KG",
                  "--pdf-folder", pdf, "--date", "2026-12-06"} +
          c.extra);
  ASSERT_TRUE(run.finished);
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  const QStringList files = test::ListPdfFiles(pdf);
  ASSERT_EQ(files.size(), 1);
  EXPECT_TRUE(run.out.contains(files.front().toUtf8())) << run.out.toStdString();
  EXPECT_EQ(test::DecodeBarcodes(test::RasterisePdf(files.front(), 300)).join(",").toStdString(),
            c.decoded);
  QStringList words;
  for (const test::PdfWord& word : test::PdfWords(files.front()))
    words << word.text;
  // Item 2: 2.99 a kilogram, 1.015 less a tare of 0.015, shelf life 2 days.
  for (const char* expected : {"Item", "2.99", "1.000", "6/12/26", "8/12/26", "#2"})
    EXPECT_TRUE(words.contains(expected)) << expected << " in " << words.join(" ").toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Options, LabelCommand,
    ::testing::Values(CommandCase{"PriceEmbedded", {}, "0202000002996"},
                      CommandCase{"PriceCheckDigit", {"--check-digit"}, "0202000602998"},
                      CommandCase{"Flag", {"--flag", "27"}, "0272000002999"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LabelCommandArguments, RefusedWithoutPrinting) {
  const QString folder = test::MakeTempFolder();
  test::WriteAllBytes(folder + "/pdlist", test::ProductFileBytes(3));
  struct Case {
    QStringList args;
    int exitCode;
  };
  const Case cases[] = {
      {{"--code", "1"}, 2},                                    // no weight
      {{"--weight", "1", "--bogus"}, 2},                       // unknown option
      {{"--weight", "1", "--pdlist", folder + "/pdlist"}, 2},  // no record
      {{"--weight", "1", "--pdlist", folder + "/pdlist", "--record", "4"}, 1},
      {{"--weight", "1", "--pdlist", folder + "/none", "--record", "1"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.join(" ").toStdString());
    const test::RunResult run = test::RunProgram(
        test::BuiltProgram("corvel"),
        QStringList{"label"} + c.args + QStringList{"--pdf-folder", folder + "/pdf"});
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
    EXPECT_TRUE(test::ListPdfFiles(folder + "/pdf").isEmpty());
  }
  EXPECT_FALSE(QFile::exists(folder + "/none"));
}

// The station's symbol through "corvel barcode --jsonl", ops "label" and "price_check".
TEST(BarcodeSessionStationOps, AnswerAsTheLabelPreparesIt) {
  const QByteArray requests =
      R"({"id":1,"op":"label","input":{"codeText":"1234","flagText":"27","priceText":"5.50","usePriceCheckDigit":true}}
{"id":2,"op":"label","input":{"codeText":"1234567890125","flagText":"20","priceText":"1.00","usePriceCheckDigit":false}}
{"id":3,"op":"label","input":{"codeText":"","flagText":"20","priceText":"1.00","usePriceCheckDigit":false}}
{"id":4,"op":"price_check","input":{"digits":"2875"}}
{"id":5,"op":"price_check","input":{"digits":"287"}}
)";
  const test::RunResult run =
      test::RunProgram(test::BuiltProgram("corvel"), {"barcode", "--jsonl"}, requests);
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  const QList<QByteArray> lines = run.out.trimmed().split('\n');
  ASSERT_EQ(lines.size(), 5);
  const auto answer = [&](int i) { return QJsonDocument::fromJson(lines[i]).object(); };
  EXPECT_EQ(answer(0)["DataDigits"].toString(), "027123420550");
  EXPECT_EQ(answer(0)["LeftRest"].toString(), "71234");
  EXPECT_EQ(answer(0)["CheckDigit"].toInt(), 3);
  EXPECT_EQ(answer(0)["BarcodeNumberText"].toString(), "271234205503");
  EXPECT_EQ(answer(0)["Pattern"].toString().size(), 117);
  EXPECT_EQ(answer(1)["CheckMarker"].toString(), "5");
  EXPECT_EQ(answer(1)["BarcodeNumberText"].toString(), "1234567890125");
  EXPECT_EQ(answer(2), (QJsonObject{{"id", 3}, {"HasBarcode", false}}));
  EXPECT_EQ(answer(3), (QJsonObject{{"id", 4}, {"PriceCheckDigit", 9}}));
  EXPECT_TRUE(answer(4).contains("error"));
}

}  // namespace
}  // namespace corvel
