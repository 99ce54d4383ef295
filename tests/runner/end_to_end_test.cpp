// The real programs: corvel request writes a request and starts sheetwise, which prints
// unattended into a PDF folder; every symbol must decode to its request code.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "common/ini_settings_store.h"
#include "tests/runner/runner_fixture.h"
#include "tests/support/pdf_tools.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

// One isolated installation: its own settings folder, data folder and PDF folder.
struct Installation {
  QString config = test::MakeTempFolder();
  QString data = test::MakeTempFolder();
  QString pdf = test::MakeTempFolder();

  QStringList Env(const QString& dialog) const {
    return {"XDG_CONFIG_HOME=" + config, "CORVEL_PRINT_DIALOG=" + dialog,
            "QT_QPA_PLATFORM=offscreen"};
  }
  IniSettingsStore Settings() const {
    return IniSettingsStore((config + "/Corvel/Corvel.ini").toStdString());
  }
  // corvel request with a CSV description on standard input.
  test::RunResult Request(const QString& type, const QByteArray& csv, const QString& dialog,
                          const QStringList& extra = {}) const {
    QStringList args = {"request",      "--data", data,       "--type", type,
                        "--pdf-folder", pdf,      "--format", "csv"};
    args << extra << "-";
    return test::RunProgram(test::BuiltProgram("corvel"), args, csv, Env(dialog));
  }
  test::RunResult Sheetwise(const QString& dialog) const {
    return test::RunProgram(test::BuiltProgram("sheetwise"), {}, {}, Env(dialog));
  }
  QStringList Pdfs() const { return test::ListPdfFiles(pdf); }
};

QByteArray Csv(const std::vector<test::RequestRow>& rows) {
  QByteArray csv = "code,description,price\n";
  for (const auto& row : rows)
    csv += QByteArray::fromStdString(row.code + ",\"" + row.description + "\"," + row.price + "\n");
  return csv;
}

QStringList Decoded(const QString& pdf, int page) {
  QStringList codes = test::DecodeBarcodes(test::RasterisePdf(pdf, 300, page));
  for (QString& code : codes)
    code = code.section(':', -1);  // "EAN-13:501..." -> digits
  codes.sort();
  return codes;
}

