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

  const test::Installation site;  // no PDF folder set: the default queue prints
  const auto rows = test::NumberedRows(3);
  test::WriteFile(site.data + "/Barprint", test::BarprintBytes(rows));
  IniSettingsStore settings((site.config + "/Corvel/Corvel.ini").toStdString());
  settings.Save("Quorrel", "Path", site.data.toStdString());
  settings.Save("Quorrel", "Barcodetype", "P");
  const test::RunResult run = site.Sheetwise("accept:2", {daemon.ClientEnvironment()});
  ASSERT_TRUE(run.finished);
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  ASSERT_TRUE(daemon.WaitForCompletedJobs("Labels", 1));
  EXPECT_EQ(daemon.CompletedJobs("Labels"), 1) << "list pages ignore copies: one job";
  QStringList codes = test::DecodeBarcodes(test::RasterisePdf(daemon.OutputFile("Labels"), 300));
  codes.sort();
  EXPECT_EQ(codes,
            (QStringList{QString::fromStdString(rows[0].code), QString::fromStdString(rows[1].code),
                         QString::fromStdString(rows[2].code)}));
}

}  // namespace
}  // namespace corvel
