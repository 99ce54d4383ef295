// The real programs: corvel request writes a request and starts sheetwise, which prints
// unattended into a PDF folder; every symbol must decode to its request code.
#include <gtest/gtest.h>

#include <QFile>

#include "common/ini_settings_store.h"
#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {

using test::Installation;

QByteArray Csv(const std::vector<test::RequestRow>& rows) {
  QByteArray csv = "code,description,price\n";
  for (const auto& row : rows)
    csv += QByteArray::fromStdString(row.code + ",\"" + row.description + "\"," + row.price + "\n");
  return csv;
}

QStringList Decoded(const QString& pdf, int page) {
  QStringList codes = test::DecodeBarcodes(test::RasterisePdf(pdf, 300, page));
  codes.sort();
  return codes;
}

QStringList Codes(const std::vector<test::RequestRow>& rows, int from, int to) {
  QStringList codes;
  for (int i = from; i < to; ++i)
    codes << QString::fromStdString(rows[i].code);
  codes.sort();
  return codes;
}

TEST(EndToEnd, RollLabelsThreeCopiesThreeDocumentsPerRecord) {
  Installation site;
  const std::vector<test::RequestRow> rows = {{"5012345678900", "Apples", "$1.99"},
                                              {"4006381333931", "Pens, blue", "$3.00"}};
  const test::RunResult run = site.Request("Z", Csv(rows), "accept:3");
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_EQ(test::ReadFile(site.data + "/Barprint"), test::BarprintBytes(rows));
  const QStringList pdfs = site.Pdfs();
  ASSERT_EQ(pdfs.size(), 6);
  for (int i = 0; i < pdfs.size(); ++i) {
    EXPECT_EQ(test::PdfPageCount(pdfs[i]), 1);
    EXPECT_EQ(Decoded(pdfs[i], 1), Codes(rows, i / 3, i / 3 + 1)) << i;
  }
  // Label stock by default: 60 x 40 mm, about 170 x 113 points.
  const QImage page = test::RasterisePdf(pdfs[0], 72);
  EXPECT_NEAR(page.width(), 170, 1);
  EXPECT_NEAR(page.height(), 113, 1);
}

TEST(EndToEnd, TwentyPerPageWithTwentyOneItemsGivesTwoPages) {
  Installation site;
  const auto rows = test::NumberedRows(21);
  const test::RunResult run = site.Request("P20", Csv(rows), "accept:4");
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  const QStringList pdfs = site.Pdfs();
  ASSERT_EQ(pdfs.size(), 1) << "one document, copies ignored";
  ASSERT_EQ(test::PdfPageCount(pdfs[0]), 2);
  EXPECT_EQ(Decoded(pdfs[0], 1), Codes(rows, 0, 20));
  EXPECT_EQ(Decoded(pdfs[0], 2), Codes(rows, 20, 21));
}

TEST(EndToEnd, RequestFilesAreByteIdenticalAfterARun) {
  Installation site;
  const auto rows = test::NumberedRows(2);
  ASSERT_EQ(site.Request("Z", Csv(rows), "accept", {"--no-run"}).exitCode, 0);
  // A trailing partial record and a shelf file the job reads beside the request.
  QByteArray barprint = test::BarprintBytes(rows) + "partial";
  const QByteArray shelf = test::ShelfBytes({{{"Fresh", "", "Local"}}});
  test::WriteFile(site.data + "/Barprint", barprint);
  test::WriteFile(site.data + "/ShelfPrint", shelf);
  const test::RunResult run = site.Sheetwise("accept");
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_EQ(site.Pdfs().size(), 2);
  EXPECT_EQ(test::ReadFile(site.data + "/Barprint"), barprint);
  EXPECT_EQ(test::ReadFile(site.data + "/ShelfPrint"), shelf);
}

TEST(EndToEnd, FailedRunsPrintNothingAndNameTheReasonOnStandardError) {
  const QByteArray one = test::BarprintBytes(test::NumberedRows(1));
  const struct {
    std::string type;
    bool emptyPath;
    QByteArray barprint;
    const char* dialog;
    int exitCode;
    const char* reason;
  } cases[] = {
      {"P", true, {}, "accept", 4, "Path"},
      {"Z", false, QByteArray(65, ' '), "accept", 4, "less than one record"},
      {"s1", false, one, "accept", 1, "names no print job"},
      {"P", false, one, "cancel", 2, "cancelled"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    Installation site;
    IniSettingsStore settings((site.config + "/Corvel/Corvel.ini").toStdString());
    settings.Save("Quorrel", "Path", c.emptyPath ? "" : site.data.toStdString());
    settings.Save("Quorrel", "Barcodetype", c.type);
    settings.Save("Printer", "PdfFolder", site.pdf.toStdString());
    if (!c.barprint.isNull()) test::WriteFile(site.data + "/Barprint", c.barprint);
    const test::RunResult run = site.Sheetwise(c.dialog);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_TRUE(run.err.contains(c.reason)) << run.err.toStdString();
    EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    EXPECT_TRUE(site.Pdfs().isEmpty());
    EXPECT_EQ(test::ReadFile(site.data + "/Barprint"), c.barprint) << "left as written";
  }
}

}  // namespace
}  // namespace corvel
