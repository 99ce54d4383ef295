// List pages on the recording surface: pages and documents.
#include <gtest/gtest.h>

#include "runner/jobs.h"
#include "tests/runner/runner_fixture.h"

namespace corvel {
namespace {

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
    test::DataFolder data;
    data.surface.SetPageSize(12240, 15840);
    test::WriteFile(data.Barprint(), request);
    data.run.state.Copies = std::int16_t(c.copies);
    data.Ends([&c](RunContext& run) { PageJob(run, c.itemsPerPage); });
    EXPECT_EQ(data.surface.EndedDocuments(), 1);
    const auto& ops = data.surface.Ops();
    EXPECT_EQ(
        std::count_if(ops.begin(), ops.end(),
                      [](const RecordedOp& op) { return op.kind == RecordedOp::Kind::NewPage; }),
        c.pages - 1);
    EXPECT_EQ(data.surface.Texts().back().page, c.pages);
  }
}

}  // namespace
}  // namespace corvel
