// The real programs: corvel request writes a request and starts sheetwise, which prints
// unattended into a PDF folder; every symbol must decode to its request code.
#include <gtest/gtest.h>

#include <QDir>

#include "common/settings_sections.h"
#include "corvel_version.h"
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

TEST(EndToEnd, RollLabelsThreeCopiesThreeDocumentsPerRecord) {
  Installation site;
  const std::vector<test::RequestRow> rows = {{"5012345678900", "Apples", "$1.99"},
                                              {"4006381333931", "Pens, blue", "$3.00"}};
  const test::RunResult run = site.Request("Z", Csv(rows), "accept:3");
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_EQ(test::ReadFile(site.data + "/Barprint"), test::BarprintBytes(rows)) << "unchanged";
  const QStringList pdfs = site.Pdfs();
  ASSERT_EQ(pdfs.size(), 6);
  for (int i = 0; i < pdfs.size(); ++i) {
    EXPECT_EQ(test::PdfPageCount(pdfs[i]), 1);
    EXPECT_EQ(test::DecodedCodes(pdfs[i]), test::RowCodes(rows, i / 3, i / 3 + 1)) << i;
  }
}

TEST(EndToEnd, TwentyPerPageWithTwentyOneItemsGivesTwoPages) {
  Installation site;
  const auto rows = test::NumberedRows(21);
  const test::RunResult run = site.Request("P20", Csv(rows), "accept:4");
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  const QStringList pdfs = site.Pdfs();
  ASSERT_EQ(pdfs.size(), 1) << "one document, copies ignored";
  ASSERT_EQ(test::PdfPageCount(pdfs[0]), 2);
  EXPECT_EQ(test::DecodedCodes(pdfs[0], 1), test::RowCodes(rows, 0, 20));
  EXPECT_EQ(test::DecodedCodes(pdfs[0], 2), test::RowCodes(rows, 20, 21));
}

TEST(EndToEnd, FailedRunsPrintNothingAndNameTheReasonOnStandardError) {
  const QByteArray one = test::BarprintBytes(test::NumberedRows(1));
  const struct {
    std::string type;
    QByteArray barprint;
    const char* dialog;  // "": no answer, and no display (offscreen) to show the dialog on
    int exitCode;
    const char* reason;
    std::pair<std::string, std::string> setting = {};  // a further Quorrel key
  } cases[] = {
      {"Z", QByteArray(65, ' '), "accept", 4, "less than one record"},
      {"s1", one, "accept", 1, "names no print job"},
      {"P", one, "cancel", 2, "cancelled"},
      {"P", one, "", 1, "no display to show the print dialog on"},
      {"P", one, "accept:abc", 1, "CORVEL_PRINT_DIALOG \"accept:abc\" is not an answer"},
      {"44",
       one,
       "accept",
       1,
       "Quorrel/PrintCheckDigit \"No\" is neither True nor False",
       {"PrintCheckDigit", "No"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    Installation site;
    site.Configure(c.type);
    if (!c.setting.first.empty()) {
      IniSettingsStore((site.config + "/Corvel/Corvel.ini").toStdString())
          .Save(kRunnerSection, c.setting.first, c.setting.second);
    }
    test::WriteFile(site.data + "/Barprint", c.barprint);
    const test::RunResult run = site.Sheetwise(c.dialog);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_TRUE(run.err.contains(c.reason)) << run.err.toStdString();
    EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    EXPECT_TRUE(site.Pdfs().isEmpty());
    EXPECT_EQ(test::ReadFile(site.data + "/Barprint"), c.barprint) << "left as written";
  }
}

// Options answer and exit before any setting or request is looked at.
TEST(EndToEnd, HelpAndVersionTouchNothing) {
  const struct {
    const char* option;
    int exitCode;
    const char* out;
  } cases[] = {{"--help", 0, "Usage: sheetwise"},
               {"--version", 0, "sheetwise " CORVEL_VERSION "\n"},
               {"--hlep", 1, ""}};
  for (const auto& c : cases) {
    Installation site;
    site.Configure("Z");
    test::WriteFile(site.data + "/Barprint", test::BarprintBytes(test::NumberedRows(1)));
    const QStringList before = QDir(site.config + "/Corvel").entryList(QDir::Files);
    const test::RunResult run =
        test::RunProgram(test::BuiltProgram("sheetwise"), {c.option}, {}, site.Env("accept"));
    EXPECT_EQ(run.exitCode, c.exitCode) << c.option;
    EXPECT_TRUE(run.out.startsWith(c.out)) << run.out.toStdString();
    EXPECT_TRUE(site.Pdfs().isEmpty()) << c.option;
    EXPECT_EQ(QDir(site.config + "/Corvel").entryList(QDir::Files), before) << c.option;
  }
}

}  // namespace
}  // namespace corvel
