// "corvel label" run as a program: a product of a real "pdlist" printed into a PDF
// folder, read back with zbar and pdftotext; refused arguments.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace corvel
