// Printer calibration end to end: a 44-label sheet (sheetwise) and a weighed label
// (corvel label) printed into PDF folders with and without [Calibration PDF], then
// rasterised at exactly the configured resolution and measured bar by bar; offsets and
// bar reduction measured the same way; the calibration page read back with zbar.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "tests/runner/runner_fixture.h"
#include "tests/support/bar_widths.h"

namespace corvel {
namespace {

// The one PDF "corvel ARGS --pdf-folder" prints with these [Calibration PDF] keys
// ("Dpi=203\nOffsetX=144").
QString PrintWith(const QByteArray& calibration, QStringList args) {
  const QString config = test::MakeTempFolder(), pdf = test::MakeTempFolder();
  QDir().mkpath(config + "/Corvel");
  test::WriteFile(config + "/Corvel/Corvel.ini", "[Calibration PDF]\n" + calibration);
  const test::RunResult run =
      test::RunProgram(test::BuiltProgram("corvel"), args << "--pdf-folder" << pdf, {},
                       {"XDG_CONFIG_HOME=" + config});
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  const QStringList files = test::ListPdfFiles(pdf);
  return files.size() == 1 ? files.front() : QString();
}

QString PrintWeighedLabel(const QString& calibration) {
  return PrintWith(calibration.toUtf8(),
                   {"label", "--code", "1234", "--description", "Leg Ham", "--price", "12.99",
                    "--weight", "1.235 KG", "--date", "2026-12-07"});
}

test::SpreadSummary MeasureBars(const QString& pdf, int dpi) {
  return test::Summarise(test::MeasureSymbols(test::RasterisePdf(pdf, dpi), dpi));
}

QString PrintSheet(const QString& dpi, QByteArray* err = nullptr) {
  QJsonArray barcodes;
  for (const test::RequestRow& row : test::NumberedRows(44, 400638200001LL))
    barcodes.append(QJsonObject{
        {"code", QString::fromStdString(row.code)}, {"description", "Item"}, {"price", "$1.00"}});
  QJsonObject settings;
  if (!dpi.isEmpty()) settings["Calibration PDF"] = QJsonObject{{"Dpi", dpi}};
  const test::Installation site;
  const test::RunResult run = site.Request(
      "",
      QJsonDocument(
          QJsonObject{{"barcodetype", "44"}, {"settings", settings}, {"barcodes", barcodes}})
          .toJson(),
      "accept");
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  if (err) *err = run.err;
  const QStringList files = site.Pdfs();
  return files.size() == 1 ? files.front() : QString();
}

// Before: as planned in twips, bars of one module come out in two widths. After: with
// Dpi the resolution they are rasterised at, every bar of a symbol is exact.
TEST(CalibrationPrint, EveryBarIsWholeDotsAtTheConfiguredResolution) {
  const QString sheet = PrintSheet(""), label = PrintWeighedLabel("");
  for (const int dpi : {203, 300}) {
    const struct {
      const char* what;
      QString before, after;
      int symbols;
    } rows[] = {
        {"44-label sheet", sheet, PrintSheet(QString::number(dpi)), 44},
        // An offset off the dot grid still leaves every symbol starting on a whole dot.
        {"weighed label", label, PrintWeighedLabel("Dpi=" + QString::number(dpi) + "\nOffsetX=50"),
         1},
    };
    for (const auto& row : rows) {
      SCOPED_TRACE(std::string(row.what) + " at " + std::to_string(dpi) + " dpi");
      const test::SpreadSummary before = MeasureBars(row.before, dpi),
                                after = MeasureBars(row.after, dpi);
      EXPECT_EQ(before.symbols, row.symbols);
      EXPECT_EQ(after.symbols, row.symbols);
      EXPECT_EQ(after.uneven, 0);
      if (row.symbols == 44 && dpi == 203) {
        EXPECT_EQ(before.uneven, 44);
      }
    }
  }
}

// A value that is not a number is ignored and told once; the sheet still prints.
TEST(CalibrationPrint, AValueThatIsNoNumberIsToldOnce) {
  QByteArray err;
  EXPECT_FALSE(PrintSheet("2,5", &err).isEmpty());
  EXPECT_EQ(err.count("[Calibration PDF] Dpi=2,5 is not a number"), 1) << err.toStdString();
}

// At 300 dpi 144 twips are 30 dots and 96 twips 20: the whole page moves by that much.
TEST(CalibrationPrint, OffsetsMoveEverything) {
  const QImage plain = test::RasterisePdf(PrintWeighedLabel(""), 300);
  const QImage moved = test::RasterisePdf(PrintWeighedLabel("OffsetX=144\nOffsetY=96"), 300);
  ASSERT_FALSE(plain.isNull());
  ASSERT_EQ(plain.size(), moved.size());
  int inked = 0, different = 0;
  for (int y = 0; y + 20 < plain.height(); ++y) {
    for (int x = 0; x + 30 < plain.width(); ++x) {
      const bool ink = qGray(plain.pixel(x, y)) < 128;
      inked += ink;
      different += ink != (qGray(moved.pixel(x + 30, y + 20)) < 128);
    }
  }
  EXPECT_GT(inked, 1000);
  EXPECT_EQ(different, 0);
}

// Bars lose the reduction, half from each edge, never going under one dot; the spaces
// between them take it up, so every edge pair stays centred where it was.
TEST(CalibrationPrint, BarReductionNarrowsBarsOnly) {
  const auto measure = [](const QString& calibration) {
    const auto symbols =
        test::MeasureSymbols(test::RasterisePdf(PrintWeighedLabel(calibration), 300), 300);
    return symbols.size() == 1 ? symbols.front() : test::MeasuredSymbol{};
  };
  const test::MeasuredSymbol plain = measure("Dpi=300");
  ASSERT_EQ(plain.widths.size(), 30u);
  for (const int reduction : {2, 6}) {
    SCOPED_TRACE(reduction);
    const test::MeasuredSymbol narrow =
        measure("Dpi=300\nBarReduction=" + QString::number(reduction));
    ASSERT_EQ(narrow.widths.size(), plain.widths.size());
    for (std::size_t k = 0; k < plain.widths.size(); ++k) {
      const int cut = std::min(reduction, plain.widths[k] - 1);
      EXPECT_EQ(narrow.widths[k], plain.widths[k] - cut) << "bar " << k;
      EXPECT_EQ(narrow.starts[k], plain.starts[k] + cut / 2) << "bar " << k;
    }
  }
}

// Every symbol of the calibration page (modules 15 to 30 twips, at least 2 dots at both
// resolutions) reads back as the code that names its module width.
TEST(CalibrationPrint, CalibrationPageSymbolsDecode) {
  for (const int dpi : {203, 300}) {
    SCOPED_TRACE(dpi);
    const QString pdf = PrintWith("Dpi=" + QByteArray::number(dpi), {"calibrate", "PDF"});
    ASSERT_FALSE(pdf.isEmpty());
    QStringList expected;
    for (int module = 15; module <= 30; ++module) {
      const std::string data = "2000000000" + std::to_string(module);
      expected << QString::fromStdString(data + test::CheckDigit(data));
    }
    const QImage page = test::RasterisePdf(pdf, dpi);
    QStringList decoded = test::DecodeBarcodes(page);
    decoded.sort();
    EXPECT_EQ(decoded, expected);
    const test::SpreadSummary bars = test::Summarise(test::MeasureSymbols(page, dpi));
    EXPECT_EQ(bars.symbols, 16);
    EXPECT_EQ(bars.uneven, 0);
  }
}

}  // namespace
}  // namespace corvel
