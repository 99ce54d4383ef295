// One run through a private CUPS scheduler: a list-page request reaches the default
// queue as print jobs, and the queue's PDF output decodes to the request codes.
#include <gtest/gtest.h>

#include "common/ini_settings_store.h"
#include "tests/runner/runner_fixture.h"
#include "tests/support/cups_daemon.h"
#include "tests/support/pdf_tools.h"

namespace corvel {
namespace {

TEST(CupsRunner, ListPageReachesTheDefaultQueue) {
  if (!test::CupsDaemon::Installed()) GTEST_SKIP() << "cupsd is not installed";
  test::CupsDaemon daemon;
  QString error;
  ASSERT_TRUE(daemon.Start(&error)) << error.toStdString();
  ASSERT_TRUE(daemon.AddPdfQueue("Labels", true, &error)) << error.toStdString();

  const QString config = test::MakeTempFolder();
  const QString data = test::MakeTempFolder();
  const auto rows = test::NumberedRows(3);
  test::WriteFile(data + "/Barprint", test::BarprintBytes(rows));
  IniSettingsStore settings((config + "/Corvel/Corvel.ini").toStdString());
  settings.Save("Quorrel", "Path", data.toStdString());
  settings.Save("Quorrel", "Barcodetype", "P");

  const test::RunResult run =
      test::RunProgram(test::BuiltProgram("sheetwise"), {}, {},
                       {daemon.ClientEnvironment(), "XDG_CONFIG_HOME=" + config,
                        "CORVEL_PRINT_DIALOG=accept:2", "QT_QPA_PLATFORM=offscreen"});
  ASSERT_TRUE(run.finished);
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  ASSERT_TRUE(daemon.WaitForCompletedJobs("Labels", 1));
  EXPECT_EQ(daemon.CompletedJobs("Labels"), 1) << "list pages ignore copies: one job";
  QStringList codes = test::DecodeBarcodes(test::RasterisePdf(daemon.OutputFile("Labels"), 300));
  for (QString& code : codes)
    code = code.section(':', -1);
  codes.sort();
  QStringList expected;
  for (const auto& row : rows)
    expected << QString::fromStdString(row.code);
  EXPECT_EQ(codes, expected);
}

}  // namespace
}  // namespace corvel
