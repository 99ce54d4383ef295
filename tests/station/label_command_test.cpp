// "corvel label" and tarewise run as programs: a product of a real "pdlist" printed into
// a PDF folder and read back with zbar and pdftotext; settings tarewise cannot read.
#include <gtest/gtest.h>

#include <QDir>

#include "tests/station/station_test_support.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

TEST(StationCommands, LabelPrintsAProductOfAProductFile) {
  const QString folder = test::MakeTempFolder(), pdlist = folder + "/pdlist", pdf = folder + "/pdf";
  test::WriteAllBytes(pdlist, test::ProductFileBytes(3));
  // Item 2: 2.99 a kilogram, 1.015 less a tare of 0.015, shelf life 2 days.
  const test::RunResult run = test::RunProgram(
      test::BuiltProgram("corvel"),
      {"label", "--pdlist", pdlist, "--record", "2", "--weight", "1.015 KG", "--date", "2026-12-06",
       "--check-digit", "--flag", "27", "--pdf-folder", pdf});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  const QStringList files = test::ListPdfFiles(pdf);
  ASSERT_EQ(files.size(), 1);
  EXPECT_TRUE(run.out.contains(files.front().toUtf8())) << run.out.toStdString();
  for (const int dpi : {203, 600})  // thermal printer dots, and fine ones
    EXPECT_EQ(test::DecodeBarcodes(test::RasterisePdf(files.front(), dpi)),
              QStringList{"0272000602991"})
        << dpi << " dpi";
  QStringList words;
  for (const test::PdfWord& word : test::PdfWords(files.front()))
    words << word.text;
  for (const char* expected : {"Item", "2.99", "1.000", "6/12/26", "8/12/26", "#2"})
    EXPECT_TRUE(words.contains(expected)) << expected << " in " << words.join(" ").toStdString();
}

// With settings it cannot read tarewise still starts (it is running when stopped) and
// says what is wrong.
TEST(StationCommands, TarewiseStartsWithUnreadableSettings) {
  for (const auto& [spoilt, folderThere] :
       {std::pair{"Corvel/Corvel.ini", true}, {"Corvel", false}}) {
    SCOPED_TRACE(spoilt);
    const QString folder = test::MakeTempFolder(), config = folder + "/config";
    QDir().mkpath(config);
    if (folderThere) QDir().mkpath(config + "/" + spoilt);
    if (!folderThere) test::WriteAllBytes(config + "/" + spoilt, {'x'});
    // Started in the folder, where it keeps its product file.
    const test::RunResult run = test::RunProgram(
        "/bin/sh", {"-c", "cd \"$0\" && exec \"$1\"", folder, test::BuiltProgram("tarewise")}, {},
        {"XDG_CONFIG_HOME=" + config, "HOME=" + folder, "CORVEL_PRINT_DIALOG=accept"}, 5000);
    EXPECT_FALSE(run.finished) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("The settings could not be read")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(spoilt)) << run.err.toStdString();
  }
}

}  // namespace
}  // namespace corvel