QStringList Codes(const std::vector<test::RequestRow>& rows) {
  QStringList codes;
  for (const auto& row : rows)
    codes << QString::fromStdString(row.code);
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
  const QStringList pdfs = site.Pdfs();
  ASSERT_EQ(pdfs.size(), 6);
  for (int i = 0; i < pdfs.size(); ++i) {
    SCOPED_TRACE(pdfs[i].toStdString());
    EXPECT_EQ(test::PdfPageCount(pdfs[i]), 1);
    EXPECT_EQ(Decoded(pdfs[i], 1), QStringList{QString::fromStdString(rows[i / 3].code)});
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
  EXPECT_EQ(Decoded(pdfs[0], 1), Codes({rows.begin(), rows.begin() + 20}));
  EXPECT_EQ(Decoded(pdfs[0], 2), Codes({rows.begin() + 20, rows.end()}));
}

TEST(EndToEnd, TenPerPageMixesEan13AndEan8) {
  Installation site;
  const std::vector<test::RequestRow> rows = {{"5012345678900", "Apples", "$1.99"},
                                              {"1234567", "Short code", "$0.50"},
                                              {"4006381333931", "No price", ""}};
  const test::RunResult run = site.Request("P", Csv(rows), "accept");
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  const QStringList pdfs = site.Pdfs();
  ASSERT_EQ(pdfs.size(), 1);
  EXPECT_EQ(Decoded(pdfs[0], 1), (QStringList{"12345670", "4006381333931", "5012345678900"}));
}

TEST(EndToEnd, CancelPrintsNothingAndLeavesTheRequestAlone) {
  Installation site;
  const auto rows = test::NumberedRows(3);
  const test::RunResult run = site.Request("P", Csv(rows), "cancel");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_TRUE(run.err.contains("cancelled")) << run.err.toStdString();
  EXPECT_TRUE(site.Pdfs().isEmpty());
  EXPECT_EQ(test::ReadFile(site.data + "/Barprint"), test::BarprintBytes(rows));
}

TEST(EndToEnd, RequestFilesAreByteIdenticalAfterARun) {
  Installation site;
  const auto rows = test::NumberedRows(2);
  ASSERT_EQ(site.Request("Z", Csv(rows), "accept", {"--no-run"}).exitCode, 0);
  // A trailing partial record and a shelf file the job reads beside the request.
  QByteArray barprint = test::BarprintBytes(rows) + "partial";
  const QByteArray shelf = test::ShelfBytes({{"Fresh", "", "Local"}});
  test::WriteFile(site.data + "/Barprint", barprint);
  test::WriteFile(site.data + "/ShelfPrint", shelf);
  const test::RunResult run = site.Sheetwise("accept");
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_EQ(site.Pdfs().size(), 2);
  EXPECT_EQ(test::ReadFile(site.data + "/Barprint"), barprint);
  EXPECT_EQ(test::ReadFile(site.data + "/ShelfPrint"), shelf);
}

TEST(EndToEnd, RequestCommandRefusesWhatTheRecordsCannotHoldAndDumps) {
  Installation site;
  const QByteArray tooLong = "code,description,price\n1,ok,1\n2," + QByteArray(33, 'd') + ",2\n";
  const test::RunResult refused = site.Request("P", tooLong, "accept");
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_TRUE(refused.err.contains("CSV line 3: description")) << refused.err.toStdString();
  EXPECT_FALSE(QFile::exists(site.data + "/Barprint"));

  const test::RunResult cut = site.Request("P", tooLong, "accept", {"--cut", "--no-run"});
  EXPECT_EQ(cut.exitCode, 0) << cut.err.toStdString();
  const test::RunResult dump = test::RunProgram(
      test::BuiltProgram("corvel"), {"request", "--dump", site.data}, {}, site.Env("accept"));
  EXPECT_EQ(dump.exitCode, 0);
  EXPECT_TRUE(dump.out.contains("2 records (132 bytes)")) << dump.out.toStdString();
  EXPECT_TRUE(dump.out.contains("description \"" + QByteArray(32, 'd') + "\""));
  EXPECT_TRUE(site.Pdfs().isEmpty());
}

struct ExitCase {
  const char* name;
  QString barcodeType;
  bool emptyPath;
  QByteArray barprint;
  int exitCode;
  const char* reason;
};

class SheetwiseExit : public ::testing::TestWithParam<ExitCase> {};

TEST_P(SheetwiseExit, CodeAndReasonOnStandardError) {
  const ExitCase& c = GetParam();
  Installation site;
  IniSettingsStore settings = site.Settings();
  settings.Save("Quorrel", "Path", c.emptyPath ? "" : site.data.toStdString());
  settings.Save("Quorrel", "Barcodetype", c.barcodeType.toStdString());
  settings.Save("Printer", "PdfFolder", site.pdf.toStdString());
  if (!c.barprint.isNull()) test::WriteFile(site.data + "/Barprint", c.barprint);
  const test::RunResult run = site.Sheetwise("accept");
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, c.exitCode);
  EXPECT_TRUE(run.err.contains(c.reason)) << run.err.toStdString();
  EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
  EXPECT_TRUE(site.Pdfs().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Runs, SheetwiseExit,
    ::testing::Values(ExitCase{"EmptyPath", "P", true, {}, 4, "Path"},
                      ExitCase{"MissingRequest", "P", false, {}, 4, "is empty"},
                      ExitCase{"ShortRequest", "Z", false, QByteArray(65, ' '), 4,
                               "less than one record"},
                      ExitCase{"TooManyForRoll", "Z", false,
                               test::BarprintBytes(test::NumberedRows(501)), 1, "at most 500"},
                      ExitCase{"NoJob", "s1", false, test::BarprintBytes(test::NumberedRows(1)), 1,
                               "names no print job"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvel
