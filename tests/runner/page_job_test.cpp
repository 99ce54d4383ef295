// List pages on the recording surface: pages and documents.
#include <gtest/gtest.h>

#include "runner/jobs.h"
#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {

struct PageRun : test::DataFolder {
  PageRun(int itemsPerPage, const QByteArray& request, int copies = 1) {
    surface.SetPageSize(12240, 15840);
    test::WriteFile(Barprint(), request);
    run.state.Copies = std::int16_t(copies);
    exitCode = Ends([itemsPerPage](RunContext& run) { PageJob(run, itemsPerPage); });
  }
  std::optional<int> exitCode;
};

// Slots and the next page starting over are read back from real PDFs end to end; here:
// one document whatever the copies, and no blank page after a full one.
TEST(PageJob, OneDocumentWithoutBlankLastPage) {
  const struct {
    int itemsPerPage, bytes, copies, pages;
  } cases[] = {{10, 10 * 66, 1, 1}, {20, 21 * 66, 3, 2}, {10, 200, 1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    QByteArray request = test::BarprintBytes(test::NumberedRows(c.bytes / 66 + 1));
    request.truncate(c.bytes);
    PageRun pages(c.itemsPerPage, request, c.copies);
    EXPECT_EQ(pages.surface.EndedDocuments(), 1);
    EXPECT_EQ(
        std::count_if(pages.surface.Ops().begin(), pages.surface.Ops().end(),
                      [](const RecordedOp& op) { return op.kind == RecordedOp::Kind::NewPage; }),
        c.pages - 1);
    EXPECT_EQ(pages.surface.Texts().back().page, c.pages);
  }
}

}  // namespace
}  // namespace corvel
