// One run through a private CUPS scheduler: a list-page request reaches the default
// queue as print jobs, and the queue's PDF output decodes to the request codes.
#include <gtest/gtest.h>

#include "tests/runner/runner_fixture.h"
#include "tests/support/cups_daemon.h"

namespace corvel {
namespace {

TEST(CupsRunner, ListPageReachesTheDefaultQueue) {
  if (!test::CupsDaemon::Installed()) GTEST_SKIP() << "cupsd is not installed";
  test::CupsDaemon daemon;
  QString error;
  ASSERT_TRUE(daemon.Start(&error)) << error.toStdString();
  ASSERT_TRUE(daemon.AddPdfQueue("Labels", true, &error)) << error.toStdString();

  const test::Installation site;
  const auto rows = test::NumberedRows(3);
  test::WriteFile(site.data + "/Barprint", test::BarprintBytes(rows));
  site.Configure("P", /*pdfFolder=*/false);
  const test::RunResult run = site.Sheetwise("accept:2", {daemon.ClientEnvironment()});
  ASSERT_TRUE(run.finished);
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  ASSERT_TRUE(daemon.WaitForCompletedJobs("Labels", 1));
  EXPECT_EQ(daemon.CompletedJobs("Labels"), 1) << "list pages ignore copies: one job";
  EXPECT_EQ(test::DecodedCodes(daemon.OutputFile("Labels")), test::RowCodes(rows, 0, 3));
}

}  // namespace
}  // namespace corvel
