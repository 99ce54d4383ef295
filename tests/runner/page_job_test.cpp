// List pages on the recording surface: each item in a slot of its own, pages and
// documents.
#include <gtest/gtest.h>

#include <set>

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
  std::optional<RecordedOp> Text(const std::string& text) const {
    for (const RecordedOp& op : surface.Texts())
      if (op.text == text) return op;
    return std::nullopt;
  }
  std::optional<int> exitCode;
};

// Every item of a page has a slot of its own on the page (told by its number line, as
// wide for every code); the next page starts again in the first slot.
TEST(PageJob, EachItemHasItsOwnSlotAndTheNextPageStartsOver) {
  for (const int perPage : {10, 20}) {
    SCOPED_TRACE(perPage);
    const auto rows = test::NumberedRows(perPage + 1);
    PageRun pages(perPage, test::BarprintBytes(rows));
    EXPECT_EQ(pages.exitCode, kExitPrinted);
    std::set<std::pair<double, double>> taken;
    for (int i = 0; i < perPage; ++i) {
      const auto op = pages.Text(rows[i].code);
      ASSERT_TRUE(op.has_value()) << i;
      EXPECT_EQ(op->page, 1);
      taken.insert({op->x, op->y});
    }
    EXPECT_EQ(int(taken.size()), perPage);
    const auto first = pages.Text(rows[0].code), next = pages.Text(rows[perPage].code);
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(std::tuple(next->page, next->x, next->y), std::tuple(2, first->x, first->y));
    for (const RecordedOp& op : pages.surface.Ops()) {
      if (op.kind != RecordedOp::Kind::Rect && op.kind != RecordedOp::Kind::Text) continue;
      EXPECT_TRUE(op.x >= 0 && op.x < 12240 && op.y >= 0 && op.y < 15840) << op.text;
    }
  }
}

TEST(PageJob, OneDocumentWithoutBlankLastPage) {
  const struct {
    int itemsPerPage, bytes, copies, pages;
  } cases[] = {{10, 10 * 66, 1, 1}, {10, 11 * 66, 1, 2}, {20, 21 * 66, 3, 2}, {10, 200, 1, 1}};
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
