// Printer calibration end to end: a 44-label sheet (corvel request and sheetwise) and a
// weighed label (corvel label) printed into PDF folders with [Calibration PDF] keys, then
// rasterised at exactly the configured resolution and measured bar by bar; the
// calibration page read back with zbar.
#include <gtest/gtest.h>

#include <QDir>

#include "tests/runner/runner_fixture.h"
#include "tests/support/bar_widths.h"

namespace corvel {
namespace {

// The one PDF "corvel ARGS" prints into a PDF folder with these [Calibration PDF] keys
// ("Dpi=203\nOffsetX=144"); `err` gets its standard error.
QString PrintWith(const QByteArray& calibration, QStringList args, const QByteArray& input = {},
                  QByteArray* err = nullptr) {
  const QString config = test::MakeTempFolder(), pdf = test::MakeTempFolder();
  QDir().mkpath(config + "/Corvel");
  test::WriteFile(config + "/Corvel/Corvel.ini", "[Calibration PDF]\n" + calibration);
  const test::RunResult run = test::RunProgram(
      test::BuiltProgram("corvel"), args.mid(0, 1) + QStringList{"--pdf-folder", pdf} + args.mid(1),
      input, {"XDG_CONFIG_HOME=" + config, "CORVEL_PRINT_DIALOG=accept"});
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  if (err) *err = run.err;
  const QStringList files = test::ListPdfFiles(pdf);
  return files.size() == 1 ? files.front() : QString();
}

QString Label(const QByteArray& calibration) {
  return PrintWith(calibration, {"label", "--code", "1234", "--description", "Leg Ham", "--price",
                                 "12.99", "--weight", "1.235 KG", "--date", "2026-12-07"});
}

QString Sheet(const QByteArray& calibration, QByteArray* err = nullptr) {
  QByteArray csv = "code,description,price\n";
  for (const test::RequestRow& row : test::NumberedRows(44, 400638200001LL))
    csv += QByteArray::fromStdString(row.code) + ",Item,$1.00\n";
  return PrintWith(calibration, {"request", "--type", "44", "--data", test::MakeTempFolder(), "-"},
                   csv, err);
}

test::SpreadSummary Bars(const QString& pdf, int dpi) {
  return test::Summarise(test::MeasureSymbols(test::RasterisePdf(pdf, dpi), dpi));
}

// Without a usable Dpi (one that is no number is told once and ignored) bars of one
// module, planned in twips, come out in two widths. With Dpi the resolution they are
// rasterised at, every bar of every symbol is exact.
TEST(CalibrationPrint, EveryBarIsWholeDotsAtTheConfiguredResolution) {
  QByteArray err;
  const test::SpreadSummary before = Bars(Sheet("Dpi=2,5", &err), 203);
  EXPECT_EQ(std::pair(before.symbols, before.uneven), std::pair(44, 44));
  EXPECT_EQ(err.count("setting Calibration PDF/Dpi \"2,5\" is not a number"), 1)
      << err.toStdString();
  for (const int dpi : {203, 300}) {
    const test::SpreadSummary after = Bars(Sheet("Dpi=" + QByteArray::number(dpi)), dpi);
    EXPECT_EQ(std::pair(after.symbols, after.uneven), std::pair(44, 0)) << dpi;
  }
}

// At 300 dpi 144 twips are 30 dots and 96 twips 20: the symbol moves by that much; 50
// twips (10.4 dots) move it by whole dots, every bar still exact. Bars lose the
// reduction, half from each edge, never going under one dot; the spaces between them take
// it up, so every edge pair stays centred where it was.
TEST(CalibrationPrint, OffsetsMoveAndBarReductionNarrowsBarsOnly) {
  const auto measure = [](const QByteArray& calibration) {
    const auto symbols =
        test::MeasureSymbols(test::RasterisePdf(Label("Dpi=300\n" + calibration), 300), 300);
    return symbols.size() == 1 ? symbols.front() : test::MeasuredSymbol{};
  };
  const test::MeasuredSymbol plain = measure("");
  ASSERT_EQ(plain.widths.size(), 30u);
  const std::tuple<const char*, int, int, int> rows[] = {
      {"OffsetX=144\nOffsetY=96\nBarReduction=2", 30, 20, 2},
      {"OffsetX=50\nBarReduction=6", 10, 0, 6}};
  for (const auto& [calibration, dx, dy, reduction] : rows) {
    SCOPED_TRACE(calibration);
    const test::MeasuredSymbol moved = measure(calibration);
    ASSERT_EQ(moved.widths.size(), plain.widths.size());
    EXPECT_EQ(std::pair(moved.row, moved.spread), std::pair(plain.row + dy, 0));
    for (std::size_t k = 0; k < plain.widths.size(); ++k) {
      const int cut = std::min(reduction, plain.widths[k] - 1);
      EXPECT_EQ(moved.widths[k], plain.widths[k] - cut) << "bar " << k;
      EXPECT_EQ(moved.starts[k], plain.starts[k] + dx + cut / 2) << "bar " << k;
    }
  }
}

// Every symbol of the calibration page (modules 15 to 30 twips, at least 2 dots at a roll
// printer's 203 dpi) reads back as the code that names its module width.
TEST(CalibrationPrint, CalibrationPageSymbolsDecode) {
  const QString pdf = PrintWith("Dpi=203", {"calibrate", "PDF"});
  QStringList expected;
  for (int module = 15; module <= 30; ++module) {
    const std::string data = "2000000000" + std::to_string(module);
    expected << QString::fromStdString(data + test::CheckDigit(data));
  }
  QStringList decoded = test::DecodeBarcodes(test::RasterisePdf(pdf, 203));
  decoded.sort();
  EXPECT_EQ(decoded, expected);
}

}  // namespace
}  // namespace corvel
