// Runner load at sizes cheap enough for every test run (scripts/soak.sh runs every job
// at its limit): each run prints every document, leaves the request as written and
// stays within bounded memory.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QProcess>

#include "tests/faults/fault_support.h"
#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {

TEST(Load, LargeRequestsPrintWholeInBoundedMemory) {
  const struct {
    const char* type;
    int records;
    int documents;
  } rows[] = {{"P20", 5000, 1}, {"44", 5000, 1}, {"Z", 100, 100}, {"S3", 50, 50}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.type);
    test::Installation site;
    std::vector<test::ShelfCard> cards;
    for (int i = 1; i <= row.records && row.type[0] == 'S'; ++i)
      cards.push_back({{"FRESH", "", "Item " + std::to_string(i), std::to_string(i) + ".99"}});
    test::WriteFile(site.data + "/Barprint", test::BarprintBytes(test::NumberedRows(row.records)));
    test::WriteFile(site.data + "/ShelfPrint", test::ShelfBytes(cards));
    site.Configure(row.type);
    const QByteArray before =
        test::Sha256(site.data + "/Barprint") + test::Sha256(site.data + "/ShelfPrint");
    const test::RunResult run = site.Sheetwise("accept");
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(site.Pdfs().size(), row.documents);
    EXPECT_EQ(test::Sha256(site.data + "/Barprint") + test::Sha256(site.data + "/ShelfPrint"),
              before);
  }
  // The largest of the runs above (ru_maxrss of the waited-for children).
  rusage children{};
  ::getrusage(RUSAGE_CHILDREN, &children);
  std::printf("[ MEASURED ] peak memory of the largest run: %ld kB\n", children.ru_maxrss);
  EXPECT_LT(children.ru_maxrss, 200 * 1024);
}

}  // namespace
}  // namespace corvel
